#include "monitor/app/export_command.h"

#include <cstdio>

#include "monitor/acquisition/acquisition_sequences.h"
#include "monitor/export/terminal_export.h"
#include "monitor/settings/monitor_settings.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/clock/clock.h"
#include "platform/codepage/codepage.h"
#include "platform/com/apartment.h"
#include "platform/ui/message_box.h"

namespace {

// Without a window the operator reads the result on the terminal.
class StdoutMessageBox final : public ui::MessageBoxPort {
 public:
  int Show(const std::string& text, const std::string&, ui::MessageIcon, int buttons) override {
    std::printf("%s\n", codepage::GbkToUtf8(text).c_str());
    std::fflush(stdout);
    return buttons == ui::MB_YESNO ? ui::IDYES : ui::IDOK;
  }
};

}  // namespace

int RunExportCommand(const std::string& path, MonitorSettings& settings) {
  com::CoInitialize();
  broadcast_components::RegisterBroadcastComponents();
  loadSettings(settings);

  int status = 1;
  {
    TerminalAcquisition acquisition(settings, SystemClock());
    // No area selector to refill; the settings are not saved, so the
    // areas read from the server change nothing on disk.
    if (!RunStartUpSequence(acquisition, [] {})) {
      std::fputs("Vigimon: the terminal information server did not answer; nothing was exported\n", stderr);
    } else {
      StdoutMessageBox box;
      status = ExportTerminalTableTo(acquisition, codepage::Utf8ToUtf16(path), box).written ? 0 : 1;
    }
  }
  com::CoUninitialize();
  return status;
}
