#include "smsservice/modem/startup_dialogue.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <syslog.h>

#include "platform/journal/sqlite_db.h"
#include "platform/log/activity_log.h"
#include "platform/systemd/service_notifier.h"
#include "platform/timescale/timescale.h"
#include "smsservice/modem/at_commands.h"
#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/journaled_listing.h"
#include "smsservice/modem/pdu_codec.h"

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kQuickLimit{2000};
// The SIM and the storage may take seconds while the SIM starts.
constexpr milliseconds kSimLimit{5000};
constexpr milliseconds kRadioLimit{15000};  // a radio switching off or on
constexpr milliseconds kSimStartPause{2000};
constexpr long kListingTimeoutS = 60;  // as the engine waits for a listing
constexpr int kFlushReads = 64;

// One command, the pause before its reply is first read, how long it may
// take in all beyond that pause, and the test its reply must pass.
struct DialogueStep {
  const char* command;
  milliseconds pause;
  milliseconds limit;
  bool (*passes)(std::string_view reply);
};

// Echo is still on for the first two commands, so every test searches the
// whole reply rather than matching it.
const DialogueStep kChecks[] = {
    {"AT\r\n", milliseconds(200), kQuickLimit, HasOk},
    {"ATE0\r\n", milliseconds(200), kQuickLimit, HasOk},
    {"AT+CMGF=0\r\n", milliseconds(200), kQuickLimit, HasOk},  // PDU mode
    {"AT+CSQ\r\n", milliseconds(400), kQuickLimit, [](std::string_view r) { return HasOk(r) && CheckSignal(r); }},
    {"AT+CPIN?\r\n", milliseconds(400), kSimLimit, SimReady},
    // Registration passes on "OK" alone; without it, a home or roaming status will do.
    {"AT+CREG?\r\n", milliseconds(400), kQuickLimit,
     [](std::string_view r) { return HasOk(r) || CheckRegistration(r); }},
};

std::string_view WithoutLineEnd(std::string_view command) {
  while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) command.remove_suffix(1);
  return command;
}

// What the modem said, quoted on one line for the log.
std::string Quoted(std::string_view reply) {
  std::string shown = "\"";
  for (char c : reply.substr(0, 80)) shown += (c == '\r' || c == '\n') ? ' ' : c;
  return shown + '"';
}

// The dialogue's side of the line: every command is asked on a quiet line
// and its reply read until it is complete.
class Conversation {
 public:
  Conversation(const ModemLink& link, const std::atomic<bool>& cancelled)
      : link_(link), cancelled_(cancelled), reply_(std::make_unique<ReplyBuffer>()) {}

  // Drops whatever the modem said unasked (a reply that came after its
  // command was given up, noise), writes `command`, waits `pause`, then
  // reads until the final result code or until `limit` more has passed.
  // Returns the reply without its unsolicited lines.
  std::string_view Ask(std::string_view command, milliseconds pause, milliseconds limit) {
    Flush();
    reply_->Clear();
    reply_->count = 0;
    WriteCommand(link_.line, command);
    auto deadline = link_.clock.MonotonicNow() + pause + limit;
    timescale::Sleep(pause);
    final_ = false;
    while (!link_.line.Lost() && !cancelled_) {
      service_notifier::Alive();  // a listing of the storage may take a minute
      if (link_.line.WaitForInput(milliseconds(100)) && ReadReply(link_.line, *reply_) != REPLY_NONE) {
        final_ = true;
        break;
      }
      if (link_.clock.MonotonicNow() >= deadline) break;
    }
    NoteUnsolicited();
    return reply_->Text();
  }

  // Whether the last reply ended with a final result code.
  bool Final() const { return final_; }
  ReplyBuffer& buffer() { return *reply_; }
  bool restarted() const { return restarted_; }

  // Names the step that failed and what the modem said, on one line;
  // an error the modem answered is an error, silence a warning.
  StartupOutcome Failed(std::string_view command, std::string_view reply, milliseconds limit) {
    if (cancelled_) return {};  // cut short by a stop, not failed
    command = WithoutLineEnd(command);
    std::string result = FinalResult(reply);
    char why[160];
    if (!final_)
      std::snprintf(why, sizeof why, "no answer to \"%.*s\" within %.1f s", static_cast<int>(command.size()),
                    command.data(), static_cast<double>(limit.count()) / 1000.0);
    else if (result != "OK")
      std::snprintf(why, sizeof why, "\"%.*s\" answered %s", static_cast<int>(command.size()), command.data(),
                    result.c_str());
    else
      std::snprintf(why, sizeof why, "\"%.*s\" answered %s", static_cast<int>(command.size()), command.data(),
                    Quoted(reply).c_str());
    activity_log::Log(final_ && result != "OK" ? LOG_ERR : LOG_WARNING, "modem start-up failed: %s%s", why,
                      !final_ && !reply.empty() ? (" (it said " + Quoted(reply) + ")").c_str() : "");
    StartupOutcome outcome;
    outcome.failure = std::string("start-up: ") + why;
    return outcome;
  }

