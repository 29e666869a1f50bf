// Accepts client connections and gives each its own handler.
#pragma once

#include <string>

#include <ace/Event_Handler.h>
#include <ace/SOCK_Acceptor.h>

class CUiProxySvr;
class ModemAccess;
class Clock;

class CRequest_Listener : public ACE_Event_Handler {
 public:
  // Each connection is handed to `server`'s list and answers from `modem`.
  CRequest_Listener(CUiProxySvr& server, ModemAccess& modem, const Clock& clock)
      : server_(server), modem_(modem), clock_(clock) {}
  ~CRequest_Listener() override;

  // Listens on `address`:`port` and registers for accepts; -1 on failure.
  int Open(ACE_Reactor* reactor, const std::string& address, unsigned short port);
  void Close();

  ACE_HANDLE get_handle() const override { return acceptor_.get_handle(); }
  int handle_input(ACE_HANDLE) override;

 private:
  CUiProxySvr& server_;
  ModemAccess& modem_;
  const Clock& clock_;
  ACE_SOCK_Acceptor acceptor_;
  bool open_ = false;
};
