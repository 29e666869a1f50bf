#include "smsservice/modem/gsm_modem.h"

#include <cstdio>
#include <cstring>
#include <syslog.h>

#include "platform/journal/sqlite_db.h"
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

void CGsmMorden::KeepJournal(SmsJournal& journal) {
  journal_ = &journal;
  partials_.KeepIn(journal);
  std::vector<ModemSms> received = journal.WaitingReceived();
  int taken = rings_.PushIncoming(received.data(), static_cast<int>(received.size()));
  backlog_.assign(received.begin() + taken, received.end());
  std::vector<JournaledSend> sends = journal.WaitingSends();
  for (const JournaledSend& send : sends) {
    if (send.mayHaveGone)
      activity_log::Log(LOG_WARNING,
                        "SMS to %s was handed to the modem just before the service stopped; it is sent again "
                        "and may arrive twice",
                        send.sms.number);
    if (!rings_.PushSend(send.sms)) {
      journal.GiveUpSend(send.sms.journalId, "no room in the send queue after a restart");
      activity_log::Log(LOG_ERR, "SMS to %s given up: no room in the send queue after a restart", send.sms.number);
    }
  }
  JournalCounts counts = journal.Counts();
  if (received.empty() && sends.empty() && counts.partsWaiting == 0 && counts.givenUp == 0) return;
  activity_log::Log(LOG_INFO, "journal: %zu received SMS wait for clients, %zu to send, %d incomplete, %d given up",
                    received.size(), sends.size(), counts.partsWaiting, counts.givenUp);
}

bool CGsmMorden::PeekReceived(ModemSms& sms) {
  if (state_ == MODEM_CLOSED && engine_ != nullptr) ReleaseSession();
  return rings_.PeekIncoming(sms);
}

void CGsmMorden::ConfirmFetched(int64_t journalId) {
  rings_.DropIncoming(journalId);
  if (journalId == 0) return;
  try {
    journal_->RemoveReceived(journalId);
  } catch (const journal::JournalError& error) {
    activity_log::Log(LOG_ERR, "the journal cannot record a fetched SMS (it may be handed out again): %s",
                      error.what());
  }
}

bool CGsmMorden::FetchReceived(char (&number)[SMS_NUMBER_FIELD], char (&timestamp)[SMS_NUMBER_FIELD],
                               char (&text)[SMS_TEXT_FIELD]) {
  ModemSms sms;
  if (!PeekReceived(sms)) return false;
  ConfirmFetched(sms.journalId);
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
  return Queue(sms);
}

bool CGsmMorden::Queue(ModemSms& sms) {
  try {
    // The journal holds as many as the ring: one more would find no room after a restart.
    if (journal_->Counts().sending >= SmsRings::kSlots - 1) {
      activity_log::Log(LOG_WARNING, "SMS to %s refused: the send queue is full", sms.number);
      return false;
    }
    sms.journalId = journal_->AddSend(sms);
  } catch (const journal::JournalError& error) {
    activity_log::Log(LOG_ERR, "the journal cannot record an SMS to %s (it is kept in memory only): %s", sms.number,
                      error.what());
    sms.journalId = 0;
  }
  if (rings_.PushSend(sms)) return true;
  activity_log::Log(LOG_WARNING, "SMS to %s refused: the send queue is full", sms.number);
  if (sms.journalId != 0) journal_->RemoveSend(sms.journalId);
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
  ModemSms sms;
  SmsJournal& journal = *journal_;
  // The journal may end with the service's run; the modem stays until the process ends.
  journal_ = &noJournal_;
  partials_.KeepIn(noJournal_);
  if (journal.Durable()) {
    int sends = 0, received = 0;
    while (rings_.PopSend(sms)) ++sends;
    while (rings_.PopIncoming(sms)) ++received;
    received += static_cast<int>(backlog_.size());
    if (sends + received > 0)
      activity_log::Log(LOG_NOTICE, "%d SMS to send and %d received wait in the journal for the next start", sends,
                        received);
    return;
  }
  // Nothing keeps them past the process: each is named.
  while (rings_.PopSend(sms))
    activity_log::Log(LOG_WARNING, "SMS to %s dropped: the service stopped before sending it", sms.number);
  while (rings_.PopIncoming(sms))
    activity_log::Log(LOG_WARNING, "SMS from %s dropped: the service stopped before a client fetched it", sms.number);
}

void CGsmMorden::StartEngine(std::vector<ModemSms> kept, bool indications) {
  if (!backlog_.empty()) {
    kept.insert(kept.begin(), backlog_.begin(), backlog_.end());
    backlog_.clear();
  }
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
