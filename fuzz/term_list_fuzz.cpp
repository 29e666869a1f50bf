// The broadcast server's "term list" reply, through the gateway's line reader.
// The first byte picks the buffer size (small ones reach the line that fills
// the buffer) and how the rest is cut into receives; the list and the outcome
// must not depend on the cuts.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "gateway/broadcast/term_list_reader.h"

namespace {

struct Outcome {
  bool ended = false;
  std::vector<TermInfo> list;
};

Outcome Read(std::string_view reply, size_t capacity, size_t piece) {
  // Exactly the size the reader is told, so that a sanitizer sees it overrun;
  // the agent's own size is a global, which is as well guarded and cheaper.
  static char agentBuffer[COMMAND_BUFFER_SIZE];
  std::unique_ptr<char[]> small(capacity < COMMAND_BUFFER_SIZE ? new char[capacity] : nullptr);
  char* buffer = small ? small.get() : agentBuffer;
  // The command's own receive fills the buffer first, as the agent's does.
  size_t first = std::min(std::min(piece, reply.size()), capacity - 1);
  std::memcpy(buffer, reply.data(), first);
  size_t sent = first;
  // Called for every piece: two std::min, as the initializer-list form is an
  // instrumented loop that took 7% of the run.
  auto receive = [&](char* into, size_t room) -> ssize_t {
    size_t take = std::min(std::min(piece, room), reply.size() - sent);
    std::memcpy(into, reply.data() + sent, take);
    sent += take;
    return static_cast<ssize_t>(take);
  };
  Outcome outcome;
  outcome.ended = ReadTermList(buffer, capacity, first, receive, outcome.list);
  return outcome;
}

bool Same(const Outcome& a, const Outcome& b) {
  if (a.ended != b.ended || a.list.size() != b.list.size()) return false;
  for (size_t i = 0; i < a.list.size(); ++i)
    if (a.list[i].id != b.list[i].id || a.list[i].name != b.list[i].name || a.list[i].ip != b.list[i].ip ||
        a.list[i].extra != b.list[i].extra)
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view reply(reinterpret_cast<const char*>(data) + 1, size - 1);
  size_t capacity = data[0] & 0x80 ? COMMAND_BUFFER_SIZE : 2 + (data[0] & 0x7F);
  size_t piece = 1 + (data[0] & 0x0F);
  Outcome whole = Read(reply, capacity, COMMAND_BUFFER_SIZE);
  Outcome cut = Read(reply, capacity, piece);
  FUZZ_CHECK(Same(whole, cut));
  return 0;
}
