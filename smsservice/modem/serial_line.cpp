#include "smsservice/modem/serial_line.h"

namespace {

std::unique_ptr<serial::SerialPort>& Port() {
  static std::unique_ptr<serial::SerialPort> port = serial::MakeTermiosPort();
  return port;
}

}  // namespace

bool OpenPort(const char* deviceName, int baud, int parity, int dataBits, int stopBits) {
  std::string path = serial::ResolveDevicePath(deviceName);
  if (path.empty() || baud <= 0) return false;
  auto parityMode = parity == 1 ? serial::Parity::Odd : parity == 2 ? serial::Parity::Even : serial::Parity::None;
  auto stops = stopBits == 2 ? serial::StopBits::Two : serial::StopBits::One;
  return Port()->Open(path, static_cast<uint32_t>(baud), parityMode, dataBits, stops);
}

void ClosePort() { Port()->Close(); }
bool PortIsOpen() { return Port()->IsOpen(); }
int WritePort(const void* bytes, int count) { return Port()->Write(bytes, count); }
int ReadPort(void* buffer, int count) { return Port()->Read(buffer, count); }
bool WaitForPortInput(std::chrono::milliseconds nominal) { return Port()->WaitForInput(nominal); }
bool PortLost() { return Port()->IsOpen() && Port()->Lost(); }
void UseSerialPort(std::unique_ptr<serial::SerialPort> port) { Port() = std::move(port); }
