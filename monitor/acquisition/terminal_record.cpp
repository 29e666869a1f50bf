#include "monitor/acquisition/terminal_record.h"

#include <cstdio>

size_t FormatIpv4(uint32_t address, char (&text)[16]) {
  int length = std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(address >> 24 & 0xFF),
                             static_cast<int>(address >> 16 & 0xFF), static_cast<int>(address >> 8 & 0xFF),
                             static_cast<int>(address & 0xFF));
  return length > 0 ? static_cast<size_t>(length) : 0;
}

std::string FormatIpv4(uint32_t address) {
  char text[16];
  return std::string(text, FormatIpv4(address, text));
}
