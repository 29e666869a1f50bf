#include "gateway/broadcast/session.h"

#include "gateway/broadcast/bc_agent.h"
#include "gateway/broadcast/bc_exception.h"
#include "gateway/broadcast_server_settings.h"
#include "platform/codepage/codepage.h"

Session::Session(std::string name, int kind, std::unique_ptr<bcSessSource> source, std::vector<int> terminalIds,
                 const BroadcastServerSettings& server)
    : server_(server),
      name_(std::move(name)),
      kind_(kind),
      terminalIds_(std::move(terminalIds)),
      source_(std::move(source)) {}

Session::~Session() {
  stop();
  source_.reset();
}

int Session::start() {
  if (state_ != SESSION_NEW && state_ != SESSION_STOPPED) return number_;
  if (!source_) throw Exception("Session object not inited", BC_SOURCE("Session::start"));
  try {
    const BroadcastServerSettings& settings = server_;
    {
      BCAgent agent(server_);
      number_ = agent.createSession(name_, kind_, settings.sessionPriority, settings.userPriority, terminalIds_);
    }
    // A server that refused the session leaves nothing to play into.
    if (number_ == -1) throw Exception(codepage::Utf8ToGbk("创建会话失败"), BC_SOURCE("Session::start"));
    source_->start(number_);
    state_ = SESSION_STARTED;
    return number_;
  } catch (const Exception& failure) {
    if (number_ != -1) {
      BCAgent agent(server_);
      agent.removeSession(number_);
    }
    throw Exception(failure.message(), failure.source());
  }
}

void Session::stop() {
  if (state_ != SESSION_STARTED) return;
  source_->stop();
  {
    BCAgent agent(server_);
    agent.removeSession(number_);
  }
  state_ = SESSION_STOPPED;
}

void Session::abandon() {
  if (state_ != SESSION_STARTED) return;
  source_->stop();
  state_ = SESSION_STOPPED;
}
