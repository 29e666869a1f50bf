#include "platform/ui/event_timers.h"

#include <algorithm>
#include <thread>

#include "platform/com/apartment.h"
#include "platform/timescale/timescale.h"

void EventTimers::Add(std::chrono::milliseconds period, std::function<void()> action) {
  timers_.push_back({period, clock_.MonotonicNow() + period, std::move(action)});
}

void EventTimers::Run(const std::function<bool()>& stopRequested) {
  using std::chrono::milliseconds;
  constexpr auto kLongestWait = milliseconds(100);  // how soon a stop is seen
  auto apartment = com::Apartment::Current();
  while (!stopRequested()) {
    auto next = clock_.MonotonicNow() + kLongestWait;
    for (const auto& timer : timers_) next = std::min(next, timer.due);
    auto wait = std::chrono::duration_cast<milliseconds>(timescale::Real(
        std::max(std::chrono::duration_cast<milliseconds>(next - clock_.MonotonicNow()), milliseconds(0))));
    if (apartment) apartment->RunFor(wait);
    else if (wait.count() > 0) std::this_thread::sleep_for(wait);
    for (auto& timer : timers_) {
      if (clock_.MonotonicNow() < timer.due) continue;
      timer.action();
      // Like a window timer, a late tick is not made up for.
      timer.due = std::max(timer.due + timer.period, clock_.MonotonicNow());
    }
  }
}
