#include "tests/e2e/support/monitor_installation.h"

#include <stdexcept>
#include <stdlib.h>

MonitorInstallation::MonitorInstallation(MonitorSettings settings) {
  char pattern[] = "/tmp/vigimon-window-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  home_ = pattern;
  quillon_ = std::make_unique<QuillonService>();
  bcsim_ = std::make_unique<BcSim>(nlohmann::json{{"generate", {{"terminals", 100}, {"areas", 3}}}});

  settings.comPort = quillon_->com();
  settings.iniPath = (home_ / "Vigimon.ini").string();
  saveSettings(settings);

  setenv("VIGIMON_HOME", home_.c_str(), 1);
  setenv("QUILLON_SERVICE_PORT", std::to_string(quillon_->port()).c_str(), 1);
  setenv("QUILLON_INFO_PORT", std::to_string(bcsim_->infoPort()).c_str(), 1);
}

MonitorInstallation::~MonitorInstallation() {
  bcsim_.reset();
  quillon_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(home_, ignored);
}
