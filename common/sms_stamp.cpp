#include "common/sms_stamp.h"

#include <ctime>

namespace {

constexpr size_t kFieldDigits = 12;

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

int Field(const std::string& stamp, size_t at) { return (stamp[at] - '0') * 10 + (stamp[at + 1] - '0'); }

// The zone after the fields, in seconds east of Greenwich.
std::optional<long> ZoneSeconds(const std::string& stamp) {
  std::string zone = stamp.substr(kFieldDigits);
  bool west = !zone.empty() && zone[0] == '-';
  if (west) zone.erase(0, 1);
  if (zone.size() != 2 || !AllDigits(zone)) return std::nullopt;
  long seconds = std::stol(zone) * 15 * 60;
  return west ? -seconds : seconds;
}

}  // namespace

std::optional<std::string> StampToTimeText(const std::string& stamp) {
  if (stamp.size() < kFieldDigits) return std::nullopt;
  std::string asStated = "20" + stamp.substr(0, 2) + "-" + stamp.substr(2, 2) + "-" + stamp.substr(4, 2) + " " +
                         stamp.substr(6, 2) + ":" + stamp.substr(8, 2) + ":" + stamp.substr(10, 2);
  std::optional<long> zone = ZoneSeconds(stamp);
  if (!zone || !AllDigits(stamp.substr(0, kFieldDigits))) return asStated;
  std::tm centre{};
  centre.tm_year = 100 + Field(stamp, 0);
  centre.tm_mon = Field(stamp, 2) - 1;
  centre.tm_mday = Field(stamp, 4);
  centre.tm_hour = Field(stamp, 6);
  centre.tm_min = Field(stamp, 8);
  centre.tm_sec = Field(stamp, 10);
  std::time_t utc = timegm(&centre) - *zone;
  std::tm local{};
  if (!localtime_r(&utc, &local)) return asStated;
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return std::string(text);
}
