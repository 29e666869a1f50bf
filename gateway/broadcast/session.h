// One broadcast session: the server's session (created, terminals added,
// started and in the end removed through the command agent) and the source
// that plays into it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gateway/broadcast/bc_sess_source.h"
#include "gateway/broadcast_server_settings.h"

enum SessionState { SESSION_NEW = 0, SESSION_STARTED = 1, SESSION_STOPPED = 3 };

class Session {
 public:
  // `server` says where the server is and with which priorities; it must
  // outlive the session.
  Session(std::string name, int kind, std::unique_ptr<bcSessSource> source, std::vector<int> terminalIds,
          const BroadcastServerSettings& server);
  ~Session();  // stops, then deletes the source
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Creates and starts the server session and the source; returns the
  // number. Throws Exception on failure, after removing a server session
  // that had been given a number.
  int start();
  void stop();
  // Stops the source and sends nothing to the server: the server has given
  // the number to another session, which a removal would end.
  void abandon();

  const std::string& name() const { return name_; }
  int number() const { return number_; }
  int state() const { return state_; }
  const std::vector<int>& terminalIds() const { return terminalIds_; }
  bcSessSource* source() const { return source_.get(); }
  bool finished = false;

 private:
  const BroadcastServerSettings& server_;
  std::string name_;
  int kind_;
  int number_ = -1;
  int state_ = SESSION_NEW;
  std::vector<int> terminalIds_;
  std::unique_ptr<bcSessSource> source_;
};
