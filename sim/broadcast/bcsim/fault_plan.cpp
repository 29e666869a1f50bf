#include "sim/broadcast/bcsim/fault_plan.h"

#include <algorithm>

namespace bcsim {
namespace {

using nlohmann::json;

// Uses one count; true when the fault applied.
bool Use(int& remaining) {
  if (remaining == 0) return false;
  if (remaining > 0) --remaining;
  return true;
}

}  // namespace

bool IsCommandName(const std::string& name) {
  static const char* const kNames[] = {"logon",     "session new", "session add_term", "session set", "session rm",
                                       "term list", "piece"};
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

void FaultPlan::SetFail(const std::string& command, int count, std::string code) {
  if (count == 0) fail_.erase(command);
  else fail_[command] = {count, std::move(code)};
}

void FaultPlan::SetStall(const std::string& command, int count, bool apply) {
  if (count == 0) stall_.erase(command);
  else stall_[command] = {count, apply};
}

void FaultPlan::SetTermListClose(int count, int afterLines) { close_ = {count, afterLines}; }

void FaultPlan::SetInfoFail(const std::string& op, std::optional<int32_t> id, int count, int32_t hr) {
  std::erase_if(info_, [&](const InfoFail& f) { return f.op == op && f.id == id; });
  if (count != 0) info_.push_back({op, id, count, hr});
}

std::optional<std::string> FaultPlan::TakeFail(const std::string& command) {
  auto it = fail_.find(command);
  if (it == fail_.end() || !Use(it->second.remaining)) return std::nullopt;
  std::string code = it->second.code;
  if (it->second.remaining == 0) fail_.erase(it);
  return code;
}

std::optional<bool> FaultPlan::TakeStall(const std::string& command) {
  auto it = stall_.find(command);
  if (it == stall_.end() || !Use(it->second.remaining)) return std::nullopt;
  bool apply = it->second.apply;
  if (it->second.remaining == 0) stall_.erase(it);
  return apply;
}

std::optional<int> FaultPlan::TakeTermListClose() {
  if (!Use(close_.remaining)) return std::nullopt;
  return close_.afterLines;
}

std::optional<int32_t> FaultPlan::TakeInfoFail(const std::string& op, std::optional<int32_t> id) {
  // A fault for this very id goes before one for any id of the op.
  auto matches = [&](const InfoFail& f, bool exact) {
    return (f.op == op || f.op == "*") && (exact ? f.id && f.id == id : !f.id);
  };
  for (bool exact : {true, false}) {
    for (auto it = info_.begin(); it != info_.end(); ++it) {
      if (!matches(*it, exact) || !Use(it->remaining)) continue;
      int32_t hr = it->hr;
      if (it->remaining == 0) info_.erase(it);
      return hr;
    }
  }
  return std::nullopt;
}

json FaultPlan::ToJson() const {
  json fail = json::object(), stall = json::object(), info = json::array();
  for (const auto& [command, f] : fail_) fail[command] = {{"count", f.remaining}, {"code", f.code}};
  for (const auto& [command, s] : stall_) stall[command] = {{"count", s.remaining}, {"apply", s.apply}};
  for (const InfoFail& f : info_) {
    json entry = {{"op", f.op}, {"count", f.remaining}, {"hr", f.hr}};
    if (f.id) entry["id"] = *f.id;
    info.push_back(std::move(entry));
  }
  return {{"fail", std::move(fail)},
          {"stall", std::move(stall)},
          {"term_list_close", {{"count", close_.remaining}, {"after", close_.afterLines}}},
          {"info", std::move(info)}};
}

}  // namespace bcsim
