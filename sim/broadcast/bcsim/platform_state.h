// Everything the simulated platform knows, shared by the four ports: the
// scenario, the sessions, the logs, the faults and the settings a test can
// change. The ports run on one thread, so nothing here is locked.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/broadcast/bcsim/fault_plan.h"
#include "sim/broadcast/bcsim/scenario.h"
#include "sim/broadcast/bcsim/session_book.h"

namespace bcsim {

struct TermListOptions {
  // The reply goes out in writes of this many bytes, this far apart, so
  // that a client sees it in several receives.
  int chunkBytes = 1000;
  int gapMs = 5;
  std::vector<std::string> extraLines;  // UTF-8, sent as they are after conversion to GBK
  int extraAt = 0;                      // how many terminal lines go before them
};

// A bounded record of what a port received, oldest first.
class EventLog {
 public:
  static constexpr size_t kCapacity = 20000;
  void Add(nlohmann::json entry) {
    if (entries_.size() == kCapacity) entries_.pop_front();
    entries_.push_back(std::move(entry));
  }
  nlohmann::json ToJson() const {
    return nlohmann::json(std::vector<nlohmann::json>(entries_.begin(), entries_.end()));
  }
  void Clear() { entries_.clear(); }

 private:
  std::deque<nlohmann::json> entries_;
};

struct PlatformState {
  static constexpr int kDefaultQuietMs = 50;

  Scenario loaded;  // what a reset returns to
  Scenario live;
  SessionBook sessions;
  FaultPlan faults;
  EventLog commandLog;
  EventLog infoLog;
  std::string user = "admin";
  std::string password = "vexil";
  TermListOptions termList;
  int quietMs = kDefaultQuietMs;
  int openCommandConnections = 0;
  int lastConnectionId = 0;  // numbers every connection on every port

  // Back to the loaded scenario with no sessions, faults or log entries and
  // the default settings. Connections stay as they are.
  void Reset() {
    live = loaded;
    sessions.Clear();
    faults.Clear();
    commandLog.Clear();
    infoLog.Clear();
    user = "admin";
    password = "vexil";
    termList = TermListOptions();
    quietMs = kDefaultQuietMs;
  }
};

}  // namespace bcsim
