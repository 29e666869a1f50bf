// What the monitor knows about one loudspeaker terminal, as the last state
// refresh of the terminal information server left it.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/acquisition/local_timestamp.h"

struct TerminalRecord {
  int32_t id = 0;
  std::string name;  // GBK; empty until the first answered state query
  std::string tag;   // GBK; empty until the first answered state query
  std::string ip;    // dotted IPv4 text
  bool online = false;
  int32_t faultCode = 0;  // 0..127
  // When the record was created or its online state or fault code last
  // changed.
  LocalTimestamp lastChange;
};

// "%d.%d.%d.%d" of an address whose most significant byte is the first
// octet. Writes at most 16 bytes (terminator included) and returns the
// length, so that a poll of many terminals formats without allocating.
size_t FormatIpv4(uint32_t address, char (&text)[16]);
std::string FormatIpv4(uint32_t address);
