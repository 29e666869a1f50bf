// What a connection still has to send. Bytes wait until they are due, each
// queued piece goes out in a write of its own (so a paced reply reaches the
// client as separate segments), and nothing overtakes what was queued
// before it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace bcsim {

class OutgoingQueue {
 public:
  void Push(std::string bytes, int64_t dueMs = 0);
  // The connection closes once everything queued has been written.
  void CloseWhenWritten() { closeWhenWritten_ = true; }
  bool closeWhenWritten() const { return closeWhenWritten_; }
  bool empty() const { return queue_.empty(); }
  // Milliseconds until the next write is due: 0 now, -1 nothing queued.
  int64_t WaitMs(int64_t nowMs) const;
  // Writes what is due to the non-blocking `fd`. False when the descriptor
  // failed; a full socket buffer is no failure, the rest waits.
  bool WriteDue(int fd, int64_t nowMs);

 private:
  struct Piece {
    std::string bytes;
    int64_t dueMs;
  };
  std::deque<Piece> queue_;
  bool closeWhenWritten_ = false;
};

}  // namespace bcsim
