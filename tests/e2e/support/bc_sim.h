// A bcsim started for one test, on free loopback ports, with its control.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/support/child_process.h"
#include "tests/e2e/support/json_line_client.h"

class BcSim {
 public:
  // Starts bcsim with `scenario` (a scenario object, see sim/broadcast/README.md).
  // The data port is a free one unless given: the gateway's sessions always
  // stream to 15001, so tests that play sound take that one (and a ctest
  // resource lock keeps them apart).
  explicit BcSim(const nlohmann::json& scenario = nlohmann::json::object(), int dataPort = 0);
  ~BcSim();

  nlohmann::json Call(const nlohmann::json& request) { return control_->Call(request); }
  int cmdPort() const { return cmdPort_; }
  int dataPort() const { return dataPort_; }
  int infoPort() const { return infoPort_; }

  // The command port's log entries of `kind` ("command", "piece", ...).
  std::vector<nlohmann::json> LogEntries(const std::string& kind = "command");
  // The text of every command received, oldest first.
  std::vector<std::string> Commands();
  nlohmann::json Session(int number);

 private:
  int cmdPort_, dataPort_, infoPort_, controlPort_;
  std::string scenarioPath_;
  std::unique_ptr<ChildProcess> process_;
  std::unique_ptr<JsonLineClient> control_;
};
