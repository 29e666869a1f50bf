// The request server: TCP port 8200, one reactor thread, one handler per
// client connection. Each read carries one request packet and gets at most
// one reply; the server never sends anything unasked.
#pragma once

#include <list>
#include <memory>
#include <string>

#include <ace/Null_Mutex.h>
#include <ace/Reactor.h>
#include <ace/Singleton.h>
#include <ace/Thread.h>
#include <ace/Thread_Mutex.h>

#include "common/tp_packet.h"
#include "smsservice/server/request_listener.h"

class CRequest_Handler;

class CUiProxySvr {
 public:
  static constexpr const char* kDefaultAddress = "127.0.0.1";

  // The service's one request server; the service host takes it once.
  static CUiProxySvr* Instance();

  CUiProxySvr() = default;
  ~CUiProxySvr();
  CUiProxySvr(const CUiProxySvr&) = delete;
  CUiProxySvr& operator=(const CUiProxySvr&) = delete;

  // Where to listen; only loopback unless an operator names another address.
  // Takes effect at the next Open.
  void SetListenAddress(const std::string& address, unsigned short port = SMS_SERVICE_PORT);

  // What requests are answered from, and the clock of the repeated-open
  // rule; set before Open, and both must outlive the server's connections.
  void SetModem(ModemAccess& modem, const Clock& clock) {
    modem_ = &modem;
    clock_ = &clock;
  }

  // 0 when listening with the reactor thread running, -1 otherwise (also
  // without a modem).
  int Open();
  // Ends the reactor thread, closes the listener and every connection.
  void Close();

  void AddHandler(CRequest_Handler* handler);
  void RemoveHandler(CRequest_Handler* handler);

 private:
  static ACE_THR_FUNC_RETURN ReactorThread(void* self);

  ACE_hthread_t reactorThread_{};
  bool running_ = false;
  ModemAccess* modem_ = nullptr;
  const Clock* clock_ = nullptr;
  std::unique_ptr<CRequest_Listener> listener_;
  std::list<CRequest_Handler*> connections_;
  ACE_Thread_Mutex connectionsMutex_;
  std::unique_ptr<ACE_Reactor> reactor_;
  std::string address_ = kDefaultAddress;
  unsigned short port_ = SMS_SERVICE_PORT;
};
