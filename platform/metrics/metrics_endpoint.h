// A program's metrics port: "/metrics" in the Prometheus text format for a
// Prometheus to scrape, and "/" a small status page for people. It is
// served on threads of its own with short time-outs, so that a slow,
// garbled or crowding client never holds up the program's work.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace prometheus {
class Collectable;
class Exposer;
}  // namespace prometheus

namespace metrics {

// "HOST:PORT" with a port of 1..65535 and a host of digits and dots (an
// IPv4 address) or a name; false for anything else.
bool ValidAddress(const std::string& hostPort);

class Endpoint {
 public:
  // Listens on `hostPort`; nullptr, with `error` saying why, when it cannot.
  static std::unique_ptr<Endpoint> Start(const std::string& hostPort, std::string& error);
  ~Endpoint();
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  // Asked for its metrics at every scrape; kept alive by the endpoint.
  void Add(std::shared_ptr<prometheus::Collectable> collectable);
  // The HTML of "/", built afresh on a server thread for each request; it
  // must only read what the program shares under its own locks.
  void ServePage(std::function<std::string()> page);
  // The port it listens on (the one asked for, or the one given for 0).
  int Port() const;

 private:
  explicit Endpoint(std::unique_ptr<prometheus::Exposer> exposer);
  std::unique_ptr<prometheus::Exposer> exposer_;
};

}  // namespace metrics
