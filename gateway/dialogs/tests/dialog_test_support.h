// What the dialogs' tests share: a message box that records every box, in
// UTF-8, and answers with the reply the test chose (installed for its
// lifetime), and a broadcast server with a fixed terminal list.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "gateway/dialogs/term_list_source.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/recording_message_box.h"

class FixedTerminals final : public TermListSource {
 public:
  explicit FixedTerminals(std::vector<TermInfo> list) : list_(std::move(list)) {}
  std::vector<TermInfo> TermList() override { return list_; }

 private:
  std::vector<TermInfo> list_;
};
