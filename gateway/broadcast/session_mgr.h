// Every live broadcast session by its server number. Sessions that have
// played their last file are queued and removed on the next ProcessFinished.
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gateway/broadcast/broadcast_environment.h"
#include "gateway/broadcast/play_item.h"
#include "gateway/broadcast/session.h"

// A word taken by compare-and-exchange from 0 to 1, retried at once. The
// file-end event may arrive, on the same thread, while an outgoing call
// waits; no lock is ever held across such a call, so it always finds its
// lock free.
class SpinLock {
 public:
  void lock() {
    int expected = 0;
    while (!word_.compare_exchange_weak(expected, 1, std::memory_order_acquire)) expected = 0;
  }
  void unlock() { word_.store(0, std::memory_order_release); }

 private:
  std::atomic<int> word_{0};
};

class SessionMgr {
 public:
  // The process's one manager; the gateway's core takes it once and hands it on.
  static SessionMgr& Instance();

  // Where sessions are created and how the operator is told of trouble;
  // until it is given, CreateSession starts nothing. It must outlive every
  // session.
  void UseEnvironment(const BroadcastEnvironment& environment) { environment_.emplace(environment); }

  // The new session's number, or -1 when it could not be started. Throws
  // Exception when the session objects cannot be allocated.
  int CreateSession(const std::vector<int>& terminalIds, const std::vector<PlayItem>& playList,
                    const std::string& name);
  // Owned by the manager; null when not registered.
  Session* FindSession(int number);
  void RemoveSession(int number);
  void MarkFinished(int number);
  // Why a finished session's audio did not all reach the server, asked once;
  // empty when it did.
  std::string TakeTrouble(int number);
  void ProcessFinished();
  void RemoveAll();

  std::vector<int> ActiveNumbers();
  std::deque<int> FinishedQueue();
  size_t SessionCount();

 private:
  // Drops a session whose number the server has given to a new one, without
  // a word to the server about that number.
  void ForgetReplaced(std::unique_ptr<Session> replaced, int number);

  std::optional<BroadcastEnvironment> environment_;
  std::map<int, std::unique_ptr<Session>> sessions_;
  std::vector<int> active_;
  std::deque<int> finished_;
  std::map<int, std::string> troubles_;  // guarded by finishedLock_
  SpinLock mapLock_;
  SpinLock listLock_;
  SpinLock finishedLock_;
};
