#include "common/tp_packet.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> Bytes(const TpBuffer& buffer) { return {buffer.data, buffer.data + buffer.length}; }

TpMessage Decode(const std::vector<uint8_t>& bytes) { return DecodeTpPacket(bytes.data(), bytes.size()); }

std::string ErrorOf(const std::vector<uint8_t>& bytes) {
  try {
    Decode(bytes);
  } catch (const TpPacketError& e) {
    return e.what();
  }
  return "";
}

TEST(TpPacketBuild, WorkedExamplesByteForByte) {
  TpBuffer buffer;
  buffer.MakeSmsFetch(0, 0);
  EXPECT_EQ(Bytes(buffer), (std::vector<uint8_t>{0xFD, 0x00, 0x11, 0x11, 0x02, 0x00, 0x00, 0x00}));

  buffer.MakeModemOpen(3, 9600);
  EXPECT_EQ(Bytes(buffer), (std::vector<uint8_t>{0xFD, 0x00, 0x01, 0xA9, 0x05, 0x00, 0x03, 0x80, 0x25, 0x00, 0x00}));

  buffer.MakeModemState(TpModemStatus{3, 9600, MODEM_READY}, false);
  EXPECT_EQ(Bytes(buffer),
            (std::vector<uint8_t>{0xFD, 0x00, 0x02, 0xAA, 0x06, 0x00, 0x03, 0x80, 0x25, 0x00, 0x00, 0x00}));
}

TEST(TpPacketBuild, ChecksumCoversEveryPayloadByte) {
  TpBuffer buffer;
  buffer.MakeSubmitAck(0);
  EXPECT_EQ(buffer.data[3], 0x14);  // empty sum xor command 20
  EXPECT_EQ(buffer.length, 7u);

  // Odd-length payload: its last byte counts like the others.
  buffer.MakeModemOpen(1, 0x01020304);
  EXPECT_EQ(buffer.data[3], static_cast<uint8_t>((1 + 4 + 3 + 2 + 1) ^ TP_MODEM_OPEN));

  buffer.MakeModemState(TpModemStatus{2, 115200, MODEM_CLOSED}, true);
  EXPECT_EQ(buffer.data[2], TP_MODEM_QUERY_ACK);
  EXPECT_EQ(TpChecksum(TP_MODEM_OPEN, nullptr, 0), TP_MODEM_OPEN);
}

TEST(TpPacketRoundTrip, SubmitKeepsWireOrderAndText) {
  TpSmsSubmit submit;
  std::strcpy(submit.smsc, "8613800100500");
  std::strcpy(submit.destination, "13912345678");
  submit.coding = 8;
  const char text[] = "\xB2\xE2\xCA\xD4 test";  // GBK bytes pass untouched
  submit.textLength = sizeof text - 1;
  std::memcpy(submit.text, text, submit.textLength);
  TpBuffer buffer;
  ASSERT_TRUE(buffer.MakeSmsSubmit(submit));
  EXPECT_EQ(buffer.length, 6 + 35 + submit.textLength);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data + 6)), "8613800100500");  // centre first on the wire

  TpMessage message = Decode(Bytes(buffer));
  ASSERT_TRUE(message.smsSubmit());
  EXPECT_STREQ(message.smsSubmit()->smsc, "8613800100500");
  EXPECT_STREQ(message.smsSubmit()->destination, "13912345678");
  EXPECT_EQ(message.smsSubmit()->coding, 8);
  EXPECT_EQ(std::string(message.smsSubmit()->text, message.smsSubmit()->textLength), text);
}

TEST(TpPacketRoundTrip, EmptySubmitAndDeliver) {
  TpSmsSubmit submit;
  std::strcpy(submit.smsc, "86138");
  std::strcpy(submit.destination, "1");
  TpBuffer buffer;
  ASSERT_TRUE(buffer.MakeSmsSubmit(submit));
  EXPECT_EQ(buffer.data[4], 35);
  EXPECT_EQ(Decode(Bytes(buffer)).smsSubmit()->textLength, 0u);

  TpSmsDeliver deliver;
  std::strcpy(deliver.sender, "8613912345678");
  std::strcpy(deliver.timestamp, "24120713450032");
  deliver.textLength = 2;
  std::memcpy(deliver.text, "ok", 2);
  ASSERT_TRUE(buffer.MakeSmsDeliver(deliver));
  TpMessage message = Decode(Bytes(buffer));
  ASSERT_TRUE(message.smsDeliver());
  EXPECT_STREQ(message.smsDeliver()->sender, "8613912345678");
  EXPECT_STREQ(message.smsDeliver()->timestamp, "24120713450032");
  EXPECT_STREQ(message.smsDeliver()->text, "ok");
}

TEST(TpPacketRoundTrip, StateAtUnalignedOffsets) {
  TpBuffer buffer;
  buffer.MakeModemState(TpModemStatus{7, 0x0001C200, MODEM_OPENING}, false);
  TpMessage message = Decode(Bytes(buffer));
  ASSERT_TRUE(message.modemState());
  EXPECT_EQ(message.modemState()->port, 7);
  EXPECT_EQ(message.modemState()->baud, 115200u);
  EXPECT_EQ(message.modemState()->state, MODEM_OPENING);
  EXPECT_FALSE(message.modemOpen());
}

