#include "sim/modem/at_engine.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace modemsim {
namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;
constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxPduHex = 2 * 200;
// What the simulated modem says about itself ("ATI", "AT+CGMI"...).
constexpr const char* kManufacturer = "MODEMSIM";
constexpr const char* kModel = "GSM-SIM 1";
constexpr const char* kRevision = "1.0";
constexpr const char* kImei = "351234567890125";
constexpr const char* kImsi = "460001234567890";

std::string Ok() { return "\r\nOK\r\n"; }
std::string Error() { return "\r\nERROR\r\n"; }
// "+CMS ERROR: 321": invalid memory index, the answer for an empty slot.
std::string InvalidIndex() { return "\r\n+CMS ERROR: 321\r\n"; }

// Information text then OK, as V.25ter frames it in verbose mode.
std::string Info(std::initializer_list<std::string> lines) {
  std::string reply = "\r\n";
  for (const std::string& line : lines) reply += line + "\r\n";
  return reply + Ok();
}

std::optional<int> ParseInt(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "=a,b" -> {"a", "b"}; anything else -> nothing.
std::vector<std::string> Arguments(const std::string& suffix) {
  std::vector<std::string> args;
  if (!suffix.starts_with('=') || suffix == "=?") return args;
  size_t start = 1;
  for (;;) {
    size_t comma = suffix.find(',', start);
    args.push_back(suffix.substr(start, comma - start));
    if (comma == std::string::npos) return args;
    start = comma + 1;
  }
}

std::string Unquote(const std::string& s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// TP length for "+CMGL"/"+CMGR": octets after the service-centre part.
int TpduLength(const std::string& pdu) {
  if (pdu.size() < 2) return 0;
  int smscOctets = std::stoi(pdu.substr(0, 2), nullptr, 16);
  return static_cast<int>(pdu.size() / 2) - (smscOctets + 1);
}

bool IsHex(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isxdigit(c); });
}

// Collects echo bytes, and keeps each reply a write of its own so that, for
// instance, the "> " prompt reaches the client in one piece.
class Output {
 public:
  explicit Output(std::vector<ModemOutput>& out) : out_(out) {}
  void Echo(char c) {
    if (out_.empty() || out_.back().reply) out_.push_back({"", false});
    out_.back().bytes += c;
  }
  void Reply(std::string bytes, const std::string& command) {
    if (!bytes.empty()) out_.push_back({std::move(bytes), true, command});
  }

 private:
  std::vector<ModemOutput>& out_;
};

}  // namespace

std::vector<ModemOutput> AtEngine::Feed(std::string_view bytes, int64_t nowMs) {
  std::vector<ModemOutput> result;
  Output out(result);
  for (char c : bytes) {
    if (collectingPdu_) {
      FeedPdu(c, nowMs, result);
      continue;
    }
    bool silent = state_.faults.silentCommands != 0;
    if (state_.echo && !silent) out.Echo(c);
    if (c == '\r' || c == '\n') {
      // The LF of a CR LF pair arrives as an empty line: nothing to do.
      if (line_.empty()) continue;
      std::string line = std::move(line_);
      line_.clear();
      state_.Log(nowMs, line);
      if (!silent) {
        std::string reply = Execute(line);
        out.Reply(std::move(reply), command_);
      } else if (state_.faults.silentCommands > 0) {
        --state_.faults.silentCommands;
      }
    } else if (c == kCtrlZ || c == kEscape) {
      line_.clear();  // a PDU nobody prompted for
    } else if (line_.size() < kMaxLine) {
      line_ += c;
    }
  }
  return result;
}

void AtEngine::FeedPdu(char c, int64_t nowMs, std::vector<ModemOutput>& result) {
  Output out(result);
  if (c == kCtrlZ || c == kEscape) {
    collectingPdu_ = false;
    state_.Log(nowMs, pdu_, true);
    out.Reply(c == kCtrlZ ? FinishSend() : Ok(), command_);
    pdu_.clear();
    return;
  }
  if (c == '\r' || c == '\n') return;
  if (state_.echo) out.Echo(c);
  if (pdu_.size() < kMaxPduHex) pdu_ += c;
}

