#include "smsservice/server/request_handler.h"

#include <ace/Reactor.h>

#include "smsservice/server/ui_proxy_server.h"

CRequest_Handler::CRequest_Handler(CUiProxySvr& server, ModemAccess& modem, const Clock& clock)
    : server_(server), modem_(modem), clock_(clock), receive_(new uint8_t[kReceiveSize]) {
  openRule_.lastOpenTime = clock_.MonotonicNow();
}

CRequest_Handler::~CRequest_Handler() = default;

int CRequest_Handler::handle_input(ACE_HANDLE) {
  ssize_t got = peer_.recv(receive_.get(), kReceiveSize);
  if (got <= 0) return -1;
  size_t count = std::min<size_t>(static_cast<size_t>(got), kReceiveSize - 1);
  receive_[count] = 0;
  uint8_t reply[REPLY_AREA_SIZE];
  Handover handover;
  size_t length = ProcessPacket(receive_.get(), count, openRule_, modem_, clock_.MonotonicNow(), reply, &handover);
  if (length == 0) return 0;
  bool written = peer_.send_n(reply, length) == static_cast<ssize_t>(length);
  // A message whose reply did not go out stays first for the next fetch.
  if (written && handover.carriesMessage) modem_.ConfirmFetched(handover.journalId);
  return 0;
}

int CRequest_Handler::handle_close(ACE_HANDLE, ACE_Reactor_Mask) {
  if (reactor()) reactor()->remove_handler(this, ACE_Event_Handler::READ_MASK | ACE_Event_Handler::DONT_CALL);
  peer_.close();
  server_.RemoveHandler(this);
  delete this;
  return 0;
}
