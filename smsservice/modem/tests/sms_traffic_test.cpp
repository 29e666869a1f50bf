// The traffic state machine, driven step by step over a scripted modem, and
// the engine thread around it. Waits run at a hundredth of their length.
#include "smsservice/modem/sms_traffic.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/clock/manual_clock.h"
#include "platform/serial/serial_port.h"
#include "platform/timescale/timescale.h"
#include "smsservice/journal/sqlite_sms_journal.h"
#include "smsservice/modem/manual_reset_event.h"
#include "smsservice/modem/serial_line.h"
#include "smsservice/modem/sms_rings.h"
#include "smsservice/modem/sms_traffic_machine.h"
#include "smsservice/modem/tests/modem_test_support.h"

namespace {

using State = SmsTrafficMachine::State;

// Answers each command (a line ending in LF, or a PDU ending in Ctrl-Z) with
// `respond` when it is set, else with the next scripted answer, or with
// `otherwise` once the script has run out; an empty answer is silence. A
// read returns what has been answered so far, at most what it asks for.
class ScriptedModem : public RecordingPort {
 public:
  std::deque<std::string> answers;
  std::string otherwise;
  std::function<std::string(const std::string& command)> respond;

  int Write(const void* bytes, int count) override {
    if (RecordingPort::Write(bytes, count) == 0) return 0;
    command_.append(static_cast<const char*>(bytes), count);
    if (written.back() == '\n' || written.back() == '\x1A') {
      if (respond) pending_ += respond(command_);
      else pending_ += answers.empty() ? otherwise : answers.front();
      if (!respond && !answers.empty()) answers.pop_front();
      command_.clear();
    }
    return count;
  }
  // Bytes the modem sends on its own, after what it has answered.
  void Deliver(const std::string& bytes) { pending_ += bytes; }
  int Read(void* buffer, int count) override {
    int n = std::min<int>(count, static_cast<int>(pending_.size()));
    std::memcpy(buffer, pending_.data(), n);
    pending_.erase(0, n);
    return n;
  }

 private:
  std::string pending_;
  std::string command_;
};

// Lets the first `writes` writes through and fails every later one, as a
// port whose cable was pulled: the modem hears nothing more, so it answers
// nothing more.
class CableCutAfter : public serial::SerialPortWrapper {
 public:
  CableCutAfter(std::unique_ptr<serial::SerialPort> modem, int writes)
      : SerialPortWrapper(std::move(modem)), writesLeft_(writes) {}

  int Write(const void* bytes, int count) override {
    if (writesLeft_ > 0) {
      --writesLeft_;
      return SerialPortWrapper::Write(bytes, count);
    }
    if (!cutAt) cutAt = timescale::Now();
    return 0;
  }

  std::optional<timescale::Clock::time_point> cutAt;  // the first write that failed

 private:
  int writesLeft_;
};

// The modem's answers in the 3GPP TS 27.005 forms (text of the standard,
// not a capture from one modem kind).
const char kPrompt[] = "\r\n> ";
const char kOk[] = "\r\nOK\r\n";
const char kError[] = "\r\nERROR\r\n";
const char kRegistered[] = "\r\n+CREG: 0,1\r\n\r\nOK\r\n";

// What one attempt to send Hi() puts on the line.
const std::string kHiAttempt = "AT+CMGS=12\r\n049168310811000491682100000002E834\x1A";

// Two 8-bit messages stored in slots 3 and 7, as "AT+CMGL=0" lists them;
// more than one 128-byte read.
const std::string kTwoListed =
    "\r\n+CMGL: 3,0,,25\r\n"
    "0891683108200105F0040D91683118111111F1000442702161032423056669727374"  // "first" from 8613811111111
    "\r\n+CMGL: 7,0,,26\r\n"
    "0891683108200105F0040D91683128222222F2000442702161032423067365636F6E64"  // "second" from 8613822222222
    "\r\n\r\nOK\r\n";

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class SmsTraffic : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("QUILLON_TIME_SCALE", "0.01", 0); }

  void SetUp() override {
    auto owned = std::make_unique<ScriptedModem>();
    modem = owned.get();
    line = std::make_unique<SerialLine>(std::move(owned));
    machine = std::make_unique<SmsTrafficMachine>(ModemLink{*line, rings, partials, journal, health, SystemClock()});
  }

  // Steps until the machine has reached `state`; false if it stops first or
  // `limit` steps pass.
  bool StepUntil(State state, int limit = 1000) {
    for (int i = 0; i < limit; ++i)
      if (!machine->Step()) return false;
      else if (machine->state() == state) return true;
    return false;
  }
  void ExpectReceived(const char* number, const char* text) {
    ModemSms sms;
    ASSERT_TRUE(rings.PopIncoming(sms)) << text;
    EXPECT_STREQ(sms.number, number);
    EXPECT_STREQ(sms.text, text);
    EXPECT_STREQ(sms.timestamp, "24071216304232");
  }

  ScriptedModem* modem = nullptr;
  std::unique_ptr<SerialLine> line;
  SmsRings rings;
  ManualClock clock;
  PartialTable partials{clock};
  SqliteSmsJournal journal{journal::kInMemory, clock};
  ModemHealth health{SystemClock()};
  std::unique_ptr<SmsTrafficMachine> machine;
};

