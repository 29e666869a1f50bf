#include "sim/broadcast/bcsim/command_framer.h"

#include <algorithm>

namespace bcsim {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsPieceHead(std::string_view text) {
  return text.size() >= 4 && IsDigit(text[0]) && IsDigit(text[1]) && IsDigit(text[2]) && text[3] == ' ';
}

}  // namespace

void CommandFramer::Feed(std::string_view bytes, int64_t nowMs) {
  if (bytes.empty()) return;
  if (pending_.empty()) firstByteMs_ = nowMs;
  pending_.append(bytes);
  lastByteMs_ = nowMs;
}

bool CommandFramer::Complete() const {
  return pending_.size() >= kMaxUnit || pending_ == "quit" || pending_ == "term list" ||
         (piecesOpen_ && pending_ == "999");
}

std::optional<CommandFramer::Unit> CommandFramer::Next(int64_t nowMs, int quietMs) {
  if (pending_.empty()) return std::nullopt;
  if (Complete()) return Cut(std::min(pending_.size(), kMaxUnit));
  if (nowMs - lastByteMs_ >= quietMs) return Cut(pending_.size());
  return std::nullopt;
}

int64_t CommandFramer::DueMs(int quietMs) const {
  if (pending_.empty()) return -1;
  return Complete() ? lastByteMs_ : lastByteMs_ + quietMs;
}

std::optional<CommandFramer::Unit> CommandFramer::TakeRest() {
  if (pending_.empty()) return std::nullopt;
  Unit unit;
  unit.text = std::move(pending_);
  unit.firstByteMs = firstByteMs_;
  pending_.clear();
  return unit;
}

CommandFramer::Unit CommandFramer::Cut(size_t length) {
  Unit unit;
  unit.text = pending_.substr(0, length);
  unit.firstByteMs = firstByteMs_;
  pending_.erase(0, length);
  firstByteMs_ = lastByteMs_;  // what is left (only from a client that did not wait) arrived last
  if (piecesOpen_ && unit.text == "999") {
    unit.kind = Unit::Kind::kPiecesEnd;
    piecesOpen_ = false;
  } else if (IsPieceHead(unit.text)) {
    unit.kind = Unit::Kind::kPiece;
    unit.sequence = (unit.text[0] - '0') * 100 + (unit.text[1] - '0') * 10 + (unit.text[2] - '0');
    piecesOpen_ = true;
  } else {
    piecesOpen_ = false;
  }
  return unit;
}

}  // namespace bcsim
