// What the gateway last learnt of the broadcast server from its own work
// with it: a terminal list or a session that came or did not, audio that
// reached the server's data port or did not. The gateway talks to the
// server only for a message, so between messages this is the last word;
// before the first it has none. Written on the pipeline's thread, read on
// the metrics port's.
#pragma once

#include <ctime>
#include <mutex>

class ServerContact {
 public:
  enum class State { NotYet, Reached, Missed };

  void Tell(bool reached, std::time_t when) {
    std::lock_guard hold(lock_);
    state_ = reached ? State::Reached : State::Missed;
    when_ = when;
  }
  State state() const {
    std::lock_guard hold(lock_);
    return state_;
  }
  // When the state was learnt; 0 before the first contact.
  std::time_t when() const {
    std::lock_guard hold(lock_);
    return when_;
  }

 private:
  mutable std::mutex lock_;
  State state_ = State::NotYet;
  std::time_t when_ = 0;
};
