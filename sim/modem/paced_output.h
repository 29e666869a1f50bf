// The modem's side of the serial line: bytes wait here until they are due,
// so that replies can be delayed or trickle out in small writes without
// ever overtaking one another.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace modemsim {

class PacedOutput {
 public:
  // Queues bytes to go out no earlier than `dueMs`, and never before what
  // was queued earlier.
  void Push(std::string bytes, int64_t dueMs);
  // Queues bytes to go out now, ahead of everything waiting, but never
  // inside a line: when a line is part written, after its end.
  void Interject(std::string bytes, int64_t nowMs);
  bool Empty() const { return queue_.empty(); }
  size_t Waiting() const { return queue_.size(); }  // pieces queued
  // Milliseconds until a write is due (0: now); -1 when nothing waits.
  int WaitMs(int64_t nowMs) const;
  // Writes what is due to the non-blocking `fd`: each queued piece in a write
  // of its own, or, when `chunkBytes` > 0, one write of at most that many
  // bytes followed by a pause of `gapMs`. What went out is appended to
  // `written` when given. Returns false when the descriptor failed (a full
  // buffer is no failure: the rest waits).
  bool WriteDue(int fd, int64_t nowMs, int chunkBytes, int gapMs, std::string* written = nullptr);
  void Clear();

 private:
  struct Pending {
    std::string bytes;
    int64_t dueMs;
    bool started = false;  // part of it is written
  };
  std::deque<Pending> queue_;
  int64_t holdUntilMs_ = 0;
  bool midLine_ = false;  // the last byte written did not end a line
};

}  // namespace modemsim
