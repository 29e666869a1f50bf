#include "tests/e2e/support/bc_sim.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

BcSim::BcSim(const nlohmann::json& scenario, int dataPort)
    : cmdPort_(FreeLoopbackPort()),
      dataPort_(dataPort ? dataPort : FreeLoopbackPort()),
      infoPort_(FreeLoopbackPort()),
      controlPort_(FreeLoopbackPort()) {
  scenarioPath_ = "/tmp/bcsim-scenario-" + std::to_string(getpid()) + "-" + std::to_string(cmdPort_) + ".json";
  std::ofstream(scenarioPath_) << scenario.dump();
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{BinDir() + "/bcsim", "--cmd-port", std::to_string(cmdPort_), "--data-port",
                               std::to_string(dataPort_), "--info-port", std::to_string(infoPort_), "--control",
                               std::to_string(controlPort_), "--scenario", scenarioPath_});
  if (!process_->WaitForLine("ready", std::chrono::seconds(10))) throw std::runtime_error("bcsim did not start");
  control_ = std::make_unique<JsonLineClient>(controlPort_);
}

BcSim::~BcSim() {
  control_.reset();
  process_.reset();
  std::remove(scenarioPath_.c_str());
}

std::vector<nlohmann::json> BcSim::LogEntries(const std::string& kind) {
  nlohmann::json log = Call({{"cmd", "log"}});
  std::vector<nlohmann::json> entries;
  for (const auto& entry : log["entries"])
    if (entry.value("kind", "") == kind) entries.push_back(entry);
  return entries;
}

std::vector<std::string> BcSim::Commands() {
  std::vector<std::string> lines;
  for (const auto& entry : LogEntries("command")) lines.push_back(entry.value("line", ""));
  return lines;
}

nlohmann::json BcSim::Session(int number) {
  nlohmann::json all = Call({{"cmd", "sessions"}});
  for (const auto& session : all["sessions"])
    if (session.value("number", -1) == number) return session;
  return nullptr;
}
