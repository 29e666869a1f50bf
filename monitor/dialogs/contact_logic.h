// CContactsAndPhone: one contact, a name and a mobile number.
#pragma once

#include <string>

#include "monitor/settings/monitor_settings.h"
#include "platform/ui/message_box.h"

class ContactLogic {
 public:
  ContactLogic(bool isAdd, Contact contact, ui::MessageBoxPort& messages);

  bool isAdd() const { return isAdd_; }
  // "添加" or "编辑", GBK.
  const std::string& caption() const { return caption_; }
  const Contact& contact() const { return contact_; }

  // The number box takes digits only.
  static bool AcceptsPhoneText(const std::string& text);
  // A mobile number of the country, without its "86": eleven digits.
  static bool IsMobileNumber(const std::string& phone);

  // "确定": refuses an empty name, then an empty number, then a number
  // that is no mobile number, each with its message; otherwise keeps the
  // trimmed texts and answers true.
  bool Confirm(const std::string& nameText, const std::string& phoneText);

 private:
  bool isAdd_;
  std::string caption_;
  Contact contact_;
  ui::MessageBoxPort& messages_;
};