void AtEngine::Reset() {
  line_.clear();
  pdu_.clear();
  collectingPdu_ = false;
  registrationMode_ = 0;
  errorMode_ = 0;
  charset_ = "IRA";
  state_.indications.Reset();
}

std::string AtEngine::Execute(const std::string& line) {
  std::string command = line;
  std::transform(command.begin(), command.end(), command.begin(), [](unsigned char c) { return std::toupper(c); });
  while (!command.empty() && command.back() == ' ') command.pop_back();
  if (!command.starts_with("AT")) return {};  // line noise: a modem ignores it
  std::string body = command.substr(2);
  command_ = body;
  if (body.empty()) return Ok();
  if (body.starts_with('+')) {
    size_t end = body.find_first_of("=?");
    return Extended(body.substr(0, end), end == std::string::npos ? "" : body.substr(end));
  }
  if (body == "E0" || body == "E") {
    state_.echo = false;
    return Ok();
  }
  if (body == "E1") {
    state_.echo = true;
    return Ok();
  }
  if (body == "Z" || body == "&F") {
    Reset();
    state_.echo = true;
    return Ok();
  }
  if (body == "I" || body == "I0") return Info({kManufacturer, kModel, std::string("Revision: ") + kRevision});
  if (body == "V1" || body == "Q0") return Ok();
  return Error();
}

std::string AtEngine::Extended(const std::string& name, const std::string& suffix) {
  std::vector<std::string> args = Arguments(suffix);
  bool test = suffix == "=?", query = suffix == "?", action = suffix.empty();
  auto constant = [&](const char* line) { return (action || query) ? Info({line}) : Error(); };

  if (name == "+CGMI" || name == "+GMI") return constant(kManufacturer);
  if (name == "+CGMM" || name == "+GMM") return constant(kModel);
  if (name == "+CGMR" || name == "+GMR") return constant(kRevision);
  if (name == "+CGSN" || name == "+GSN") return constant(kImei);
  if (name == "+CIMI") return state_.faults.simNotReady ? "\r\n+CME ERROR: 10\r\n" : constant(kImsi);
  if (name == "+CPAS") return Info({"+CPAS: 0"});
  if (name == "+CFUN") return Functionality(args, suffix);
  if (name == "+CSQ") {
    if (test) return Info({"+CSQ: (0-31,99),(0-7,99)"});
    return action ? Info({"+CSQ: " + std::to_string(state_.Signal()) + ",99"}) : Error();
  }
  if (name == "+CPIN") {
    if (test) return Ok();
    if (!query) return Error();
    return state_.faults.simNotReady ? "\r\n+CME ERROR: 10\r\n" : Info({"+CPIN: READY"});
  }
  if (name == "+CREG") return Registration(suffix);
  if (name == "+CMEE") {
    if (test) return Info({"+CMEE: (0-2)"});
    if (query) return Info({"+CMEE: " + std::to_string(errorMode_)});
    auto mode = args.size() == 1 ? ParseInt(args[0]) : std::nullopt;
    if (!mode || *mode < 0 || *mode > 2) return Error();
    errorMode_ = *mode;
    return Ok();
  }
  if (name == "+CSCS") {
    if (test) return Info({"+CSCS: (\"GSM\",\"IRA\",\"UCS2\")"});
    if (query) return Info({"+CSCS: \"" + charset_ + "\""});
    std::string charset = args.size() == 1 ? Unquote(args[0]) : "";
    if (charset != "GSM" && charset != "IRA" && charset != "UCS2") return Error();
    charset_ = charset;
    return Ok();
  }
  if (name == "+CSCA") {
    if (query) return Info({std::string("+CSCA: \"+") + kServiceCentre + "\",145"});
    return args.empty() ? Error() : Ok();
  }
  if (name == "+CSMS") {
    if (test) return Info({"+CSMS: (0,1)"});
    if (query) return Info({"+CSMS: 0,1,1,1"});
    return args.size() == 1 ? Info({"+CSMS: 1,1,1"}) : Error();
  }
  if (name == "+CGSMS") {
    if (test) return Info({"+CGSMS: (0-3)"});
    if (query) return Info({"+CGSMS: 3"});
    return args.size() == 1 ? Ok() : Error();
  }
  if (name == "+CMGF") {
    // PDU mode only: text mode is refused, as on modems without it.
    if (test) return Info({"+CMGF: (0)"});
    if (query) return Info({"+CMGF: 0"});
    return suffix == "=0" ? Ok() : Error();
  }
  if (name == "+CNMI") {
    if (!test && !query && state_.faults.failIndicationSetups > 0) {
      --state_.faults.failIndicationSetups;
      return Error();
    }
    return state_.indications.Command(suffix);
  }
  if (name == "+CPMS") return Storage(suffix);
  if (name == "+CMGL") return List(suffix);
  if (name == "+CMGR") return Read(suffix);
  if (name == "+CMGD") return Delete(suffix);
  if (name == "+CMGS") {
    if (test) return Ok();
    auto length = args.size() == 1 ? ParseInt(args[0]) : std::nullopt;
    if (!length || *length < 1 || *length > 175) return Error();
    collectingPdu_ = true;
    pduLength_ = *length;
    return "\r\n> ";
  }
  return Error();
}

