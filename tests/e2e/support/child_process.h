// A program the test starts and owns: it is stopped (SIGTERM, then SIGKILL)
// when the object goes away.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
 public:
  // Starts `argv` with `extraEnv` added to this process's environment; its
  // standard output comes to us through a pipe, or goes to `outputFile` when
  // one is named (a program that talks a lot would fill an unread pipe and
  // stop); its standard error is kept.
  ChildProcess(std::vector<std::string> argv, std::map<std::string, std::string> extraEnv = {},
               const std::string& outputFile = "");
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Reads standard output lines until one equals `line`; false on time-out or end.
  bool WaitForLine(const std::string& line, std::chrono::milliseconds timeout);
  // Sends `signal` and waits for the exit; returns the exit status (or 128 +
  // signal), -1 when it did not end in time.
  int Stop(int signal, std::chrono::milliseconds timeout);
  bool Running();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  std::string pending_;
  int status_ = -1;
};

// A loopback TCP port that was free a moment ago.
int FreeLoopbackPort();
// The folder the programs were built into.
std::string BinDir();
