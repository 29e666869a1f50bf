#include "smsservice/modem/gsm_modem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <syslog.h>
#include <utility>

#include "platform/journal/sqlite_db.h"
#include "platform/log/activity_log.h"
#include "platform/systemd/service_notifier.h"
#include "smsservice/modem/pdu_codec.h"
#include "smsservice/modem/sms_traffic.h"

namespace {

using std::chrono::seconds;

constexpr seconds kLongestBackoff{30};
// How often the keeper looks up while it waits, and feeds the watchdog.
constexpr auto kKeeperBeat = std::chrono::milliseconds(500);

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
    : line_(std::move(port)), partials_(clock), clock_(clock), health_(clock), keeper_([this] { KeeperThread(); }) {
  health_.OnChange([this] { TellStatus(); });
}

CGsmMorden::~CGsmMorden() { StopKeeper(); }

int CGsmMorden::Open(int port, int baud) {
  std::lock_guard lock(mutex_);
  if (port != requestedPort_ || baud != requestedBaud_) {
    activity_log::Log(LOG_INFO, "open requested: COM%d at %d baud", port, baud);
    requestedPort_ = port;
    requestedBaud_ = baud;
  }
  // A session that ended by itself is the keeper's to clean up and retry.
  if (state_ != MODEM_CLOSED || shuttingDown_ || inSession_) return state_;
  port_ = port;
  baud_ = baud;
  wanted_ = true;
  if (!OpenLine()) {
    wake_.notify_all();
    return MODEM_CLOSED;
  }
  SetModemState(MODEM_OPENING);
  startNow_ = true;
  wake_.notify_all();
  return MODEM_OPENING;
}

bool CGsmMorden::OpenLine() {
  char device[32];
  std::snprintf(device, sizeof device, "\\\\.\\COM%d", port_.load());
  if (line_.Open(device, baud_, NOPARITY, 8, ONESTOPBIT)) {
    openFailing_ = false;
    return true;
  }
  // Tried again and again: said once, until the port opens.
  if (!openFailing_) {
    activity_log::Log(LOG_WARNING, "COM%d cannot be opened (missing or in use); trying again", port_.load());
    char error[64];
    std::snprintf(error, sizeof error, "COM%d cannot be opened", port_.load());
    health_.NoteError(error);
  }
  openFailing_ = true;
  return false;
}

void CGsmMorden::TryAgainLater() {
  retryAt_ = timescale::Now() + backoff_;
  backoff_ = std::min(backoff_ * 2, kLongestBackoff);
}

void CGsmMorden::KeeperThread() {
  std::unique_lock lock(mutex_);
  while (!shuttingDown_) {
    bool due = startNow_ || (wanted_ && timescale::Now() >= retryAt_);
    if (!due) {
      auto untilRetry = std::chrono::duration_cast<std::chrono::milliseconds>(retryAt_ - timescale::Now());
      auto wait = wanted_ ? std::clamp(timescale::Real(untilRetry), std::chrono::microseconds(1000),
                                       std::chrono::microseconds(kKeeperBeat))
                          : std::chrono::microseconds(kKeeperBeat);
      wake_.wait_for(lock, wait);
      service_notifier::Alive();
      continue;
    }
    if (!line_.IsOpen() && !OpenLine()) {
      TryAgainLater();
      continue;
    }
    startNow_ = false;
    SetModemState(MODEM_OPENING);
    RunSession(lock);
  }
}

void CGsmMorden::RunSession(std::unique_lock<std::mutex>& lock) {
  inSession_ = true;
  stopSession_ = false;
  StartupRequest request{keepStored_, useIndications_, cycleRadio_};
  cycleRadio_ = false;
  bool checkBootLine = std::exchange(checkBootLine_, false);
  health_.SetRegistration(kRegistrationNotKnown);  // what the last session knew is stale
  lock.unlock();
  StartupOutcome outcome = RunStartupDialogue(Link(), stopSession_, request);
  lock.lock();
  if (outcome.ready && !stopSession_) {
    if (checkBootLine && !outcome.echoWasOn) {
      activity_log::Log(LOG_NOTICE, "this modem sends \"^BOOT\" without restarting; it is not taken as a restart now");
      bootMeansRestart_ = false;
    }
    StartEngine(std::move(outcome.kept), outcome.indications);
    SetModemState(MODEM_READY);
    backoff_ = seconds(1);
    if (lostAt_) {
      health_.CountRecovery();
      activity_log::Log(LOG_NOTICE, "modem COM%d back after %ld s", port_.load(),
                        timescale::ElapsedSeconds(*lostAt_, timescale::Now()));
      lostAt_.reset();
    }
    // No watchdog here: while the engine runs, it feeds it itself.
    wake_.wait(lock, [this] { return engineStopped_ || stopSession_; });
    CSmsTraffic* engine = std::exchange(engine_, nullptr);
    lock.unlock();
    delete engine;  // its thread needs the lock to report its end
    lock.lock();
    EngineStop reason = stopSession_ ? EngineStop::kTold : stopReason_;
    if (reason != EngineStop::kTold && !lostAt_) lostAt_ = timescale::Now();
    cycleRadio_ = reason == EngineStop::kRadioCycle;
    checkBootLine_ = reason == EngineStop::kBootLine;
  } else if (!outcome.failure.empty()) {
    health_.NoteError(outcome.failure);
  }
  // The radio is cycled on the open line; anything else starts afresh, as
  // a modem that went away comes back as a new device.
  if (!cycleRadio_ || stopSession_) line_.Close();
  health_.SetRegistration(kRegistrationNotKnown);
  health_.SetSignal(kSignalNotKnown);
  SetModemState(MODEM_CLOSED);
  if (cycleRadio_ && !stopSession_) startNow_ = true;
  else TryAgainLater();
  inSession_ = false;
  idle_.notify_all();
}

void CGsmMorden::StartEngine(std::vector<ModemSms> kept, bool indications) {
  if (!backlog_.empty()) {
    kept.insert(kept.begin(), backlog_.begin(), backlog_.end());
    backlog_.clear();
  }
  engineStopped_ = false;
  engine_ = new CSmsTraffic(
      Link(), [this](EngineStop reason) { EngineStopped(reason); },
      EngineSettings{std::move(kept), indications, bootMeansRestart_});
}

void CGsmMorden::EngineStopped(EngineStop reason) {
  // Clients see the modem closed at once; the keeper cleans up and retries.
  if (reason != EngineStop::kTold) SetModemState(MODEM_CLOSED);
  std::lock_guard lock(mutex_);
  stopReason_ = reason;
  engineStopped_ = true;
  wake_.notify_all();
}

void CGsmMorden::ReleaseSession() {
  std::unique_lock lock(mutex_);
  wanted_ = false;
  startNow_ = false;
  stopSession_ = true;
  wake_.notify_all();
  idle_.wait(lock, [this] { return !inSession_; });
  line_.Close();
}

void CGsmMorden::StopKeeper() {
  {
    std::lock_guard lock(mutex_);
    shuttingDown_ = true;
    stopSession_ = true;
    wake_.notify_all();
  }
  if (keeper_.joinable()) keeper_.join();
  line_.Close();
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
      health_.CountDropped();
      activity_log::Log(LOG_ERR, "SMS to %s given up: no room in the send queue after a restart", send.sms.number);
    }
  }
  JournalCounts counts = journal.Counts();
  if (received.empty() && sends.empty() && counts.partsWaiting == 0 && counts.givenUp == 0) return;
  activity_log::Log(LOG_INFO, "journal: %zu received SMS wait for clients, %zu to send, %d incomplete, %d given up",
                    received.size(), sends.size(), counts.partsWaiting, counts.givenUp);
}

