#include "monitor/xls/record_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "monitor/xls/biff_records.h"

namespace xls {

void PutU8(std::vector<uint8_t>& body, uint8_t value) { body.push_back(value); }

void PutU16(std::vector<uint8_t>& body, uint16_t value) {
  body.push_back(static_cast<uint8_t>(value));
  body.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(std::vector<uint8_t>& body, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) body.push_back(static_cast<uint8_t>(value >> shift));
}

void PutF64(std::vector<uint8_t>& body, double value) {
  auto bits = std::bit_cast<uint64_t>(value);
  for (int shift = 0; shift < 64; shift += 8) body.push_back(static_cast<uint8_t>(bits >> shift));
}

void RecordWriter::Write(uint16_t opcode, std::span<const uint8_t> body) {
  Begin(opcode);
  Append(body);
  End();
}

void RecordWriter::Begin(uint16_t opcode) {
  if (open_) throw std::logic_error("RecordWriter::Begin inside a record");
  open_ = true;
  recordHeader_ = bytes_.size();
  PutU16(bytes_, opcode);
  PutU16(bytes_, 0);  // length, set when the record closes
}

void RecordWriter::Append(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    if (Room() == 0) StartContinue();
    size_t n = std::min(Room(), bytes.size());
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
    bytes = bytes.subspan(n);
  }
}

RecordWriter::Place RecordWriter::AppendString(std::u16string_view text) {
  // Count and option byte, with at least one character after them, stay in
  // one record: readers take a string that starts at a record's end as
  // starting in the next.
  size_t head = 3 + (text.empty() ? 0 : 2);
  if (Room() < head) StartContinue();
  Place place{bytes_.size(), bytes_.size() - recordHeader_};
  PutU16(bytes_, static_cast<uint16_t>(text.size()));
  PutU8(bytes_, biff::kUncompressedText);
  for (size_t i = 0; i < text.size();) {
    if (Room() < 2) {
      StartContinue();
      PutU8(bytes_, biff::kUncompressedText);
    }
    size_t n = std::min(Room() / 2, text.size() - i);
    for (size_t end = i + n; i < end; ++i) PutU16(bytes_, static_cast<uint16_t>(text[i]));
  }
  return place;
}

void RecordWriter::End() {
  if (!open_) throw std::logic_error("RecordWriter::End without a record");
  CloseRecord();
  open_ = false;
}

void RecordWriter::PatchU32(size_t offset, uint32_t value) {
  if (offset + 4 > bytes_.size()) throw std::out_of_range("RecordWriter::PatchU32 past the end");
  for (int k = 0; k < 4; ++k) bytes_[offset + static_cast<size_t>(k)] = static_cast<uint8_t>(value >> (8 * k));
}

size_t RecordWriter::Room() const { return biff::kMaxRecordBody - (bytes_.size() - recordHeader_ - 4); }

void RecordWriter::StartContinue() {
  CloseRecord();
  recordHeader_ = bytes_.size();
  PutU16(bytes_, biff::kContinue);
  PutU16(bytes_, 0);
}

void RecordWriter::CloseRecord() {
  size_t length = bytes_.size() - recordHeader_ - 4;
  bytes_[recordHeader_ + 2] = static_cast<uint8_t>(length);
  bytes_[recordHeader_ + 3] = static_cast<uint8_t>(length >> 8);
}

}  // namespace xls
