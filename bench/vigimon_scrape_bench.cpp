// A scrape of Vigimon's metrics port with the largest installation, 65,535
// terminals in 200 areas, a third of them offline: the figures the poll
// leaves (timed too: it is the poll thread's cost), then /metrics and the
// status page fetched over HTTP from a real endpoint, 200 times each.
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "monitor/app/vigimon_metrics.h"
#include "monitor/app/vigimon_status_page.h"
#include "platform/clock/manual_clock.h"
#include "platform/codepage/codepage.h"
#include "platform/metrics/metrics_endpoint.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kTerminals = 65535;
constexpr int kAreas = 200;

struct Installation : TerminalLookup {
  std::map<int32_t, TerminalFacts> table;
  std::vector<int32_t> present;
  std::map<int32_t, std::vector<int32_t>> members;
  int32_t offline = 0;
  std::optional<TerminalFacts> Find(int32_t id) const override {
    auto it = table.find(id);
    return it == table.end() ? std::nullopt : std::optional<TerminalFacts>(it->second);
  }
  size_t PresentCount() const override { return present.size(); }
  int32_t OfflineCount() const override { return offline; }
  const std::map<int32_t, std::vector<int32_t>>& AreaMembers() const override { return members; }
};

struct ReadyModem : ModemAgentView {
  bool ConnectRequested() const override { return true; }
  bool ModemReady() const override { return true; }
  void GetModemSettings(int&, int&) override {}
};

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t length = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  close(fd);
  return ntohs(addr.sin_port);
}

// One GET; the milliseconds until the whole reply was in, and its size.
std::pair<double, long> Fetch(int port, const char* path) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  auto start = Steady::now();
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return {-1, -1};
  }
  std::string request = std::string("GET ") + path + " HTTP/1.0\r\nHost: bench\r\n\r\n";
  send(fd, request.data(), request.size(), 0);
  long total = 0;
  char buffer[16384];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) total += n;
  close(fd);
  return {std::chrono::duration<double, std::milli>(Steady::now() - start).count(), total};
}

void Report(const char* what, std::vector<double> ms, long bytes) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-22s median %7.2f ms  p99 %7.2f ms  worst %7.2f ms  (%ld bytes)\n", what, ms[ms.size() / 2],
              ms[ms.size() * 99 / 100], ms.back(), bytes);
}

}  // namespace

int main() {
  Installation site;
  MonitorSettings settings;
  for (int32_t id = 1; id <= kTerminals; ++id) {
    site.table[id] = {id % 3 != 0, "terminal"};
    site.present.push_back(id);
    site.offline += id % 3 == 0;
    site.members[id % kAreas].push_back(id);
  }
  for (int area = 0; area < kAreas; ++area)
    settings.areas[area].name = codepage::Utf8ToGbk("区域" + std::to_string(area));
  settings.areas[TOTAL_AREA_ID].name = codepage::Utf8ToGbk("大面积离线");

  ManualClock clock(1765000000);
  MonitorTally tally(clock);
  auto start = Steady::now();
  tally.Acquired(site, true, settings);
  double acquired = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
  tally.Polled(std::chrono::milliseconds(1200));

  std::string error;
  auto endpoint = metrics::Endpoint::Start("127.0.0.1:" + std::to_string(FreePort()), error);
  if (!endpoint) {
    std::fprintf(stderr, "vigimon_scrape_bench: %s\n", error.c_str());
    return 1;
  }
  ReadyModem modem;
  MonitorWatch watch{tally, modem};
  endpoint->Add(std::make_shared<VigimonMetrics>(watch));
  endpoint->ServePage([watch] { return VigimonStatusPage(ReadStatus(watch), std::time(nullptr)); });
  int port = endpoint->Port();

  std::printf("Vigimon's metrics port, %d terminals in %d areas, loopback\n", kTerminals, kAreas);
  std::printf("%-22s %7.2f ms on the poll thread\n", "figures after a poll", acquired);
  for (const char* path : {"/metrics", "/"}) {
    std::vector<double> ms;
    long bytes = 0;
    Fetch(port, path);  // warm up
    for (int i = 0; i < 200; ++i) {
      auto [took, size] = Fetch(port, path);
      ms.push_back(took);
      bytes = size;
    }
    Report(std::string(std::string("GET ") + path).c_str(), ms, bytes);
  }
  std::printf("goal: a scrape under 100 ms\n");
  return 0;
}
