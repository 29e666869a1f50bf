// A blocking TCP client with time-outs, the one piece of socket code the
// component stand-ins share. Not thread-safe: each user serialises its calls.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace broadcast_components {

class TcpClient {
 public:
  TcpClient() = default;
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  // Connects to an IPv4 address (first octet most significant); false when
  // refused, unreachable or not done within `timeout`. Closes any earlier
  // connection first.
  bool Connect(uint32_t address, uint16_t port, std::chrono::milliseconds timeout);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Sends every byte; false (connection closed) on error or time-out.
  bool SendAll(const void* bytes, size_t count, std::chrono::milliseconds timeout);
  // The next line without its "\n" (a "\r" before it is dropped too); false
  // (connection closed) on end of stream, error, time-out or a line longer
  // than `maxBytes`.
  bool ReadLine(std::string* line, std::chrono::milliseconds timeout, size_t maxBytes = 1 << 20);

 private:
  int fd_ = -1;
  std::string received_;
};

// Dotted IPv4 text to the first-octet-most-significant number.
std::optional<uint32_t> ParseIpv4(const std::string& text);

}  // namespace broadcast_components
