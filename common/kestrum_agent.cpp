#include "common/kestrum_agent.h"

#include <cstdlib>
#include <cstring>
#include <poll.h>

#include <ace/Guard_T.h>
#include <ace/INET_Addr.h>
#include <ace/OS_NS_unistd.h>
#include <ace/SOCK_Connector.h>

#include "platform/timescale/timescale.h"

namespace {

const ACE_Time_Value kConnectTimeout(5);
const ACE_Time_Value kReceiveTimeout(2);
constexpr unsigned kRetryAfterFailedConnectS = 5;
constexpr unsigned kPauseS = 1;

// The agent's pace is nominal, like the engine's waits: tests and the soak
// run it faster under QUILLON_TIME_SCALE; unset, it is one second.
void PauseSeconds(unsigned seconds) { timescale::Sleep(std::chrono::seconds(seconds)); }

bool ServiceHungUp(ACE_HANDLE handle) {
  pollfd connection{handle, POLLIN, 0};
  return ::poll(&connection, 1, 0) != 0;
}

unsigned short DefaultServicePort() {
  const char* text = std::getenv("QUILLON_SERVICE_PORT");
  int port = text ? std::atoi(text) : 0;
  return port > 0 && port < 65536 ? static_cast<unsigned short>(port) : SMS_SERVICE_PORT;
}

void CopyField(char (&field)[16], const char* text) {
  std::memset(field, 0, sizeof field);
  std::strncpy(field, text, sizeof field - 1);
}

}  // namespace

KestrumAgent::KestrumAgent(uint8_t mode) : mode_(mode), servicePort_(DefaultServicePort()) {
  running_ = true;
  ACE_thread_t id;
  if (ACE_Thread::spawn(WorkerThread, this, THR_NEW_LWP | THR_JOINABLE, &id, &worker_) != 0) {
    running_ = false;
    throw std::runtime_error(AGENT_CREATE_ERROR);
  }
}

KestrumAgent::~KestrumAgent() {
  if (running_) {
    running_ = false;
    ACE_Thread::join(worker_);
  }
  stream_.close();
}

void KestrumAgent::Connect(int port, int rate, const std::string& host) {
  {
    ACE_Guard<ACE_Thread_Mutex> guard(settingsLock_);
    configChanged_ = false;
    if (port != port_) {
      port_ = port;
      configChanged_ = true;
    }
    if (rate != rate_) {
      rate_ = rate;
      configChanged_ = true;
    }
    if (host != host_) {
      host_ = host;
      configChanged_ = true;
    }
  }
  connectRequested_ = true;
}

void KestrumAgent::Disconnect() { connectRequested_ = false; }

bool KestrumAgent::PopReceived(SmsRecord& record) {
  ACE_Guard<ACE_Thread_Mutex> guard(receiveLock_);
  if (received_.empty()) return false;
  record = received_.front();
  received_.pop_front();
  return true;
}

bool KestrumAgent::PopReceived(std::string& peer, std::string& stamp, std::string& text) {
  SmsRecord record;
  if (!PopReceived(record)) return false;
  peer.assign(record.peer, strnlen(record.peer, 15));
  stamp.assign(record.stamp, strnlen(record.stamp, sizeof record.stamp));
  text.assign(record.text, strnlen(record.text, sizeof record.text));
  return true;
}

bool KestrumAgent::QueueSend(const char* centre, const char* peer, const char* text, uint8_t dcs) {
  size_t centreLength = strnlen(centre, 16);
  if (centreLength == 0 || centreLength > 15 || !modemReady_) return false;
  SmsRecord record{};
  CopyField(record.centre, centre);
  CopyField(record.peer, peer);
  record.dcs = dcs;
  std::strncpy(record.text, text, sizeof record.text - 1);
  ACE_Guard<ACE_Thread_Mutex> guard(sendLock_);
  toSend_.push_back(record);
  return true;
}

void KestrumAgent::GetModemSettings(int& port, int& rate) {
  ACE_Guard<ACE_Thread_Mutex> guard(settingsLock_);
  port = port_;
  rate = rate_;
}

void KestrumAgent::SetSendObserver(SendObserver observer) {
  ACE_Guard<ACE_Thread_Mutex> guard(sendLock_);
  sendObserver_ = std::move(observer);
}

void KestrumAgent::Tell(const SmsRecord& record, SendOutcome outcome) {
  SendObserver observer;
  {
    ACE_Guard<ACE_Thread_Mutex> guard(sendLock_);
    observer = sendObserver_;
  }
  if (observer) observer(record, outcome);
}

ACE_THR_FUNC_RETURN KestrumAgent::WorkerThread(void* self) {
  static_cast<KestrumAgent*>(self)->WorkerLoop();
  return 0;
}

void KestrumAgent::WorkerLoop() {
  std::string host;
  {
    ACE_Guard<ACE_Thread_Mutex> guard(settingsLock_);
    host = host_;
  }
  while (running_) {
    bool reset = false;
    {
      ACE_Guard<ACE_Thread_Mutex> guard(settingsLock_);
      if (configChanged_) {
        host = host_;
        configChanged_ = false;
        reset = true;
      }
    }
    if (reset && connected_) DropConnection();
    if (!connectRequested_) {
      if (connected_) DropConnection();
      PauseSeconds(kPauseS);
      continue;
    }
    if (!EnsureConnected(host)) continue;
    if (!EnsureModemOpen()) continue;
    if ((mode_ & AGENT_MODE_POLL) && !PollOnce()) continue;
    if ((mode_ & AGENT_MODE_SEND) && !SendOnce()) continue;
    PauseSeconds(kPauseS);
  }
}

