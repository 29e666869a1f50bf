#include "gateway/broadcast/session_mgr.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <utility>

#include "gateway/broadcast/bc_agent.h"
#include "gateway/broadcast/bc_exception.h"
#include "gateway/broadcast/diag_log.h"

SessionMgr& SessionMgr::Instance() {
  static SessionMgr manager;
  return manager;
}

int SessionMgr::CreateSession(const std::vector<int>& terminalIds, const std::vector<PlayItem>& playList,
                              const std::string& name) {
  if (!environment_) return -1;
  // The source tells its end straight to the manager that owns its session.
  auto finished = [this](int number) {
    if (Session* session = FindSession(number)) {
      session->finished = true;
      if (!session->source()->trouble().empty()) {
        std::lock_guard lock(finishedLock_);
        // Only asked for by rows still in the list: a few at most.
        if (troubles_.size() >= 100) troubles_.erase(troubles_.begin());
        troubles_[number] = session->source()->trouble();
      }
    }
    MarkFinished(number);
  };
  std::unique_ptr<bcSessSource> source(new (std::nothrow) bcSessSource(playList, *environment_, finished));
  if (!source) throw Exception("create session source failed", BC_SOURCE("SessionMgr::CreateSession"));
  std::unique_ptr<Session> session(
      new (std::nothrow) Session(name, SESSION_KIND, std::move(source), terminalIds, environment_->server));
  if (!session) throw Exception("create session failed", BC_SOURCE("SessionMgr::CreateSession"));
  int number;
  try {
    number = session->start();
  } catch (...) {
    return -1;  // the session, deleted here, stops and removes what it had
  }
  {
    std::lock_guard lock(finishedLock_);
    troubles_.erase(number);  // an earlier session's, under a number given out again
  }
  std::unique_ptr<Session> replaced;
  {
    std::lock_guard lock(mapLock_);
    replaced = std::exchange(sessions_[number], std::move(session));
  }
  {
    std::lock_guard lock(listLock_);
    if (replaced) std::erase(active_, number);
    active_.push_back(number);
  }
  if (replaced) ForgetReplaced(std::move(replaced), number);
  return number;
}

void SessionMgr::ForgetReplaced(std::unique_ptr<Session> replaced, int number) {
  // The server restarted its numbering and gave the number out again. The
  // old session's audio and its queued end would otherwise reach the new one.
  replaced->abandon();
  replaced.reset();
  std::lock_guard lock(finishedLock_);
  std::erase(finished_, number);
}

Session* SessionMgr::FindSession(int number) {
  std::lock_guard lock(mapLock_);
  auto it = sessions_.find(number);
  return it == sessions_.end() ? nullptr : it->second.get();
}

void SessionMgr::RemoveSession(int number) {
  try {
    {
      std::lock_guard lock(listLock_);
      auto it = std::find(active_.begin(), active_.end(), number);
      if (it != active_.end()) active_.erase(it);
    }
    Session* session = FindSession(number);
    if (!session) return;
    session->stop();
    std::unique_ptr<Session> owned;
    {
      std::lock_guard lock(mapLock_);
      auto it = sessions_.find(number);
      if (it != sessions_.end()) {
        owned = std::move(it->second);
        sessions_.erase(it);
      }
    }
  } catch (const Exception& failure) {
    WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, "Remove session failed: %s", failure.message().c_str());
  }
}

void SessionMgr::MarkFinished(int number) {
  std::lock_guard lock(finishedLock_);
  finished_.push_back(number);
}

std::string SessionMgr::TakeTrouble(int number) {
  std::lock_guard lock(finishedLock_);
  auto found = troubles_.find(number);
  if (found == troubles_.end()) return {};
  std::string trouble = std::move(found->second);
  troubles_.erase(found);
  return trouble;
}

void SessionMgr::ProcessFinished() {
  for (;;) {
    int number;
    {
      std::lock_guard lock(finishedLock_);
      if (finished_.empty()) return;
      number = finished_.front();
      finished_.pop_front();
    }
    if (number != -1) RemoveSession(number);
  }
}

void SessionMgr::RemoveAll() {
  std::map<int, std::unique_ptr<Session>> all;
  {
    std::lock_guard lock(mapLock_);
    all.swap(sessions_);
  }
  all.clear();  // each session stops, and so leaves the server, as it goes
}

std::vector<int> SessionMgr::ActiveNumbers() {
  std::lock_guard lock(listLock_);
  return active_;
}

std::deque<int> SessionMgr::FinishedQueue() {
  std::lock_guard lock(finishedLock_);
  return finished_;
}

size_t SessionMgr::SessionCount() {
  std::lock_guard lock(mapLock_);
  return sessions_.size();
}