bool CGsmMorden::PeekReceived(ModemSms& sms) { return rings_.PeekIncoming(sms); }

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
  if (state_ != MODEM_READY) return false;

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

void CGsmMorden::Shutdown() {
  StopKeeper();
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

ModemReport CGsmMorden::Report() {
  ModemReport report;
  report.state = state_;
  report.port = port_;
  report.baud = baud_;
  report.health = health_.Snapshot();
  report.sendQueue = rings_.SendWaiting() + (report.health.messageInHand ? 1 : 0);
  std::lock_guard lock(mutex_);
  report.receiveQueue = rings_.ReceivedWaiting() + static_cast<int>(backlog_.size());
  return report;
}

void CGsmMorden::SetModemState(int state) {
  if (state_.exchange(state) == state) return;
  activity_log::Log(LOG_NOTICE, "modem COM%d %s", port_.load(), StateName(state));
  TellStatus();
}

void CGsmMorden::TellStatus() {
  char status[160];
  int state = state_;
  HealthSnapshot health = health_.Snapshot();
  if (state == MODEM_READY && health.signalCsq != kSignalNotKnown)
    std::snprintf(status, sizeof status, "COM%d ready, %s, signal %d", port_.load(),
                  RegistrationName(health.registration), health.signalCsq);
  else if (state == MODEM_READY)
    std::snprintf(status, sizeof status, "COM%d ready, %s", port_.load(), RegistrationName(health.registration));
  else if (state == MODEM_CLOSED && !health.lastError.empty())
    std::snprintf(status, sizeof status, "COM%d %s (%s)", port_.load(), StateName(state), health.lastError.c_str());
  else std::snprintf(status, sizeof status, "COM%d %s", port_.load(), StateName(state));
  service_notifier::Status(status);
}
