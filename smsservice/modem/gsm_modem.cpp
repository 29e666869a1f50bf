#include "smsservice/modem/gsm_modem.h"

#include <cstdio>
#include <cstring>
#include <syslog.h>

#include "platform/log/activity_log.h"
#include "smsservice/modem/pdu_codec.h"
#include "smsservice/modem/sms_traffic.h"
#include "smsservice/modem/startup_dialogue.h"

namespace {

bool IsSevenBit(const char* text) {
  for (; *text != '\0'; ++text)
    if (static_cast<uint8_t>(*text) > 0x7F) return false;
  return true;
}

const char* StateName(int state) {
  switch (state) {
    case MODEM_READY: return "ready";
    case MODEM_OPENING: return "starting up";
    default: return "closed";
  }
}

}  // namespace

CGsmMorden* CGsmMorden::Instance() { return ACE_Singleton<CGsmMorden, ACE_Null_Mutex>::instance(); }

CGsmMorden::CGsmMorden() : CGsmMorden(serial::MakeTermiosPort(), SystemClock()) {}

CGsmMorden::CGsmMorden(std::unique_ptr<serial::SerialPort> port, const Clock& clock)
    : line_(std::move(port)), partials_(clock), clock_(clock) {}

CGsmMorden::~CGsmMorden() { ReleaseSession(); }

int CGsmMorden::Open(int port, int baud) {
  if (port != requestedPort_ || baud != requestedBaud_) {
    activity_log::Log(LOG_INFO, "open requested: COM%d at %d baud", port, baud);
    requestedPort_ = port;
    requestedBaud_ = baud;
  }
  if (state_ != MODEM_CLOSED || shuttingDown_) return state_;
  // An engine that stopped by itself may still hold the port.
  ReleaseSession();
  port_ = port;
  baud_ = baud;
  char device[32];
  std::snprintf(device, sizeof device, "\\\\.\\COM%d", port);
  if (!line_.Open(device, baud, NOPARITY, 8, ONESTOPBIT)) {
    // Clients ask again every second: say it once, until the port opens.
    if (!openFailing_)
      activity_log::Log(LOG_WARNING, "COM%d cannot be opened (missing or in use); trying again at each request", port);
    openFailing_ = true;
    return MODEM_CLOSED;
  }
  openFailing_ = false;
  SetModemState(MODEM_OPENING);
  ACE_thread_t id;
  if (ACE_Thread::spawn(StartupThread, this, THR_NEW_LWP | THR_JOINABLE, &id, &startupThread_) != 0) {
    line_.Close();
    SetModemState(MODEM_CLOSED);
    return MODEM_CLOSED;
  }
  startupThreadRunning_ = true;
  return MODEM_OPENING;
}

bool CGsmMorden::FetchReceived(char (&number)[SMS_NUMBER_FIELD], char (&timestamp)[SMS_NUMBER_FIELD],
                               char (&text)[SMS_TEXT_FIELD]) {
  if (state_ == MODEM_CLOSED && engine_ != nullptr) ReleaseSession();
  ModemSms sms;
  if (!rings_.PopIncoming(sms)) return false;
  std::memcpy(number, sms.number, sizeof number);
  std::memcpy(timestamp, sms.timestamp, sizeof timestamp);
  std::memcpy(text, sms.text, sizeof text);
  return true;
}

bool CGsmMorden::SubmitSms(const char* number, const char* smsc, const char* text, uint8_t dcs) {
  if (state_ == MODEM_CLOSED && engine_ != nullptr) ReleaseSession();
  if (state_ != MODEM_READY || engine_ == nullptr) return false;

  ModemSms sms;
  bool hasPrefix = std::strncmp(number, "86", 2) == 0;
  size_t numberLength = std::strlen(number) + (hasPrefix ? 0 : 2);
  size_t textLength = std::strlen(text);
  if (numberLength >= SMS_NUMBER_FIELD || std::strlen(smsc) >= SMS_NUMBER_FIELD || textLength >= SMS_TEXT_FIELD) {
    activity_log::Log(LOG_WARNING, "SMS to %.20s refused: number or text too long", number);
    return false;
  }
  std::memcpy(sms.number, "86", hasPrefix ? 0 : 2);
  std::memcpy(sms.number + (hasPrefix ? 0 : 2), number, std::strlen(number));
  std::memcpy(sms.smsc, smsc, std::strlen(smsc));
  std::memcpy(sms.text, text, textLength);
  sms.dcs = dcs;
  // Text in the code page asked for as 7-bit cannot go out that way; as UCS2
  // it reaches the phone as written, so it goes as UCS2 when it fits.
  if (sms.dcs == 0 && !IsSevenBit(sms.text)) {
    sms.dcs = 8;
    activity_log::Log(LOG_INFO, "SMS to %s holds characters beyond 7 bits; sent as UCS2", sms.number);
  }
  if (const char* refusal = SubmitPduRefusal(sms)) {
    activity_log::Log(LOG_WARNING, "SMS to %s refused: %s", sms.number, refusal);
    return false;
  }
  if (rings_.PushSend(sms)) return true;
  activity_log::Log(LOG_WARNING, "SMS to %s refused: the send queue is full", sms.number);
  return false;
}

void CGsmMorden::ReleaseSession() {
  if (startupThreadRunning_) {
    ACE_Thread::join(startupThread_);
    startupThreadRunning_ = false;
  }
  DeleteEngine();
  line_.Close();
}

void CGsmMorden::Shutdown() {
  shuttingDown_ = true;
  ReleaseSession();
  SetModemState(MODEM_CLOSED);
  // Nothing keeps them past the process: each is named.
  ModemSms sms;
  while (rings_.PopSend(sms))
    activity_log::Log(LOG_WARNING, "SMS to %s dropped: the service stopped before sending it", sms.number);
  while (rings_.PopIncoming(sms))
    activity_log::Log(LOG_WARNING, "SMS from %s dropped: the service stopped before a client fetched it", sms.number);
}

void CGsmMorden::StartEngine(std::vector<ModemSms> kept, bool indications) {
  engine_ = new CSmsTraffic(
      Link(), [this] { SetModemState(MODEM_CLOSED); }, std::move(kept), indications);
}

void CGsmMorden::SetModemState(int state) {
  if (state_.exchange(state) != state) activity_log::Log(LOG_NOTICE, "modem COM%d %s", port_, StateName(state));
}

void CGsmMorden::DeleteEngine() { delete engine_.exchange(nullptr); }

ACE_THR_FUNC_RETURN CGsmMorden::StartupThread(void* self) {
  auto* modem = static_cast<CGsmMorden*>(self);
  std::vector<ModemSms> kept;
  bool indications = modem->useIndications_;
  if (RunStartupDialogue(modem->Link(), modem->shuttingDown_, modem->keepStored_ ? &kept : nullptr, &indications)) {
    modem->DeleteEngine();
    modem->StartEngine(std::move(kept), indications);
    modem->SetModemState(MODEM_READY);
  } else {
    modem->SetModemState(MODEM_CLOSED);
    modem->DeleteEngine();
    modem->line_.Close();
  }
  return 0;
}
