#include "gateway/app/broadcast_tally.h"

#include "platform/codepage/codepage.h"

namespace {

// From a speech of a short message to a session of several minutes' audio.
const prometheus::Histogram::BucketBoundaries kStageBuckets = {0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 20, 30, 60, 120};

}  // namespace

BroadcastTally::BroadcastTally() {
  for (auto& stage : stages_) stage = std::make_unique<prometheus::Histogram>(kStageBuckets);
}

void BroadcastTally::StageTook(BroadcastStage stage, std::chrono::duration<double> took) {
  stages_[static_cast<size_t>(stage)]->Observe(took.count());
}

void BroadcastTally::Ended(const BroadcastEnd& end) {
  RecentBroadcast entry{end.result, codepage::GbkToUtf8(end.number), codepage::GbkToUtf8(end.time),
                        codepage::GbkToUtf8(end.text), codepage::GbkToUtf8(end.stateText)};
  std::lock_guard hold(lock_);
  ++results_[static_cast<size_t>(end.result)];
  recent_.push_front(std::move(entry));
  if (recent_.size() > kRecent) recent_.pop_back();
}

void BroadcastTally::Waiting(size_t messages) {
  std::lock_guard hold(lock_);
  waiting_ = messages;
}

std::array<uint64_t, kBroadcastResults> BroadcastTally::Results() const {
  std::lock_guard hold(lock_);
  return results_;
}

size_t BroadcastTally::WaitingCount() const {
  std::lock_guard hold(lock_);
  return waiting_;
}

std::vector<RecentBroadcast> BroadcastTally::Recent() const {
  std::lock_guard hold(lock_);
  return {recent_.begin(), recent_.end()};
}

prometheus::ClientMetric BroadcastTally::StageSeconds(BroadcastStage stage) const {
  return stages_[static_cast<size_t>(stage)]->Collect();
}
