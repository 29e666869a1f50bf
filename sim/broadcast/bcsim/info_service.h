// The terminal information service behind the information port
// (PROTOCOL.md, "Information port"): one JSON request in, one JSON reply
// out, answered from the live scenario with the test's faults applied.
// Every request is logged for the control port's "info_log".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim/broadcast/bcsim/platform_state.h"

namespace bcsim {

inline constexpr int32_t kSOk = 0;
inline constexpr int32_t kSFalse = 1;
inline constexpr int32_t kETerminalGone = static_cast<int32_t>(0x8004040C);
inline constexpr int32_t kEInvalidArg = static_cast<int32_t>(0x80070057);
inline constexpr int32_t kENotImpl = static_cast<int32_t>(0x80004001);
inline constexpr int32_t kEFail = static_cast<int32_t>(0x80004005);

// The reply line (without its newline) to one request line. Never throws.
std::string AnswerInfoRequest(std::string_view line, int connection, PlatformState& state, int64_t nowMs);

}  // namespace bcsim
