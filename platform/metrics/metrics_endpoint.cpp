#include "platform/metrics/metrics_endpoint.h"

#include <cstring>
#include <exception>
#include <mutex>
#include <sched.h>
#include <vector>

#include <CivetServer.h>
#include <civetweb.h>
#include <prometheus/collectable.h>
#include <prometheus/exposer.h>

namespace metrics {
namespace {

// One endpoint per program: the page is the process's, since civetweb's
// request callback carries no data of ours.
std::mutex pageMutex;
std::function<std::string()> currentPage;
std::vector<std::shared_ptr<prometheus::Collectable>> keptAlive;

int AnswerPage(mg_connection* connection) {
  const mg_request_info* request = mg_get_request_info(connection);
  if (request == nullptr || request->local_uri == nullptr) return 0;
  std::string uri = request->local_uri;
  if (uri != "/" && uri != "/index.html") return 0;  // "/metrics" and the rest: the exporter's
  std::function<std::string()> page;
  {
    std::lock_guard lock(pageMutex);
    page = currentPage;
  }
  std::string body = page ? page() : "<!DOCTYPE html><title>metrics</title><a href=\"/metrics\">/metrics</a>";
  std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
      "Connection: close\r\nContent-Length: " +
      std::to_string(body.size()) + "\r\n\r\n";
  mg_write(connection, head.data(), head.size());
  if (std::strcmp(request->request_method, "HEAD") != 0) mg_write(connection, body.data(), body.size());
  return 200;
}

// Garbage on the port is the client's trouble, not a line in the program's log.
int Quiet(const mg_connection*, const char*) { return 1; }

// The port's threads run only when the program's own have nothing to do:
// a scrape waking up must not push a client's request or a poll aside.
void* GiveWay(const mg_context*, int) {
  sched_param none{};
  sched_setscheduler(0, SCHED_IDLE, &none);  // the calling thread only, on Linux
  return nullptr;
}

}  // namespace

bool ValidAddress(const std::string& hostPort) {
  size_t colon = hostPort.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= hostPort.size() || hostPort.size() - colon > 6)
    return false;
  long port = 0;
  for (char c : hostPort.substr(colon + 1)) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) return false;
  for (char c : hostPort.substr(0, colon))
    if (!(c == '.' || c == '-' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
      return false;
  return true;
}

std::unique_ptr<Endpoint> Endpoint::Start(const std::string& hostPort, std::string& error) {
  if (!ValidAddress(hostPort)) {
    error = "\"" + hostPort + "\" is not HOST:PORT";
    return nullptr;
  }
  static CivetCallbacks callbacks = [] {
    CivetCallbacks c;
    c.begin_request = AnswerPage;
    c.log_message = Quiet;
    c.init_thread = GiveWay;
    return c;
  }();
  // Four threads, and a client that sends nothing for two seconds loses
  // its thread: a scrape always finds one free soon.
  std::vector<std::string> options = {"listening_ports",    hostPort, "num_threads",       "4",
                                      "request_timeout_ms", "2000",   "enable_keep_alive", "no"};
  try {
    return std::unique_ptr<Endpoint>(new Endpoint(std::make_unique<prometheus::Exposer>(options, &callbacks)));
  } catch (const std::exception& e) {
    error = std::string("cannot listen on ") + hostPort + ": " + e.what();
    return nullptr;
  }
}

Endpoint::Endpoint(std::unique_ptr<prometheus::Exposer> exposer) : exposer_(std::move(exposer)) {}

Endpoint::~Endpoint() {
  exposer_.reset();  // no request runs past here
  std::lock_guard lock(pageMutex);
  currentPage = nullptr;
  keptAlive.clear();
}

void Endpoint::Add(std::shared_ptr<prometheus::Collectable> collectable) {
  exposer_->RegisterCollectable(collectable);
  std::lock_guard lock(pageMutex);
  keptAlive.push_back(std::move(collectable));
}

void Endpoint::ServePage(std::function<std::string()> page) {
  std::lock_guard lock(pageMutex);
  currentPage = std::move(page);
}

int Endpoint::Port() const {
  std::vector<int> ports = exposer_->GetListeningPorts();
  return ports.empty() ? 0 : ports.front();
}

}  // namespace metrics
