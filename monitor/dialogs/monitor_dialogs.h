// The monitor's settings dialogs as the main window opens them from "设置".
// Each one edits MonitorSettings only when the operator confirms it, and
// then saves Vigimon.ini itself; the window applies the change afterwards.
#pragma once

#include <optional>
#include <vector>

#include "monitor/acquisition/terminal_acquisition.h"
#include "monitor/settings/monitor_settings.h"

// Where "电话号码" reads the platform's areas from. Nothing when the
// terminal information server could not be read; an empty list is a
// successful read of no areas.
class ServerAreaSource {
 public:
  virtual ~ServerAreaSource() = default;
  virtual std::optional<std::vector<ServerArea>> ReadAreas() = 0;
};

// Reads the areas from the terminal information server as the poll's area
// step does, but into a scratch copy of the settings: opening the dialog
// must never rewrite the operator's areas behind his back.
class PlatformAreaSource final : public ServerAreaSource {
 public:
  std::optional<std::vector<ServerArea>> ReadAreas() override;
};

class MonitorDialogs {
 public:
  virtual ~MonitorDialogs() = default;
  // "参数设置": true on OK, with `settings` written and saved; the caller
  // then rebuilds the report schedule and restarts its poll timer.
  virtual bool RunSystemSettings(MonitorSettings& settings) = 0;
  // "电话号码管理": true on OK, with the areas and contacts written and
  // saved; the caller then refills its area combo and reloads memberships.
  virtual bool RunPhoneNumbers(MonitorSettings& settings, ServerAreaSource& areas) = 0;
};
