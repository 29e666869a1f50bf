// The one text form of times the programs show and store:
// "%Y-%m-%d %H:%M:%S" in local time, e.g. "2024-03-05 08:30:00".
#pragma once

#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace timetext {

std::string FormatLocalTime(std::time_t time);
// Truncated to the whole second.
std::string FormatLocalTime(std::chrono::system_clock::time_point time);

// Accepts exactly 19 characters "YYYY-MM-DD HH:MM:SS", every field with its
// full count of digits, naming a real local time: month 1-12, a day that
// exists in that month, hour 0-23, minute and second 0-59. A time skipped by
// a daylight-saving change is refused too, as it never appears on a clock.
std::optional<std::time_t> ParseLocalTime(std::string_view text);

}  // namespace timetext
