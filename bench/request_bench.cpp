// Request throughput and latency of the SMS service: N concurrent clients
// send TP_SMS_FETCH with nothing waiting (each answered by a state reply),
// and the service's resident memory before and after 100,000 requests.
// Then the cost of the metrics: the paced run's p99 with the metrics port
// not scraped and scraped every second.
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <random>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
const unsigned char kFetch[] = {0xFD, 0x00, 0x11, 0x11, 0x02, 0x00, 0x00, 0x00};

std::filesystem::path BinDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

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

pid_t Spawn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) return -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int Connect(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  int yes = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  return fd;
}

long RssKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

struct Result {
  double perSecond, p50us, p99us;
  long requests;
};

// `clients` connections each send `perClient` requests, one at a time: as
// fast as the replies come (ratePerClient 0), or at a steady pace.
Result Run(int port, int clients, long perClient, double ratePerClient = 0) {
  std::vector<std::vector<double>> latencies(clients);
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  auto start = Clock::now();
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      int fd = Connect(port);
      if (fd < 0) {
        ++failures;
        return;
      }
      latencies[c].reserve(perClient);
      unsigned char reply[64];
      auto interval =
          ratePerClient > 0 ? std::chrono::duration<double>(1.0 / ratePerClient) : std::chrono::duration<double>(0);
      auto due = Clock::now() + std::chrono::duration_cast<Clock::duration>(interval * (double(c) / clients));
      for (long i = 0; i < perClient; ++i) {
        if (ratePerClient > 0) {
          std::this_thread::sleep_until(due);
          due += std::chrono::duration_cast<Clock::duration>(interval);
        }
        auto sent = Clock::now();
        if (send(fd, kFetch, sizeof kFetch, 0) != sizeof kFetch || recv(fd, reply, sizeof reply, 0) != 12) {
          ++failures;
          break;
        }
        latencies[c].push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
      }
      close(fd);
    });
  }
  for (auto& t : threads) t.join();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
  std::sort(all.begin(), all.end());
  if (failures) std::fprintf(stderr, "%d clients failed\n", failures.load());
  auto at = [&](double q) { return all.empty() ? 0.0 : all[std::min(all.size() - 1, size_t(q * all.size()))]; };
  return {all.size() / seconds, at(0.50), at(0.99), static_cast<long>(all.size())};
}

