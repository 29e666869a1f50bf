// The simulators' control replies, as both control-parser targets check them.
#pragma once

#include <string>
#include <string_view>

// One JSON object that says ok, or not ok with a reason: the keys come in
// order, so a refusal is exactly {"error":"...","ok":false}.
inline bool Answered(const std::string& reply) {
  constexpr std::string_view kRefused = "{\"error\":\"";
  if (reply.find("\"ok\":true") != std::string::npos) return reply.starts_with("{") && reply.ends_with("}");
  return reply.starts_with(kRefused) && reply.size() > kRefused.size() && reply[kRefused.size()] != '"' &&
         reply.ends_with("\",\"ok\":false}");
}
