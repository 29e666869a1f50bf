// Random, truncated and oversized input to both codecs. Built with the
// address and undefined-behaviour sanitizers: any access outside the data
// fails the test. Every input sits in a heap block of exactly its own size.
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/tp_packet.h"
#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/pdu_codec.h"

namespace {

std::mt19937 rng(20261207);

// A copy of `bytes` in an exactly sized heap block.
class ExactBlock {
 public:
  explicit ExactBlock(std::string_view bytes) : data_(new char[bytes.size() ? bytes.size() : 1]), size_(bytes.size()) {
    std::memcpy(data_.get(), bytes.data(), bytes.size());
  }
  std::string_view view() const { return {data_.get(), size_}; }
  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(data_.get()); }
  size_t size() const { return size_; }

 private:
  std::unique_ptr<char[]> data_;
  size_t size_;
};

void FeedPacket(std::string_view bytes) {
  ExactBlock block(bytes);
  try {
    TpMessage message = DecodeTpPacket(block.bytes(), block.size());
    if (message.smsDeliver()) {
      ASSERT_LE(message.smsDeliver()->textLength, TP_MAX_PAYLOAD);
    }
    if (message.smsSubmit()) {
      ASSERT_LE(message.smsSubmit()->textLength, TP_MAX_PAYLOAD);
    }
  } catch (const TpPacketError&) {
  }
}

void FeedPdu(std::string_view hex) {
  ExactBlock block(hex);
  ModemSms sms;
  int length = DecodeDeliverPdu(block.view(), sms);
  ASSERT_LT(length, SMS_TEXT_FIELD);
  ASSERT_LT(std::strlen(sms.text), static_cast<size_t>(SMS_TEXT_FIELD));
  ASSERT_LT(std::strlen(sms.number), static_cast<size_t>(SMS_NUMBER_FIELD));
  ASSERT_LT(std::strlen(sms.smsc), static_cast<size_t>(SMS_NUMBER_FIELD));
  ASSERT_LT(std::strlen(sms.timestamp), static_cast<size_t>(SMS_NUMBER_FIELD));
}

void FeedListing(std::string_view reply) {
  ExactBlock block(reply);
  std::vector<DecodedSms> entries = ParseListing(block.view());
  ASSERT_LE(entries.size(), static_cast<size_t>(CountListingEntries(reply))) << "at most one entry per \"+CMGL:\"";
}

std::string RandomBytes(size_t length) {
  std::string s(length, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

std::string RandomHex(size_t length) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s(length, '0');
  for (auto& c : s) c = digits[rng() % 16];
  return s;
}

std::string Packet(uint8_t command, std::string_view payload) {
  std::string p = {char(TP_MARKER), 0, char(command), 0, char(payload.size() & 0xFF), char(payload.size() >> 8)};
  p += payload;
  p[3] = static_cast<char>(TpChecksum(command, reinterpret_cast<const uint8_t*>(payload.data()), payload.size()));
  return p;
}

// A valid concatenated UCS2 SMS-DELIVER to cut and bend.
const std::string kDeliver =
    "0891683108100005F0440D91683119325476F80008422170802003008C050003D202014E2D65874E2D65874E2D6587";

TEST(CodecRobustness, PacketsRandomTruncatedAndOversized) {
  const uint8_t commands[] = {1, 2, 3, 4, 17, 18, 19, 20, 99};
  for (int i = 0; i < 20000; ++i) {
    uint8_t command = commands[rng() % sizeof commands];
    std::string packet = Packet(command, RandomBytes(rng() % 80));
    if (command == TP_SMS_DELIVER || command == TP_SMS_SUBMIT) {
      // Text length fields that point anywhere, number fields with or without NUL.
      packet.resize(std::max<size_t>(packet.size(), 6 + 40));
      packet = Packet(command, packet.substr(6));
    }
    FeedPacket(packet);
    FeedPacket(packet.substr(0, rng() % (packet.size() + 1)));
    std::string bent = packet;
    bent[4] = static_cast<char>(rng());
    bent[5] = static_cast<char>(rng() % 16);
    FeedPacket(bent);
    FeedPacket(RandomBytes(rng() % 64));
  }
  std::string huge = Packet(TP_SMS_SUBMIT, std::string(4000, '\x01'));
  FeedPacket(huge);
  FeedPacket(std::string(3, '\xFD'));
}

TEST(CodecRobustness, PdusRandomTruncatedAndBent) {
  for (size_t n = 0; n <= kDeliver.size(); ++n) FeedPdu(kDeliver.substr(0, n));
  for (int i = 0; i < 20000; ++i) {
    FeedPdu(RandomHex(rng() % 400));
    // Bend one octet of the header: lengths, flags, header lengths.
    std::string bent = kDeliver;
    size_t at = 2 * (rng() % (bent.size() / 2));
    std::string octet = RandomHex(2);
    bent.replace(at, 2, octet);
    FeedPdu(bent);
    FeedPdu(bent.substr(0, rng() % (bent.size() + 1)));
    // Oversized: long originators, service-centre parts and user data.
    FeedPdu(RandomHex(2) + RandomHex(rng() % 600));
  }
  FeedPdu("FF" + RandomHex(508) + "44FF91" + RandomHex(300));
}

TEST(CodecRobustness, ListingsRandomAndTruncated) {
  std::string reply;
  for (int i = 1; i <= 5; ++i) reply += "+CMGL: " + std::to_string(i) + ",0,,60\r\n" + kDeliver + "\r\n";
  reply += "\r\nOK\r\n";
  for (size_t n = 0; n <= reply.size(); ++n) FeedListing(reply.substr(0, n));
  const char* pieces[] = {"+CMGL:", "+CMGL: ", "\r", "\n", "\r\n", ",", "-", "99999999999", "OK", "0"};
  for (int i = 0; i < 5000; ++i) {
    std::string junk;
    int count = static_cast<int>(rng() % 40);
    for (int k = 0; k < count; ++k)
      junk += (rng() % 3 == 0) ? RandomHex(rng() % 200) : std::string(pieces[rng() % std::size(pieces)]);
    FeedListing(junk);
  }
  std::string many;
  for (int i = 0; i < 400; ++i) many += "+CMGL: " + std::to_string(i) + ",0,,60\r\n" + kDeliver + "\r\n";
  FeedListing(many);
}

}  // namespace