// A failure that is not the message's own is first checked against the
// network: the modem is registered, so the message simply goes again.
TEST_F(SmsTraffic, SendAnsweredWithErrorIsSentAgainUntilTheModemTakesIt) {
  modem->answers = {kPrompt, "\r\n+CMS ERROR: 500\r\n", kRegistered, kPrompt, "\r\n+CMGS: 12\r\n\r\nOK\r\n"};
  ASSERT_TRUE(rings.PushSend(Hi()));
  ASSERT_TRUE(StepUntil(State::kSend));
  ASSERT_TRUE(StepUntil(State::kStartIdle));
  EXPECT_EQ(modem->written, kHiAttempt + "AT+CREG?\r\n" + kHiAttempt);
  EXPECT_TRUE(modem->answers.empty());
  EXPECT_EQ(health.Snapshot().lastError, "SMS to 8612: +CMS ERROR: 500");
}

TEST_F(SmsTraffic, APromptCutAcrossReadsStillBringsTheMessage) {
  modem->answers = {"\r\n", "\r\n+CMGS: 12\r\n\r\nOK\r\n"};
  ASSERT_TRUE(rings.PushSend(Hi()));
  ASSERT_TRUE(StepUntil(State::kAwaitPrompt));
  ASSERT_TRUE(machine->Step());  // reads the first half
  EXPECT_EQ(machine->state(), State::kAwaitPrompt);
  modem->Deliver("> ");
  ASSERT_TRUE(StepUntil(State::kStartIdle));
  EXPECT_EQ(modem->written, kHiAttempt);
}

TEST_F(SmsTraffic, APromptThatNeverComesIsCancelledAndStopsTheEngine) {
  modem->answers = {""};
  ASSERT_TRUE(rings.PushSend(Hi()));
  EXPECT_FALSE(StepUntil(State::kStartIdle, 100000));
  EXPECT_EQ(machine->state(), State::kStopped);
  // Escape: a prompt that comes later must not make the modem take the
  // start-up dialogue's commands as message text.
  EXPECT_EQ(modem->written, "AT+CMGS=12\r\n\x1B");
}

TEST_F(SmsTraffic, ListedMessagesReachClientsInOrderAndAreDeletedAfterFiveIdleSeconds) {
  modem->answers = {kTwoListed, kOk, kOk};
  auto begin = timescale::Now();
  ASSERT_TRUE(StepUntil(State::kAwaitListing));
  EXPECT_GE(timescale::ElapsedSeconds(begin, timescale::Now()), 5);
  ASSERT_TRUE(StepUntil(State::kStartIdle));
  EXPECT_EQ(modem->written, "AT+CMGL=0\r\nAT+CMGD=3\r\nAT+CMGD=7\r\n");
  ExpectReceived("8613811111111", "first");
  ExpectReceived("8613822222222", "second");
  ModemSms more;
  EXPECT_FALSE(rings.PopIncoming(more));
}

// A service killed after its listing but before its deletions finds the
// same entries again at its next listing: they are journaled already, so
// they are deleted and not handed out a second time; the journal has each
// once, and loses it only when a client has it.
TEST_F(SmsTraffic, EntriesListedAgainAfterARestartAreDeletedNotRepeated) {
  modem->answers = {kTwoListed, ""};  // the first deletion is never answered: the service "dies"
  ASSERT_TRUE(StepUntil(State::kAwaitDeleteReply));
  ASSERT_EQ(journal.WaitingReceived().size(), 2u);

  auto owned = std::make_unique<ScriptedModem>();
  modem = owned.get();
  modem->answers = {kTwoListed, kOk, kOk};
  SerialLine restarted(std::move(owned));
  SmsRings freshRings;
  SmsTrafficMachine again(ModemLink{restarted, freshRings, partials, journal, health, SystemClock()});
  for (int i = 0; i < 1000 && again.state() != State::kDeleteNext; ++i) again.Step();
  for (int i = 0; i < 1000 && again.state() != State::kStartIdle; ++i) again.Step();
  EXPECT_EQ(modem->written, "AT+CMGL=0\r\nAT+CMGD=3\r\nAT+CMGD=7\r\n");
  ModemSms sms;
  EXPECT_FALSE(freshRings.PopIncoming(sms)) << "already journaled: handed out from the journal, not again";
  std::vector<ModemSms> waiting = journal.WaitingReceived();
  ASSERT_EQ(waiting.size(), 2u);
  EXPECT_STREQ(waiting[0].text, "first");
  journal.RemoveReceived(waiting[0].journalId);
  EXPECT_EQ(journal.WaitingReceived().size(), 1u);
}

