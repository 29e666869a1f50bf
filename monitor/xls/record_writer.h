// Frames BIFF8 records into a memory buffer: opcode, length, body, and
// CONTINUE records when a body passes 8,224 bytes (biff_records.h). The
// workbook only fills bodies; where a record breaks is decided here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace xls {

// Little-endian field writers for record bodies.
void PutU8(std::vector<uint8_t>& body, uint8_t value);
void PutU16(std::vector<uint8_t>& body, uint16_t value);
void PutU32(std::vector<uint8_t>& body, uint32_t value);
void PutF64(std::vector<uint8_t>& body, double value);

class RecordWriter {
 public:
  // One whole record; a body longer than 8,224 bytes goes on in CONTINUE
  // records, cut at 8,224-byte boundaries.
  void Write(uint16_t opcode, std::span<const uint8_t> body);

  // A record assembled piece by piece, for bodies holding strings (the
  // shared-string table), which may only be cut between characters.
  // Begin, any Appends, then End; no Write in between.
  void Begin(uint16_t opcode);
  // Fixed fields; cut wherever the record is full.
  void Append(std::span<const uint8_t> bytes);
  // A string of two-byte characters: count, option byte, characters. Its
  // count and option byte never straddle records; when its characters
  // do, the CONTINUE starts with the option byte again. Returns where the
  // string starts: its stream offset, and its offset from the header of
  // the record it starts in (what the SST's index, EXTSST, records).
  struct Place {
    size_t streamOffset;
    size_t recordOffset;
  };
  Place AppendString(std::u16string_view text);
  void End();

  // Bytes written so far, which is also the stream offset of the next record.
  size_t size() const { return bytes_.size(); }
  // Overwrites four bytes already written (an offset known only later).
  void PatchU32(size_t offset, uint32_t value);
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> Release() { return std::move(bytes_); }

 private:
  size_t Room() const;
  void StartContinue();
  void CloseRecord();

  std::vector<uint8_t> bytes_;
  size_t recordHeader_ = 0;  // where the open record's opcode sits
  bool open_ = false;
};

}  // namespace xls
