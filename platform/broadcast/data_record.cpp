#include "platform/broadcast/data_record.h"

namespace broadcast_components {
namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t GetU32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

std::vector<uint8_t> Header(RecordType type, int32_t session, size_t payloadSize) {
  std::vector<uint8_t> out;
  out.reserve(kRecordHeaderSize + payloadSize);
  out.push_back(static_cast<uint8_t>(type));
  PutU32(out, static_cast<uint32_t>(session));
  PutU32(out, static_cast<uint32_t>(payloadSize));
  return out;
}

}  // namespace

std::vector<uint8_t> EncodeFileStart(int32_t session, std::string_view pathUtf8) {
  std::vector<uint8_t> out = Header(RecordType::kFileStart, session, pathUtf8.size());
  out.insert(out.end(), pathUtf8.begin(), pathUtf8.end());
  return out;
}

std::vector<uint8_t> EncodeAudioFrame(int32_t session, uint32_t durationUs, std::span<const uint8_t> frame) {
  std::vector<uint8_t> out = Header(RecordType::kAudioFrame, session, 4 + frame.size());
  PutU32(out, durationUs);
  out.insert(out.end(), frame.begin(), frame.end());
  return out;
}

std::vector<uint8_t> EncodeFileEnd(int32_t session) { return Header(RecordType::kFileEnd, session, 0); }

DecodeStatus DecodeRecord(std::span<const uint8_t> bytes, DataRecord* record, size_t* consumed, size_t maxPayload) {
  if (bytes.empty()) return DecodeStatus::kNeedMore;
  uint8_t type = bytes[0];
  if (type < 1 || type > 3) return DecodeStatus::kBad;
  if (bytes.size() < kRecordHeaderSize) return DecodeStatus::kNeedMore;
  uint32_t length = GetU32(&bytes[5]);
  if (length > maxPayload) return DecodeStatus::kBad;
  if (type == static_cast<uint8_t>(RecordType::kAudioFrame) && length < 4) return DecodeStatus::kBad;
  if (bytes.size() - kRecordHeaderSize < length) return DecodeStatus::kNeedMore;
  record->type = static_cast<RecordType>(type);
  record->session = static_cast<int32_t>(GetU32(&bytes[1]));
  record->payload.assign(bytes.begin() + kRecordHeaderSize, bytes.begin() + kRecordHeaderSize + length);
  *consumed = kRecordHeaderSize + length;
  return DecodeStatus::kRecord;
}

}  // namespace broadcast_components