TEST(TpPacketRoundTrip, QueryPayloadIsNotRead) {
  std::vector<uint8_t> query{0xFD, 0x00, TP_MODEM_QUERY, 0, 0x05, 0x00, 9, 1, 2, 3, 4};
  query[3] = TpChecksum(TP_MODEM_QUERY, query.data() + 6, 5);
  TpMessage message = Decode(query);
  ASSERT_TRUE(message.modemQuery());
  EXPECT_EQ(message.modemQuery()->port, 1);
  EXPECT_EQ(message.modemQuery()->baud, 19200u);
}

TEST(TpPacketVerify, ReservedByteDoesNotMatterButChecksumDoes) {
  TpBuffer buffer;
  buffer.MakeSmsFetch(0, 0);
  auto bytes = Bytes(buffer);
  bytes[1] = 0x5A;
  EXPECT_EQ(Decode(bytes).command, TP_SMS_FETCH);
  bytes[3] ^= 1;
  EXPECT_EQ(ErrorOf(bytes), "invalid TP packet checksum");
}

TEST(TpPacketVerify, UnknownCommandParsesEmpty) {
  std::vector<uint8_t> bytes{0xFD, 0x00, 0x33, 0x33, 0x00, 0x00};
  TpMessage message = Decode(bytes);
  EXPECT_EQ(message.command, 0x33);
  EXPECT_FALSE(message.modemOpen() || message.modemState() || message.smsFetch() || message.smsDeliver() ||
               message.smsSubmit() || message.submitAck() || message.modemQuery() || message.modemQueryAck());
}

TEST(TpPacketVerify, RejectsBytesThatDoNotHoldTheirPacket) {
  TpSmsDeliver deliver;
  std::strcpy(deliver.sender, "1");
  deliver.textLength = 10;
  TpBuffer buffer;
  ASSERT_TRUE(buffer.MakeSmsDeliver(deliver));
  auto whole = Bytes(buffer);

  // Every truncated prefix is refused without reading past it.
  for (size_t n = 0; n < whole.size(); ++n) {
    std::vector<uint8_t> prefix(whole.begin(), whole.begin() + n);
    EXPECT_NE(ErrorOf(prefix), "") << "prefix of " << n;
  }
  EXPECT_EQ(ErrorOf({0x00, 0x00, 0x11, 0x11, 0x02, 0x00, 0x00, 0x00}), "not a TP packet");

  // A text length that runs past the declared payload, checksum correct.
  auto longText = whole;
  longText[6 + 34] = 11;
  longText[3] = TpChecksum(longText[2], longText.data() + 6, whole.size() - 6);
  EXPECT_EQ(ErrorOf(longText), TP_MALFORMED_ERROR);

  // A payload shorter than its record.
  std::vector<uint8_t> shortOpen{0xFD, 0x00, TP_MODEM_OPEN, 0, 0x02, 0x00, 3, 4};
  shortOpen[3] = TpChecksum(TP_MODEM_OPEN, shortOpen.data() + 6, 2);
  EXPECT_EQ(ErrorOf(shortOpen), TP_MALFORMED_ERROR);

  // A number field without its NUL.
  auto noNul = whole;
  std::memset(noNul.data() + 8, '9', 16);
  noNul[3] = TpChecksum(noNul[2], noNul.data() + 6, whole.size() - 6);
  EXPECT_EQ(ErrorOf(noNul), TP_MALFORMED_ERROR);

  // A declared payload beyond what a packet may carry.
  std::vector<uint8_t> huge(6 + 2043, 0);
  huge[0] = 0xFD;
  huge[2] = TP_SMS_SUBMIT;
  huge[4] = 2043 & 0xFF;
  huge[5] = 2043 >> 8;
  huge[3] = TpChecksum(TP_SMS_SUBMIT, huge.data() + 6, 2043);
  EXPECT_EQ(ErrorOf(huge), TP_MALFORMED_ERROR);
}

TEST(TpPacketBuild, RefusesTextsThatDoNotFit) {
  TpBuffer buffer;
  TpSmsSubmit submit;
  submit.textLength = TP_MAX_PAYLOAD - 35;
  EXPECT_TRUE(buffer.MakeSmsSubmit(submit));
  EXPECT_EQ(buffer.length, TP_BUFFER_SIZE);
  submit.textLength += 1;
  EXPECT_FALSE(buffer.MakeSmsSubmit(submit));
  EXPECT_EQ(buffer.length, 0u);

  TpSmsDeliver deliver;
  std::memset(deliver.sender, '1', 16);
  EXPECT_FALSE(buffer.MakeSmsDeliver(deliver));
}

TEST(TpPacketAttach, OwnedBufferIsFreedAndHeaderStarted) {
  SP_Packet packet;
  packet.Attach(nullptr, 64, false);
  EXPECT_TRUE(packet.owns);
  EXPECT_EQ(packet.capacity, 64u);
  EXPECT_EQ(packet.bytes[0], TP_MARKER);
  uint8_t local[16];
  std::memset(local, 0xEE, sizeof local);
  packet.Attach(local, sizeof local, false);  // frees the owned one (checked by the sanitizer build)
  EXPECT_FALSE(packet.owns);
  EXPECT_EQ(local[0], TP_MARKER);
  EXPECT_EQ(local[5], 0);
  EXPECT_EQ(local[6], 0xEE);
}

}  // namespace