 private:
  void Flush() {
    char chunk[128];
    for (int i = 0; i < kFlushReads && link_.line.WaitForInput(milliseconds(0)); ++i)
      if (link_.line.Read(chunk, sizeof chunk) <= 0) break;
  }

  // Registration and signal reports are worth keeping; a restart announced
  // in the middle of the dialogue means the modem forgot what it was told.
  void NoteUnsolicited() {
    for (const UnsolicitedLine& line : reply_->unsolicited) {
      if (line.kind == Unsolicited::kRegistration) link_.health.SetRegistration(line.value);
      if (line.kind == Unsolicited::kSignal) link_.health.SetSignal(line.value);
      if (line.kind == Unsolicited::kRestarted && line.value == 0) restarted_ = true;
    }
    reply_->unsolicited.clear();
  }

  const ModemLink& link_;
  const std::atomic<bool>& cancelled_;  // a service that stops waits for no answer
  std::unique_ptr<ReplyBuffer> reply_;
  bool final_ = false;
  bool restarted_ = false;
};

// Off and on again; a modem that cannot switch its radio is told so and the
// start-up goes on, as the rest of the dialogue shows whether it still works.
void CycleRadio(Conversation& talk) {
  activity_log::Log(LOG_WARNING, "switching the modem's radio off and on again");
  for (const char* command : {"AT+CFUN=0\r\n", "AT+CFUN=1\r\n"}) {
    std::string_view reply = talk.Ask(command, milliseconds(200), kRadioLimit);
    if (JudgeReply(reply) != REPLY_OK)
      activity_log::Log(LOG_WARNING, "\"%.*s\" answered %s", static_cast<int>(WithoutLineEnd(command).size()), command,
                        talk.Final() ? FinalResult(reply).c_str() : "nothing");
  }
  timescale::Sleep(kSimStartPause);
}

// Maker, model and serial number, for the status; a modem that does not
// tell is no less usable.
void LearnIdentity(Conversation& talk, ModemHealth& health) {
  ModemIdentity identity;
  std::string* fields[] = {&identity.maker, &identity.model, &identity.imei};
  const char* commands[] = {"AT+CGMI\r\n", "AT+CGMM\r\n", "AT+CGSN\r\n"};
  for (int i = 0; i < 3; ++i) {
    std::string_view reply = talk.Ask(commands[i], milliseconds(200), kQuickLimit);
    if (JudgeReply(reply) == REPLY_OK) *fields[i] = IdentityText(reply);
  }
  if (!identity.maker.empty() || !identity.model.empty())
    activity_log::Log(LOG_INFO, "modem: %s %s, IMEI %s", identity.maker.c_str(), identity.model.c_str(),
                      identity.imei.empty() ? "not told" : identity.imei.c_str());
  health.SetIdentity(std::move(identity));
}

// Chooses the phone's own storage, else the SIM's; the slots to empty, or
// -1 when neither storage answers; tells how many it holds.
int SelectStorage(Conversation& talk, ModemHealth& health, int& stored, StartupOutcome& failure) {
  std::string_view reply = talk.Ask("AT+CPMS=\"ME\"\r\n", milliseconds(400), kSimLimit);
  if (!HasOk(reply)) {
    reply = talk.Ask("AT+CPMS=\"SM\"\r\n", milliseconds(400), kSimLimit);
    if (!HasOk(reply)) {
      failure = talk.Failed("AT+CPMS=\"SM\"", reply, kSimLimit);
      return -1;
    }
  }
  stored = StoredCount(reply);
  health.SetStorage(ParseStorageUse(reply));
  return ParseStorage(reply);
}

// Every slot is emptied, whatever it holds: messages stored while the
// service was not running are discarded.
bool EmptyStorage(Conversation& talk, int slots, const std::atomic<bool>& cancelled, StartupOutcome& failure) {
  for (int index = 1; index <= slots; ++index) {
    if (cancelled) return false;
    service_notifier::Alive();
    std::string command = DeleteSmsCommand(index);
    std::string_view reply = talk.Ask(command, milliseconds(300), kSimLimit);
    if (JudgeReply(reply) != REPLY_OK) {
      failure = talk.Failed(command, reply, kSimLimit);
      return false;
    }
  }
  return true;
}

