#include "smsservice/server/ui_proxy_server.h"

#include <vector>

#include <ace/Select_Reactor.h>

#include "smsservice/server/request_handler.h"

CUiProxySvr* CUiProxySvr::Instance() { return ACE_Singleton<CUiProxySvr, ACE_Null_Mutex>::instance(); }

CUiProxySvr::~CUiProxySvr() { Close(); }

void CUiProxySvr::SetListenAddress(const std::string& address, unsigned short port) {
  address_ = address;
  port_ = port;
}

int CUiProxySvr::Open() {
  if (running_) return 0;
  if (!modem_ || !clock_) return -1;
  reactor_ = std::make_unique<ACE_Reactor>(new ACE_Select_Reactor, true);
  listener_ = std::make_unique<CRequest_Listener>(*this, *modem_, *clock_);
  if (listener_->Open(reactor_.get(), address_, port_) != 0) {
    listener_.reset();
    reactor_.reset();
    return -1;
  }
  ACE_thread_t id;
  if (ACE_Thread::spawn(ReactorThread, this, THR_NEW_LWP | THR_JOINABLE, &id, &reactorThread_) != 0) {
    listener_.reset();
    reactor_.reset();
    return -1;
  }
  running_ = true;
  return 0;
}

ACE_THR_FUNC_RETURN CUiProxySvr::ReactorThread(void* self) {
  auto* server = static_cast<CUiProxySvr*>(self);
  server->reactor_->owner(ACE_Thread::self());
  server->reactor_->run_reactor_event_loop();
  return 0;
}

void CUiProxySvr::Close() {
  if (!running_) return;
  running_ = false;
  reactor_->end_reactor_event_loop();
  ACE_Thread::join(reactorThread_);
  listener_.reset();
  // Each handler leaves the list as it closes, so walk a copy.
  std::list<CRequest_Handler*> open;
  {
    ACE_Guard<ACE_Thread_Mutex> guard(connectionsMutex_);
    open.swap(connections_);
  }
  for (CRequest_Handler* handler : open) handler->handle_close(ACE_INVALID_HANDLE, ACE_Event_Handler::ALL_EVENTS_MASK);
  reactor_.reset();
}

void CUiProxySvr::AddHandler(CRequest_Handler* handler) {
  ACE_Guard<ACE_Thread_Mutex> guard(connectionsMutex_);
  connections_.push_back(handler);
}

void CUiProxySvr::RemoveHandler(CRequest_Handler* handler) {
  ACE_Guard<ACE_Thread_Mutex> guard(connectionsMutex_);
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (*it == handler) {
      connections_.erase(it);
      return;
    }
  }
}
