// The one serial port of the service. The start-up dialogue uses it first,
// then the traffic engine; never both at once, so it needs no lock.
#pragma once

#include <chrono>
#include <memory>

#include "platform/serial/serial_port.h"

inline constexpr int NOPARITY = 0;
inline constexpr int ONESTOPBIT = 0;

// Opens "\\.\COMn" (see serial::ResolveDevicePath) with the given framing.
bool OpenPort(const char* deviceName, int baud, int parity, int dataBits, int stopBits);
void ClosePort();
bool PortIsOpen();
int WritePort(const void* bytes, int count);
int ReadPort(void* buffer, int count);
// Waits at most `nominal` for the modem to send something; true when a read
// would not wait (see serial::SerialPort::WaitForInput).
bool WaitForPortInput(std::chrono::milliseconds nominal);
// Whether the device behind the open port has gone (see serial::SerialPort::Lost).
bool PortLost();

// Puts another port implementation behind the functions above (tests).
void UseSerialPort(std::unique_ptr<serial::SerialPort> port);
