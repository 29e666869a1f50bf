// The one serial port of the service. The start-up dialogue uses it first,
// then the traffic engine; never both at once, so it needs no lock. The
// modem owns it and hands it to both.
#pragma once

#include <chrono>
#include <memory>

#include "platform/serial/serial_port.h"

inline constexpr int NOPARITY = 0;
inline constexpr int ONESTOPBIT = 0;

class SerialLine {
 public:
  // Over termios, or over another port implementation (tests).
  explicit SerialLine(std::unique_ptr<serial::SerialPort> port = serial::MakeTermiosPort());

  // Opens "\\.\COMn" (see serial::ResolveDevicePath) with the given framing.
  bool Open(const char* deviceName, int baud, int parity, int dataBits, int stopBits);
  void Close() { port_->Close(); }
  bool IsOpen() const { return port_->IsOpen(); }
  int Write(const void* bytes, int count) { return port_->Write(bytes, count); }
  int Read(void* buffer, int count) { return port_->Read(buffer, count); }
  // Waits at most `nominal` for the modem to send something; true when a
  // read would not wait (see serial::SerialPort::WaitForInput).
  bool WaitForInput(std::chrono::milliseconds nominal) { return port_->WaitForInput(nominal); }
  // Whether the device behind the open port has gone (see serial::SerialPort::Lost).
  bool Lost() { return port_->IsOpen() && port_->Lost(); }

 private:
  std::unique_ptr<serial::SerialPort> port_;
};
