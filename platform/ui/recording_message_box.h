// A message box for tests: records every box in UTF-8 and answers with the
// replies the test chose.
#pragma once

#include <string>
#include <vector>

#include "platform/codepage/codepage.h"
#include "platform/ui/message_box.h"

struct ShownBox {
  std::string text;     // UTF-8
  std::string caption;  // UTF-8
  ui::MessageIcon icon;
  int buttons;
};

class RecordingMessageBox final : public ui::MessageBoxPort {
 public:
  int Show(const std::string& text, const std::string& caption, ui::MessageIcon icon, int buttons) override {
    shown.push_back({codepage::GbkToUtf8(text), codepage::GbkToUtf8(caption), icon, buttons});
    if (buttons == ui::MB_YESNO) return yesNoReply;
    if (buttons == ui::MB_OKCANCEL) return okCancelReply;
    return ui::IDOK;
  }

  // The texts shown so far, and forgets them.
  std::vector<std::string> TakeTexts() {
    std::vector<std::string> texts;
    for (const ShownBox& box : shown) texts.push_back(box.text);
    shown.clear();
    return texts;
  }

  std::vector<ShownBox> shown;
  int yesNoReply = ui::IDYES;
  int okCancelReply = ui::IDOK;
};
