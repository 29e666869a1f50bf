#include "sim/broadcast/bcsim/control_protocol.h"

#include <fstream>
#include <sstream>

#include "sim/common/json_fields.h"

namespace bcsim {

using namespace simjson;
namespace {

using nlohmann::json;

// count: N > 0 the next N times, -1 until cleared, 0 clears.
int CountField(const json& request) {
  int count = Field<int>(request, "count", 1);
  if (count < -1) throw BadRequest("\"count\" must be -1, 0 or more");
  return count;
}

std::string CommandField(const json& request) {
  std::string command = Field<std::string>(request, "command");
  if (!IsCommandName(command))
    throw BadRequest(
        "\"command\" must be logon, session new, session add_term, session set, session rm, "
        "term list or piece");
  return command;
}

json Ok(json fields = json::object()) {
  json reply = {{"ok", true}};
  reply.update(fields);
  return reply;
}

json ScenarioSize(const Scenario& scenario) {
  return Ok({{"terminals", scenario.terminals.size()}, {"areas", scenario.areas.size()}});
}

}  // namespace

void LoadScenarioFile(const std::string& path, Scenario& scenario) {
  std::ifstream file(path);
  if (!file) throw BadRequest("cannot read " + path);
  std::stringstream text;
  text << file.rdbuf();
  json description;
  try {
    description = json::parse(text.str());
  } catch (const json::exception& e) {
    throw BadRequest(path + ": " + e.what());
  }
  ApplyScenario(description, scenario);
}

std::string ControlProtocol::Handle(std::string_view line, int64_t nowMs) {
  nowMs_ = nowMs;
  json reply;
  try {
    json request = json::parse(line);
    if (!request.is_object()) throw BadRequest("a request is a JSON object");
    reply = Dispatch(Field<std::string>(request, "cmd"), request);
  } catch (const BadRequest& e) {
    reply = {{"ok", false}, {"error", e.what()}};
  } catch (const json::exception& e) {
    reply = {{"ok", false}, {"error", e.what()}};
  }
  return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

json ControlProtocol::Dispatch(const std::string& cmd, const json& request) {
  Scenario& live = state_.live;
  if (cmd == "clock") return Ok({{"t", nowMs_}});
  if (cmd == "load") return Load(request);
  if (cmd == "scenario") return Ok(ScenarioToJson(live));
  if (cmd == "add_terminal" || cmd == "set_terminal") {
    ApplyTerminal(request, cmd == "add_terminal" ? EntryMode::kNew : EntryMode::kExisting, live);
    return ScenarioSize(live);
  }
  if (cmd == "remove_terminal") {
    RemoveTerminal(Field<int32_t>(request, "id"), live);
    return ScenarioSize(live);
  }
  if (cmd == "add_area" || cmd == "set_area") {
    ApplyArea(request, cmd == "add_area" ? EntryMode::kNew : EntryMode::kExisting, live);
    return ScenarioSize(live);
  }
  if (cmd == "remove_area") {
    RemoveArea(Field<int32_t>(request, "id"), live);
    return ScenarioSize(live);
  }
  if (cmd == "credentials") {
    state_.user = Field<std::string>(request, "user", state_.user);
    state_.password = Field<std::string>(request, "password", state_.password);
    return Ok();
  }
  if (cmd == "sessions") return Ok(state_.sessions.ToJson());
  if (cmd == "restart_numbering") {
    state_.sessions.RestartNumbering();
    return Ok();
  }
  if (cmd == "log" || cmd == "info_log") {
    EventLog& log = cmd == "log" ? state_.commandLog : state_.infoLog;
    json reply = Ok({{"entries", log.ToJson()}});
    if (cmd == "log") reply["open"] = state_.openCommandConnections;
    if (Field<bool>(request, "clear", false)) log.Clear();
    return reply;
  }
  if (cmd == "fail") return Fail(request);
  if (cmd == "stall") return Stall(request);
  if (cmd == "term_list_close") {
    state_.faults.SetTermListClose(CountField(request), Ranged(request, "after", 0, 0, 1 << 30));
    return Faults();
  }
  if (cmd == "fail_info") return FailInfo(request);
  if (cmd == "faults") return Faults();
  if (cmd == "clear_faults") {
    state_.faults.Clear();
    return Faults();
  }
  if (cmd == "term_list_extra") {
    state_.termList.extraLines = Field<std::vector<std::string>>(request, "lines");
    state_.termList.extraAt = Ranged(request, "at", 0, 0, 1 << 30);
    return Ok();
  }
  if (cmd == "term_list_pacing") {
    state_.termList.chunkBytes = Ranged(request, "chunk", state_.termList.chunkBytes, 1, 1 << 20);
    state_.termList.gapMs = Ranged(request, "gap_ms", state_.termList.gapMs, 0, 10000);
    return Ok({{"chunk", state_.termList.chunkBytes}, {"gap_ms", state_.termList.gapMs}});
  }
  if (cmd == "framing") {
    state_.quietMs = Ranged(request, "quiet_ms", state_.quietMs, 1, 10000);
    return Ok({{"quiet_ms", state_.quietMs}});
  }
  if (cmd == "info_down" || cmd == "info_up") return Port("info", cmd == "info_up");
  if (cmd == "port_down" || cmd == "port_up") return Port(Field<std::string>(request, "port"), cmd == "port_up");
  if (cmd == "reset") {
    state_.Reset();
    // A port a test took down is a fault too.
    for (const char* port : {"command", "data", "info"}) Port(port, true);
    return Ok();
  }
  throw BadRequest("unknown cmd \"" + cmd + "\"");
}

json ControlProtocol::Load(const json& request) {
  Scenario scenario;
  if (request.contains("path")) LoadScenarioFile(Field<std::string>(request, "path"), scenario);
  else ApplyScenario(Field<json>(request, "scenario"), scenario);
  state_.loaded = scenario;
  state_.live = std::move(scenario);
  return ScenarioSize(state_.live);
}

json ControlProtocol::Fail(const json& request) {
  std::string command = CommandField(request);
  std::string code = Field<std::string>(request, "code", "500");
  if (code.empty() || code.starts_with("000")) throw BadRequest("\"code\" must not be empty or begin with 000");
  state_.faults.SetFail(command, CountField(request), code);
  return Faults();
}

json ControlProtocol::Stall(const json& request) {
  std::string command = CommandField(request);
  state_.faults.SetStall(command, CountField(request), Field<bool>(request, "apply", false));
  return Faults();
}

json ControlProtocol::FailInfo(const json& request) {
  std::string op = Field<std::string>(request, "op");
  std::optional<int32_t> id;
  if (request.contains("id")) id = Field<int32_t>(request, "id");
  int32_t hr = Field<int32_t>(request, "hr", static_cast<int32_t>(0x80004005));
  if (hr == 0) throw BadRequest("\"hr\" must not be 0 (S_OK)");
  state_.faults.SetInfoFail(op, id, CountField(request), hr);
  return Faults();
}

json ControlProtocol::Port(const std::string& port, bool up) {
  std::string error;
  if (!portSwitch_(port, up, error)) throw BadRequest(error);
  return Ok({{"port", port}, {"up", up}});
}

json ControlProtocol::Faults() const { return Ok({{"faults", state_.faults.ToJson()}}); }

}  // namespace bcsim
