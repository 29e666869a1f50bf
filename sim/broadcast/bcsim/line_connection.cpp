#include "sim/broadcast/bcsim/line_connection.h"

namespace bcsim {
namespace {

// A request longer than this is not a request; drop the client.
constexpr size_t kMaxLine = 8 << 20;

}  // namespace

void LineConnection::OnBytes(std::string_view bytes, int64_t nowMs, OutgoingQueue& out) {
  pending_.append(bytes);
  size_t start = 0, newline;
  while ((newline = pending_.find('\n', start)) != std::string::npos) {
    std::string_view line(pending_.data() + start, newline - start);
    start = newline + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    out.Push(answer_(line, nowMs) + "\n", nowMs);
  }
  pending_.erase(0, start);
  if (pending_.size() > kMaxLine) {
    pending_.clear();
    out.CloseWhenWritten();
  }
}

}  // namespace bcsim
