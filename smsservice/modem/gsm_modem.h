// The GSM modem: opens the serial port a client names, runs the start-up
// dialogue, then hands all traffic to the engine. A keeper thread owns each
// session from then on: when the engine stops (the modem fell silent,
// restarted, went away, or needs its radio cycled) it brings the modem back
// by itself, on the last port and rate, trying again after 1, 2, 4 ... 30 s.
// A client's open request still opens a closed modem at once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <ace/Null_Mutex.h>
#include <ace/Singleton.h>

#include "common/tp_packet.h"
#include "platform/clock/clock.h"
#include "platform/timescale/timescale.h"
#include "smsservice/journal/memory_only_journal.h"
#include "smsservice/journal/sms_journal.h"
#include "smsservice/modem/modem_health.h"
#include "smsservice/modem/modem_link.h"
#include "smsservice/modem/modem_sms.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/serial_line.h"
#include "smsservice/modem/sms_rings.h"
#include "smsservice/modem/sms_traffic_machine.h"
#include "smsservice/modem/startup_dialogue.h"

class CSmsTraffic;

// Everything a status request tells of the modem, at one moment.
struct ModemReport {
  int state = MODEM_CLOSED;
  int port = 1;
  int baud = 19200;
  HealthSnapshot health;
  int sendQueue = 0;     // waiting to be sent, the one in the engine's hand included
  int receiveQueue = 0;  // received, waiting for a client
};

class CGsmMorden {
 public:
  // The service's one modem, over termios and the system clock; the
  // service host takes it once and hands it on.
  static CGsmMorden* Instance();

  CGsmMorden();
  // Over another port and clock (tests); the clock must outlive the modem.
  CGsmMorden(std::unique_ptr<serial::SerialPort> port, const Clock& clock);
  ~CGsmMorden();  // ends the keeper, releases the port and the engine
  CGsmMorden(const CGsmMorden&) = delete;
  CGsmMorden& operator=(const CGsmMorden&) = delete;

  // In MODEM_CLOSED: opens COM<port> and starts the start-up dialogue
  // (returns MODEM_OPENING), or returns MODEM_CLOSED when the port cannot be
  // opened; from then on the keeper brings the modem back on that port by
  // itself. In any other state it returns the state and changes nothing.
  int Open(int port, int baud);
  int GetModemState() const { return state_; }
  int GetPort() const { return port_; }
  int GetBaud() const { return baud_; }
  // Whether the serial port is held.
  bool PortOpen() const { return line_.IsOpen(); }
  // Logs each change.
  void SetModemState(int state);
  ModemReport Report();
  // The last messages in and out, for the status page.
  std::vector<SmsTrace> RecentTraffic() const { return health_.RecentTraffic(); }

  // Before the first Open: keeps everything the rings hold in `journal`
  // (which must outlive the modem), and takes in what it held when the
  // service last stopped: received messages ahead of any new one, messages
  // to send ahead of any new one. Without it nothing outlives the process.
  void KeepJournal(SmsJournal& journal);

  // The oldest received message, left for ConfirmFetched; false when none
  // waits.
  bool PeekReceived(ModemSms& sms);
  // The client has been handed the message PeekReceived gave: it leaves the
  // ring and the journal.
  void ConfirmFetched(int64_t journalId);
  // Both at once, for callers that hand the message over themselves.
  bool FetchReceived(char (&number)[SMS_NUMBER_FIELD], char (&timestamp)[SMS_NUMBER_FIELD],
                     char (&text)[SMS_TEXT_FIELD]);
  // Queues one message for sending ("86" put in front of the number unless
  // it has it); false when the modem is not ready, the send ring is full, or
  // the message cannot go out as one SMS. A queued message is journaled
  // before this returns.
  bool SubmitSms(const char* number, const char* smsc, const char* text, uint8_t dcs);
  // Whether the start-up lists the unread messages stored while the service
  // was away and hands them to clients before it empties the storage.
  void KeepStoredMessages(bool keep) { keepStored_ = keep; }
  // Whether the start-up asks the modem for new-message indications, so
  // that a message is listed when it arrives rather than within 5 s.
  void UseIndications(bool use) { useIndications_ = use; }
  // Ends the session under way (start-up or engine) and closes the port;
  // the modem stays closed, and is not brought back, until the next Open.
  void ReleaseSession();
  // At service stop: cuts a running start-up dialogue short, then releases
  // everything. The modem stays closed afterwards.
  void Shutdown();

 private:
  void KeeperThread();
  // One session on the open line, with `lock` released meanwhile: the
  // start-up dialogue, then the engine until it stops.
  void RunSession(std::unique_lock<std::mutex>& lock);
  void StartEngine(std::vector<ModemSms> kept, bool indications);
  void EngineStopped(EngineStop reason);
  bool OpenLine();
  // The next attempt after the back-off, which then doubles up to 30 s.
  void TryAgainLater();
  void StopKeeper();
  // Journals `sms` and puts it in the send ring, or says why not.
  bool Queue(ModemSms& sms);
  // "COM3 ready, home, signal 23", for the service manager.
  void TellStatus();
  ModemLink Link() { return {line_, rings_, partials_, *journal_, health_, clock_}; }

  std::atomic<int> state_{MODEM_CLOSED};
  std::atomic<int> port_{1};
  std::atomic<int> baud_{19200};
  int requestedPort_ = 0, requestedBaud_ = 0;  // the last open request, to log a change
  bool openFailing_ = false;
  // Outlive each engine: what a stopped engine leaves waits for the next,
  // and received messages can still be fetched while the modem is closed.
  SmsRings rings_;
  SerialLine line_;
  PartialTable partials_;
  MemoryOnlyJournal noJournal_;
  SmsJournal* journal_ = &noJournal_;
  // Journaled messages the receive ring had no room for at start: the
  // first engine takes them before anything it lists.
  std::vector<ModemSms> backlog_;
  const Clock& clock_;
  ModemHealth health_;
  std::atomic<bool> keepStored_{false};
  std::atomic<bool> useIndications_{false};

  // The keeper's state, under `mutex_`; `wake_` tells it something changed.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;  // a session has ended
  bool wanted_ = false;           // a client has named a port: keep the modem open
  bool startNow_ = false;         // the line is open and waits for its dialogue
  bool inSession_ = false;
  bool engineStopped_ = false;
  EngineStop stopReason_ = EngineStop::kTold;
  bool cycleRadio_ = false;
  bool bootMeansRestart_ = true;  // until a "^BOOT" turns out not to be one
  bool checkBootLine_ = false;    // the last session ended on "^BOOT"
  timescale::Clock::time_point retryAt_{};
  std::chrono::seconds backoff_{1};
  std::optional<timescale::Clock::time_point> lostAt_;  // when a ready modem was lost
  CSmsTraffic* engine_ = nullptr;
  std::atomic<bool> stopSession_{false};
  std::atomic<bool> shuttingDown_{false};
  std::thread keeper_;  // last: it starts once everything above exists
};
