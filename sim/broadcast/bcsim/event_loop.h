// The simulator's one thread: a poll() loop over the listening ports and
// every accepted connection. Reads and writes never block, so a client that
// stops reading holds up only its own replies. What a connection means is
// up to its ConnectionHandler; the loop only moves bytes and keeps time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/broadcast/bcsim/outgoing_queue.h"

namespace bcsim {

class ConnectionHandler {
 public:
  virtual ~ConnectionHandler() = default;
  virtual void OnBytes(std::string_view bytes, int64_t nowMs, OutgoingQueue& out) = 0;
  // A time at which the handler wants OnDue, or -1.
  virtual int64_t DueMs() const { return -1; }
  virtual void OnDue(int64_t /*nowMs*/, OutgoingQueue& /*out*/) {}
  // The connection is gone: the client closed it, it failed, or the
  // simulator closed it.
  virtual void OnClosed(int64_t /*nowMs*/, bool /*byClient*/) {}
};

class EventLoop {
 public:
  using Factory = std::function<std::unique_ptr<ConnectionHandler>(int64_t nowMs)>;
  using Clock = std::function<int64_t()>;

  explicit EventLoop(Clock clock) : clock_(std::move(clock)) {}
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // Listens on 127.0.0.1:port; false with the reason in `error`. TCP_NODELAY
  // is set on the accepted connections when `noDelay`.
  bool AddPort(const std::string& name, int port, bool noDelay, Factory factory, std::string& error);
  // Down: closes the listener, so connects are refused, and every connection
  // it accepted. Up: listens again on the same port. Safe to call from a
  // handler.
  bool SetPortUp(const std::string& name, bool up, std::string& error);
  // Serves until `stopFd` is readable. False when poll() fails.
  bool Run(int stopFd);

 private:
  struct Port {
    std::string name;
    int number;
    bool noDelay;
    Factory factory;
    int fd = -1;
  };
  struct Connection {
    int fd;
    size_t port;
    std::unique_ptr<ConnectionHandler> handler;
    OutgoingQueue out;
    bool clientEnded = false;
    bool failed = false;
    bool dropped = false;  // closed by the simulator
  };

  void Accept(Port& port, size_t index);
  void Read(Connection& connection);
  int WaitMs(int64_t nowMs) const;
  void CloseFinished();

  Clock clock_;
  std::vector<Port> ports_;
  std::vector<std::unique_ptr<Connection>> connections_;
};

}  // namespace bcsim
