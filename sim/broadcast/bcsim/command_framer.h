// Where one command of the command port ends.
//
// The gateway's agent sends each command as bare text, with no line end,
// and waits for the reply before it sends anything else. A command is
// therefore whatever the client sends until it stops and waits. On loopback
// a send of up to 1,024 bytes nearly always arrives in one read, but it may
// come in several, so the framer cuts a unit when either
//   - the bytes so far are a unit that cannot grow: exactly "quit" or
//     "term list", "999" while a command in pieces is open, or 1,024 bytes
//     (the agent never sends more in one go: longer commands come in
//     pieces of at most 1,024 bytes); or
//   - no byte has arrived for the quiet gap since the last one.
// A unit that begins with three digits and a space is a piece of a longer
// command (no command begins with a digit).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bcsim {

class CommandFramer {
 public:
  static constexpr size_t kMaxUnit = 1024;

  struct Unit {
    enum class Kind { kCommand, kPiece, kPiecesEnd };
    Kind kind = Kind::kCommand;
    std::string text;   // as received; a piece with its "%03d " head
    int sequence = -1;  // a piece's number
    int64_t firstByteMs = 0;
  };

  void Feed(std::string_view bytes, int64_t nowMs);
  // The next complete unit at `nowMs`, if there is one.
  std::optional<Unit> Next(int64_t nowMs, int quietMs);
  // When the bytes held now become a unit by the quiet gap; -1 if none held.
  int64_t DueMs(int quietMs) const;
  // Whatever is held when the client goes, as a command.
  std::optional<Unit> TakeRest();

 private:
  Unit Cut(size_t length);
  bool Complete() const;

  std::string pending_;
  int64_t firstByteMs_ = 0;
  int64_t lastByteMs_ = 0;
  bool piecesOpen_ = false;
};

}  // namespace bcsim
