#include "gateway/app/arrival_line.h"

void ArrivalLine::Came(TimePoint at) {
  std::lock_guard hold(lock_);
  waiting_.push_back(at);
  ++total_;
}

std::optional<ArrivalLine::TimePoint> ArrivalLine::Take() {
  std::lock_guard hold(lock_);
  if (waiting_.empty()) return std::nullopt;
  TimePoint at = waiting_.front();
  waiting_.pop_front();
  return at;
}

size_t ArrivalLine::Waiting() const {
  std::lock_guard hold(lock_);
  return waiting_.size();
}

uint64_t ArrivalLine::Total() const {
  std::lock_guard hold(lock_);
  return total_;
}