std::string AtEngine::FinishSend() {
  // The length must match the PDU as a real modem checks it: octets after
  // the service-centre part.
  if (pdu_.size() < 2 || pdu_.size() % 2 != 0 || !IsHex(pdu_) || TpduLength(pdu_) != pduLength_)
    return "\r\n+CMS ERROR: 304\r\n";
  int registration = state_.Registration();
  if (registration != 1 && registration != 5) return "\r\n+CMS ERROR: 331\r\n";  // no network service
  if (state_.faults.failSends > 0) {
    --state_.faults.failSends;
    return Error();
  }
  if (state_.faults.wedged) return Error();
  std::string pdu = pdu_;
  std::transform(pdu.begin(), pdu.end(), pdu.begin(), [](unsigned char c) { return std::toupper(c); });
  state_.sent.push_back({pdu, pduLength_});
  int reference = state_.nextMessageReference;
  state_.nextMessageReference = (reference + 1) % 256;
  return Info({"+CMGS: " + std::to_string(reference)});
}

std::string AtEngine::List(const std::string& suffix) {
  if (suffix == "=?") return Info({"+CMGL: (0-4)"});
  std::optional<int> stat = suffix.empty() ? 0 : suffix.starts_with('=') ? ParseInt(suffix.substr(1)) : std::nullopt;
  if (!stat || *stat < 0 || *stat > 4) return Error();
  if (state_.faults.failLists > 0) {
    --state_.faults.failLists;
    return Error();
  }
  std::vector<std::string> entries;
  for (StoredMessage* message : state_.store.Occupied()) {
    if (*stat != 4 && static_cast<int>(message->status) != *stat) continue;
    entries.push_back("+CMGL: " + std::to_string(message->index) + "," +
                      std::to_string(static_cast<int>(message->status)) + ",," +
                      std::to_string(TpduLength(message->pdu)) + "\r\n" + message->pdu + "\r\n");
    // Listing an unread message reads it, as it does on real modems.
    message->status = SlotStatus::Read;
  }
  if (entries.empty()) return Ok();
  // Noise lands inside the listing too, where a client parsing entries meets it.
  UrcNoise& noise = state_.faults.noise;
  if (noise.On() && entries.size() >= 2)
    entries[noise.Below(entries.size() - 1)] += noise.Line(state_.Signal(), state_.Registration());
  std::string reply = "\r\n";
  for (const std::string& entry : entries) reply += entry;
  return reply + Ok();
}

