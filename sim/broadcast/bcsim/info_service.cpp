#include "sim/broadcast/bcsim/info_service.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "sim/common/json_fields.h"

namespace bcsim {

using namespace simjson;
namespace {

using nlohmann::json;

json Hr(int32_t hr) { return {{"hr", hr}}; }

// The window [first, first + max) of `all`; a window past the end is empty.
std::vector<int32_t> Page(const std::vector<int32_t>& all, const json& request) {
  int first = Field<int>(request, "first", 0);
  int max = Field<int>(request, "max");
  if (first < 0 || max < 0) throw BadRequest("\"first\" and \"max\" must not be negative");
  size_t begin = std::min(all.size(), static_cast<size_t>(first));
  size_t end = std::min(all.size(), begin + static_cast<size_t>(max));
  return std::vector<int32_t>(all.begin() + static_cast<std::ptrdiff_t>(begin),
                              all.begin() + static_cast<std::ptrdiff_t>(end));
}

std::vector<int32_t> ListedIds(const Scenario& scenario) {
  std::vector<int32_t> ids;
  for (const Terminal* t : scenario.Listed()) ids.push_back(t->id);
  return ids;
}

json Answer(const std::string& op, const json& request, const Scenario& scenario) {
  if (op == "terminal_count") return {{"hr", kSOk}, {"count", scenario.Listed().size()}};
  if (op == "terminal_ids") return {{"hr", kSOk}, {"ids", Page(ListedIds(scenario), request)}};
  if (op == "terminal_addresses") {
    std::vector<uint32_t> addresses;
    for (int32_t id : Field<std::vector<int32_t>>(request, "ids")) {
      auto it = scenario.terminals.find(id);
      addresses.push_back(it == scenario.terminals.end() ? 0 : ParseIpv4(it->second.ip).value_or(0));
    }
    return {{"hr", kSOk}, {"addresses", addresses}};
  }
  if (op == "area_count") return {{"hr", kSOk}, {"count", scenario.areas.size()}};
  if (op == "area_ids") {
    std::vector<int32_t> ids;
    for (const Area& a : scenario.areas) ids.push_back(a.id);
    return {{"hr", kSOk}, {"ids", Page(ids, request)}};
  }
  if (op == "area_name" || op == "area_terminals") {
    const Area* area = scenario.FindArea(Field<int32_t>(request, "id"));
    if (!area) return Hr(kEInvalidArg);
    if (op == "area_terminals") return {{"hr", kSOk}, {"ids", Page(area->members, request)}};
    if (area->sFalse) return Hr(kSFalse);
    return {{"hr", kSOk}, {"name", area->name}};
  }
  if (op == "terminal") {
    auto it = scenario.terminals.find(Field<int32_t>(request, "id"));
    if (it == scenario.terminals.end()) return Hr(kETerminalGone);
    const Terminal& t = it->second;
    return {{"hr", kSOk}, {"name", t.name}, {"tag", t.tag}, {"state", t.StateValue()}, {"fault", t.fault}};
  }
  return {{"hr", kENotImpl}, {"error", "unknown op \"" + op + "\""}};
}

}  // namespace

std::string AnswerInfoRequest(std::string_view line, int connection, PlatformState& state, int64_t nowMs) {
  json reply;
  json entry = {{"t", nowMs}, {"conn", connection}};
  try {
    json request = json::parse(line);
    entry["request"] = request;
    if (!request.is_object()) throw BadRequest("a request is a JSON object");
    std::string op = Field<std::string>(request, "op");
    std::optional<int32_t> id;
    if (request.contains("id") && request["id"].is_number_integer()) id = request["id"].get<int32_t>();
    if (std::optional<int32_t> hr = state.faults.TakeInfoFail(op, id)) reply = Hr(*hr);
    else reply = Answer(op, request, state.live);
  } catch (const BadRequest& e) {
    reply = {{"hr", kEInvalidArg}, {"error", e.what()}};
  } catch (const json::exception& e) {
    entry["request"] = std::string(line);
    reply = {{"hr", kEInvalidArg}, {"error", e.what()}};
  }
  entry["reply"] = reply;
  state.infoLog.Add(std::move(entry));
  return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace bcsim
