// The service-centre time stamp a received SMS carries: two digits each for
// year, month, day, hour, minute and second, then the zone.
#pragma once

#include <optional>
#include <string>

// "24071216304232" -> "2024-07-12 16:30:42"; nothing for fewer than 12
// characters. Characters beyond the twelfth are ignored.
std::optional<std::string> StampToTimeText(const std::string& stamp);
