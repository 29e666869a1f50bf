#include "platform/broadcast/tcp_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace broadcast_components {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for `events` on fd until the deadline; false on time-out or error.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) left = 0;
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, static_cast<int>(left));
    if (n > 0) return (p.revents & (events | POLLHUP | POLLERR)) != 0;
    if (n == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

TcpClient::~TcpClient() { Close(); }

void TcpClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  received_.clear();
}

bool TcpClient::Connect(uint32_t address, uint16_t port, std::chrono::milliseconds timeout) {
  Close();
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    int error = errno;
    int soError = 0;
    socklen_t length = sizeof soError;
    if (error != EINPROGRESS || !WaitFor(fd, POLLOUT, Clock::now() + timeout) ||
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0 || soError != 0) {
      ::close(fd);
      return false;
    }
  }
  // Records and requests are small and each is waited on; do not let Nagle
  // hold them back.
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  fd_ = fd;
  return true;
}

bool TcpClient::SendAll(const void* bytes, size_t count, std::chrono::milliseconds timeout) {
  if (fd_ < 0) return false;
  auto deadline = Clock::now() + timeout;
  auto* next = static_cast<const char*>(bytes);
  while (count > 0) {
    ssize_t sent = ::send(fd_, next, count, MSG_NOSIGNAL);
    if (sent > 0) {
      next += sent;
      count -= static_cast<size_t>(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd_, POLLOUT, deadline)) continue;
    Close();
    return false;
  }
  return true;
}

bool TcpClient::ReadLine(std::string* line, std::chrono::milliseconds timeout, size_t maxBytes) {
  if (fd_ < 0) return false;
  auto deadline = Clock::now() + timeout;
  for (;;) {
    size_t end = received_.find('\n');
    if (end != std::string::npos) {
      line->assign(received_, 0, end);
      received_.erase(0, end + 1);
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return true;
    }
    if (received_.size() > maxBytes) break;
    char buffer[4096];
    ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got > 0) {
      received_.append(buffer, static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd_, POLLIN, deadline)) continue;
    break;  // end of stream, error or time-out
  }
  Close();
  return false;
}

std::optional<uint32_t> ParseIpv4(const std::string& text) {
  in_addr address{};
  if (::inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
  return ntohl(address.s_addr);
}

}  // namespace broadcast_components
