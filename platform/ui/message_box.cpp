#include "platform/ui/message_box.h"

#include <cstdio>

#include "platform/codepage/codepage.h"

namespace ui {

int StderrMessageBox::Show(const std::string& text, const std::string& caption, MessageIcon, int buttons) {
  std::fprintf(stderr, "%s: %s\n", codepage::GbkToUtf8(caption).c_str(), codepage::GbkToUtf8(text).c_str());
  return buttons == MB_YESNO ? IDYES : IDOK;
}

}  // namespace ui
