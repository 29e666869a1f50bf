#include "platform/signals/stop_signals.h"

#include <csignal>
#include <ctime>
#include <pthread.h>
#include <sys/signalfd.h>

namespace stop_signals {
namespace {

sigset_t StopSet() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  return signals;
}

}  // namespace

void Block() {
  const sigset_t signals = StopSet();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

int Wait() {
  const sigset_t signals = StopSet();
  int signal = 0;
  while (sigwait(&signals, &signal) != 0) {
  }
  return signal;
}

bool Arrived() {
  const sigset_t signals = StopSet();
  const timespec now{};
  return sigtimedwait(&signals, nullptr, &now) > 0;
}

int Descriptor() {
  const sigset_t signals = StopSet();
  return signalfd(-1, &signals, SFD_CLOEXEC);
}

}  // namespace stop_signals
