// The service-centre time stamp a received SMS carries: two digits each for
// year, month, day, hour, minute and second, then the centre's zone in
// quarter hours ("-" first west of Greenwich).
#pragma once

#include <optional>
#include <string>

// The stamp as this computer's local time: "24071216304232" (16:30:42 at
// UTC+8) -> "2024-07-12 16:30:42" in Beijing, "2024-07-12 08:30:42" in
// London in winter. A stamp without a readable zone, or whose fields are
// not digits, is shown with its own fields as they stand. Nothing for
// fewer than 12 characters.
std::optional<std::string> StampToTimeText(const std::string& stamp);
