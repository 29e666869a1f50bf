// What the simulated broadcast server does with one whole command of the
// command port (PROTOCOL.md, "Command port"): its effect on the sessions
// and the reply, with the test's faults applied. Framing and pieces are the
// connection's business; this sees complete command texts (GBK bytes).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/broadcast/bcsim/platform_state.h"

namespace bcsim {

struct CommandOutcome {
  enum class Kind {
    kReply,     // send `reply`
    kTermList,  // send `lines`, then close if `closeAfterLines`
    kNoAnswer,  // a stall: say nothing, keep the connection
    kQuit,      // close the connection
  };
  Kind kind = Kind::kReply;
  std::string name;  // the command's name ("session new" ...), empty if unknown
  std::string reply;
  std::vector<std::string> lines;
  bool closeAfterLines = false;
};

// The command's name as faults know it: "logon", "session new", ...,
// "term list", "quit"; empty for anything else.
std::string CommandName(std::string_view command);

CommandOutcome ExecuteCommand(std::string_view command, bool& loggedOn, PlatformState& state, int64_t nowMs);

}  // namespace bcsim
