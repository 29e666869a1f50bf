#include "platform/ui/message_box.h"

#include <atomic>
#include <cstdio>

#include "platform/codepage/codepage.h"

namespace ui {
namespace {

class StderrMessageBox final : public MessageBoxPort {
 public:
  int Show(const std::string& text, const std::string& caption, MessageIcon, int buttons) override {
    std::fprintf(stderr, "%s: %s\n", codepage::GbkToUtf8(caption).c_str(), codepage::GbkToUtf8(text).c_str());
    return buttons == MB_YESNO ? IDYES : IDOK;
  }
};

StderrMessageBox fallback;
std::atomic<MessageBoxPort*> current{nullptr};

}  // namespace

MessageBoxPort& MessageBox() {
  MessageBoxPort* port = current.load();
  return port ? *port : fallback;
}

void SetMessageBox(MessageBoxPort* port) { current = port; }

}  // namespace ui
