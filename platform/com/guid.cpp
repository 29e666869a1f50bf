#include "platform/com/guid.h"

#include <cstdio>

namespace com {

std::string FormatGuid(const Guid& guid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.data1, guid.data2,
                guid.data3, guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4], guid.data4[5],
                guid.data4[6], guid.data4[7]);
  return text;
}

size_t GuidHash::operator()(const Guid& guid) const noexcept {
  // FNV-1a over the fields; identifiers are random enough that nothing
  // cleverer is needed.
  uint64_t hash = 14695981039346656037ull;
  auto mix = [&hash](uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      hash ^= (value >> (8 * i)) & 0xFF;
      hash *= 1099511628211ull;
    }
  };
  mix(guid.data1, 4);
  mix(guid.data2, 2);
  mix(guid.data3, 2);
  for (uint8_t b : guid.data4) mix(b, 1);
  return static_cast<size_t>(hash);
}

}  // namespace com
