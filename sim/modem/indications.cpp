#include "sim/modem/indications.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

namespace modemsim {
namespace {

std::string Ok() { return "\r\nOK\r\n"; }
std::string Error() { return "\r\nERROR\r\n"; }

// One parameter: empty (omitted) counts as 0; anything but a small decimal is refused.
std::optional<int> Parameter(const std::string& text) {
  if (text.empty()) return 0;
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string Indications::Command(const std::string& suffix) {
  if (suffix == "=?") return "\r\n+CNMI: (0-2),(0-3),(0,2),(0-2),(0,1)\r\n" + Ok();
  if (suffix == "?")
    return "\r\n+CNMI: " + std::to_string(mode_) + "," + std::to_string(mt_) + "," + std::to_string(bm_) + "," +
           std::to_string(ds_) + "," + std::to_string(bfr_) + "\r\n" + Ok();
  if (!suffix.starts_with('=') || suffix.size() == 1) return Error();
  std::vector<int> values;
  for (size_t start = 1;;) {
    size_t comma = suffix.find(',', start);
    auto value = Parameter(suffix.substr(start, comma - start));
    if (!value) return Error();
    values.push_back(*value);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  values.resize(std::max<size_t>(values.size(), 5), 0);
  int mode = values[0], mt = values[1], bm = values[2], ds = values[3], bfr = values[4];
  bool supported = values.size() == 5 && mode >= 0 && mode <= 2 && mt >= 0 && mt <= 3 && (bm == 0 || bm == 2) &&
                   ds >= 0 && ds <= 2 && (bfr == 0 || bfr == 1);
  if (!supported) return Error();
  mode_ = mode;
  mt_ = mt;
  bm_ = bm;
  ds_ = ds;
  bfr_ = bfr;
  // Entering a forwarding mode empties the modem's buffer, or flushes it
  // after the OK (TakeDue does, once the reply has gone).
  if (mode_ != 0 && bfr_ == 1) buffered_.clear();
  return Ok();
}

void Indications::Stored(int slot, bool reserved, IndicationFault fault) {
  if (mt_ != 1 || fault == IndicationFault::kDropped) return;
  std::string line = "\r\n+CMTI: \"SM\"," + std::to_string(slot) + "\r\n";
  if (fault == IndicationFault::kAtOnce || (mode_ != 0 && !reserved)) {
    due_ += line;
  } else if (mode_ == 0 || mode_ == 2) {
    if (buffered_.size() == kBufferLimit) buffered_.pop_front();
    buffered_.push_back(line);
  }
  // Mode 1 while reserved: discarded.
}

std::string Indications::TakeDue(bool reserved) {
  std::string lines = std::move(due_);
  due_.clear();
  if (mode_ != 0 && !reserved) {
    for (const std::string& line : buffered_) lines += line;
    buffered_.clear();
  }
  return lines;
}

void Indications::Reset() { *this = Indications(); }

}  // namespace modemsim
