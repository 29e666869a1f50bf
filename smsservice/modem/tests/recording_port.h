// A serial port for tests: always open, and every byte written is kept in
// `written`; what a read returns is up to the test's subclass.
#pragma once

#include <cstdint>
#include <string>

#include "platform/serial/serial_port.h"

class RecordingPort : public serial::SerialPort {
 public:
  std::string written;

  bool Open(const std::string&, uint32_t, serial::Parity, int, serial::StopBits) override { return true; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  int Write(const void* bytes, int count) override {
    if (count <= 0) return 0;
    written.append(static_cast<const char*>(bytes), count);
    return count;
  }
};
