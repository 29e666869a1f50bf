// What the alerts and reports read of the last poll, and where their SMS go.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// One terminal as the last state refresh left it.
struct TerminalFacts {
  bool online = false;
  std::string name;  // GBK
};

class TerminalLookup {
 public:
  virtual ~TerminalLookup() = default;
  // Nothing when the terminal table has no record of `id`.
  virtual std::optional<TerminalFacts> Find(int32_t id) const = 0;
  // Terminals answered in the last refresh, and how many of them were offline.
  virtual size_t PresentCount() const = 0;
  virtual int32_t OfflineCount() const = 0;
  // Members of each area, in the server's order.
  virtual const std::map<int32_t, std::vector<int32_t>>& AreaMembers() const = 0;
};

// The SMS client agent as the monitor uses it; null when there is none.
class AlertSender {
 public:
  virtual ~AlertSender() = default;
  virtual bool QueueSend(const char* centre, const char* peer, const char* text, uint8_t dcs) = 0;
};
