// A modemsim started for one test: its device folder, COM number and control.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/support/child_process.h"
#include "tests/e2e/support/json_line_client.h"

// Bytes that crossed the serial line one way, as modemsim saw them.
struct LineCrossing {
  bool fromHost;
  std::string bytes;
};

class ModemSim {
 public:
  // Starts modemsim linked as COM<com> in a fresh folder and connects to its
  // control port; throws when it does not come up.
  explicit ModemSim(int com = 5, int storage = 50);
  ~ModemSim();

  JsonLineClient& control() { return *control_; }
  nlohmann::json Call(const nlohmann::json& request) { return control_->Call(request); }
  const std::filesystem::path& deviceDir() const { return deviceDir_; }
  int com() const { return com_; }
  ChildProcess& process() { return *process_; }

  // Lines the modem received (commands, and PDUs after a prompt).
  std::vector<std::string> CommandLines();
  // Received lines that start with `prefix`.
  std::vector<std::string> LinesStartingWith(const std::string& prefix);
  // Milliseconds (since modemsim started) of the lines that start with `prefix`.
  std::vector<long> TimesOf(const std::string& prefix);
  // Everything that crossed the serial line so far, in order.
  std::vector<LineCrossing> Transcript();

 private:
  std::filesystem::path deviceDir_;
  int com_;
  std::unique_ptr<ChildProcess> process_;
  std::unique_ptr<JsonLineClient> control_;
};

// Polls `condition` every 10 ms until it holds or `seconds` of real time pass.
bool WaitUntil(const std::function<bool()>& condition, double seconds);
