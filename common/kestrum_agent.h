// The client side of the SMS service: one TCP connection, one worker thread.
// In poll mode it fetches received SMS into a queue for the user-interface
// thread; in send mode it hands queued SMS to the service, one per second.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>

#include <ace/SOCK_Stream.h>
#include <ace/Thread.h>
#include <ace/Thread_Mutex.h>

#include "common/tp_packet.h"

enum AgentMode : uint8_t {
  AGENT_MODE_SEND = 1,
  AGENT_MODE_POLL = 2,
};

// One message, fixed size, NUL-padded; copied by value through the queues.
struct SmsRecord {
  char centre[16];
  char peer[16];
  uint8_t dcs;
  char stamp[16];
  char text[2048];
  int64_t keptAs = 0;  // a received SMS's id in its keeper's journal; 0 for none
};

// Hears each received SMS on the worker thread as it is fetched, before it
// is queued, so that the program can keep it where a crash cannot take it;
// it may set keptAs. False drops it: the keeper has it already.
using ReceiveKeeper = std::function<bool(SmsRecord&)>;

// What became of one SMS the agent handed to the service: taken, turned away
// by a ready service (its queue full, say), or lost with the connection.
enum class SendOutcome { Accepted, Refused, Lost };
using SendObserver = std::function<void(const SmsRecord&, SendOutcome)>;

inline constexpr const char* AGENT_CREATE_ERROR = "Creat KestrumAgnet failed!";

class KestrumAgent {
 public:
  // Starts the worker; throws std::runtime_error(AGENT_CREATE_ERROR) when it cannot.
  explicit KestrumAgent(uint8_t mode);
  // Joins the worker (it finishes its current step first) and closes the connection.
  ~KestrumAgent();
  KestrumAgent(const KestrumAgent&) = delete;
  KestrumAgent& operator=(const KestrumAgent&) = delete;

  void Connect(int port, int rate, const std::string& host);
  void Disconnect();
  // The oldest received SMS; false (outputs untouched) when none is waiting.
  bool PopReceived(std::string& peer, std::string& stamp, std::string& text);
  bool PopReceived(SmsRecord& record);
  // Before Connect.
  void SetReceiveKeeper(ReceiveKeeper keeper) { keeper_ = std::move(keeper); }
  // False, queueing nothing, without a centre of 1 to 15 characters or
  // before the modem is ready.
  bool QueueSend(const char* centre, const char* peer, const char* text, uint8_t dcs);
  void GetModemSettings(int& port, int& rate);
  // Hears, on the worker thread, the end of every queued SMS, so that a
  // message that was queued and then refused is not reported as sent.
  void SetSendObserver(SendObserver observer);

  bool ConnectRequested() const { return connectRequested_; }
  // SMS the service acknowledged, and SMS it dropped: answered with a state
  // while its modem was ready (queue full, too long) or lost on a failed
  // exchange; for status displays and tools. An SMS turned away because the
  // modem was not ready stays queued until it is.
  uint64_t AcknowledgedCount() const { return acknowledged_; }
  uint64_t UnacknowledgedCount() const { return unacknowledged_; }
  bool ModemReady() const { return modemReady_; }

  // The service's TCP port: 8200, or $QUILLON_SERVICE_PORT (tests run
  // services on free ports). Takes effect at the next connection.
  void SetServicePort(unsigned short port) { servicePort_ = port; }

 private:
  static ACE_THR_FUNC_RETURN WorkerThread(void* self);
  void WorkerLoop();
  // Each step returns false when the pass ends there.
  bool EnsureConnected(const std::string& host);
  bool EnsureModemOpen();
  bool PollOnce();
  bool SendOnce();
  bool Exchange(const TpBuffer& request);
  // A state reply sets or clears modemReady; false when the state is not ready.
  bool TakeState(const TpModemStatus& status);
  void Tell(const SmsRecord& record, SendOutcome outcome);
  void DropConnection();

  std::atomic<bool> running_{false};
  std::atomic<bool> connectRequested_{false};
  std::atomic<bool> modemReady_{false};
  std::atomic<uint64_t> acknowledged_{0};
  std::atomic<uint64_t> unacknowledged_{0};
  uint8_t mode_;
  ACE_hthread_t worker_{};
  ACE_SOCK_Stream stream_;
  bool connected_ = false;
  ACE_Thread_Mutex settingsLock_;
  bool configChanged_ = false;
  int port_ = 0;
  int rate_ = 0;
  std::string host_ = "127.0.0.1";
  std::atomic<unsigned short> servicePort_;
  uint8_t receiveBuffer_[TP_BUFFER_SIZE];
  TpMessage reply_;
  ACE_Thread_Mutex receiveLock_;
  std::deque<SmsRecord> received_;
  ReceiveKeeper keeper_;
  ACE_Thread_Mutex sendLock_;
  std::deque<SmsRecord> toSend_;
  SendObserver sendObserver_;  // guarded by sendLock_
};
