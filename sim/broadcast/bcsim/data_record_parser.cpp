#include "sim/broadcast/bcsim/data_record_parser.h"

namespace bcsim {
namespace {

uint32_t Le32(const char* bytes) {
  auto b = reinterpret_cast<const unsigned char*>(bytes);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[3]) << 24;
}

}  // namespace

uint32_t DataRecord::DurationUs() const { return Le32(payload.data()); }

DataRecordParser::Result DataRecordParser::Next(DataRecord& record, std::string& error) {
  if (!error_.empty()) {
    error = error_;
    return Result::kBad;
  }
  // Consumed bytes are dropped only now and then, so that a stream of small
  // records does not shift the buffer each time.
  if (offset_ > 65536 && offset_ * 2 > pending_.size()) {
    pending_.erase(0, offset_);
    offset_ = 0;
  }
  size_t available = pending_.size() - offset_;
  if (available < kHeaderSize) return Result::kNeedMore;
  const char* head = pending_.data() + offset_;
  auto type = static_cast<uint8_t>(head[0]);
  uint32_t length = Le32(head + 5);
  if (type < DataRecord::kFileStart || type > DataRecord::kFileEnd) error_ = "record type " + std::to_string(type);
  else if (length > kMaxPayload) error_ = "payload of " + std::to_string(length) + " bytes";
  else if (type == DataRecord::kFrame && length < 4)
    error_ = "audio frame of " + std::to_string(length) + " bytes, no room for its duration";
  else if (type == DataRecord::kFileEnd && length != 0)
    error_ = "file end with " + std::to_string(length) + " bytes of payload";
  if (!error_.empty()) {
    error = error_;
    return Result::kBad;
  }
  if (available < kHeaderSize + length) return Result::kNeedMore;
  record.type = static_cast<DataRecord::Type>(type);
  record.session = static_cast<int32_t>(Le32(head + 1));
  record.payload.assign(head + kHeaderSize, length);
  offset_ += kHeaderSize + length;
  return Result::kRecord;
}

}  // namespace bcsim
