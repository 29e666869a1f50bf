// The faults a test has switched on: commands refused or left unanswered, a
// term list cut short, information requests failing. Each is counted (it
// wears off after N uses) or, with a count of -1, stays until cleared.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace bcsim {

// The command names faults are keyed by; "piece" stands for every piece of
// a command sent in pieces.
bool IsCommandName(const std::string& name);

class FaultPlan {
 public:
  // count: N > 0 the next N times, -1 until cleared, 0 clears.
  void SetFail(const std::string& command, int count, std::string code);
  void SetStall(const std::string& command, int count, bool apply);
  void SetTermListClose(int count, int afterLines);
  // `id` limits the fault to requests naming that terminal or area; op "*"
  // matches every operation.
  void SetInfoFail(const std::string& op, std::optional<int32_t> id, int count, int32_t hr);

  // Each Take uses up one count of a matching fault.
  std::optional<std::string> TakeFail(const std::string& command);  // the reply code
  std::optional<bool> TakeStall(const std::string& command);        // whether the command still acts
  std::optional<int> TakeTermListClose();                           // lines to send before closing
  std::optional<int32_t> TakeInfoFail(const std::string& op, std::optional<int32_t> id);

  nlohmann::json ToJson() const;
  void Clear() { *this = FaultPlan(); }

 private:
  struct Fail {
    int remaining;
    std::string code;
  };
  struct Stall {
    int remaining;
    bool apply;
  };
  struct Close {
    int remaining = 0;
    int afterLines = 0;
  };
  struct InfoFail {
    std::string op;
    std::optional<int32_t> id;
    int remaining;
    int32_t hr;
  };

  std::map<std::string, Fail> fail_;
  std::map<std::string, Stall> stall_;
  Close close_;
  std::vector<InfoFail> info_;
};

}  // namespace bcsim
