#include "sim/broadcast/bcsim/command_interpreter.h"

#include <charconv>
#include <optional>

#include "sim/broadcast/bcsim/term_list_text.h"
#include "sim/common/gbk_table.h"

namespace bcsim {
namespace {

constexpr char kOk[] = "000";
constexpr char kUnknown[] = "400 unknown command";
constexpr char kBadArguments[] = "400 bad arguments";
constexpr char kNotLoggedOn[] = "401 not logged on";
constexpr char kNoSession[] = "404 no such session";

struct Syntax {
  const char* name;
  const char* prefix;
  bool exact;  // the whole command, no arguments
};
constexpr Syntax kCommands[] = {
    {"logon", "logon ", false},
    {"session new", "session new ", false},
    {"session add_term", "session add_term ", false},
    {"session set", "session set ", false},
    {"session rm", "session rm ", false},
    {"term list", "term list", true},
    {"quit", "quit", true},
};

std::optional<int32_t> Integer(std::string_view text) {
  int32_t value;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

// Splits on every TAB: unlike the agent's reader, empty fields count.
std::vector<std::string_view> SplitTabs(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t start = 0, tab;
  while ((tab = text.find('\t', start)) != std::string_view::npos) {
    fields.push_back(text.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(text.substr(start));
  return fields;
}

CommandOutcome Reply(std::string text) {
  CommandOutcome outcome;
  outcome.reply = std::move(text);
  return outcome;
}

// "logon 10\tUSER\tPASS"
CommandOutcome Logon(std::string_view arguments, bool& loggedOn, const PlatformState& state) {
  std::vector<std::string_view> fields = SplitTabs(arguments);
  if (fields.size() != 3 || !Integer(fields[0])) return Reply(kBadArguments);
  loggedOn = fields[1] == simtext::Utf8ToGbkLossy(state.user) && fields[2] == simtext::Utf8ToGbkLossy(state.password);
  return Reply(loggedOn ? "000 OK" : "201 logon refused");
}

// "session new NAME\tKIND\tSPRIO\tUPRIO"
CommandOutcome NewSession(std::string_view arguments, PlatformState& state, int64_t nowMs) {
  std::vector<std::string_view> fields = SplitTabs(arguments);
  if (fields.size() != 4) return Reply(kBadArguments);
  auto kind = Integer(fields[1]), sessionPriority = Integer(fields[2]), userPriority = Integer(fields[3]);
  if (!kind || !sessionPriority || !userPriority) return Reply(kBadArguments);
  SessionRecord& session =
      state.sessions.Create(simtext::GbkToUtf8Lossy(fields[0]), *kind, *sessionPriority, *userPriority, nowMs);
  return Reply("000 " + std::to_string(session.number));
}

// "session add_term N,ID,ID,...," (the list ends with a comma)
CommandOutcome AddTerminals(std::string_view arguments, PlatformState& state, int64_t nowMs) {
  std::vector<int32_t> numbers;
  size_t start = 0, comma;
  while ((comma = arguments.find(',', start)) != std::string_view::npos) {
    auto number = Integer(arguments.substr(start, comma - start));
    if (!number) return Reply(kBadArguments);
    numbers.push_back(*number);
    start = comma + 1;
  }
  if (start != arguments.size() || numbers.empty()) return Reply(kBadArguments);
  SessionRecord* session = state.sessions.FindLive(numbers[0]);
  if (!session) return Reply(kNoSession);
  std::vector<int32_t> added(numbers.begin() + 1, numbers.end());
  session->terminals.insert(session->terminals.end(), added.begin(), added.end());
  state.sessions.Event(*session, "add_term", nowMs, added);
  return Reply(kOk);
}

// "session set N\tSTAT=S", S 1 start, 0 stop
CommandOutcome SetSession(std::string_view arguments, PlatformState& state, int64_t nowMs) {
  std::vector<std::string_view> fields = SplitTabs(arguments);
  if (fields.size() != 2 || !fields[1].starts_with("STAT=")) return Reply(kBadArguments);
  auto number = Integer(fields[0]), stat = Integer(fields[1].substr(5));
  if (!number || !stat || (*stat != 0 && *stat != 1)) return Reply(kBadArguments);
  SessionRecord* session = state.sessions.FindLive(*number);
  if (!session) return Reply(kNoSession);
  session->state = *stat == 1 ? SessionState::kStarted : SessionState::kStopped;
  state.sessions.Event(*session, *stat == 1 ? "start" : "stop", nowMs);
  return Reply(kOk);
}

// "session rm N"
CommandOutcome RemoveSession(std::string_view arguments, PlatformState& state, int64_t nowMs) {
  auto number = Integer(arguments);
  if (!number) return Reply(kBadArguments);
  SessionRecord* session = state.sessions.FindLive(*number);
  if (!session) return Reply(kNoSession);
  session->state = SessionState::kRemoved;
  state.sessions.Event(*session, "remove", nowMs);
  return Reply(kOk);
}

CommandOutcome TermList(PlatformState& state) {
  CommandOutcome outcome;
  outcome.kind = CommandOutcome::Kind::kTermList;
  outcome.lines = TermListLines(state.live, state.termList);
  if (std::optional<int> after = state.faults.TakeTermListClose()) {
    if (static_cast<size_t>(*after) < outcome.lines.size()) outcome.lines.resize(static_cast<size_t>(*after));
    outcome.closeAfterLines = true;
  } else {
    outcome.lines.push_back(kTermListEnd);
  }
  return outcome;
}

CommandOutcome Act(const std::string& name, std::string_view arguments, bool& loggedOn, PlatformState& state,
                   int64_t nowMs) {
  if (name == "logon") return Logon(arguments, loggedOn, state);
  if (name == "session new") return NewSession(arguments, state, nowMs);
  if (name == "session add_term") return AddTerminals(arguments, state, nowMs);
  if (name == "session set") return SetSession(arguments, state, nowMs);
  if (name == "session rm") return RemoveSession(arguments, state, nowMs);
  return TermList(state);
}

}  // namespace

std::string CommandName(std::string_view command) {
  for (const Syntax& syntax : kCommands)
    if (syntax.exact ? command == syntax.prefix : command.starts_with(syntax.prefix)) return syntax.name;
  return "";
}

CommandOutcome ExecuteCommand(std::string_view command, bool& loggedOn, PlatformState& state, int64_t nowMs) {
  std::string name = CommandName(command);
  CommandOutcome outcome;
  if (name == "quit") {
    outcome.kind = CommandOutcome::Kind::kQuit;
  } else if (name.empty()) {
    outcome = Reply(kUnknown);
  } else if (name != "logon" && !loggedOn) {
    outcome = Reply(kNotLoggedOn);
  } else if (std::optional<bool> apply = state.faults.TakeStall(name)) {
    // A stalled command may still act, as a server does whose reply is lost.
    if (*apply && name != "term list") Act(name, command.substr(name.size() + 1), loggedOn, state, nowMs);
    outcome.kind = CommandOutcome::Kind::kNoAnswer;
  } else if (std::optional<std::string> code = state.faults.TakeFail(name)) {
    if (name == "logon") loggedOn = false;
    outcome = Reply(*code + " simulated failure");
  } else {
    std::string_view arguments = name == "term list" ? std::string_view() : command.substr(name.size() + 1);
    outcome = Act(name, arguments, loggedOn, state, nowMs);
  }
  outcome.name = name;
  return outcome;
}

}  // namespace bcsim
