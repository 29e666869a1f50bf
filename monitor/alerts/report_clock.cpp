#include "monitor/alerts/report_clock.h"

#include <chrono>

namespace {

constexpr long kLongestCatchUp = 60;

// The calendar time of `cur`'s date at the time of day `t`.
std::time_t SameDayAt(const std::tm& cur, const TimeOfDay& t) {
  std::tm target = cur;
  target.tm_hour = t.hour;
  target.tm_min = t.minute;
  target.tm_sec = t.second;
  target.tm_isdst = -1;
  return std::mktime(&target);
}

}  // namespace

ReportClock::ReportClock(std::function<void()> post, const Clock& clock) : post_(std::move(post)), clock_(clock) {}

ReportClock::~ReportClock() { Stop(); }

void ReportClock::SetSchedule(const std::vector<ReportTimePoint>& times) {
  std::lock_guard lock(scheduleLock_);
  reportSchedule_.clear();
  for (const auto& point : times) reportSchedule_.push_back(point.time);
}

void ReportClock::ResetLastSecond(std::time_t now) {
  std::lock_guard lock(scheduleLock_);
  lastSecond_ = now;
}

void ReportClock::Tick(std::time_t now) {
  std::lock_guard lock(scheduleLock_);
  long n = static_cast<long>(now - lastSecond_);
  if (n > kLongestCatchUp) {
    lastSecond_ = now - 1;
    n = 1;
  }
  for (long i = 0; i < n; ++i) {
    ++lastSecond_;
    std::tm cur{};
    localtime_r(&lastSecond_, &cur);
    std::time_t curTime = std::mktime(&cur);
    for (const TimeOfDay& t : reportSchedule_)
      if (SameDayAt(cur, t) - curTime == 0) post_();
  }
}

void ReportClock::Start() {
  if (running_.exchange(true)) return;
  ResetLastSecond(clock_.WallNow());
  thread_ = std::thread([this] {
    auto next = std::chrono::steady_clock::now();
    while (running_) {
      next += std::chrono::seconds(1);
      std::this_thread::sleep_until(next);
      if (running_) Tick(clock_.WallNow());
    }
  });
}

void ReportClock::Stop() {
  if (!running_.exchange(false)) return;
  if (thread_.joinable()) thread_.join();
}
