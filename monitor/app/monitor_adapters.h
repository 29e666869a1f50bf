// The alerts' ports filled with the real parts: the acquisition's results
// and the client agent, whose every queued SMS is also reported.
#pragma once

#include <functional>
#include <string>

#include "common/kestrum_agent.h"
#include "monitor/acquisition/terminal_acquisition.h"
#include "monitor/alerts/alert_inputs.h"

class AcquisitionLookup final : public TerminalLookup {
 public:
  explicit AcquisitionLookup(const TerminalAcquisition& acquisition) : acquisition_(acquisition) {}
  std::optional<TerminalFacts> Find(int32_t id) const override {
    const auto& table = acquisition_.terminalTable();
    auto it = table.find(id);
    if (it == table.end()) return std::nullopt;
    return TerminalFacts{it->second.online, it->second.name};
  }
  size_t PresentCount() const override { return acquisition_.presentIds().size(); }
  int32_t OfflineCount() const override { return acquisition_.offlineCount(); }
  const std::map<int32_t, std::vector<int32_t>>& AreaMembers() const override { return acquisition_.areaMembers(); }

 private:
  const TerminalAcquisition& acquisition_;
};

// The client agent as the outbox hands it messages.
class AgentCarrier final : public AlertSender {
 public:
  explicit AgentCarrier(KestrumAgent& agent) : agent_(agent) {}
  bool QueueSend(const char* centre, const char* peer, const char* text, uint8_t dcs) override {
    return agent_.QueueSend(centre, peer, text, dcs);
  }

 private:
  KestrumAgent& agent_;
};

class ReportingSender final : public AlertSender {
 public:
  // `report` hears every message handed to `next` (peer, GBK text, accepted).
  ReportingSender(AlertSender& next, std::function<void(const std::string&, const std::string&, bool)> report)
      : next_(next), report_(std::move(report)) {}
  bool QueueSend(const char* centre, const char* peer, const char* text, uint8_t dcs) override {
    bool queued = next_.QueueSend(centre, peer, text, dcs);
    report_(peer, text, queued);
    return queued;
  }

 private:
  AlertSender& next_;
  std::function<void(const std::string&, const std::string&, bool)> report_;
};
