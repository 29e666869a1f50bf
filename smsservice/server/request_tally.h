// How many requests of each kind the server has answered since it started,
// for the metrics. Counted on the reactor thread, read from any other.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class RequestTally {
 public:
  // A verified packet of command `code`, or one the server dropped.
  void Count(uint8_t code) { byCode_[code].fetch_add(1, std::memory_order_relaxed); }
  void CountRejected() { rejected_.fetch_add(1, std::memory_order_relaxed); }

  // ("sms_fetch", 12) for each kind seen, "invalid" for the rejected and
  // "unknown" for codes the server does not serve.
  std::vector<std::pair<std::string, uint64_t>> Counts() const;

 private:
  std::array<std::atomic<uint64_t>, 256> byCode_{};
  std::atomic<uint64_t> rejected_{0};
};

// The server's one tally.
RequestTally& Requests();
