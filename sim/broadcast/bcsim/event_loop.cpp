#include "sim/broadcast/bcsim/event_loop.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bcsim {
namespace {

constexpr int kBacklog = 128;
constexpr size_t kReadSize = 65536;

int Listen(int port, std::string& error) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int on = 1;
  // Reuse lets a port taken down by a test come back at once.
  if (fd >= 0) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, kBacklog) != 0) {
    error = "127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

EventLoop::~EventLoop() {
  for (auto& c : connections_) ::close(c->fd);
  for (Port& p : ports_)
    if (p.fd >= 0) ::close(p.fd);
}

bool EventLoop::AddPort(const std::string& name, int port, bool noDelay, Factory factory, std::string& error) {
  int fd = Listen(port, error);
  if (fd < 0) {
    error = name + " port " + error;
    return false;
  }
  ports_.push_back({name, port, noDelay, std::move(factory), fd});
  return true;
}

bool EventLoop::SetPortUp(const std::string& name, bool up, std::string& error) {
  auto it = std::find_if(ports_.begin(), ports_.end(), [&](const Port& p) { return p.name == name; });
  if (it == ports_.end()) {
    error = "no port \"" + name + "\"";
    return false;
  }
  if (up) {
    if (it->fd >= 0) return true;
    it->fd = Listen(it->number, error);
    return it->fd >= 0;
  }
  if (it->fd >= 0) ::close(it->fd);
  it->fd = -1;
  size_t index = static_cast<size_t>(it - ports_.begin());
  // Closed at the end of the current pass, so that a handler may call this.
  for (auto& c : connections_)
    if (c->port == index) c->dropped = true;
  return true;
}

void EventLoop::Accept(Port& port, size_t index) {
  for (;;) {
    int fd = ::accept4(port.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;  // EAGAIN: all taken; anything else: the next poll retries
    if (port.noDelay) {
      int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    connection->port = index;
    connection->handler = port.factory(clock_());
    connections_.push_back(std::move(connection));
  }
}

void EventLoop::Read(Connection& c) {
  char buffer[kReadSize];
  ssize_t n = ::read(c.fd, buffer, sizeof buffer);
  if (n == 0) c.clientEnded = true;
  if (n < 0 && errno != EAGAIN && errno != EINTR) c.failed = true;
  if (n <= 0) return;
  int64_t now = clock_();
  c.handler->OnBytes(std::string_view(buffer, static_cast<size_t>(n)), now, c.out);
  if (!c.out.WriteDue(c.fd, now)) c.failed = true;
}

int EventLoop::WaitMs(int64_t nowMs) const {
  int64_t wait = -1;
  auto consider = [&wait](int64_t ms) {
    if (ms >= 0 && (wait < 0 || ms < wait)) wait = ms;
  };
  for (const auto& c : connections_) {
    // Due output waits for POLLOUT instead of a time-out.
    int64_t out = c->out.WaitMs(nowMs);
    if (out > 0) consider(out);
    int64_t due = c->handler->DueMs();
    if (due >= 0) consider(std::max<int64_t>(0, due - nowMs));
  }
  return static_cast<int>(std::min<int64_t>(wait, 60000));
}

void EventLoop::CloseFinished() {
  int64_t now = clock_();
  std::erase_if(connections_, [now](const std::unique_ptr<Connection>& c) {
    bool done = c->dropped || c->failed || (c->out.empty() && (c->clientEnded || c->out.closeWhenWritten()));
    if (!done) return false;
    ::close(c->fd);
    c->handler->OnClosed(now, c->failed || (c->clientEnded && !c->dropped && !c->out.closeWhenWritten()));
    return true;
  });
}

bool EventLoop::Run(int stopFd) {
  std::vector<pollfd> fds;
  for (;;) {
    int64_t now = clock_();
    for (auto& c : connections_) {
      int64_t due = c->handler->DueMs();
      if (due >= 0 && due <= now && !c->dropped) c->handler->OnDue(now, c->out);
      if (!c->out.WriteDue(c->fd, now)) c->failed = true;
    }
    CloseFinished();

    fds.clear();
    fds.push_back({stopFd, POLLIN, 0});
    for (const Port& p : ports_) fds.push_back({p.fd, POLLIN, 0});  // a port that is down has fd -1: ignored
    for (const auto& c : connections_)
      fds.push_back(
          {c->fd, static_cast<short>((c->clientEnded ? 0 : POLLIN) | (c->out.WaitMs(now) == 0 ? POLLOUT : 0)), 0});
    if (::poll(fds.data(), fds.size(), WaitMs(now)) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[0].revents & POLLIN) return true;

    size_t first = 1 + ports_.size();
    size_t polled = fds.size() - first;  // connections accepted below are polled next time
    for (size_t i = 0; i < polled; ++i) {
      Connection& c = *connections_[i];
      short events = fds[first + i].revents;
      if (c.dropped) continue;
      if (!c.clientEnded && (events & (POLLIN | POLLHUP | POLLERR))) Read(c);
      // Gone both ways (or reset): nothing queued can reach the client, and
      // poll would report it again at once.
      else if (c.clientEnded && (events & (POLLHUP | POLLERR))) c.failed = true;
      if ((events & POLLOUT) && !c.out.WriteDue(c.fd, clock_())) c.failed = true;
    }
    for (size_t p = 0; p < ports_.size(); ++p)
      if ((fds[1 + p].revents & POLLIN) && ports_[p].fd == fds[1 + p].fd) Accept(ports_[p], p);
    CloseFinished();
  }
}

}  // namespace bcsim
