// Where the entry dialog gets the broadcast server's terminals from: the
// server through a command agent, or a fixed list in tests.
#pragma once

#include <vector>

#include "gateway/broadcast/bc_agent.h"

class TermListSource {
 public:
  virtual ~TermListSource() = default;
  // The server's terminals in its order; empty when it cannot be reached.
  virtual std::vector<TermInfo> TermList() = 0;
};

// Asks the configured broadcast server, with an agent made for the one
// request and closed after it.
class ServerTermListSource final : public TermListSource {
 public:
  // `server` must outlive the source.
  explicit ServerTermListSource(const BroadcastServerSettings& server) : server_(server) {}
  std::vector<TermInfo> TermList() override;

 private:
  const BroadcastServerSettings& server_;
};
