#include "common/sms_stamp.h"

std::optional<std::string> StampToTimeText(const std::string& stamp) {
  if (stamp.size() < 12) return std::nullopt;
  return "20" + stamp.substr(0, 2) + "-" + stamp.substr(2, 2) + "-" + stamp.substr(4, 2) + " " + stamp.substr(6, 2) +
         ":" + stamp.substr(8, 2) + ":" + stamp.substr(10, 2);
}
