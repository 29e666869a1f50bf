#include "monitor/dialogs/monitor_dialogs.h"

#include "platform/clock/clock.h"

std::optional<std::vector<ServerArea>> PlatformAreaSource::ReadAreas() {
  MonitorSettings scratch;
  TerminalAcquisition acquisition(scratch, SystemClock());
  if (!acquisition.syncAreas()) return std::nullopt;
  return acquisition.serverAreas();
}
