// One client of the command port: frames what it sends into commands and
// pieces (CommandFramer), puts pieces back together, has each command
// executed, writes the reply (a term list paced in chunks) and logs it all
// for the control port.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "sim/broadcast/bcsim/command_framer.h"
#include "sim/broadcast/bcsim/event_loop.h"
#include "sim/broadcast/bcsim/platform_state.h"

namespace bcsim {

class CommandConnection : public ConnectionHandler {
 public:
  CommandConnection(PlatformState& state, int64_t nowMs);

  void OnBytes(std::string_view bytes, int64_t nowMs, OutgoingQueue& out) override;
  int64_t DueMs() const override;
  void OnDue(int64_t nowMs, OutgoingQueue& out) override;
  void OnClosed(int64_t nowMs, bool byClient) override;

 private:
  void Drain(int64_t nowMs, OutgoingQueue& out);
  void HandlePiece(const CommandFramer::Unit& unit, int64_t nowMs, OutgoingQueue& out);
  void HandlePiecesEnd(const CommandFramer::Unit& unit, int64_t nowMs, OutgoingQueue& out);
  void HandleCommand(const std::string& text, int64_t firstByteMs, int pieces, int64_t nowMs, OutgoingQueue& out);
  void Log(const char* kind, std::string_view text, int64_t t, nlohmann::json extra);

  PlatformState& state_;
  int id_;
  CommandFramer framer_;
  bool loggedOn_ = false;
  bool quit_ = false;  // nothing more is read once the client has said quit
  // The command being sent in pieces; none when no assembly is going on or
  // it went wrong, in which case its "999" is refused.
  std::optional<std::string> assembly_;
  int nextPiece_ = 0;
  int64_t assemblyStartMs_ = 0;
};

}  // namespace bcsim
