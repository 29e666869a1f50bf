#include "monitor/settings/monitor_settings.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/codepage/codepage.h"

std::string MonitorSettingsPath() {
  std::filesystem::path directory;
  const char* home = std::getenv("VIGIMON_HOME");
  if (home != nullptr && *home != '\0') {
    directory = home;
  } else {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    // Without /proc the working directory is the best guess at where the
    // program was started from.
    directory = error ? std::filesystem::path(".") : executable.parent_path();
  }
  // Absolute, so that the file stays where it was found whatever directory
  // the process is in when it saves.
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(directory, error);
  if (!error) directory = absolute;
  return (directory.lexically_normal() / "Vigimon.ini").string();
}

MonitorSettings& MonitorSettings::Instance() {
  static MonitorSettings settings = [] {
    MonitorSettings created;
    created.iniPath = MonitorSettingsPath();
    return created;
  }();
  return settings;
}

const std::string& DefaultTotalAreaName() {
  static const std::string name = codepage::Utf8ToGbk("大面积离线");
  return name;
}
