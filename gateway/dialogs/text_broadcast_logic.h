// "文本广播": the operator picks or types a sending number and writes a
// text, which the gateway then broadcasts as if that number had sent it.
#pragma once

#include <string>
#include <vector>

#include "gateway/dialogs/message_preview.h"
#include "platform/ui/message_box.h"

class TextBroadcastLogic {
 public:
  // The numbers the drop-down list offers (the authorisation table's), GBK.
  TextBroadcastLogic(std::vector<std::string> numbersOffered, ui::MessageBoxPort& messages);

  // The drop-down list's items, sorted as text.
  const std::vector<std::string>& numbersOffered() const { return numbers_; }
  // The number box's edit part takes digits only.
  static bool AcceptsNumberText(const std::string& text);

  // "确定" with the number box's and the content box's texts: refuses an
  // empty number first, then a content of nothing but white space; true
  // when the dialog may close.
  bool Confirm(const std::string& numberText, const std::string& contentText);
  // "试听" with the content box's text: refuses an empty content as
  // Confirm does, then plays it, or tells the operator why it cannot.
  // True when it plays.
  bool Preview(const std::string& contentText, MessagePreview& preview);
  // After Confirm: the number and the content without surrounding white space.
  const std::string& number() const { return number_; }
  const std::string& content() const { return content_; }

 private:
  void Refuse(const char* utf8Text);

  std::vector<std::string> numbers_;
  ui::MessageBoxPort& messages_;
  std::string number_;
  std::string content_;
};