// A service listening on `port`, with `extra` options, once it answers.
pid_t StartService(const std::string& quillon, int port, std::vector<std::string> extra = {}) {
  std::vector<std::string> argv = {quillon, "--port", std::to_string(port)};
  // QUILLON_BENCH_PIN=1: the service on the first core, the clients on the
  // second, so that the clients' own scheduling does not blur the service's.
  if (std::getenv("QUILLON_BENCH_PIN") != nullptr) argv.insert(argv.begin(), {"/usr/bin/taskset", "-c", "0"});
  argv.insert(argv.end(), extra.begin(), extra.end());
  pid_t service = Spawn(argv);
  for (int i = 0; i < 100; ++i) {
    int fd = Connect(port);
    if (fd >= 0) {
      close(fd);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return service;
}

// One GET of /metrics; its size in bytes, or -1.
long Scrape(int port) {
  int fd = Connect(port);
  if (fd < 0) return -1;
  const char request[] = "GET /metrics HTTP/1.0\r\nHost: bench\r\n\r\n";
  send(fd, request, sizeof request - 1, 0);
  long total = 0;
  char buffer[4096];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) total += n;
  close(fd);
  return total;
}

// The paced run's p99 on one service with its metrics port, in rounds that
// are either without scrapes or with a scrape every second (fifteen times a
// busy Prometheus's pace): one process for both, as two processes differ
// by more than the cost sought. The median of each kind of round.
std::pair<double, double> PacedP99WithoutAndWithScrapes(const std::string& quillon, int rounds) {
  int port = FreePort(), metricsPort = FreePort();
  pid_t service = StartService(quillon, port, {"--metrics", "127.0.0.1:" + std::to_string(metricsPort)});
  std::atomic<bool> done{false}, scraping{false};
  std::atomic<long> scrapes{0};
  std::thread scraper([&] {
    while (!done) {
      if (scraping && Scrape(metricsPort) > 0) ++scrapes;
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  });
  Run(port, 10, 1000);  // warm up
  // In a shuffled order, so that nothing periodic on the machine falls on
  // one kind of round only.
  std::vector<bool> order(2 * rounds);
  for (int round = 0; round < 2 * rounds; ++round) order[round] = round % 2 == 1;
  std::shuffle(order.begin(), order.end(), std::mt19937(20261209));
  std::vector<double> without, with;
  // QUILLON_BENCH_NO_SCRAPE=1: no round is scraped, to see the comparison's own spread.
  bool control = std::getenv("QUILLON_BENCH_NO_SCRAPE") != nullptr;
  for (bool scraped : order) {
    scraping = scraped && !control;
    (scraped ? with : without).push_back(Run(port, 100, 1000, 200).p99us);
  }
  done = true;
  scraper.join();
  if (scrapes == 0) std::fprintf(stderr, "the metrics port never answered\n");
  int status;
  kill(service, SIGTERM);
  waitpid(service, &status, 0);
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  return {median(without), median(with)};
}

}  // namespace

int main() {
  auto scratch = std::filesystem::temp_directory_path() / ("quillon-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(scratch);
  setenv("QUILLON_REGISTRY", (scratch / "registry").c_str(), 1);
  setenv("QUILLON_USER_REGISTRY", (scratch / "user-registry").c_str(), 1);
  setenv("QUILLON_UNIT_DIR", (scratch / "units").c_str(), 1);
  setenv("QUILLON_STATE_DIR", (scratch / "state").c_str(), 1);
  std::string quillon = (BinDir() / "Quillon").string();
  int port = FreePort();

  pid_t reg = Spawn({quillon, "-RegServer"});
  int status;
  waitpid(reg, &status, 0);
  pid_t service = Spawn({quillon, "--port", std::to_string(port)});
  for (int i = 0; i < 100; ++i) {
    int fd = Connect(port);
    if (fd >= 0) {
      close(fd);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  std::printf("TP_SMS_FETCH with nothing waiting, loopback, one request at a time per client\n");
  std::printf("%-10s %8s %10s %12s %10s %10s\n", "load", "clients", "requests", "requests/s", "p50 us", "p99 us");
  Run(port, 10, 1000);  // warm up
  long before = RssKiB(service);
  // Saturated: every client sends its next request as soon as the reply is in,
  // so at 100 clients each request queues behind the other 99.
  for (int clients : {1, 10, 100}) {
    Result r = Run(port, clients, 100000 / clients);
    std::printf("%-10s %8d %10ld %12.0f %10.1f %10.1f\n", "saturated", clients, r.requests, r.perSecond, r.p50us,
                r.p99us);
  }
  // Paced: 100 clients at 200 requests a second each, two hundred times the
  // one fetch a second a real client makes.
  Result paced = Run(port, 100, 1000, 200);
  std::printf("%-10s %8d %10ld %12.0f %10.1f %10.1f\n", "paced", 100, paced.requests, paced.perSecond, paced.p50us,
              paced.p99us);
  long after = RssKiB(service);
  std::printf("Quillon resident memory: %ld KiB before, %ld KiB after 400,000 requests (growth %ld KiB)\n", before,
              after, after - before);

  kill(service, SIGTERM);
  waitpid(service, &status, 0);

  if (std::getenv("QUILLON_BENCH_PIN") != nullptr) {
    cpu_set_t clientsCore;
    CPU_ZERO(&clientsCore);
    CPU_SET(1, &clientsCore);
    sched_setaffinity(0, sizeof clientsCore, &clientsCore);
  }
  auto [without, with] = PacedP99WithoutAndWithScrapes(quillon, 15);
  double cost = (with - without) / without * 100;
  std::printf(
      "paced p99 with the metrics port, median of 15 rounds each: not scraped %.1f us, scraped every "
      "second %.1f us: %+.1f %% (goal < 5 %%)\n",
      without, with, cost);
  std::filesystem::remove_all(scratch);
  return 0;
}
