// The data port's records taken from a stream split anywhere, and the
// malformed records that end a stream.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/broadcast/bcsim/data_record_parser.h"

namespace bcsim {
namespace {

std::string Le32(uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
  return bytes;
}

std::string Record(uint8_t type, int32_t session, const std::string& payload) {
  return std::string(1, static_cast<char>(type)) + Le32(static_cast<uint32_t>(session)) +
         Le32(static_cast<uint32_t>(payload.size())) + payload;
}

std::vector<DataRecord> ParseAll(DataRecordParser& parser) {
  std::vector<DataRecord> records;
  DataRecord record;
  std::string error;
  while (parser.Next(record, error) == DataRecordParser::Result::kRecord) records.push_back(record);
  return records;
}

TEST(DataRecordParser, RecordsFromEveryPrefixOfAStream) {
  const std::string frame = "\xFF\xFB\x90\x64zz";
  const std::string stream = Record(1, 7, "/a/b.mp3") + Record(2, -2, Le32(26122) + frame) + Record(3, 7, "");
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    DataRecordParser parser;
    parser.Feed(stream.substr(0, cut));
    std::vector<DataRecord> records = ParseAll(parser);
    parser.Feed(stream.substr(cut));
    for (DataRecord& r : ParseAll(parser)) records.push_back(r);
    ASSERT_EQ(records.size(), 3u) << "cut at " << cut;
    EXPECT_EQ(records[0].type, DataRecord::kFileStart);
    EXPECT_EQ(records[0].session, 7);
    EXPECT_EQ(records[0].payload, "/a/b.mp3");
    EXPECT_EQ(records[1].session, -2);
    EXPECT_EQ(records[1].DurationUs(), 26122u);
    EXPECT_EQ(records[1].Frame(), frame);
    EXPECT_EQ(records[2].type, DataRecord::kFileEnd);
  }
}

TEST(DataRecordParser, ManySmallRecordsOneByOne) {
  DataRecordParser parser;
  DataRecord record;
  std::string error;
  for (int i = 0; i < 20000; ++i) {
    parser.Feed(Record(2, i, Le32(i) + "ab"));
    ASSERT_EQ(parser.Next(record, error), DataRecordParser::Result::kRecord);
    ASSERT_EQ(record.session, i);
    ASSERT_EQ(record.DurationUs(), static_cast<uint32_t>(i));
  }
  EXPECT_EQ(parser.Next(record, error), DataRecordParser::Result::kNeedMore);
}

TEST(DataRecordParser, MalformedRecordsEndTheStream) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Record(0, 1, ""), "record type 0"},
      {Record(4, 1, ""), "record type 4"},
      {std::string("\x02\x01\x00\x00\x00", 5) + Le32(DataRecordParser::kMaxPayload + 1), "payload of"},
      {Record(2, 1, "abc"), "no room for its duration"},
      {Record(3, 1, "x"), "file end with 1"},
  };
  for (const auto& [bytes, reason] : cases) {
    DataRecordParser parser;
    parser.Feed(bytes);
    DataRecord record;
    std::string error;
    EXPECT_EQ(parser.Next(record, error), DataRecordParser::Result::kBad) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
    parser.Feed(Record(1, 1, "/ok"));
    EXPECT_EQ(parser.Next(record, error), DataRecordParser::Result::kBad) << "stays broken";
  }
}

}  // namespace
}  // namespace bcsim
