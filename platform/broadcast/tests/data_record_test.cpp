#include "platform/broadcast/data_record.h"

#include <gtest/gtest.h>

namespace {

using namespace broadcast_components;

TEST(DataRecord, EncodesTheDocumentedLayout) {
  const uint8_t frame[] = {0xFF, 0xFB, 0x90, 0xC0};
  EXPECT_EQ(EncodeAudioFrame(12, 26122, frame),
            (std::vector<uint8_t>{2, 12, 0, 0, 0, 8, 0, 0, 0, 0x0A, 0x66, 0, 0, 0xFF, 0xFB, 0x90, 0xC0}));
  EXPECT_EQ(EncodeFileStart(-1, "/a"), (std::vector<uint8_t>{1, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, '/', 'a'}));
  EXPECT_EQ(EncodeFileEnd(0x01020304), (std::vector<uint8_t>{3, 4, 3, 2, 1, 0, 0, 0, 0}));
}

TEST(DataRecord, DecodesWholeRecordsOnly) {
  std::vector<uint8_t> bytes = EncodeFileStart(7, "/tmp/\xE4\xB8\xAD.mp3");
  DataRecord record;
  size_t consumed = 0;
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_EQ(DecodeRecord({bytes.data(), n}, &record, &consumed), DecodeStatus::kNeedMore) << n;
  bytes.push_back(3);  // the start of the next record stays unread
  ASSERT_EQ(DecodeRecord(bytes, &record, &consumed), DecodeStatus::kRecord);
  EXPECT_EQ(consumed, bytes.size() - 1);
  EXPECT_EQ(record.type, RecordType::kFileStart);
  EXPECT_EQ(record.session, 7);
  EXPECT_EQ(std::string(record.payload.begin(), record.payload.end()), "/tmp/\xE4\xB8\xAD.mp3");
}

TEST(DataRecord, RejectsWhatNoWriterSends) {
  DataRecord record;
  size_t consumed = 0;
  const uint8_t unknownType[] = {4, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(DecodeRecord(unknownType, &record, &consumed), DecodeStatus::kBad);
  const uint8_t frameWithoutDuration[] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFB};
  EXPECT_EQ(DecodeRecord(frameWithoutDuration, &record, &consumed), DecodeStatus::kBad);
  const uint8_t huge[] = {1, 0, 0, 0, 0, 0, 0, 0, 0x10};
  EXPECT_EQ(DecodeRecord(huge, &record, &consumed), DecodeStatus::kBad);
}

}  // namespace
