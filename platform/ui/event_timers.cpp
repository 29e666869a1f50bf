#include "platform/ui/event_timers.h"

#include <algorithm>

#include "platform/com/apartment.h"

void EventTimers::Add(std::chrono::milliseconds period, std::function<void()> action) {
  timers_.push_back({period, Clock::now() + period, std::move(action)});
}

void EventTimers::Run(const std::function<bool()>& stopRequested) {
  constexpr auto kLongestWait = std::chrono::milliseconds(100);  // how soon a stop is seen
  auto apartment = com::Apartment::Current();
  while (!stopRequested()) {
    auto next = Clock::now() + kLongestWait;
    for (const auto& timer : timers_) next = std::min(next, timer.due);
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
    if (apartment) apartment->RunFor(std::max(wait, std::chrono::milliseconds(0)));
    else if (wait.count() > 0) std::this_thread::sleep_for(wait);
    for (auto& timer : timers_) {
      if (Clock::now() < timer.due) continue;
      timer.action();
      // Like a window timer, a late tick is not made up for.
      timer.due = std::max(timer.due + timer.period, Clock::now());
    }
  }
}
