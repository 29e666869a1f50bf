#include "smsservice/modem/pdu_codec.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock/manual_clock.h"
#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/partial_table.h"

namespace {

ModemSms Outgoing(const char* smsc, const char* number, uint8_t dcs, const char* text) {
  ModemSms sms;
  std::strcpy(sms.smsc, smsc);
  std::strcpy(sms.number, number);
  sms.dcs = dcs;
  std::strcpy(sms.text, text);
  return sms;
}

std::string Encode(const ModemSms& sms) {
  char out[SUBMIT_PDU_HEX_MAX];
  int n = EncodeSubmitPdu(sms, out);
  return std::string(out, n);
}

std::string Hex(const std::vector<uint8_t>& octets) {
  std::string out(octets.size() * 2 + 1, '\0');
  BytesToHex(octets.data(), static_cast<int>(octets.size()), out.data());
  out.pop_back();
  return out;
}

// An SMS-DELIVER as a network would send it; `userData` includes any header.
std::string Deliver(const std::string& originator, uint8_t dcs, int udl, const std::string& userDataHex,
                    bool header = false, const std::string& smscInfo = "0891683108200105F0") {
  char swapped[64];
  SwapDigits(originator.c_str(), static_cast<int>(originator.size()), swapped);
  char octet[3];
  std::string pdu = smscInfo;
  pdu += header ? "44" : "04";
  std::snprintf(octet, sizeof octet, "%02X", static_cast<unsigned>(originator.size()));
  pdu += octet;
  pdu += "91";
  pdu += swapped;
  pdu += "00";
  std::snprintf(octet, sizeof octet, "%02X", dcs);
  pdu += octet;
  pdu += "42702161032423";  // 24-07-12 16:30:42, zone 32
  std::snprintf(octet, sizeof octet, "%02X", udl);
  pdu += octet;
  return pdu + userDataHex;
}

std::string Ucs2Hex(const std::u16string& text) {
  std::vector<uint8_t> octets;
  for (char16_t c : text) {
    octets.push_back(static_cast<uint8_t>(c >> 8));
    octets.push_back(static_cast<uint8_t>(c));
  }
  return Hex(octets);
}

class PduCodec : public ::testing::Test {
 protected:
  // Decodes, then joins as the engine does.
  ModemSms Joined(const std::string& pdu, int16_t index = 0) {
    DecodedSms decoded;
    decoded.record.index = index;
    DecodeDeliverPdu(pdu, decoded.record, &decoded.concatenation);
    return table_.Join({decoded}).front();
  }
  ModemSms DecodePart(const std::string& partAndIndex) {
    size_t bar = partAndIndex.find('|');
    return Joined(partAndIndex.substr(0, bar), static_cast<int16_t>(std::stoi(partAndIndex.substr(bar + 1))));
  }

