#include "tests/e2e/support/modem_sim.h"

#include <chrono>
#include <functional>
#include <stdexcept>
#include <stdlib.h>
#include <thread>

ModemSim::ModemSim(int com, int storage) : com_(com) {
  char pattern[] = "/tmp/modemsim-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  deviceDir_ = pattern;
  int port = FreeLoopbackPort();
  process_ = std::make_unique<ChildProcess>(std::vector<std::string>{
      BinDir() + "/modemsim", "--device-dir", deviceDir_.string(), "--com", std::to_string(com), "--control",
      std::to_string(port), "--storage", std::to_string(storage)});
  if (!process_->WaitForLine("ready", std::chrono::seconds(10))) throw std::runtime_error("modemsim did not start");
  control_ = std::make_unique<JsonLineClient>(port);
}

ModemSim::~ModemSim() {
  control_.reset();
  process_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(deviceDir_, ignored);
}

std::vector<std::string> ModemSim::CommandLines() {
  std::vector<std::string> lines;
  nlohmann::json log = Call({{"cmd", "log"}});
  for (const auto& entry : log["commands"]) lines.push_back(entry["line"]);
  return lines;
}

std::vector<std::string> ModemSim::LinesStartingWith(const std::string& prefix) {
  std::vector<std::string> lines;
  for (const auto& line : CommandLines())
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  return lines;
}

std::vector<long> ModemSim::TimesOf(const std::string& prefix) {
  std::vector<long> times;
  nlohmann::json log = Call({{"cmd", "log"}});
  for (const auto& entry : log["commands"])
    if (entry["line"].get<std::string>().rfind(prefix, 0) == 0) times.push_back(entry["t"]);
  return times;
}

std::vector<LineCrossing> ModemSim::Transcript() {
  std::vector<LineCrossing> crossings;
  nlohmann::json reply = Call({{"cmd", "transcript"}});
  for (const auto& entry : reply["transcript"]) crossings.push_back({entry["from"] == "host", entry["bytes"]});
  return crossings;
}

bool WaitUntil(const std::function<bool()>& condition, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}
