#include "smsservice/modem/serial_line.h"

SerialLine::SerialLine(std::unique_ptr<serial::SerialPort> port) : port_(std::move(port)) {}

bool SerialLine::Open(const char* deviceName, int baud, int parity, int dataBits, int stopBits) {
  std::string path = serial::ResolveDevicePath(deviceName);
  if (path.empty() || baud <= 0) return false;
  auto parityMode = parity == 1 ? serial::Parity::Odd : parity == 2 ? serial::Parity::Even : serial::Parity::None;
  auto stops = stopBits == 2 ? serial::StopBits::Two : serial::StopBits::One;
  return port_->Open(path, static_cast<uint32_t>(baud), parityMode, dataBits, stops);
}
