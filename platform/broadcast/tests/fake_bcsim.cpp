#include "platform/broadcast/tests/fake_bcsim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace broadcast_components::testing {

FakeServer::FakeServer(Handler handler) : handler_(std::move(handler)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe2(wake_, O_CLOEXEC) != 0)
    throw std::runtime_error("fake server: cannot listen on loopback");
  port_ = ntohs(address.sin_port);
  thread_ = std::thread(&FakeServer::Serve, this);
}

FakeServer::~FakeServer() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  char c = 'q';
  (void)!::write(wake_[1], &c, 1);
  thread_.join();
  ::close(listener_);
  ::close(wake_[0]);
  ::close(wake_[1]);
}

int FakeServer::Accepted() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

void FakeServer::DropClients() {
  {
    std::lock_guard lock(mutex_);
    dropClients_ = true;
  }
  char c = 'd';
  (void)!::write(wake_[1], &c, 1);
}

void FakeServer::Serve() {
  struct Client {
    int fd;
    std::string unread;
  };
  std::vector<Client> clients;
  for (;;) {
    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    for (const Client& c : clients) fds.push_back({c.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) continue;
    {
      std::lock_guard lock(mutex_);
      if (fds[0].revents & POLLIN) {
        char drain[16];
        (void)!::read(wake_[0], drain, sizeof drain);
      }
      if (quit_ || dropClients_) {
        for (const Client& c : clients) ::close(c.fd);
        clients.clear();
        dropClients_ = false;
        if (quit_) return;
        continue;
      }
    }
    for (size_t i = 0; i < clients.size(); ++i) {
      if (!(fds[2 + i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[65536];
      ssize_t got = ::recv(clients[i].fd, buffer, sizeof buffer, 0);
      if (got <= 0) {
        ::close(clients[i].fd);
        clients[i].fd = -1;
        continue;
      }
      clients[i].unread.append(buffer, static_cast<size_t>(got));
      std::string answer = handler_(clients[i].unread);
      if (!answer.empty()) (void)!::send(clients[i].fd, answer.data(), answer.size(), MSG_NOSIGNAL);
    }
    std::erase_if(clients, [](const Client& c) { return c.fd < 0; });
    if (fds[1].revents & POLLIN) {
      int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        clients.push_back({fd, {}});
        std::lock_guard lock(mutex_);
        ++accepted_;
      }
    }
  }
}

FakeInfoServer::FakeInfoServer(Reply reply)
    : reply_(std::move(reply)), server_([this](std::string& unread) {
        std::string answers;
        for (size_t end; (end = unread.find('\n')) != std::string::npos;) {
          auto request = nlohmann::json::parse(unread.substr(0, end), nullptr, false);
          unread.erase(0, end + 1);
          {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
          }
          answers += reply_(request) + "\n";
        }
        return answers;
      }) {}

std::vector<nlohmann::json> FakeInfoServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

FakeDataServer::FakeDataServer()
    : server_([this](std::string& unread) {
        std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(unread.data()), unread.size());
        size_t used = 0;
        DataRecord record;
        size_t consumed = 0;
        while (DecodeRecord(bytes.subspan(used), &record, &consumed) == DecodeStatus::kRecord) {
          used += consumed;
          std::lock_guard lock(mutex_);
          records_.push_back(std::move(record));
          arrived_.notify_all();
        }
        unread.erase(0, used);
        return std::string();
      }) {}

std::vector<DataRecord> FakeDataServer::Records() const {
  std::lock_guard lock(mutex_);
  return records_;
}

bool FakeDataServer::WaitForRecords(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, timeout, [&] { return records_.size() >= count; });
}

}  // namespace broadcast_components::testing
