#include "tests/e2e/support/child_process.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

ChildProcess::ChildProcess(std::vector<std::string> argv, std::map<std::string, std::string> extraEnv,
                           const std::string& outputFile) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    auto eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (auto& [key, value] : extraEnv) env[key] = value;
  std::vector<std::string> envStrings;
  for (auto& [key, value] : env) envStrings.push_back(key + "=" + value);
  std::vector<char*> envp, args;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  for (auto& s : argv) args.push_back(s.data());
  args.push_back(nullptr);

  int pipeFds[2];
  if (outputFile.empty()) {
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  } else {
    pipeFds[0] = -1;
    pipeFds[1] = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (pipeFds[1] < 0) throw std::runtime_error("cannot write " + outputFile);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  stdout_ = pipeFds[0];
  if (rc != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + argv[0]);
  }
}

ChildProcess::~ChildProcess() {
  if (Running() && Stop(SIGTERM, std::chrono::seconds(5)) < 0) Stop(SIGKILL, std::chrono::seconds(5));
  if (stdout_ >= 0) close(stdout_);
}

bool ChildProcess::WaitForLine(const std::string& line, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    size_t newline;
    while ((newline = pending_.find('\n')) != std::string::npos) {
      std::string got = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      if (got == line) return true;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd pfd{stdout_, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[512];
    ssize_t n = read(stdout_, buffer, sizeof buffer);
    if (n <= 0) return false;
    pending_.append(buffer, n);
  }
}

bool ChildProcess::Running() {
  if (pid_ < 0) return false;
  int status;
  pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    return false;
  }
  return true;
}

int ChildProcess::Stop(int signal, std::chrono::milliseconds timeout) {
  if (!Running()) return status_;
  kill(pid_, signal);
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!Running()) return status_;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

int FreeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t length = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  close(fd);
  return ntohs(addr.sin_port);
}

std::string BinDir() {
  const char* dir = std::getenv("QUILLON_BIN_DIR");
  return dir ? dir : "build/bin";
}
