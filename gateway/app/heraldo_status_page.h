// The status page of Heraldo's metrics port, for a person with a browser:
// the SMS service and the broadcast server, the queue, and the last
// broadcasts with their senders masked. In Chinese like the window;
// refreshes itself every 10 s; no script.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "gateway/app/broadcast_tally.h"
#include "gateway/app/server_contact.h"

enum class SmsServiceState { Idle, Connecting, Ready };

struct HeraldoStatus {
  SmsServiceState smsService = SmsServiceState::Idle;
  ServerContact::State server = ServerContact::State::NotYet;
  std::time_t serverLearnt = 0;
  size_t queueLength = 0;
  uint64_t received = 0;
  std::array<uint64_t, kBroadcastResults> results{};
  std::vector<RecentBroadcast> recent;  // newest first
};

std::string HeraldoStatusPage(const HeraldoStatus& status, std::time_t now);
