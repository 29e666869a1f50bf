// The serial port under the modem driver. One implementation over termios;
// tests may put another behind the same interface to inject faults.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/timescale/timescale.h"

namespace serial {

enum class Parity { None, Odd, Even };
enum class StopBits { One, Two };

// Windows-style time-outs, in nominal milliseconds (see timescale).
struct Timeouts {
  int readIntervalMs = 100;    // a read returns when the line stays quiet this long after a byte
  int readTotalPerByteMs = 1;  // plus this for every byte asked for
  int readTotalConstantMs = 500;
  int writeTotalPerByteMs = 1;
  int writeTotalConstantMs = 100;
};

class SerialPort {
 public:
  SerialPort() = default;
  virtual ~SerialPort() = default;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens an existing device exclusively and sets the rate and framing;
  // false (port stays closed) when the device is missing or busy.
  virtual bool Open(const std::string& path, uint32_t baud, Parity parity, int dataBits, StopBits stopBits) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // One write within the write time-out; returns the bytes written (0 on failure).
  virtual int Write(const void* bytes, int count) = 0;
  // One read within the read time-outs; returns the bytes read, 0 after a time-out.
  virtual int Read(void* buffer, int count) = 0;
  // Waits at most `nominal` for something to read; true when a read would
  // not wait (bytes, or a device that went away). A port that cannot tell
  // waits the whole time and answers true.
  virtual bool WaitForInput(std::chrono::milliseconds nominal) {
    timescale::Sleep(nominal);
    return true;
  }
  // Whether the device has gone: unplugged, or its driver reported an error
  // or a hang-up. Nothing comes through this descriptor again; only closing
  // it and opening the device anew can bring the modem back.
  virtual bool Lost() = 0;
};

// Forwards every call to the port it holds, so that a test can override one
// method to inject a fault and keep the rest of a working port.
class SerialPortWrapper : public SerialPort {
 public:
  explicit SerialPortWrapper(std::unique_ptr<SerialPort> target) : target_(std::move(target)) {}

  SerialPort* target() const { return target_.get(); }

  bool Open(const std::string& path, uint32_t baud, Parity parity, int dataBits, StopBits stopBits) override {
    return target_->Open(path, baud, parity, dataBits, stopBits);
  }
  void Close() override { target_->Close(); }
  bool IsOpen() const override { return target_->IsOpen(); }
  int Write(const void* bytes, int count) override { return target_->Write(bytes, count); }
  int Read(void* buffer, int count) override { return target_->Read(buffer, count); }
  bool WaitForInput(std::chrono::milliseconds nominal) override { return target_->WaitForInput(nominal); }
  bool Lost() override { return target_->Lost(); }

 private:
  std::unique_ptr<SerialPort> target_;
};

std::unique_ptr<SerialPort> MakeTermiosPort(const Timeouts& timeouts = {});

// Maps a Windows device name ("\\.\COM3", or "COM3") to a device path:
// $QUILLON_DEVICE_DIR/COM3 when that variable is set; otherwise
// /dev/quillon/COM3 when it exists, else /dev/ttyS2. Empty for a name that is
// not COMn.
std::string ResolveDevicePath(const std::string& windowsName);

}  // namespace serial
