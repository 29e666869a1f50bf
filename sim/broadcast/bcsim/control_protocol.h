// The control port: one JSON request per line in, one JSON reply out.
// Tests and the demo use it to load and change the scenario, read what the
// gateway and the components did (sessions, logs) and switch faults on and
// off. README.md lists the requests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "sim/broadcast/bcsim/platform_state.h"

namespace bcsim {

class ControlProtocol {
 public:
  // Takes a port ("command", "data", "info") down or up again; false with
  // the reason in the string.
  using PortSwitch = std::function<bool(const std::string& port, bool up, std::string& error)>;

  ControlProtocol(PlatformState& state, PortSwitch portSwitch) : state_(state), portSwitch_(std::move(portSwitch)) {}

  // The reply to one request line, without its newline. Never throws.
  // `nowMs` is the simulator's clock, for the "clock" request.
  std::string Handle(std::string_view line, int64_t nowMs = 0);

 private:
  nlohmann::json Dispatch(const std::string& cmd, const nlohmann::json& request);
  nlohmann::json Load(const nlohmann::json& request);
  nlohmann::json Fail(const nlohmann::json& request);
  nlohmann::json Stall(const nlohmann::json& request);
  nlohmann::json FailInfo(const nlohmann::json& request);
  nlohmann::json Port(const std::string& port, bool up);
  nlohmann::json Faults() const;

  PlatformState& state_;
  PortSwitch portSwitch_;
  int64_t nowMs_ = 0;
};

// Reads a scenario file (JSON) into `scenario`; throws BadRequest.
void LoadScenarioFile(const std::string& path, Scenario& scenario);

}  // namespace bcsim
