#include "monitor/dialogs/contact_logic.h"

#include <regex>

#include "monitor/dialogs/dialog_texts.h"
#include "platform/codepage/codepage.h"

ContactLogic::ContactLogic(bool isAdd, Contact contact, ui::MessageBoxPort& messages)
    : isAdd_(isAdd),
      caption_(codepage::Utf8ToGbk(isAdd ? "添加" : "编辑")),
      contact_(std::move(contact)),
      messages_(messages) {}

bool ContactLogic::AcceptsPhoneText(const std::string& text) { return IsDigitsOnly(text); }

bool ContactLogic::IsMobileNumber(const std::string& phone) {
  static const std::regex pattern("(13[0-9]|14[57]|15[012356789]|17[678]|18[0-9])[0-9]{8}", std::regex::ECMAScript);
  return std::regex_match(phone, pattern);
}

bool ContactLogic::Confirm(const std::string& nameText, const std::string& phoneText) {
  std::string name = TrimBlanks(nameText);
  std::string phone = TrimBlanks(phoneText);
  if (name.empty()) {
    ShowDialogError(messages_, "名称为空，请重新输入！", "错误");
    return false;
  }
  if (phone.empty()) {
    ShowDialogError(messages_, "电话号码为空，请重新输入！", "错误");
    return false;
  }
  if (!IsMobileNumber(phone)) {
    ShowDialogError(messages_, "电话号码无效，请重新输入！", "错误");
    return false;
  }
  contact_ = Contact{std::move(name), std::move(phone)};
  return true;
}
