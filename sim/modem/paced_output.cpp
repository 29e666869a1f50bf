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

void PacedOutput::Interject(std::string bytes, int64_t nowMs) {
  if (bytes.empty()) return;
  auto at = queue_.begin();
  if (at != queue_.end() && at->started && midLine_) {
    // The rest of the line being written goes first.
    size_t end = at->bytes.find('\n');
    if (end == std::string::npos || end + 1 == at->bytes.size()) {
      ++at;
    } else {
      Pending rest{at->bytes.substr(end + 1), at->dueMs};
      at->bytes.resize(end + 1);
      at = queue_.insert(at + 1, std::move(rest));
    }
  }
  queue_.insert(at, {std::move(bytes), nowMs});
}

int PacedOutput::WaitMs(int64_t nowMs) const {
  if (queue_.empty()) return -1;
  int64_t due = std::max(queue_.front().dueMs, holdUntilMs_);
  return static_cast<int>(std::max<int64_t>(0, due - nowMs));
}

bool PacedOutput::WriteDue(int fd, int64_t nowMs, int chunkBytes, int gapMs, std::string* written) {
  while (WaitMs(nowMs) == 0) {
    std::string& bytes = queue_.front().bytes;
    size_t count = chunkBytes > 0 ? std::min<size_t>(bytes.size(), chunkBytes) : bytes.size();
    ssize_t wrote = ::write(fd, bytes.data(), count);
    if (wrote < 0) return errno == EAGAIN || errno == EINTR;
    if (written) written->append(bytes, 0, wrote);
    if (wrote > 0) midLine_ = bytes[wrote - 1] != '\n';
    bytes.erase(0, wrote);
    queue_.front().started = true;
    if (bytes.empty()) queue_.pop_front();
    if (chunkBytes > 0) {
      holdUntilMs_ = nowMs + gapMs;
      return true;
    }
    if (static_cast<size_t>(wrote) < count) return true;  // the line is full; wait for room
  }
  return true;
}

void PacedOutput::Clear() {
  queue_.clear();
  holdUntilMs_ = 0;
  midLine_ = false;
}

}  // namespace modemsim
