#include "sim/modem/paced_output.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace modemsim {

void PacedOutput::Push(std::string bytes, int64_t dueMs) {
  if (bytes.empty()) return;
  if (!queue_.empty()) dueMs = std::max(dueMs, queue_.back().dueMs);
  queue_.push_back({std::move(bytes), dueMs});
}

int PacedOutput::WaitMs(int64_t nowMs) const {
  if (queue_.empty()) return -1;
  int64_t due = std::max(queue_.front().dueMs, holdUntilMs_);
  return static_cast<int>(std::max<int64_t>(0, due - nowMs));
}

bool PacedOutput::WriteDue(int fd, int64_t nowMs, int chunkBytes, int gapMs) {
  while (WaitMs(nowMs) == 0) {
    std::string& bytes = queue_.front().bytes;
    size_t count = chunkBytes > 0 ? std::min<size_t>(bytes.size(), chunkBytes) : bytes.size();
    ssize_t written = ::write(fd, bytes.data(), count);
    if (written < 0) return errno == EAGAIN || errno == EINTR;
    bytes.erase(0, written);
    if (bytes.empty()) queue_.pop_front();
    if (chunkBytes > 0) {
      holdUntilMs_ = nowMs + gapMs;
      return true;
    }
    if (static_cast<size_t>(written) < count) return true;  // the line is full; wait for room
  }
  return true;
}

void PacedOutput::Clear() {
  queue_.clear();
  holdUntilMs_ = 0;
}

}  // namespace modemsim
