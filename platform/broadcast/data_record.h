// The records of the broadcast server's data port (see PROTOCOL.md):
//
//   offset 0  u8   type: 1 file start, 2 audio frame, 3 file end
//          1  i32  session number, little-endian
//          5  u32  payload length n, little-endian
//          9  n    payload: file start  the file's path, UTF-8
//                           audio frame u32 duration in microseconds (LE),
//                                       then the MPEG audio frame
//                           file end    nothing
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace broadcast_components {

enum class RecordType : uint8_t { kFileStart = 1, kAudioFrame = 2, kFileEnd = 3 };

inline constexpr size_t kRecordHeaderSize = 9;

std::vector<uint8_t> EncodeFileStart(int32_t session, std::string_view pathUtf8);
std::vector<uint8_t> EncodeAudioFrame(int32_t session, uint32_t durationUs, std::span<const uint8_t> frame);
std::vector<uint8_t> EncodeFileEnd(int32_t session);

struct DataRecord {
  RecordType type = RecordType::kFileEnd;
  int32_t session = 0;
  std::vector<uint8_t> payload;
};

enum class DecodeStatus { kRecord, kNeedMore, kBad };

// Reads one record from the front of `bytes`; on kRecord, *consumed is its
// size. kBad for an unknown type, a frame shorter than its duration field
// or a payload over `maxPayload`.
DecodeStatus DecodeRecord(std::span<const uint8_t> bytes, DataRecord* record, size_t* consumed,
                          size_t maxPayload = 1 << 20);

}  // namespace broadcast_components
