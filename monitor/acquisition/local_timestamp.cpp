#include "monitor/acquisition/local_timestamp.h"

LocalTimestamp ToLocalTimestamp(std::time_t when) {
  std::tm local{};
  return {when, when != static_cast<std::time_t>(-1) && localtime_r(&when, &local) != nullptr};
}

std::string FormatLocalTimestamp(const LocalTimestamp& moment) {
  static const std::string kInvalid = "Invalid DateTime";
  if (!moment.valid) return kInvalid;
  std::tm local{};
  if (!localtime_r(&moment.when, &local)) return kInvalid;
  char text[32];
  size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  if (length == 0) return kInvalid;
  return std::string(text, length);
}
