#include "sim/modem/control_protocol.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <ctime>
#include <limits>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "sim/common/json_fields.h"
#include "sim/modem/deliver_encoder.h"

namespace modemsim {
namespace {

using nlohmann::json;
using namespace simjson;

int Count(const json& request, const char* name, int fallback, int low, int high) {
  return Ranged(request, name, fallback, low, high);
}

SlotStatus StatusField(const json& request) {
  std::string status = Field<std::string>(request, "status", "unread");
  if (status == "unread") return SlotStatus::Unread;
  if (status == "read") return SlotStatus::Read;
  throw BadRequest("\"status\" must be unread or read");
}

SmsCoding CodingField(const json& request) {
  std::string coding = Field<std::string>(request, "coding", "gsm7");
  if (coding == "gsm7") return SmsCoding::Gsm7;
  if (coding == "ucs2") return SmsCoding::Ucs2;
  if (coding == "8bit") return SmsCoding::EightBit;
  throw BadRequest("\"coding\" must be gsm7, ucs2 or 8bit");
}

// Parts in the order they are to be stored: a permutation of 1..count.
std::vector<std::string> Reorder(const std::vector<std::string>& pdus, const std::vector<int>& order) {
  std::vector<int> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  // The size first: an empty list would otherwise pass and store nothing.
  bool permutation = sorted.size() == pdus.size();
  for (size_t i = 0; permutation && i < sorted.size(); ++i) permutation = sorted[i] == static_cast<int>(i) + 1;
  if (!permutation) throw BadRequest("\"order\" must list each of the " + std::to_string(pdus.size()) + " parts once");
  std::vector<std::string> reordered;
  for (int part : order) reordered.push_back(pdus[part - 1]);
  return reordered;
}

json Stored(ModemState& state, const std::vector<std::string>& pdus, SlotStatus status) {
  auto slots = state.store.Store(pdus, status);
  if (!slots)
    throw BadRequest("storage full: " + std::to_string(pdus.size()) + " needed, " +
                     std::to_string(state.store.Capacity() - state.store.Used()) + " free");
  state.newlyStored.insert(state.newlyStored.end(), slots->begin(), slots->end());
  return {{"ok", true}, {"slots", *slots}, {"pdus", pdus}};
}

}  // namespace

std::string ControlProtocol::Handle(std::string_view line) {
  json reply;
  try {
    json request = json::parse(line);
    if (!request.is_object()) throw BadRequest("request is not a JSON object");
    reply = Dispatch(request);
  } catch (const BadRequest& e) {
    reply = {{"ok", false}, {"error", e.what()}};
  } catch (const json::exception& e) {
    reply = {{"ok", false}, {"error", std::string("request is not JSON: ") + e.what()}};
  }
  // Texts may hold bytes that are not UTF-8 (a raw line from the port).
  return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

json ControlProtocol::Dispatch(const json& request) {
  std::string command = Field<std::string>(request, "cmd");
  if (command == "inject") return Inject(request);
  if (command == "inject_pdu") return InjectPdu(request);
  if (command == "sent") {
    json sent = json::array();
    for (const SentPdu& s : state_.sent) sent.push_back({{"pdu", s.pdu}, {"length", s.length}});
    return {{"ok", true}, {"sent", sent}};
  }
  if (command == "storage") return Storage();
  if (command == "log") return Log(request);
  if (command == "transcript") return Transcript(request);
  if (command == "fault") return Fault(request);
  if (command == "reset") return Reset();
  if (command == "reboot") return Reboot(request);
  if (command == "unplug" || command == "replug") {
    std::string error = onCable_ ? onCable_(command == "replug") : "no cable here";
    if (!error.empty()) throw BadRequest(error);
    return {{"ok", true}};
  }
  throw BadRequest("unknown cmd \"" + command + "\"");
}

json ControlProtocol::Inject(const json& request) {
  DeliverMessage message;
  message.serviceCentre = AtEngine::kServiceCentre;
  message.originator = Field<std::string>(request, "from");
  message.text = Field<std::string>(request, "text");
  message.coding = CodingField(request);
  message.parts = Count(request, "parts", 0, 0, 255);
  message.wideReference = Field<bool>(request, "ref16", false);
  int widest = message.wideReference ? 0xFFFF : 0xFF;
  message.reference = Count(request, "ref", state_.nextConcatReference & widest, 0, widest);
  message.time = std::time(nullptr);
  DeliverPdus encoded = EncodeDeliver(message);
  if (!encoded.error.empty()) throw BadRequest(encoded.error);
  std::vector<std::string> pdus = encoded.pdus;
  if (request.contains("order")) pdus = Reorder(pdus, Field<std::vector<int>>(request, "order"));
  json reply = Stored(state_, pdus, StatusField(request));
  if (encoded.pdus.size() > 1 || message.parts > 0) {
    reply["ref"] = message.reference;
    state_.nextConcatReference = (message.reference + 1) & 0xFFFF;
  }
  return reply;
}

json ControlProtocol::InjectPdu(const json& request) {
  std::string pdu = Field<std::string>(request, "pdu");
  std::transform(pdu.begin(), pdu.end(), pdu.begin(), [](unsigned char c) { return std::toupper(c); });
  bool hex = std::all_of(pdu.begin(), pdu.end(), [](unsigned char c) { return std::isxdigit(c); });
  if (!hex || pdu.size() < 4 || pdu.size() % 2 != 0) throw BadRequest("\"pdu\" is not an even run of hex digits");
  if (std::stoi(pdu.substr(0, 2), nullptr, 16) + 1 > static_cast<int>(pdu.size() / 2) - 1)
    throw BadRequest("\"pdu\" is shorter than its service-centre part");
  json reply = Stored(state_, {pdu}, StatusField(request));
  reply["slot"] = reply["slots"][0];
  return reply;
}

json ControlProtocol::Storage() {
  json messages = json::array();
  for (const StoredMessage* m : state_.store.Occupied())
    messages.push_back(
        {{"index", m->index}, {"status", m->status == SlotStatus::Unread ? "unread" : "read"}, {"pdu", m->pdu}});
  return {{"ok", true}, {"capacity", state_.store.Capacity()}, {"messages", messages}};
}

json ControlProtocol::Log(const json& request) {
  json commands = json::array();
  for (const LoggedLine& entry : state_.log) {
    json item = {{"t", entry.ms}, {"line", entry.line}};
    if (entry.pdu) item["pdu"] = true;
    commands.push_back(std::move(item));
  }
  if (Field<bool>(request, "clear", false)) state_.log.clear();
  return {{"ok", true}, {"commands", commands}};
}

json ControlProtocol::Transcript(const json& request) {
  json entries = json::array();
  for (const TranscriptEntry& entry : state_.transcript)
    entries.push_back({{"from", entry.fromHost ? "host" : "modem"}, {"bytes", entry.bytes}});
  if (Field<bool>(request, "clear", false)) state_.ClearTranscript();
  return {{"ok", true}, {"transcript", entries}};
}

json ControlProtocol::Fault(const json& request) {
  std::string mode = Field<std::string>(request, "mode");
  Faults& f = state_.faults;
  if (mode == "error") {
    std::string command = Field<std::string>(request, "command");
    int count = Count(request, "count", 1, 0, 1000000);
    if (command == "send") f.failSends = count;
    else if (command == "delete") f.failDeletes = count;
    else if (command == "list") f.failLists = count;
    else if (command == "indications") f.failIndicationSetups = count;
    else throw BadRequest("\"command\" must be send, delete, list or indications");
  } else if (mode == "silent") {
    f.silentCommands = request.contains("count") ? Count(request, "count", 0, 0, 1000000) : -1;
  } else if (mode == "delay") {
    Delay(request);
  } else if (mode == "chunks") {
    f.chunkBytes = Count(request, "size", 0, 0, 65536);
    f.chunkGapMs = Count(request, "gap_ms", 30, 0, 60000);
  } else if (mode == "signal") {
    f.signal = Count(request, "value", 99, 0, 99);
  } else if (mode == "sim_not_ready") {
    f.simNotReady = Field<bool>(request, "on", true);
  } else if (mode == "wedged") {
    f.wedged = Field<bool>(request, "on", true);
  } else if (mode == "noise") {
    bool on = Field<bool>(request, "on", true);
    int everyMs = Count(request, "every_ms", 1000, 0, 60000);
    f.noise.Start(on ? everyMs : 0, Field<uint32_t>(request, "seed", UrcNoise::kDefaultSeed));
  } else if (mode == "registration") {
    f.registration = Count(request, "status", 0, 0, 5);
    f.registrationOk = Field<bool>(request, "with_ok", true);
  } else if (mode == "indications") {
    std::string value = Field<std::string>(request, "value");
    if (value == "as_configured") f.indications = IndicationFault::kNone;
    else if (value == "at_once") f.indications = IndicationFault::kAtOnce;
    else if (value == "dropped") f.indications = IndicationFault::kDropped;
    else throw BadRequest("\"value\" must be as_configured, at_once or dropped");
  } else if (mode == "prestore") {
    return Prestore(request);
  } else if (mode == "clear") {
    f = Faults{};
  } else {
    throw BadRequest("unknown fault mode \"" + mode + "\"");
  }
  return {{"ok", true}, {"faults", FaultsJson()}};
}

void ControlProtocol::Delay(const json& request) {
  int ms = Count(request, "ms", 0, 0, 600000);
  if (!request.contains("command")) {
    state_.faults.replyDelayMs = ms;
    return;
  }
  std::string command = Field<std::string>(request, "command");
  if (command.empty() || command.size() > 32) throw BadRequest("\"command\" must name a command in 1..32 characters");
  state_.faults.commandDelays.Set(command, ms);
}

json ControlProtocol::Reboot(const json& request) {
  if (!request.contains("seconds")) throw BadRequest("missing \"seconds\"");
  int seconds = Count(request, "seconds", 0, 0, 600);
  if (!onReboot_) throw BadRequest("no power switch here");
  onReboot_(seconds);
  return {{"ok", true}};
}

json ControlProtocol::Prestore(const json& request) {
  int count = Count(request, "count", 1, 1, state_.store.Capacity());
  std::vector<std::string> pdus;
  for (int k = 1; k <= count; ++k) {
    DeliverMessage message{AtEngine::kServiceCentre, Field<std::string>(request, "from", "8613800138000"),
                           "stored message " + std::to_string(k)};
    message.time = std::time(nullptr);
    DeliverPdus encoded = EncodeDeliver(message);
    if (!encoded.error.empty()) throw BadRequest(encoded.error);
    pdus.push_back(encoded.pdus.at(0));
  }
  json reply = Stored(state_, pdus, StatusField(request));
  reply["faults"] = FaultsJson();
  return reply;
}

json ControlProtocol::Reset() {
  state_.store.Clear();
  state_.sent.clear();
  state_.log.clear();
  state_.ClearTranscript();
  state_.newlyStored.clear();
  state_.faults = Faults{};
  state_.echo = true;
  state_.functionality = 1;
  engine_.Reset();
  if (onReset_) onReset_();
  return {{"ok", true}};
}

json ControlProtocol::FaultsJson() const {
  const Faults& f = state_.faults;
  return {{"fail_sends", f.failSends},
          {"fail_deletes", f.failDeletes},
          {"fail_lists", f.failLists},
          {"silent", f.silentCommands},
          {"delay_ms", f.replyDelayMs},
          {"chunk_size", f.chunkBytes},
          {"chunk_gap_ms", f.chunkGapMs},
          {"signal", f.signal},
          {"sim_not_ready", f.simNotReady},
          {"registration", f.registration},
          {"registration_ok", f.registrationOk},
          {"fail_indication_setups", f.failIndicationSetups},
          {"indications", f.indications == IndicationFault::kAtOnce    ? "at_once"
                          : f.indications == IndicationFault::kDropped ? "dropped"
                                                                       : "as_configured"},
          {"wedged", f.wedged},
          {"noise_every_ms", f.noise.EveryMs()},
          {"command_delays", f.commandDelays.All()}};
}

}  // namespace modemsim
