// Broadcast settings that point at a bcsim, and, in UTF-8, every line the
// broadcast agent logs while this object lives.
#pragma once

#include <string>
#include <vector>

#include "gateway/broadcast/diag_log.h"
#include "gateway/broadcast_server_settings.h"
#include "platform/codepage/codepage.h"
#include "tests/e2e/support/bc_sim.h"

class BroadcastLogCapture {
 public:
  explicit BroadcastLogCapture(const BcSim& sim) {
    server.serverAddress = "127.0.0.1";
    server.cmdPort = sim.cmdPort();
    RegisterLogger(BROADCAST_LOG_CATEGORY, LogLevel::Debug);
    AddLogSink(BROADCAST_LOG_CATEGORY,
               [this](const char*, const std::string& line) { lines.push_back(codepage::GbkToUtf8(line)); });
  }
  ~BroadcastLogCapture() { RemoveLogger(BROADCAST_LOG_CATEGORY); }
  BroadcastLogCapture(const BroadcastLogCapture&) = delete;
  BroadcastLogCapture& operator=(const BroadcastLogCapture&) = delete;

  BroadcastServerSettings server;
  std::vector<std::string> lines;
};