// "AT+CMGL=4" before the storage is emptied: unread messages, and read ones
// a service that stopped after listing them left behind (the journal knows
// those it took, and they are not repeated). A listing that fails keeps
// nothing and the start-up goes on, as it would without being asked to
// keep anything.
void KeepStored(const ModemLink& link, Conversation& talk, std::vector<ModemSms>& kept) {
  std::string_view reply = talk.Ask("AT+CMGL=4\r\n", milliseconds(100), std::chrono::seconds(kListingTimeoutS));
  if (JudgeReply(reply) != REPLY_OK) {
    activity_log::Log(LOG_WARNING, "the stored SMS could not be listed; they are discarded");
    return;
  }
  std::vector<DecodedSms> listed = ParseListing(reply);
  LogWithheld(listed);
  // Slots are reused as they free up, so the service centre's time tells the order.
  std::stable_sort(listed.begin(), listed.end(), [](const DecodedSms& a, const DecodedSms& b) {
    return std::strncmp(a.record.timestamp, b.record.timestamp, 12) < 0;
  });
  for (ModemSms& sms : JournalListing(std::move(listed), link.partials, link.journal).records)
    if (sms.part == SMS_PART_COMPLETE) kept.push_back(sms);
  for (ModemSms& sms : kept) sms.index = SMS_NOT_STORED;  // their slots are emptied next
  activity_log::Log(LOG_INFO, "%zu SMS stored while the service was away kept for clients", kept.size());
}

// Asks for a "+CMTI: <mem>,<index>" line whenever a message is stored
// (mt 1), held back by the modem while a command runs and sent once its
// reply is out (mode 2; mode 1 would drop it), no cell broadcasts or status
// reports (bm 0, ds 0), and what the modem held before sent after the OK
// (bfr 0, the value modems offer most widely).
bool EnableIndications(Conversation& talk) {
  constexpr const char* kCommand = "AT+CNMI=2,1,0,0,0\r\n";
  std::string_view reply = talk.Ask(kCommand, milliseconds(500), kQuickLimit);
  if (JudgeReply(reply) == REPLY_OK) {
    activity_log::Log(LOG_INFO, "the modem announces new SMS; each is listed as it arrives");
    return true;
  }
  activity_log::Log(LOG_WARNING,
                    "the modem refused new-SMS indications (\"AT+CNMI=2,1,0,0,0\": %s); "
                    "falling back to \"AT+CNMI=0,0\", new SMS listed after 5 s without traffic",
                    talk.Final() ? FinalResult(reply).c_str() : "no answer");
  return false;
}

}  // namespace

StartupOutcome RunStartupDialogue(const ModemLink& link, const std::atomic<bool>& cancelled,
                                  const StartupRequest& request) {
  SerialLine& line = link.line;
  Conversation talk(link, cancelled);
  StartupOutcome outcome;
  // A service that was killed may have left the modem waiting for the rest
  // of a PDU, where every command would be taken as message text, or half a
  // command line: escape clears both, and its answer is flushed before AT.
  CancelEntry(line);
  timescale::Sleep(milliseconds(100));
  if (request.cycleRadio) CycleRadio(talk);
  for (const auto& step : kChecks) {
    if (cancelled) return outcome;
    service_notifier::Alive();
    std::string_view reply = talk.Ask(step.command, step.pause, step.limit);
    if (!step.passes(reply)) return talk.Failed(step.command, reply, step.limit);
    if (step.command == kChecks[0].command) outcome.echoWasOn = reply.find("AT\r") != std::string_view::npos;
    if (auto csq = SignalQuality(reply)) link.health.SetSignal(*csq);
    if (auto status = RegistrationStatus(reply)) link.health.SetRegistration(*status);
    if (step.command == kChecks[2].command) LearnIdentity(talk, link.health);
  }
  int stored = 0;
  int slots = SelectStorage(talk, link.health, stored, outcome);
  if (slots < 0) return outcome;
  if (request.keepStored) KeepStored(link, talk, outcome.kept);
  else if (stored > 0)  // what arrived while the service was away is gone: say so, and how to keep it
    activity_log::Log(LOG_WARNING, "%d SMS in the modem's storage discarded at start-up (--keep-stored keeps them)",
                      stored);
  if (!EmptyStorage(talk, slots, cancelled, outcome)) return outcome;
  if (slots > 0) link.health.SetStorage({0, slots});
  try {
    link.journal.ForgetAllSlots();
  } catch (const journal::JournalError&) {
    // Only checks kept longer than needed.
  }
  if (request.indications) outcome.indications = EnableIndications(talk);
  if (!outcome.indications)
    talk.Ask("AT+CNMI=0,0\r\n", milliseconds(500), kQuickLimit);  // no unsolicited indications; not tested
  if (talk.restarted()) {
    // Everything it was told is gone with its restart: tell it again.
    activity_log::Log(LOG_WARNING, "the modem restarted during its start-up; starting again");
    outcome.failure = "start-up: the modem restarted meanwhile";
    return outcome;
  }
  outcome.ready = !cancelled;
  return outcome;
}
