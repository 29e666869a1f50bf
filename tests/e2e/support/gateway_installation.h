// The simulated installation a windowed gateway runs against inside the
// test's own process: modemsim and Quillon, bcsim with twelve terminals
// whose sessions stream to the data port 15001, and a scratch program
// directory holding SMS.ini and SMServer.ini. The process environment is
// pointed at all of it, so GatewayCore::Start finds it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "gateway/gateway_settings.h"
#include "tests/e2e/support/bc_sim.h"
#include "tests/e2e/support/quillon_service.h"

class GatewayInstallation {
 public:
  // `settings` go into SMS.ini, except the port, which is modemsim's.
  // `playbackSpeed` plays sound that many times faster than real time.
  explicit GatewayInstallation(GatewaySettings settings, const std::string& playbackSpeed = "20");
  ~GatewayInstallation();

  QuillonService& quillon() { return *quillon_; }
  BcSim& bcsim() { return *bcsim_; }
  const std::filesystem::path& home() const { return home_; }
  // An SMS from `from` (with its "86") stored in the modem as UCS2.
  void InjectSms(const std::string& from, const std::string& utf8Text);

 private:
  std::filesystem::path home_;
  std::unique_ptr<QuillonService> quillon_;
  std::unique_ptr<BcSim> bcsim_;
};
