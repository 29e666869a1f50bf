// A connection that speaks in lines: each complete line the client sends is
// handed to a function, and its answer goes back followed by a newline. The
// control port and the information port both work this way.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "sim/broadcast/bcsim/event_loop.h"

namespace bcsim {

class LineConnection : public ConnectionHandler {
 public:
  using Answer = std::function<std::string(std::string_view line, int64_t nowMs)>;

  explicit LineConnection(Answer answer) : answer_(std::move(answer)) {}
  void OnBytes(std::string_view bytes, int64_t nowMs, OutgoingQueue& out) override;

 private:
  Answer answer_;
  std::string pending_;
};

}  // namespace bcsim
