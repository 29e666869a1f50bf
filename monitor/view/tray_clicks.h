// Whether a click on the notification-area icon shows or hides the window.
// A single click does, and so does a double click; but a host that reports
// a double click after the single click of its first press means one
// gesture, which must not toggle twice.
#pragma once

#include <chrono>
#include <optional>

class TrayClicks {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  enum class Click { Single, Double, Other };

  explicit TrayClicks(std::chrono::milliseconds doubleClickInterval) : interval_(doubleClickInterval) {}

  bool Toggles(Click click, TimePoint now) {
    if (click == Click::Single) {
      lastSingle_ = now;
      return true;
    }
    if (click != Click::Double) return false;
    bool sameGesture = lastSingle_ && now - *lastSingle_ <= interval_;
    lastSingle_.reset();
    return !sameGesture;
  }

 private:
  std::chrono::milliseconds interval_;
  std::optional<TimePoint> lastSingle_;
};
