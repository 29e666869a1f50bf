#include "smsservice/modem/startup_dialogue.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <syslog.h>

#include "platform/journal/sqlite_db.h"
#include "platform/log/activity_log.h"
#include "platform/timescale/timescale.h"
#include "smsservice/modem/at_commands.h"
#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/journaled_listing.h"
#include "smsservice/modem/pdu_codec.h"

namespace {

using std::chrono::milliseconds;

constexpr int kReplyArea = 128;
constexpr int kDeleteExtraReads = 20;
constexpr long kListingTimeoutS = 60;  // as the engine waits for a listing

// One command, the pause a modem needs before its reply is complete, and
// the test the reply must pass.
struct DialogueStep {
  const char* command;
  int pauseMs;
  bool (*passes)(std::string_view reply);
};

// Echo is still on for the first two commands, so every test searches the
// whole reply rather than matching it.
const DialogueStep kChecks[] = {
    {"AT\r\n", 200, HasOk},
    {"ATE0\r\n", 200, HasOk},
    {"AT+CMGF=0\r\n", 200, HasOk},  // PDU mode
    {"AT+CSQ\r\n", 400, [](std::string_view r) { return HasOk(r) && CheckSignal(r); }},
    {"AT+CPIN?\r\n", 400, SimReady},
    // Registration passes on "OK" alone; without it, a home or roaming status will do.
    {"AT+CREG?\r\n", 400, [](std::string_view r) { return HasOk(r) || CheckRegistration(r); }},
};

// What the modem said, quoted on one line for the log.
std::string Quoted(std::string_view reply) {
  if (reply.empty()) return "no reply";
  std::string shown = "reply \"";
  for (char c : reply.substr(0, 80)) shown += (c == '\r' || c == '\n') ? ' ' : c;
  return shown + '"';
}

// Names the step that failed and what the modem said, on one line.
bool Failed(std::string_view command, std::string_view reply) {
  while (command.size() > 0 && (command.back() == '\n' || command.back() == '\r')) command.remove_suffix(1);
  activity_log::Log(LOG_WARNING, "modem start-up failed at \"%.*s\": %s", static_cast<int>(command.size()),
                    command.data(), Quoted(reply).c_str());
  return false;
}

// Writes the command, waits, and reads once into the cleared `area`.
std::string_view Ask(SerialLine& line, const char* command, int pauseMs, char (&area)[kReplyArea + 1]) {
  line.Write(command, static_cast<int>(std::strlen(command)));
  timescale::Sleep(milliseconds(pauseMs));
  std::memset(area, 0, sizeof area);
  int got = line.Read(area, kReplyArea);
  return {area, static_cast<size_t>(got > 0 ? got : 0)};
}

// Chooses the phone's own storage, else the SIM's; returns the slots to
// empty, or -1 when neither storage answers, and tells how many it holds.
int SelectStorage(SerialLine& line, char (&area)[kReplyArea + 1], int& stored) {
  std::string_view reply = Ask(line, "AT+CPMS=\"ME\"\r\n", 400, area);
  if (!HasOk(reply)) {
    reply = Ask(line, "AT+CPMS=\"SM\"\r\n", 400, area);
    if (!HasOk(reply)) {
      Failed("AT+CPMS=\"SM\"", reply);
      return -1;
    }
  }
  stored = StoredCount(reply);
  return ParseStorage(reply);
}

// Every slot is emptied, whatever it holds: messages stored while the
// service was not running are discarded.
bool EmptyStorage(SerialLine& line, int slots, char (&area)[kReplyArea + 1], const std::atomic<bool>& cancelled) {
  for (int index = 1; index <= slots; ++index) {
    if (cancelled) return false;
    bool deleted = HasOk(Ask(line, DeleteSmsCommand(index).c_str(), 300, area));
    for (int extra = 0; !deleted && extra < kDeleteExtraReads && !line.Lost(); ++extra) {
      timescale::Sleep(milliseconds(300));
      std::memset(area, 0, sizeof area);
      int got = line.Read(area, kReplyArea);
      deleted = HasOk({area, static_cast<size_t>(got > 0 ? got : 0)});
    }
    if (!deleted) return Failed(DeleteSmsCommand(index), {area, std::strlen(area)});
  }
  return true;
}

// "AT+CMGL=4" with the engine's reply reader, before the storage is emptied:
// unread messages, and read ones a service that stopped after listing them
// left behind (the journal knows those it took, and they are not repeated).
// A listing that fails keeps nothing and the start-up goes on, as it would
// without being asked to keep anything.
void KeepStored(const ModemLink& link, std::vector<ModemSms>& kept) {
  SerialLine& line = link.line;
  auto reply = std::make_unique<ReplyBuffer>();
  ListAll(line);
  ReplyVerdict verdict = REPLY_NONE;
  auto start = link.clock.MonotonicNow();
  while (verdict == REPLY_NONE && !line.Lost() &&
         timescale::ElapsedSeconds(start, link.clock.MonotonicNow()) < kListingTimeoutS) {
    timescale::Sleep(milliseconds(100));
    verdict = ReadReply(line, *reply);
  }
  if (verdict != REPLY_OK) {
    activity_log::Log(LOG_WARNING, "the stored SMS could not be listed; they are discarded");
    return;
  }
  std::vector<DecodedSms> listed = ParseListing(reply->Text());
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
bool EnableIndications(SerialLine& line, char (&area)[kReplyArea + 1]) {
  constexpr const char* kCommand = "AT+CNMI=2,1,0,0,0\r\n";
  std::string_view reply = Ask(line, kCommand, 500, area);
  if (HasOk(reply)) {
    activity_log::Log(LOG_INFO, "the modem announces new SMS; each is listed as it arrives");
    return true;
  }
  activity_log::Log(LOG_WARNING,
                    "the modem refused new-SMS indications (\"AT+CNMI=2,1,0,0,0\": %s); "
                    "falling back to \"AT+CNMI=0,0\", new SMS listed after 5 s without traffic",
                    Quoted(reply).c_str());
  return false;
}

}  // namespace

bool RunStartupDialogue(const ModemLink& link, const std::atomic<bool>& cancelled, std::vector<ModemSms>* kept,
                        bool* indications) {
  SerialLine& line = link.line;
  char area[kReplyArea + 1];
  // A service that was killed may have left the modem waiting for the rest
  // of a PDU, where every command would be taken as message text, or half a
  // command line: escape clears both, and its answer is read away.
  CancelEntry(line);
  timescale::Sleep(milliseconds(100));
  line.Read(area, kReplyArea);
  for (const auto& step : kChecks) {
    if (cancelled) return false;
    std::string_view reply = Ask(line, step.command, step.pauseMs, area);
    if (!step.passes(reply)) return Failed(step.command, reply);
  }
  int stored = 0;
  int slots = SelectStorage(line, area, stored);
  if (slots < 0) return false;
  if (kept) KeepStored(link, *kept);
  else if (stored > 0)  // what arrived while the service was away is gone: say so, and how to keep it
    activity_log::Log(LOG_WARNING, "%d SMS in the modem's storage discarded at start-up (--keep-stored keeps them)",
                      stored);
  if (!EmptyStorage(line, slots, area, cancelled)) return false;
  try {
    link.journal.ForgetAllSlots();
  } catch (const journal::JournalError&) {
    // Only checks kept longer than needed.
  }
  if (indications && *indications) *indications = EnableIndications(line, area);
  if (indications && *indications) return true;
  Ask(line, "AT+CNMI=0,0\r\n", 500, area);  // no unsolicited indications; the reply is not tested
  return true;
}
