// The SMS service as a test runs it: modemsim as its modem, registered as a
// plain program in a scratch registry, listening on a free loopback port.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/support/child_process.h"
#include "tests/e2e/support/modem_sim.h"

class QuillonService {
 public:
  // Starts modemsim (COM<com>) and Quillon with the modem's waits at
  // `timeScale`; throws when either does not come up.
  // `options` go to Quillon's command line.
  explicit QuillonService(int com = 3, const std::string& timeScale = "0.1", std::vector<std::string> options = {});
  ~QuillonService();

  ModemSim& sim() { return *sim_; }
  int port() const { return port_; }
  int com() const { return sim_->com(); }
  pid_t pid() const { return process_->pid(); }
  // Where Quillon's standard output goes.
  std::filesystem::path log() const { return scratch_ / "quillon.log"; }
  // Its journal's folder.
  std::filesystem::path stateDir() const { return scratch_ / "state"; }
  // What a client of this service needs in its environment.
  const std::map<std::string, std::string>& env() const { return env_; }

 private:
  std::filesystem::path scratch_;
  std::unique_ptr<ModemSim> sim_;
  int port_;
  std::map<std::string, std::string> env_;
  std::unique_ptr<ChildProcess> process_;
};
