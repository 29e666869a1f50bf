// What the modem driver's tests share: a serial port that records what is
// written, and a short message to send.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/serial/serial_port.h"
#include "smsservice/modem/modem_sms.h"

// Always open; every byte written is kept in `written`. What a read returns
// is up to the test's subclass.

class RecordingPort : public serial::SerialPort {
 public:
  std::string written;

  bool Open(const std::string&, uint32_t, serial::Parity, int, serial::StopBits) override { return true; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  bool Lost() override { return false; }
  int Write(const void* bytes, int count) override {
    if (count <= 0) return 0;
    written.append(static_cast<const char*>(bytes), count);
    return count;
  }
};

// "hi" to 8612 through centre 861380, as 7-bit text.
inline ModemSms Hi() {
  ModemSms sms;
  std::strcpy(sms.smsc, "861380");
  std::strcpy(sms.number, "8612");
  std::strcpy(sms.text, "hi");
  return sms;
}
