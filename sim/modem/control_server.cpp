#include "sim/modem/control_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace modemsim {
namespace {

constexpr size_t kMaxRequest = 1 << 20;

}  // namespace

ControlServer::~ControlServer() {
  for (Client& c : clients_) ::close(c.fd);
  if (listener_ >= 0) ::close(listener_);
}

bool ControlServer::Listen(int port, std::string& error) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int on = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0) {
    error = "control port 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void ControlServer::AddPollFds(std::vector<pollfd>& fds) {
  firstFd_ = fds.size();
  fds.push_back({listener_, POLLIN, 0});
  for (const Client& c : clients_)
    fds.push_back({c.fd, static_cast<short>((c.ended ? 0 : POLLIN) | (c.out.empty() ? 0 : POLLOUT)), 0});
}

void ControlServer::Service(const std::vector<pollfd>& fds) {
  for (size_t i = 0; i < clients_.size(); ++i) {
    short events = fds[firstFd_ + 1 + i].revents;
    if (events & POLLERR) clients_[i].failed = true;
    if (!clients_[i].ended && (events & (POLLIN | POLLHUP))) Read(clients_[i]);
    if (events & POLLOUT) Write(clients_[i]);
  }
  std::erase_if(clients_, [](const Client& c) {
    bool done = c.failed || (c.ended && c.out.empty());
    if (done) ::close(c.fd);
    return done;
  });
  if (fds[firstFd_].revents & POLLIN) {
    int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) clients_.push_back({fd, {}, {}});
  }
}

void ControlServer::Read(Client& client) {
  char buffer[4096];
  ssize_t n = ::read(client.fd, buffer, sizeof buffer);
  if (n == 0) client.ended = true;
  if (n < 0 && errno != EAGAIN && errno != EINTR) client.failed = true;
  if (n <= 0) return;
  client.in.append(buffer, n);
  size_t newline;
  while ((newline = client.in.find('\n')) != std::string::npos) {
    std::string line = client.in.substr(0, newline);
    client.in.erase(0, newline + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    client.out += handler_(line) + "\n";
  }
  if (client.in.size() > kMaxRequest) client.failed = true;
  Write(client);
}

void ControlServer::Write(Client& client) {
  while (!client.out.empty()) {
    ssize_t n = ::write(client.fd, client.out.data(), client.out.size());
    if (n < 0) {
      if (errno != EAGAIN && errno != EINTR) client.failed = true;
      return;
    }
    client.out.erase(0, n);
  }
}

}  // namespace modemsim
