// The records of the data port (PROTOCOL.md, "Data port"), taken from a
// byte stream that may split or join them anywhere. Little-endian:
//   u8 type (1 file start, 2 audio frame, 3 file end), i32 session,
//   u32 payload length n, n bytes of payload.
// A frame's payload is a u32 duration in microseconds, then the frame.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bcsim {

struct DataRecord {
  enum Type : uint8_t { kFileStart = 1, kFrame = 2, kFileEnd = 3 };
  Type type = kFileStart;
  int32_t session = 0;
  std::string payload;

  // Audio frames only.
  uint32_t DurationUs() const;
  std::string_view Frame() const { return std::string_view(payload).substr(4); }
};

class DataRecordParser {
 public:
  static constexpr size_t kHeaderSize = 9;
  static constexpr uint32_t kMaxPayload = 1 << 20;

  enum class Result { kRecord, kNeedMore, kBad };

  void Feed(std::string_view bytes) { pending_.append(bytes); }
  // The next record. kBad (with the reason in `error`) means the stream
  // cannot be followed any more; every later call answers kBad too.
  Result Next(DataRecord& record, std::string& error);

 private:
  std::string pending_;
  size_t offset_ = 0;
  std::string error_;
};

}  // namespace bcsim
