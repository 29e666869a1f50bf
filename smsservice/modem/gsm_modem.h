// The GSM modem: opens the serial port a client names, runs the start-up
// dialogue on a thread of its own, then hands all traffic to the engine.
// Recovery is always driven by the clients' open requests.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <ace/Null_Mutex.h>
#include <ace/Singleton.h>
#include <ace/Thread.h>

#include "common/tp_packet.h"
#include "platform/clock/clock.h"
#include "smsservice/journal/memory_only_journal.h"
#include "smsservice/journal/sms_journal.h"
#include "smsservice/modem/modem_link.h"
#include "smsservice/modem/modem_sms.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/serial_line.h"
#include "smsservice/modem/sms_rings.h"

class CSmsTraffic;

class CGsmMorden {
 public:
  // The service's one modem, over termios and the system clock; the
  // service host takes it once and hands it on.
  static CGsmMorden* Instance();

  CGsmMorden();
  // Over another port and clock (tests); the clock must outlive the modem.
  CGsmMorden(std::unique_ptr<serial::SerialPort> port, const Clock& clock);
  ~CGsmMorden();  // releases the port and the engine
  CGsmMorden(const CGsmMorden&) = delete;
  CGsmMorden& operator=(const CGsmMorden&) = delete;

  // In MODEM_CLOSED: opens COM<port> and starts the start-up dialogue
  // (returns MODEM_OPENING), or returns MODEM_CLOSED when the port cannot be
  // opened. In any other state it returns the state and changes nothing.
  int Open(int port, int baud);
  int GetModemState() const { return state_; }
  int GetPort() const { return port_; }
  int GetBaud() const { return baud_; }
  // Whether the serial port is held (it is released whenever the modem closes).
  bool PortOpen() const { return line_.IsOpen(); }
  // Logs each change.
  void SetModemState(int state);

  // Before the first Open: keeps everything the rings hold in `journal`
  // (which must outlive the modem), and takes in what it held when the
  // service last stopped: received messages ahead of any new one, messages
  // to send ahead of any new one. Without it nothing outlives the process.
  void KeepJournal(SmsJournal& journal);

  // The oldest received message, left for ConfirmFetched; false when none
  // waits. A stopped engine is released here.
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
  // Waits for the start-up thread, deletes the engine, closes the port.
  void ReleaseSession();
  // At service stop: cuts a running start-up dialogue short, then releases
  // everything. The modem stays closed afterwards.
  void Shutdown();
  // `kept`: messages for clients before any the engine lists.
  // `indications`: the modem sends new-message indications.
  void StartEngine(std::vector<ModemSms> kept = {}, bool indications = false);

 private:
  static ACE_THR_FUNC_RETURN StartupThread(void* self);
  // Journals `sms` and puts it in the send ring, or says why not.
  bool Queue(ModemSms& sms);
  void DeleteEngine();

  std::atomic<int> state_{MODEM_CLOSED};
  int port_ = 1;
  int baud_ = 19200;
  int requestedPort_ = 0, requestedBaud_ = 0;  // the last open request, to log a change
  bool openFailing_ = false;
  ACE_hthread_t startupThread_{};
  bool startupThreadRunning_ = false;
  std::atomic<CSmsTraffic*> engine_{nullptr};
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
  ModemLink Link() { return {line_, rings_, partials_, *journal_, clock_}; }
  std::atomic<bool> shuttingDown_{false};
  std::atomic<bool> keepStored_{false};
  std::atomic<bool> useIndications_{false};
};