std::string AtEngine::Read(const std::string& suffix) {
  if (suffix == "=?") return Ok();
  auto index = suffix.starts_with('=') ? ParseInt(suffix.substr(1)) : std::nullopt;
  if (!index) return Error();
  StoredMessage* message = state_.store.At(*index);
  if (!message) return InvalidIndex();
  std::string reply = Info(
      {"+CMGR: " + std::to_string(static_cast<int>(message->status)) + ",," + std::to_string(TpduLength(message->pdu)),
       message->pdu});
  message->status = SlotStatus::Read;
  return reply;
}

std::string AtEngine::Delete(const std::string& suffix) {
  if (suffix == "=?") return Info({"+CMGD: (1-" + std::to_string(state_.store.Capacity()) + "),(0-4)"});
  std::vector<std::string> args = Arguments(suffix);
  auto index = !args.empty() ? ParseInt(args[0]) : std::nullopt;
  auto flag = args.size() == 2 ? ParseInt(args[1]) : std::optional<int>(0);
  if (!index || !flag || args.size() > 2 || *flag < 0 || *flag > 4) return Error();
  if (state_.faults.failDeletes > 0) {
    --state_.faults.failDeletes;
    return Error();
  }
  if (*flag == 0) {
    if (!state_.store.InRange(*index)) return Error();
    state_.store.Erase(*index);
    return Ok();
  }
  // Flags 1-3 delete every read message (we store no sent or unsent
  // ones), 4 deletes everything; the index is then ignored.
  for (StoredMessage* message : state_.store.Occupied())
    if (*flag == 4 || message->status == SlotStatus::Read) state_.store.Erase(message->index);
  return Ok();
}

std::string AtEngine::Storage(const std::string& suffix) {
  std::string used = std::to_string(state_.store.Used()), total = std::to_string(state_.store.Capacity());
  std::string counts = used + "," + total;
  // One store; "ME" is accepted as another name for it but not offered, so
  // that clients walking every memory do not see each message twice.
  if (suffix == "=?") return Info({"+CPMS: (\"SM\"),(\"SM\"),(\"SM\")"});
  if (suffix == "?") {
    std::string memory = "\"SM\"," + counts;
    return Info({"+CPMS: " + memory + "," + memory + "," + memory});
  }
  std::vector<std::string> args = Arguments(suffix);
  if (args.empty() || args.size() > 3) return Error();
  for (const std::string& memory : args)
    if (Unquote(memory) != "ME" && Unquote(memory) != "SM") return Error();
  return Info({"+CPMS: " + counts + "," + counts + "," + counts});
}

std::string AtEngine::Registration(const std::string& suffix) {
  if (suffix == "=?") return Info({"+CREG: (0-2)"});
  if (suffix != "?") {
    auto mode = suffix.starts_with('=') ? ParseInt(suffix.substr(1)) : std::nullopt;
    if (!mode || *mode < 0 || *mode > 2) return Error();
    registrationMode_ = *mode;
    return Ok();
  }
  int status = state_.Registration();
  std::string line = "+CREG: " + std::to_string(registrationMode_) + "," + std::to_string(status);
  bool located = status == 1 || status == 5;
  if (registrationMode_ == 2 && located) line += ",\"1A2B\",\"01C3\"";
  return state_.faults.registrationOk ? Info({line}) : "\r\n" + line + "\r\n";
}

std::string AtEngine::Functionality(const std::vector<std::string>& args, const std::string& suffix) {
  if (suffix == "=?") return Info({"+CFUN: (0,1,4),(0,1)"});
  if (suffix == "?") return Info({"+CFUN: " + std::to_string(state_.functionality)});
  auto level = !args.empty() ? ParseInt(args[0]) : std::nullopt;
  auto restart = args.size() == 2 ? ParseInt(args[1]) : std::optional<int>(0);
  if (!level || !restart || args.size() > 2 || (*level != 0 && *level != 1 && *level != 4) || *restart < 0 ||
      *restart > 1)
    return Error();
  // Switching the radio off and on again is what unsticks a wedged modem.
  if (*level == 1 && !state_.RadioOn()) state_.faults.wedged = false;
  state_.functionality = *level;
  if (*level == 1 && *restart == 1) {
    Reset();
    state_.echo = true;
  }
  return Ok();
}

}  // namespace modemsim
