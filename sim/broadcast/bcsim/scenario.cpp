#include "sim/broadcast/bcsim/scenario.h"

#include <algorithm>
#include <cstdio>

#include "sim/common/json_fields.h"

namespace bcsim {

using namespace simjson;
namespace {

using nlohmann::json;

constexpr int kMaxGenerated = 100000;

// Generated terminals get 10.0.x.y with y in 1..250, so that no address ends
// in 0 or 255 and a block of 250 terminals shares its third octet.
std::string DefaultIp(int32_t id) {
  uint32_t index = static_cast<uint32_t>(id) - 1;
  return "10.0." + std::to_string((index / 250) % 256) + "." + std::to_string(index % 250 + 1);
}

std::string Numbered(const char* format, int32_t id) {
  char text[64];
  std::snprintf(text, sizeof text, format, id);
  return text;
}

Terminal DefaultTerminal(int32_t id) {
  Terminal t;
  t.id = id;
  t.name = Numbered("终端%03d", id);
  t.tag = Numbered("T%03d", id);
  t.ip = DefaultIp(id);
  return t;
}

Area DefaultArea(int32_t id) {
  Area a;
  a.id = id;
  a.name = Numbered("区域%d", id);
  return a;
}

// Terminals 1..count in `areas` contiguous blocks of near-equal size.
void Generate(const json& generator, Scenario& scenario) {
  if (!generator.is_object()) throw BadRequest("\"generate\" must be an object");
  int count = Ranged(generator, "terminals", 0, 0, kMaxGenerated);
  int areas = Ranged(generator, "areas", 0, 0, kMaxGenerated);
  for (int32_t id = 1; id <= count; ++id) scenario.terminals.insert_or_assign(id, DefaultTerminal(id));
  // Generated areas replace those of their ids and go last, in id order. One
  // pass removes them all: removing each on its own made 100,000 areas take
  // seconds.
  std::erase_if(scenario.areas, [areas](const Area& a) { return a.id >= 1 && a.id <= areas; });
  scenario.areas.reserve(scenario.areas.size() + static_cast<size_t>(areas));
  for (int32_t k = 1; k <= areas; ++k) {
    Area area = DefaultArea(k);
    int64_t first = static_cast<int64_t>(k - 1) * count / areas + 1;
    int64_t last = static_cast<int64_t>(k) * count / areas;
    for (int64_t id = first; id <= last; ++id) area.members.push_back(static_cast<int32_t>(id));
    scenario.areas.push_back(std::move(area));
  }
}

void CheckObject(const json& entry, const char* what) {
  if (!entry.is_object()) throw BadRequest(std::string(what) + " entries must be objects");
}

}  // namespace

Area* Scenario::FindArea(int32_t id) {
  auto it = std::find_if(areas.begin(), areas.end(), [id](const Area& a) { return a.id == id; });
  return it == areas.end() ? nullptr : &*it;
}

const Area* Scenario::FindArea(int32_t id) const { return const_cast<Scenario*>(this)->FindArea(id); }

std::vector<const Terminal*> Scenario::Listed() const {
  std::vector<const Terminal*> listed;
  for (const auto& [id, terminal] : terminals)
    if (terminal.listed) listed.push_back(&terminal);
  return listed;
}

int32_t Scenario::FirstAreaOf(int32_t id) const {
  for (const Area& area : areas)
    if (std::find(area.members.begin(), area.members.end(), id) != area.members.end()) return area.id;
  return -1;
}

void ApplyTerminal(const json& entry, EntryMode mode, Scenario& scenario) {
  CheckObject(entry, "terminal");
  int32_t id = Field<int32_t>(entry, "id");
  auto it = scenario.terminals.find(id);
  if (mode == EntryMode::kNew && it != scenario.terminals.end())
    throw BadRequest("terminal " + std::to_string(id) + " exists");
  if (mode == EntryMode::kExisting && it == scenario.terminals.end())
    throw BadRequest("no terminal " + std::to_string(id));
  Terminal t = it == scenario.terminals.end() ? DefaultTerminal(id) : it->second;
  t.name = Field<std::string>(entry, "name", t.name);
  t.tag = Field<std::string>(entry, "tag", t.tag);
  t.ip = Field<std::string>(entry, "ip", t.ip);
  if (!ParseIpv4(t.ip)) throw BadRequest("terminal " + std::to_string(id) + ": \"ip\" must be dotted IPv4");
  t.online = Field<bool>(entry, "online", t.online);
  t.fault = Field<int32_t>(entry, "fault", t.fault);
  if (entry.contains("state")) {
    if (entry["state"].is_null()) t.state.reset();
    else t.state = Field<int32_t>(entry, "state");
  }
  t.listed = Field<bool>(entry, "listed", t.listed);
  scenario.terminals[id] = std::move(t);
}

void ApplyArea(const json& entry, EntryMode mode, Scenario& scenario) {
  CheckObject(entry, "area");
  int32_t id = Field<int32_t>(entry, "id");
  Area* existing = scenario.FindArea(id);
  if (mode == EntryMode::kNew && existing) throw BadRequest("area " + std::to_string(id) + " exists");
  if (mode == EntryMode::kExisting && !existing) throw BadRequest("no area " + std::to_string(id));
  Area area = existing ? *existing : DefaultArea(id);
  area.name = Field<std::string>(entry, "name", area.name);
  area.members = Field<std::vector<int32_t>>(entry, "members", area.members);
  area.sFalse = Field<bool>(entry, "s_false", area.sFalse);
  if (existing) *existing = std::move(area);
  else scenario.areas.push_back(std::move(area));
}

void ApplyScenario(const json& description, Scenario& scenario) {
  if (!description.is_object()) throw BadRequest("a scenario is a JSON object");
  for (const auto& [key, value] : description.items())
    if (key != "generate" && key != "terminals" && key != "areas")
      throw BadRequest("unknown scenario key \"" + key + "\"");
  Scenario next = scenario;
  if (description.contains("generate")) Generate(description["generate"], next);
  for (const char* list : {"terminals", "areas"})
    if (description.contains(list) && !description[list].is_array())
      throw BadRequest(std::string("\"") + list + "\" must be a list");
  for (const json& entry : description.value("terminals", json::array())) ApplyTerminal(entry, EntryMode::kAny, next);
  for (const json& entry : description.value("areas", json::array())) ApplyArea(entry, EntryMode::kAny, next);
  scenario = std::move(next);
}

void RemoveTerminal(int32_t id, Scenario& scenario) {
  if (scenario.terminals.erase(id) == 0) throw BadRequest("no terminal " + std::to_string(id));
  for (Area& area : scenario.areas) std::erase(area.members, id);
}

void RemoveArea(int32_t id, Scenario& scenario) {
  if (std::erase_if(scenario.areas, [id](const Area& a) { return a.id == id; }) == 0)
    throw BadRequest("no area " + std::to_string(id));
}

json ScenarioToJson(const Scenario& scenario) {
  json terminals = json::array();
  for (const auto& [id, t] : scenario.terminals) {
    json entry = {{"id", id},           {"name", t.name},   {"tag", t.tag},      {"ip", t.ip},
                  {"online", t.online}, {"fault", t.fault}, {"listed", t.listed}};
    // Only a raw state that was set, so that a saved scenario loads back
    // with "online" still deciding the state.
    if (t.state) entry["state"] = *t.state;
    terminals.push_back(std::move(entry));
  }
  json areas = json::array();
  for (const Area& a : scenario.areas)
    areas.push_back({{"id", a.id}, {"name", a.name}, {"members", a.members}, {"s_false", a.sFalse}});
  return {{"terminals", std::move(terminals)}, {"areas", std::move(areas)}};
}

std::optional<uint32_t> ParseIpv4(std::string_view dotted) {
  uint32_t address = 0;
  size_t position = 0;
  for (int octet = 0; octet < 4; ++octet) {
    if (octet > 0) {
      if (position >= dotted.size() || dotted[position] != '.') return std::nullopt;
      ++position;
    }
    size_t start = position;
    uint32_t value = 0;
    while (position < dotted.size() && position - start < 3 && dotted[position] >= '0' && dotted[position] <= '9')
      value = value * 10 + (dotted[position++] - '0');
    if (position == start || value > 255) return std::nullopt;
    address = address << 8 | value;
  }
  if (position != dotted.size()) return std::nullopt;
  return address;
}

}  // namespace bcsim
