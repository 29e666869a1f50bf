#include "sim/broadcast/bcsim/outgoing_queue.h"

#include <algorithm>
#include <cerrno>
#include <sys/socket.h>

namespace bcsim {

void OutgoingQueue::Push(std::string bytes, int64_t dueMs) {
  if (bytes.empty()) return;
  if (!queue_.empty()) dueMs = std::max(dueMs, queue_.back().dueMs);
  queue_.push_back({std::move(bytes), dueMs});
}

int64_t OutgoingQueue::WaitMs(int64_t nowMs) const {
  if (queue_.empty()) return -1;
  return std::max<int64_t>(0, queue_.front().dueMs - nowMs);
}

bool OutgoingQueue::WriteDue(int fd, int64_t nowMs) {
  while (!queue_.empty() && queue_.front().dueMs <= nowMs) {
    Piece& piece = queue_.front();
    ssize_t n = ::send(fd, piece.bytes.data(), piece.bytes.size(), MSG_NOSIGNAL);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    piece.bytes.erase(0, static_cast<size_t>(n));
    if (!piece.bytes.empty()) return true;  // the socket is full; wait for room
    queue_.pop_front();
  }
  return true;
}

}  // namespace bcsim