bool KestrumAgent::EnsureConnected(const std::string& host) {
  if (connected_) return true;
  ACE_INET_Addr service(servicePort_.load(), host.c_str());
  ACE_SOCK_Connector connector;
  if (connector.connect(stream_, service, &kConnectTimeout) != 0) {
    stream_.close();
    PauseSeconds(kRetryAfterFailedConnectS);
    return false;
  }
  connected_ = true;
  modemReady_ = false;
  return true;
}

bool KestrumAgent::EnsureModemOpen() {
  if (modemReady_) return true;
  int port, rate;
  GetModemSettings(port, rate);
  TpBuffer request;
  request.MakeModemOpen(static_cast<uint8_t>(port), static_cast<uint32_t>(rate));
  if (!Exchange(request)) return false;
  if (!reply_.modemState()) {
    PauseSeconds(kPauseS);
    return false;
  }
  if (!TakeState(*reply_.modemState())) return false;
  ACE_Guard<ACE_Thread_Mutex> guard(settingsLock_);
  port_ = reply_.modemState()->port;
  rate_ = static_cast<int>(reply_.modemState()->baud);
  return true;
}

bool KestrumAgent::PollOnce() {
  TpBuffer request;
  request.MakeSmsFetch(0, 0);
  if (!Exchange(request)) return false;
  if (reply_.modemState()) return TakeState(*reply_.modemState());
  if (const auto& deliver = reply_.smsDeliver()) {
    SmsRecord record{};
    std::memcpy(record.peer, deliver->sender, sizeof record.peer - 1);
    std::memcpy(record.stamp, deliver->timestamp, sizeof record.stamp - 1);
    std::memcpy(record.text, deliver->text, std::min<size_t>(deliver->textLength, sizeof record.text - 1));
    if (keeper_ && !keeper_(record)) return true;
    ACE_Guard<ACE_Thread_Mutex> guard(receiveLock_);
    received_.push_back(record);
  }
  return true;
}

namespace {

TpSmsSubmit SubmitOf(const SmsRecord& record) {
  TpSmsSubmit submit;
  std::memcpy(submit.smsc, record.centre, sizeof submit.smsc);
  std::memcpy(submit.destination, record.peer, sizeof submit.destination);
  submit.coding = record.dcs;
  // The record's text holds at most 2047 bytes; a packet carries 2007 of them.
  submit.textLength = static_cast<uint32_t>(strnlen(record.text, TP_MAX_PAYLOAD - TP_SMS_SUBMIT_FIXED));
  std::memcpy(submit.text, record.text, submit.textLength);
  return submit;
}

}  // namespace

bool KestrumAgent::SendOnce() {
  SmsRecord record;
  {
    ACE_Guard<ACE_Thread_Mutex> guard(sendLock_);
    if (toSend_.empty()) {
      guard.release();
      PauseSeconds(kPauseS);
      return false;
    }
    record = toSend_.front();
  }
  // The service never speaks unasked, so an idle connection with something
  // to read is one it closed (it was restarted, say). The message waits for
  // the next connection rather than going down this one and being lost.
  if (ServiceHungUp(stream_.get_handle())) {
    DropConnection();
    return false;
  }
  {
    ACE_Guard<ACE_Thread_Mutex> guard(sendLock_);
    toSend_.pop_front();  // only this thread takes from the queue
  }
  TpBuffer request;
  request.MakeSmsSubmit(SubmitOf(record));
  if (!Exchange(request)) {
    ++unacknowledged_;  // the message is not put back
    Tell(record, SendOutcome::Lost);
    return false;
  }
  if (reply_.modemState()) {
    if (reply_.modemState()->state != MODEM_READY) {
      // Turned away only because the modem is not ready (it stopped, or was
      // unplugged): the message waits at the head of the queue while the
      // agent opens the modem again, rather than being dropped unannounced.
      ACE_Guard<ACE_Thread_Mutex> guard(sendLock_);
      toSend_.push_front(record);
    } else {
      ++unacknowledged_;
      Tell(record, SendOutcome::Refused);
    }
    return TakeState(*reply_.modemState());
  }
  ++acknowledged_;
  Tell(record, SendOutcome::Accepted);
  return true;
}

bool KestrumAgent::Exchange(const TpBuffer& request) {
  if (stream_.send_n(request.data, request.length) != static_cast<ssize_t>(request.length)) {
    DropConnection();
    PauseSeconds(kPauseS);
    return false;
  }
  std::memset(receiveBuffer_, 0, sizeof receiveBuffer_);
  ssize_t got = stream_.recv(receiveBuffer_, sizeof receiveBuffer_, &kReceiveTimeout);
  reply_ = TpMessage{};
  bool decoded = false;
  if (got > 0) {
    try {
      reply_ = DecodeTpPacket(receiveBuffer_, static_cast<size_t>(got));
      decoded = true;
    } catch (const TpPacketError&) {
      // A reply that fails its checks is a failed receive.
    }
  }
  if (!decoded) {
    DropConnection();
    PauseSeconds(kPauseS);
    return false;
  }
  return true;
}

bool KestrumAgent::TakeState(const TpModemStatus& status) {
  modemReady_ = status.state == MODEM_READY;
  if (!modemReady_) PauseSeconds(kPauseS);
  return modemReady_;
}

void KestrumAgent::DropConnection() {
  stream_.close();
  connected_ = false;
  modemReady_ = false;
}
