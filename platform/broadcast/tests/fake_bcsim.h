// The two ports of the broadcast simulator the components talk to, faked
// inside a test: each listens on 127.0.0.1 at a free port and serves its
// clients from a thread of its own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/broadcast/data_record.h"

namespace broadcast_components::testing {

class FakeServer {
 public:
  // Given a client's bytes not yet used; removes what it uses and returns
  // the bytes to send back.
  using Handler = std::function<std::string(std::string& unread)>;

  explicit FakeServer(Handler handler);
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  uint16_t Port() const { return port_; }
  int Accepted() const;
  // Closes every client connection; the listener stays.
  void DropClients();

 private:
  void Serve();

  Handler handler_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  int accepted_ = 0;
  bool dropClients_ = false;
  bool quit_ = false;
  std::thread thread_;
};

// The information port: answers each request line with the handler's reply
// line (which may be anything, to test malformed replies).
class FakeInfoServer {
 public:
  using Reply = std::function<std::string(const nlohmann::json& request)>;
  explicit FakeInfoServer(Reply reply);

  uint16_t Port() const { return server_.Port(); }
  std::vector<nlohmann::json> Requests() const;
  void DropClients() { server_.DropClients(); }

 private:
  mutable std::mutex mutex_;
  std::vector<nlohmann::json> requests_;
  Reply reply_;
  FakeServer server_;
};

// The data port: keeps every record received, in order.
class FakeDataServer {
 public:
  FakeDataServer();

  uint16_t Port() const { return server_.Port(); }
  int Accepted() const { return server_.Accepted(); }
  std::vector<DataRecord> Records() const;
  // Waits until `count` records have arrived; false after the time-out.
  bool WaitForRecords(size_t count, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<DataRecord> records_;
  FakeServer server_;
};

}  // namespace broadcast_components::testing
