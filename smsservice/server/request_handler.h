// One client connection: each read is one request, answered at once.
#pragma once

#include <memory>

#include <ace/Event_Handler.h>
#include <ace/SOCK_Stream.h>

#include "smsservice/server/request_dispatch.h"

class CUiProxySvr;

class CRequest_Handler : public ACE_Event_Handler {
 public:
  static constexpr size_t kReceiveSize = 60000;

  // Answers from `modem`; leaves `server`'s list as it closes.
  CRequest_Handler(CUiProxySvr& server, ModemAccess& modem, const Clock& clock);
  ~CRequest_Handler() override;

  ACE_SOCK_Stream& peer() { return peer_; }
  ACE_HANDLE get_handle() const override { return peer_.get_handle(); }
  int handle_input(ACE_HANDLE) override;
  // Unregisters, closes the connection, leaves the server's list, deletes itself.
  int handle_close(ACE_HANDLE, ACE_Reactor_Mask) override;

 private:
  CUiProxySvr& server_;
  ModemAccess& modem_;
  const Clock& clock_;
  ACE_SOCK_Stream peer_;
  OpenRule openRule_;
  std::unique_ptr<uint8_t[]> receive_;
};
