// What the dialogs' tests share: a message box that records every box, in
// UTF-8, and answers with the reply the test chose (installed for its
// lifetime), and a broadcast server with a fixed terminal list.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "gateway/dialogs/term_list_source.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/message_box.h"

class FixedTerminals final : public TermListSource {
 public:
  explicit FixedTerminals(std::vector<TermInfo> list) : list_(std::move(list)) {}
  std::vector<TermInfo> TermList() override { return list_; }

 private:
  std::vector<TermInfo> list_;
};

struct ShownBox {
  std::string text;     // UTF-8
  std::string caption;  // UTF-8
  ui::MessageIcon icon;
  int buttons;
};

class RecordingMessageBox final : public ui::MessageBoxPort {
 public:
  RecordingMessageBox() { ui::SetMessageBox(this); }
  ~RecordingMessageBox() override { ui::SetMessageBox(nullptr); }
  RecordingMessageBox(const RecordingMessageBox&) = delete;
  RecordingMessageBox& operator=(const RecordingMessageBox&) = delete;

  int Show(const std::string& text, const std::string& caption, ui::MessageIcon icon, int buttons) override {
    shown.push_back({codepage::GbkToUtf8(text), codepage::GbkToUtf8(caption), icon, buttons});
    return buttons == ui::MB_YESNO ? yesNoReply : ui::IDOK;
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
};
