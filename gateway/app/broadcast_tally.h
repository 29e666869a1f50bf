// The pipeline's figures kept for the metrics port: the stage timings, how
// the broadcasts ended, how many messages wait, and the last broadcasts for
// the status page. Written on the pipeline's thread, read on the port's
// threads, each under one short lock.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <prometheus/client_metric.h>
#include <prometheus/histogram.h>

#include "gateway/pipeline/broadcast_observer.h"

// One ended broadcast as the status page lists it; texts in UTF-8.
struct RecentBroadcast {
  BroadcastResult result = BroadcastResult::Played;
  std::string number;
  std::string time;
  std::string text;
  std::string stateText;
};

class BroadcastTally final : public BroadcastObserver {
 public:
  static constexpr size_t kRecent = 20;

  BroadcastTally();

  void StageTook(BroadcastStage stage, std::chrono::duration<double> took) override;
  void Ended(const BroadcastEnd& end) override;
  void Waiting(size_t messages) override;

  // By BroadcastResult.
  std::array<uint64_t, kBroadcastResults> Results() const;
  size_t WaitingCount() const;
  // The last kRecent, newest first.
  std::vector<RecentBroadcast> Recent() const;
  // The stage's histogram in seconds, without its label.
  prometheus::ClientMetric StageSeconds(BroadcastStage stage) const;

 private:
  mutable std::mutex lock_;
  std::array<uint64_t, kBroadcastResults> results_{};
  size_t waiting_ = 0;
  std::deque<RecentBroadcast> recent_;
  // Each keeps its own lock.
  std::array<std::unique_ptr<prometheus::Histogram>, kBroadcastStages> stages_;
};
