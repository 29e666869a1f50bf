// The installation bcsim plays: its loudspeaker terminals and its areas.
// Tests and the demo describe one in JSON (README.md, "Scenarios"); control
// requests change it while the simulator runs. Texts are kept in UTF-8 and
// converted where a port needs another encoding.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace bcsim {

struct Terminal {
  int32_t id = 0;
  std::string name;
  std::string tag;
  std::string ip;  // dotted IPv4
  bool online = true;
  int32_t fault = 0;             // raw code, as the item object reports it
  std::optional<int32_t> state;  // raw state value; otherwise 1 online, -1 offline
  // false: left out of every list (count, ids, addresses, term list) while
  // its item object still answers, as a terminal being retired does.
  bool listed = true;

  int32_t StateValue() const { return state ? *state : (online ? 1 : -1); }
};

struct Area {
  int32_t id = 0;
  std::string name;
  std::vector<int32_t> members;  // in the server's order
  bool sFalse = false;           // the name query answers S_FALSE
};

struct Scenario {
  std::map<int32_t, Terminal> terminals;  // ascending id, the order every list uses
  std::vector<Area> areas;                // the server's order

  Area* FindArea(int32_t id);
  const Area* FindArea(int32_t id) const;
  std::vector<const Terminal*> Listed() const;
  // The first area (in order) that has `id` as a member, or -1.
  int32_t FirstAreaOf(int32_t id) const;
};

// Where an entry may go: anywhere, only as a new id, or only onto an
// existing one.
enum class EntryMode { kAny, kNew, kExisting };

// Merges a scenario description into `scenario`: "generate" first, then the
// "terminals" and "areas" entries. All or nothing: throws BadRequest and
// leaves `scenario` unchanged when anything is wrong.
void ApplyScenario(const nlohmann::json& description, Scenario& scenario);
// One terminal or area entry. An existing id gets only the fields the entry
// gives; a new one starts from the generator's defaults for its id.
void ApplyTerminal(const nlohmann::json& entry, EntryMode mode, Scenario& scenario);
void ApplyArea(const nlohmann::json& entry, EntryMode mode, Scenario& scenario);
// Removes a terminal, also from every area; throws BadRequest if unknown.
void RemoveTerminal(int32_t id, Scenario& scenario);
void RemoveArea(int32_t id, Scenario& scenario);

nlohmann::json ScenarioToJson(const Scenario& scenario);

// The address as a number whose most significant byte is the first octet.
std::optional<uint32_t> ParseIpv4(std::string_view dotted);

}  // namespace bcsim