// The client was answered "queued": an engine that stops mid-send leaves it
// first in line for the next one, and one given up is kept for the operator.
TEST_F(SmsTraffic, ASendTheModemNeverConfirmedWaitsForTheNextEngineAndAGivenUpOneIsJournaled) {
  ModemSms hi = Hi();
  hi.journalId = journal.AddSend(hi);
  modem->answers = {kPrompt, ""};
  ASSERT_TRUE(rings.PushSend(hi));
  EXPECT_FALSE(StepUntil(State::kStartIdle, 100000));
  machine->ReturnUnsent();
  ModemSms back;
  ASSERT_TRUE(rings.PopSend(back));
  EXPECT_EQ(back.journalId, hi.journalId);
  ASSERT_EQ(journal.WaitingSends().size(), 1u);
  EXPECT_TRUE(journal.WaitingSends()[0].mayHaveGone) << "its PDU was written: it may have gone";

  SetUp();
  modem->otherwise = "\r\n+CMS ERROR: 1\r\n";  // unassigned number: the message's own fault
  ASSERT_TRUE(rings.PushSend(back));
  ASSERT_TRUE(StepUntil(State::kSend));
  ASSERT_TRUE(StepUntil(State::kStartIdle, 100000));
  EXPECT_TRUE(journal.WaitingSends().empty());
  EXPECT_EQ(journal.Counts().givenUp, 1);
  EXPECT_EQ(Occurrences(modem->written, "AT+CMGS=12\r\n"), 31u);
  EXPECT_EQ(health.Snapshot().givenUp, 1u);
}

TEST_F(SmsTraffic, DeletionThatKeepsFailingIsGivenUpAfter31Attempts) {
  // Slot 3 goes on its second attempt, which must not count against slot 7.
  modem->answers = {kTwoListed, kError, kOk};
  modem->otherwise = kError;
  ASSERT_TRUE(StepUntil(State::kAwaitListing));
  ASSERT_TRUE(StepUntil(State::kStartIdle));
  EXPECT_EQ(Occurrences(modem->written, "AT+CMGD=3\r\n"), 2u);
  EXPECT_EQ(Occurrences(modem->written, "AT+CMGD=7\r\n"), 31u);
  ExpectReceived("8613811111111", "first");
  ExpectReceived("8613822222222", "second");
}

TEST_F(SmsTraffic, SilenceAfterACutStopsTheEngineAfterTheSendTimeOutAndIsReported) {
  auto scripted = std::make_unique<ScriptedModem>();
  modem = scripted.get();
  modem->answers = {kPrompt, kOk};
  auto cable = std::make_unique<CableCutAfter>(std::move(scripted), 2);  // the first message's command and PDU
  CableCutAfter* cut = cable.get();
  SerialLine cutLine(std::move(cable));

  ManualResetEvent stopped;
  std::atomic<int> reports{0};
  timescale::Clock::time_point stoppedAt;
  SmsRings engineRings;
  auto engine = std::make_unique<CSmsTraffic>(ModemLink{cutLine, engineRings, partials, journal, health, SystemClock()},
                                              [&](EngineStop) {
                                                stoppedAt = timescale::Now();
                                                ++reports;
                                                stopped.Set();
                                              });
  ASSERT_TRUE(engineRings.PushSend(Hi()));
  ASSERT_TRUE(engineRings.PushSend(Hi()));
  ASSERT_TRUE(stopped.WaitFor(std::chrono::seconds(10)));
  engine.reset();
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(modem->written, kHiAttempt);
  ASSERT_TRUE(cut->cutAt);
  long silentFor = timescale::ElapsedSeconds(*cut->cutAt, stoppedAt);
  EXPECT_GE(silentFor, 10);
  EXPECT_LT(silentFor, 60);  // the send's time-out, not the listing's
}