  ManualClock clock_;
  PartialTable table_{clock_};
};

TEST_F(PduCodec, WorkedExamplesEncodeByteForByte) {
  ModemSms sms = Outgoing("861380", "8612", 0, "hi");
  std::string pdu = Encode(sms);
  EXPECT_EQ(pdu, "049168310811000491682100000002E834");
  EXPECT_EQ(SubmitPduCommandLength(pdu.c_str(), static_cast<int>(pdu.size())), 12);

  sms.dcs = 8;
  pdu = Encode(sms);
  EXPECT_EQ(pdu, "04916831081100049168210008000400680069");
  EXPECT_EQ(SubmitPduCommandLength(pdu.c_str(), static_cast<int>(pdu.size())), 14);
}

TEST_F(PduCodec, SevenBitPackingAndNumbers) {
  uint8_t octets[16];
  EXPECT_EQ(Pack7Bit("hellohel", 9, octets), 7);
  EXPECT_EQ(Hex({octets, octets + 7}), "E8329BFD4697D9");
  char text[32];
  EXPECT_EQ(Unpack7Bit(octets, 7, text), 8);
  EXPECT_STREQ(text, "hellohel");

  char swapped[8];
  EXPECT_EQ(SwapDigits("123", 3, swapped), 4);
  EXPECT_STREQ(swapped, "21F3");
  char digits[8];
  EXPECT_EQ(UnswapDigits("21F3", 4, digits), 3);
  EXPECT_STREQ(digits, "123");

  EXPECT_EQ(Encode(Outgoing("", "123", 0, "")), "01911100039121F300000000");  // empty centre: 01 91
}

TEST_F(PduCodec, HexToBytesArithmetic) {
  uint8_t out[4] = {};
  EXPECT_EQ(HexToBytes("0AFF70", 5, out), 2);  // odd count converts one more character
  EXPECT_EQ(out[0], 0x0A);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(out[2], 0x70);
}

TEST_F(PduCodec, RefusesWhatOneSmsCannotCarry) {
  std::string long7(161, 'a');
  EXPECT_EQ(Encode(Outgoing("86", "1", 0, long7.c_str())), "");
  EXPECT_NE(Encode(Outgoing("86", "1", 0, long7.substr(1).c_str())), "");
  std::string gbk71;
  for (int i = 0; i < 71; ++i) gbk71 += "\xD6\xD0";  // 中
  EXPECT_EQ(Encode(Outgoing("86", "1", 8, gbk71.c_str())), "");
  EXPECT_NE(Encode(Outgoing("86", "1", 8, gbk71.substr(2).c_str())), "");
  EXPECT_EQ(Encode(Outgoing("86", "1", 4, std::string(141, 'x').c_str())), "");
  EXPECT_EQ(Encode(Outgoing("86", "1", 0, "\xD6\xD0")), "");  // GBK in a 7-bit text
  EXPECT_EQ(Encode(Outgoing("86", "", 0, "x")), "");
  EXPECT_EQ(Encode(Outgoing("86", "12+4", 0, "x")), "");
  ModemSms noNul = Outgoing("86", "1", 0, "x");
  std::memset(noNul.number, '5', sizeof noNul.number);
  EXPECT_EQ(Encode(noNul), "");
}

TEST_F(PduCodec, DecodesSingleDeliverInEachCoding) {
  ModemSms sms;
  sms.index = 4;
  uint8_t packed[16];
  int n = Pack7Bit("hellohel", 9, packed);
  EXPECT_EQ(DecodeDeliverPdu(Deliver("8613912345678", 0, 8, Hex({packed, packed + n})), sms), 8);
  EXPECT_STREQ(sms.smsc, "8613800210500");
  EXPECT_STREQ(sms.number, "8613912345678");  // odd count: trailing F dropped
  EXPECT_STREQ(sms.timestamp, "24071216304232");
  EXPECT_STREQ(sms.text, "hellohel");
  EXPECT_EQ(sms.part, -1);
  EXPECT_EQ(sms.index, 4);

  EXPECT_EQ(DecodeDeliverPdu(Deliver("10086", 8, 4, Ucs2Hex(u"\u4E2D\u6587")), sms), 4);
  EXPECT_STREQ(sms.text, "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(sms.dcs, 8);

  EXPECT_EQ(DecodeDeliverPdu(Deliver("10086", 4, 3, "414243"), sms), 3);
  EXPECT_STREQ(sms.text, "ABC");
}

TEST_F(PduCodec, Ucs2TextIsCutAt160BytesOnACharacterBoundary) {
  std::u16string text(90, u'\u4E2D');  // 180 GBK bytes, more than a real SMS carries
  ModemSms sms;
  DecodeDeliverPdu(Deliver("1", 8, 180, Ucs2Hex(text)), sms);
  EXPECT_EQ(std::strlen(sms.text), 160u);
  std::u16string ascii = u"x" + std::u16string(85, u'\u4E2D');  // odd offset: 159 bytes, not half of one
  DecodeDeliverPdu(Deliver("1", 8, 172, Ucs2Hex(ascii)), sms);
  EXPECT_EQ(std::strlen(sms.text), 159u);
}

// 8-bit reference header, then UCS2 text of one part.
std::string Part(int reference, int total, int sequence, const std::u16string& text, int index,
                 const char* from = "8613800000001") {
  char header[16];
  std::snprintf(header, sizeof header, "050003%02X%02X%02X", reference, total, sequence);
  std::string body = Ucs2Hex(text);
  return Deliver(from, 8, 6 + static_cast<int>(body.size()) / 2, header + body, true) + "|" + std::to_string(index);
}

TEST_F(PduCodec, ConcatenatedPartsArrivingTwoThreeOneDeliverOnce) {
  ModemSms second = DecodePart(Part(0x21, 3, 2, u"B", 7));
  ModemSms third = DecodePart(Part(0x21, 3, 3, u"C", 8));
  EXPECT_EQ(second.part, 2);
  EXPECT_EQ(third.part, 3);
  EXPECT_EQ(table_.PendingMessages(), 1u);
  ModemSms first = DecodePart(Part(0x21, 3, 1, u"A", 9));
  EXPECT_EQ(first.part, -1);
  EXPECT_STREQ(first.text, "ABC");
  EXPECT_EQ(first.index, 9);
  EXPECT_STREQ(first.number, "8613800000001");
  EXPECT_EQ(table_.PendingMessages(), 0u);
}

TEST_F(PduCodec, DecodingAPartOnlyNamesItsMessageJoiningIsTheTables) {
  std::string pdu = Part(0x21, 2, 2, u"B", 7);
  pdu.resize(pdu.find('|'));
  std::optional<ConcatenationHeader> header;
  ModemSms sms;
  for (int again = 0; again < 2; ++again) {
    DecodeDeliverPdu(pdu, sms, &header);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->reference, 0x21);
    EXPECT_FALSE(header->wideReference);
    EXPECT_EQ(header->totalParts, 2);
    EXPECT_EQ(header->sequence, 2);
    EXPECT_EQ(sms.part, 2);
  }
  EXPECT_EQ(table_.PendingMessages(), 0u) << "the decoder keeps nothing";
}

TEST_F(PduCodec, APartListedTwiceCountsTwice) {
  DecodePart(Part(5, 3, 1, u"A", 1));
  DecodePart(Part(5, 3, 1, u"A", 2));
  ModemSms last = DecodePart(Part(5, 3, 3, u"C", 3));
  EXPECT_EQ(last.part, -1);
  EXPECT_STREQ(last.text, "AAC");
}

TEST_F(PduCodec, PartsAreKeptApartByOriginatorAndFullReference) {
  // 16-bit references 0x1234 and 0x1256, and another sender's 0x1234.
  auto wide = [this](int reference, int sequence, const char* text, const char* from) {
    char header[20];
    std::snprintf(header, sizeof header, "060804%04X02%02X", reference, sequence);
    std::string body = Hex({reinterpret_cast<const uint8_t*>(text), reinterpret_cast<const uint8_t*>(text) + 1});
    return Joined(Deliver(from, 4, 8, header + body, true));
  };
  EXPECT_EQ(wide(0x1234, 1, "a", "111").part, 1);
  EXPECT_EQ(wide(0x1256, 2, "z", "111").part, 2);
  EXPECT_EQ(wide(0x1234, 2, "y", "222").part, 2);
  ModemSms done = wide(0x1234, 2, "b", "111");
  EXPECT_EQ(done.part, -1);
  EXPECT_STREQ(done.text, "ab");
  EXPECT_EQ(table_.PendingMessages(), 2u);
}

TEST_F(PduCodec, IncompleteMessagesWaitAWeekAtMostAndAThousandAtMost) {
  PartialTable* table = &table_;
  auto partOne = [&](const std::string& from, int reference) {
    ModemSms part;
    part.part = 1;
    std::strcpy(part.text, "A");
    return table->Add(part, PartialKey{from, reference, false}, 2);
  };
  partOne("8613800000001", 1);
  clock_.Advance(std::chrono::hours(24 * 7 - 1));
  partOne("8613800000002", 2);
  clock_.Advance(std::chrono::hours(1));  // the first has waited a week: it goes as the next part arrives
  partOne("8613800000003", 3);
  EXPECT_EQ(table->PendingMessages(), 2u);
  ModemSms late;
  late.part = 2;
  std::strcpy(late.text, "B");
  EXPECT_FALSE(table->Add(late, PartialKey{"8613800000001", 1, false}, 2));  // starts again, alone

  PartialTable crowded(clock_);
  table = &crowded;
  for (int reference = 0; reference < 1000; ++reference) {
    clock_.Advance(std::chrono::seconds(1));
    partOne("8613800000009", reference);
  }
  EXPECT_EQ(table->PendingMessages(), 1000u);
  partOne("8613800000009", 1000);  // the oldest, reference 0, makes room
  EXPECT_EQ(table->PendingMessages(), 1000u);
  ModemSms second;
  second.part = 2;
  std::strcpy(second.text, "B");
  EXPECT_TRUE(table->Add(second, PartialKey{"8613800000009", 1, false}, 2));  // reference 1 is still whole
  EXPECT_FALSE(table->Add(second, PartialKey{"8613800000009", 0, false}, 2));
}

TEST_F(PduCodec, SevenBitConcatenatedTextStartsAfterTheFillBit) {
  // Header 050003 01 02 01 (6 octets = 48 bits) is followed by one fill bit.
  const std::string text = "Hello";
  std::vector<uint8_t> ud = {0x05, 0x00, 0x03, 0x01, 0x02, 0x01};
  unsigned bits = 0, bitCount = 1;  // the fill bit
  for (char c : text) {
    bits |= static_cast<unsigned>(c) << bitCount;
    bitCount += 7;
    while (bitCount >= 8) {
      ud.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      bitCount -= 8;
    }
  }
  if (bitCount) ud.push_back(static_cast<uint8_t>(bits));
  ModemSms sms;
  DecodeDeliverPdu(Deliver("1", 0, 7 + 5, Hex(ud), true), sms);
  EXPECT_EQ(sms.part, 1);
  EXPECT_STREQ(sms.text, "Hello");
}

TEST_F(PduCodec, ReassembledTextIsCutToTheField) {
  std::u16string chunk(70, u'\u4E2D');  // 140 GBK bytes a part
  ModemSms sms;
  for (int sequence = 1; sequence <= 8; ++sequence) sms = DecodePart(Part(9, 8, sequence, chunk, sequence));
  EXPECT_EQ(sms.part, -1);
  EXPECT_EQ(std::strlen(sms.text), 1022u);  // 1023 would split a character
}

TEST_F(PduCodec, OddPdusStayInsideTheirFields) {
  ModemSms sms;
  // No service-centre information at all.
  std::string noSmsc = Deliver("10086", 4, 1, "41", false, "00");
  EXPECT_EQ(DecodeDeliverPdu(noSmsc, sms), 1);
  EXPECT_STREQ(sms.smsc, "");
  EXPECT_STREQ(sms.number, "10086");
  // An originator of 20 digits keeps its first 15.
  DecodeDeliverPdu(Deliver("12345678901234567890", 4, 1, "41"), sms);
  EXPECT_STREQ(sms.number, "123456789012345");
  // UDL beyond the data: a broken PDU, never half a message.
  EXPECT_EQ(DecodeDeliverPdu(Deliver("1", 4, 200, "4142"), sms), -1);
  EXPECT_EQ(sms.part, 0);
  // A PDU cut inside its header.
  std::string whole = Deliver("1", 4, 1, "41");
  EXPECT_EQ(DecodeDeliverPdu(whole.substr(0, 20), sms), -1);
  EXPECT_EQ(sms.part, 0);
}

TEST_F(PduCodec, ListingYieldsRecordsInOrderWithTheirIndexes) {
  std::string reply = "AT+CMGL=0\r\r\n";
  const char* texts[] = {"414243", "4445", "46"};
  for (int i = 0; i < 3; ++i)
    reply += "+CMGL: " + std::to_string(i + 3) + ",0,,24\r\n" +
             Deliver("10086", 4, static_cast<int>(std::strlen(texts[i]) / 2), texts[i]) + "\r\n";
  reply += "\r\nOK\r\n";
  std::vector<DecodedSms> records = ParseListing(reply);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_STREQ(records[0].record.text, "ABC");
  EXPECT_STREQ(records[1].record.text, "DE");
  EXPECT_STREQ(records[2].record.text, "F");
  EXPECT_EQ(records[0].record.index, 3);
  EXPECT_EQ(records[2].record.index, 5);
  EXPECT_TRUE(ParseListing("\r\nOK\r\n").empty());
}

TEST_F(PduCodec, ListingKeepsEveryEntryOfALargeStorage) {
  std::string reply;
  for (int i = 1; i <= 300; ++i)
    reply += "+CMGL: " + std::to_string(i) + ",0,,20\r\n" + Deliver("1", 4, 1, "41") + "\r\n";
  std::vector<DecodedSms> records = ParseListing(reply);
  ASSERT_EQ(records.size(), 300u);
  EXPECT_EQ(records.back().record.index, 300);
}

}  // namespace
