#include "tests/e2e/support/json_line_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

JsonLineClient::JsonLineClient(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd_);
    throw std::runtime_error("cannot connect to control port " + std::to_string(port));
  }
}

JsonLineClient::~JsonLineClient() { close(fd_); }

nlohmann::json JsonLineClient::CallRaw(const nlohmann::json& request) {
  std::string line = request.dump() + "\n";
  if (send(fd_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
    throw std::runtime_error("control connection broken");
  size_t newline;
  while ((newline = pending_.find('\n')) == std::string::npos) {
    char buffer[4096];
    ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) throw std::runtime_error("control connection closed");
    pending_.append(buffer, n);
  }
  std::string reply = pending_.substr(0, newline);
  pending_.erase(0, newline + 1);
  return nlohmann::json::parse(reply);
}

nlohmann::json JsonLineClient::Call(const nlohmann::json& request) {
  nlohmann::json reply = CallRaw(request);
  if (!reply.value("ok", false)) throw std::runtime_error("control request failed: " + reply.dump());
  return reply;
}
