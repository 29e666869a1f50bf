#include "monitor/xls/record_writer.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "monitor/xls/biff_records.h"

namespace xls {
namespace {

struct Record {
  uint16_t opcode;
  std::vector<uint8_t> body;
};

std::vector<Record> Split(const std::vector<uint8_t>& bytes) {
  std::vector<Record> records;
  for (size_t at = 0; at + 4 <= bytes.size();) {
    uint16_t opcode = static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
    size_t length = static_cast<size_t>(bytes[at + 2] | bytes[at + 3] << 8);
    EXPECT_LE(at + 4 + length, bytes.size());
    records.push_back({opcode, {bytes.begin() + at + 4, bytes.begin() + at + 4 + length}});
    at += 4 + length;
  }
  return records;
}

// Reads strings back the way a BIFF8 reader does: a string never starts in
// the last bytes of a record, and characters resumed in a CONTINUE follow
// an option byte saying how wide they are.
std::vector<std::u16string> ReadStrings(const std::vector<Record>& records, size_t skip) {
  std::vector<std::u16string> strings;
  size_t r = 0, at = skip;
  auto next = [&] {
    ++r;
    at = 0;
    EXPECT_EQ(records.at(r).opcode, biff::kContinue);
  };
  while (r < records.size()) {
    if (at == records[r].body.size()) {
      if (r + 1 == records.size()) break;
      next();
    }
    const auto& b = records[r].body;
    EXPECT_LE(at + 3, b.size()) << "string header split";
    size_t count = static_cast<size_t>(b[at] | b[at + 1] << 8);
    uint8_t option = b[at + 2];
    at += 3;
    std::u16string text;
    while (text.size() < count) {
      if (at == records[r].body.size()) {
        next();
        option = records[r].body[at++];
      }
      const auto& body = records[r].body;
      EXPECT_EQ(option, biff::kUncompressedText);
      EXPECT_LE(at + 2, body.size()) << "character split";
      text.push_back(static_cast<char16_t>(body[at] | body[at + 1] << 8));
      at += 2;
    }
    strings.push_back(text);
  }
  return strings;
}

TEST(RecordWriter, FramesASmallRecordExactly) {
  RecordWriter out;
  std::vector<uint8_t> body;
  PutU16(body, biff::kCodepageUtf16);
  out.Write(biff::kCodepage, body);
  out.Write(biff::kEof, {});
  EXPECT_EQ(out.bytes(), (std::vector<uint8_t>{0x42, 0x00, 0x02, 0x00, 0xB0, 0x04, 0x0A, 0x00, 0x00, 0x00}));
}

TEST(RecordWriter, ContinuesBodiesPast8224Bytes) {
  for (size_t size : {size_t{8224}, size_t{8225}, size_t{20000}}) {
    std::vector<uint8_t> body(size);
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<uint8_t>(i * 7);
    RecordWriter out;
    out.Write(0x1234, body);
    auto records = Split(out.bytes());
    ASSERT_EQ(records.size(), (size + 8223) / 8224) << size;
    std::vector<uint8_t> joined;
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(records[i].opcode, i == 0 ? 0x1234 : biff::kContinue);
      EXPECT_EQ(records[i].body.size(), std::min<size_t>(8224, size - i * 8224));
      joined.insert(joined.end(), records[i].body.begin(), records[i].body.end());
    }
    EXPECT_EQ(joined, body) << size;
  }
}

TEST(RecordWriter, StringsSurviveEveryCutPosition) {
  // Every room left at the end of the first record, from a whole string
  // header down to nothing, including odd ones where a character cannot fit.
  for (size_t filler = 8200; filler <= 8224; ++filler) {
    std::vector<std::u16string> strings = {u"", u"终端001", std::u16string(5000, u'x'), u"", u"尾"};
    RecordWriter out;
    out.Begin(biff::kSst);
    out.Append(std::vector<uint8_t>(filler, 0xEE));
    std::vector<RecordWriter::Place> places;
    for (const auto& s : strings) places.push_back(out.AppendString(s));
    out.End();
    const auto& bytes = out.bytes();
    for (size_t i = 0; i < strings.size(); ++i) {
      // Where the string says it starts: its count, inside the record whose header is that far back.
      size_t at = places[i].streamOffset, header = at - places[i].recordOffset;
      EXPECT_EQ(bytes[at] | bytes[at + 1] << 8, static_cast<int>(strings[i].size())) << filler << " " << i;
      uint16_t opcode = static_cast<uint16_t>(bytes[header] | bytes[header + 1] << 8);
      EXPECT_TRUE(opcode == biff::kSst || opcode == biff::kContinue) << filler << " " << i;
      EXPECT_LE(places[i].recordOffset, 4 + biff::kMaxRecordBody - 3);
    }
    auto records = Split(bytes);
    for (const auto& record : records) EXPECT_LE(record.body.size(), biff::kMaxRecordBody);
    EXPECT_EQ(ReadStrings(records, filler), strings) << "filler " << filler;
  }
}

}  // namespace
}  // namespace xls
