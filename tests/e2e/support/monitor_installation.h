// The simulated installation a windowed monitor runs against inside the
// test's own process: modemsim and Quillon, bcsim with 100 terminals in
// three areas, and a scratch program directory holding Vigimon.ini. The
// process environment is pointed at all of it, so MonitorCore::Start finds it.
#pragma once

#include <filesystem>
#include <memory>

#include "monitor/settings/monitor_settings.h"
#include "tests/e2e/support/bc_sim.h"
#include "tests/e2e/support/quillon_service.h"

class MonitorInstallation {
 public:
  // `settings` go into Vigimon.ini, except the port, which is modemsim's.
  explicit MonitorInstallation(MonitorSettings settings);
  ~MonitorInstallation();

  QuillonService& quillon() { return *quillon_; }
  BcSim& bcsim() { return *bcsim_; }
  const std::filesystem::path& home() const { return home_; }

 private:
  std::filesystem::path home_;
  std::unique_ptr<QuillonService> quillon_;
  std::unique_ptr<BcSim> bcsim_;
};
