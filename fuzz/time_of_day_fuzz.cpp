// The report times of the monitor's settings file. A time that is read back
// is in range and reads back the same from its own text.
#include <string>

#include "fuzz/fuzz_check.h"
#include "monitor/settings/monitor_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::optional<TimeOfDay> time = ParseTimeOfDay(std::string(reinterpret_cast<const char*>(data), size));
  if (!time) return 0;
  FUZZ_CHECK(time->hour >= 0 && time->hour <= 23 && time->minute >= 0 && time->minute <= 59 && time->second >= 0 &&
             time->second <= 59);
  std::optional<TimeOfDay> again = ParseTimeOfDay(FormatTimeOfDay(*time));
  FUZZ_CHECK(again && *again == *time);
  return 0;
}
