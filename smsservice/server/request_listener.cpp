#include "smsservice/server/request_listener.h"

#include <ace/INET_Addr.h>
#include <ace/Reactor.h>

#include "smsservice/server/request_handler.h"
#include "smsservice/server/ui_proxy_server.h"

CRequest_Listener::~CRequest_Listener() { Close(); }

int CRequest_Listener::Open(ACE_Reactor* reactor, const std::string& address, unsigned short port) {
  this->reactor(reactor);
  ACE_INET_Addr local;
  if (local.set(port, address.c_str()) != 0) return -1;
  if (acceptor_.open(local, 1, 0, 0x7fffffff, 0) != 0) return -1;
  if (reactor->register_handler(this, ACE_Event_Handler::ACCEPT_MASK) != 0) {
    acceptor_.close();
    return -1;
  }
  open_ = true;
  return 0;
}

void CRequest_Listener::Close() {
  if (!open_) return;
  open_ = false;
  if (reactor()) reactor()->remove_handler(this, ACE_Event_Handler::ACCEPT_MASK | ACE_Event_Handler::DONT_CALL);
  acceptor_.close();
}

int CRequest_Listener::handle_input(ACE_HANDLE) {
  auto* handler = new CRequest_Handler(server_, modem_, clock_);
  handler->reactor(reactor());
  if (acceptor_.accept(handler->peer(), nullptr, nullptr, 1, reactor()->uses_event_associations()) != 0) {
    delete handler;
    return 0;
  }
  if (reactor()->register_handler(handler, ACE_Event_Handler::READ_MASK) != 0) {
    handler->handle_close(ACE_INVALID_HANDLE, ACE_Event_Handler::ALL_EVENTS_MASK);
    return 0;
  }
  server_.AddHandler(handler);
  return 0;
}