// A modem that answers by what it is asked, registered or not as the test
// says: every send is refused with "no network service" while it is not.
struct NetworkModem {
  bool registered = true;
  bool wedged = false;  // registered, and yet every message is refused
  std::function<std::string(const std::string&)> Responder() {
    return [this](const std::string& command) -> std::string {
      if (command.starts_with("AT+CMGS=")) return registered ? kPrompt : "\r\n+CMS ERROR: 331\r\n";
      if (command.ends_with("\x1A")) return wedged ? kError : "\r\n+CMGS: 1\r\n\r\nOK\r\n";
      if (command.starts_with("AT+CREG?")) return registered ? kRegistered : "\r\n+CREG: 0,2\r\n\r\nOK\r\n";
      if (command.starts_with("AT+CSQ")) return "\r\n+CSQ: 20,99\r\n\r\nOK\r\n";
      return kOk;
    };
  }
};

// Off the network, a message waits (the ones behind it too) instead of
// being tried 31 times and dropped; back on it, all go, once, in order.
TEST_F(SmsTraffic, SendsWaitWhileTheModemIsOffTheNetworkAndGoInOrderWhenItIsBack) {
  NetworkModem network;
  network.registered = false;
  modem->respond = network.Responder();
  std::vector<ModemSms> queued;
  for (const char* text : {"one", "two", "three"}) {
    queued.push_back(Hi());
    std::strcpy(queued.back().text, text);
    ASSERT_TRUE(rings.PushSend(queued.back()));
  }
  // Long enough for several listings and network checks.
  for (int i = 0; i < 600; ++i) ASSERT_TRUE(machine->Step());
  EXPECT_EQ(Occurrences(modem->written, "AT+CMGS="), 1u) << modem->written;
  EXPECT_GE(Occurrences(modem->written, "AT+CREG?"), 2u);
  EXPECT_EQ(health.Snapshot().registration, 2);

  network.registered = true;
  for (int i = 0; i < 2000 && Occurrences(modem->written, "\x1A") < 3; ++i) ASSERT_TRUE(machine->Step());
  EXPECT_EQ(Occurrences(modem->written, "AT+CMGS="), 4u);
  std::vector<size_t> at;
  for (const ModemSms& sms : queued) {
    char pdu[SUBMIT_PDU_HEX_MAX];
    ASSERT_GT(EncodeSubmitPdu(sms, pdu), 0);
    at.push_back(modem->written.find(pdu));
    EXPECT_EQ(Occurrences(modem->written, pdu), 1u) << sms.text;
  }
  EXPECT_TRUE(at[0] < at[1] && at[1] < at[2]) << modem->written;
  ModemSms left;
  EXPECT_FALSE(rings.PopSend(left));
  EXPECT_EQ(health.Snapshot().givenUp, 0u);
}

// Registered, and every send refused with a bare ERROR: the radio is cycled
// after ten, and the message keeps the count of its refusals for the next
// engine, so that it is still given up after 31 in all.
TEST_F(SmsTraffic, TenFailedSendsWhileRegisteredAskForARadioCycle) {
  NetworkModem network;
  network.wedged = true;
  modem->respond = network.Responder();
  ASSERT_TRUE(rings.PushSend(Hi()));
  EXPECT_FALSE(StepUntil(State::kStopped, 100000));
  EXPECT_EQ(machine->stopReason(), EngineStop::kRadioCycle);
  EXPECT_EQ(Occurrences(modem->written, "\x1A"), 10u);
  machine->ReturnUnsent();
  ModemSms back;
  ASSERT_TRUE(rings.PopSend(back));
  EXPECT_EQ(back.refusals, 10);
}

// A restart is heard whether the modem says so in the middle of a reply or
// only starts echoing again.
TEST_F(SmsTraffic, AModemThatRestartedIsNoticedByItsAnnouncementOrItsEcho) {
  modem->answers = {"\r\n+CMGL: 3,0,,25\r\n\r\nRDY\r\n"};
  EXPECT_FALSE(StepUntil(State::kStopped, 100000));
  EXPECT_EQ(machine->stopReason(), EngineStop::kRestarted);

  SetUp();
  modem->answers = {"AT+CMGL=0\r\r\n\r\nOK\r\n"};
  EXPECT_FALSE(StepUntil(State::kStopped, 100000));
  EXPECT_EQ(machine->stopReason(), EngineStop::kRestarted);

  SetUp();  // signal and registration reports are noted and leave the listing whole
  size_t between = kTwoListed.find("+CMGL: 7");
  modem->answers = {
      "\r\n^RSSI: 9\r\n" + kTwoListed.substr(0, between) + "\r\n+CREG: 5\r\n" + kTwoListed.substr(between), kOk, kOk};
  ASSERT_TRUE(StepUntil(State::kAwaitListing));
  ASSERT_TRUE(StepUntil(State::kStartIdle));
  ExpectReceived("8613811111111", "first");
  ExpectReceived("8613822222222", "second");
  EXPECT_EQ(health.Snapshot().signalCsq, 9);
  EXPECT_EQ(health.Snapshot().registration, 5);
}

}  // namespace
