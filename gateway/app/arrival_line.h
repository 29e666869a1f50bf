// The SMS the client agent fetched and the pipeline has not taken yet, with
// the moment each reached the gateway, and how many came in all. The
// agent's worker adds, the pipeline takes, the metrics port reads: each
// under one short lock. The agent hands its messages on in the order it
// fetched them, so the oldest moment here is that of the message it hands
// out next.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

class ArrivalLine {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  void Came(TimePoint at);
  // The oldest waiting message's moment, which leaves the line; nothing
  // when none waits.
  std::optional<TimePoint> Take();
  size_t Waiting() const;
  uint64_t Total() const;

 private:
  mutable std::mutex lock_;
  std::deque<TimePoint> waiting_;
  uint64_t total_ = 0;
};
