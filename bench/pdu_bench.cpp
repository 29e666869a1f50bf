// PDU encode and decode throughput, ours against libgammu's, on the same
// messages in one run. Each side starts from its own native input (ours: a
// record with GBK text; gammu: its message structure with UCS-2 text) and
// produces what the modem line needs: hex text out, hex text in.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gammu.h>

#include "platform/codepage/codepage.h"
#include "smsservice/modem/pdu_codec.h"

namespace {

struct Message {
  std::string smsc, number, utf8;
  uint8_t dcs;
};

std::vector<Message> MakeMessages(size_t count) {
  std::mt19937 rng(42);
  const std::string ascii = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,!?";
  auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
    return s;
  };
  std::vector<Message> messages;
  for (size_t i = 0; i < count; ++i) {
    Message m{"86" + digits(11), "86" + digits(11), "", static_cast<uint8_t>(i % 3 == 0 ? 8 : i % 3 == 1 ? 0 : 4)};
    if (m.dcs == 8) {
      std::u16string text;
      for (int k = 0; k < 70; ++k) text += static_cast<char16_t>(0x4E00 + rng() % 0x51A5);
      m.utf8 = codepage::Utf16ToUtf8(text);
    } else {
      for (int k = 0; k < (m.dcs == 0 ? 160 : 140); ++k) m.utf8 += ascii[rng() % ascii.size()];
    }
    messages.push_back(m);
  }
  return messages;
}

ModemSms OurRecord(const Message& m) {
  ModemSms sms;
  std::strcpy(sms.smsc, m.smsc.c_str());
  std::strcpy(sms.number, m.number.c_str());
  sms.dcs = m.dcs;
  std::string gbk = codepage::Utf8ToGbk(m.utf8);
  std::memcpy(sms.text, gbk.data(), gbk.size());
  return sms;
}

GSM_SMSMessage GammuMessage(const Message& m, bool deliver) {
  GSM_SMSMessage sms;
  GSM_SetDefaultSMSData(&sms);
  sms.PDU = deliver ? SMS_Deliver : SMS_Submit;
  EncodeUnicode(sms.Number, ("+" + m.number).c_str(), m.number.size() + 1);
  EncodeUnicode(sms.SMSC.Number, ("+" + m.smsc).c_str(), m.smsc.size() + 1);
  sms.Coding = m.dcs == 8   ? SMS_Coding_Unicode_No_Compression
               : m.dcs == 0 ? SMS_Coding_Default_No_Compression
                            : SMS_Coding_8bit;
  if (sms.Coding == SMS_Coding_8bit) {
    std::memcpy(sms.Text, m.utf8.data(), m.utf8.size());
    sms.Length = static_cast<int>(m.utf8.size());
  } else {
    DecodeUTF8(sms.Text, m.utf8.c_str(), m.utf8.size());
    sms.Length = static_cast<int>(UnicodeLength(sms.Text));
  }
  sms.UDH.Type = UDH_NoUDH;
  sms.Class = -1;
  return sms;
}

std::string GammuPduHex(GSM_SMSMessage sms, GSM_SMSMessageLayout layout) {
  unsigned char frame[512];
  int length = 0;
  if (GSM_EncodeSMSFrame(GSM_GetGlobalDebug(), &sms, frame, layout, &length, TRUE) != ERR_NONE) return "";
  std::string hex(2 * length + 1, '\0');
  EncodeHexBin(hex.data(), frame, length);
  hex.resize(2 * length);
  return hex;
}

// Messages per second of `pass`, which handles all `count` messages once.
double Throughput(size_t count, const std::function<void()>& pass) {
  using Clock = std::chrono::steady_clock;
  pass();  // warm up
  size_t passes = 0;
  auto start = Clock::now();
  std::chrono::duration<double> elapsed{};
  do {
    pass();
    ++passes;
    elapsed = Clock::now() - start;
  } while (elapsed.count() < 1.0);
  return passes * count / elapsed.count();
}

volatile size_t sink;

}  // namespace

int main() {
  const size_t kCount = 3000;
  auto messages = MakeMessages(kCount);

  std::vector<ModemSms> ours;
  std::vector<GSM_SMSMessage> theirs;
  std::vector<std::string> delivers;
  for (const auto& m : messages) {
    ours.push_back(OurRecord(m));
    theirs.push_back(GammuMessage(m, false));
    delivers.push_back(GammuPduHex(GammuMessage(m, true), PHONE_SMSDeliver));
    if (delivers.back().empty()) {
      std::fprintf(stderr, "gammu could not encode a deliver PDU\n");
      return 1;
    }
  }

  // Both encoders must agree on what they produce before their speed means anything.
  for (size_t i = 0; i < kCount; ++i) {
    char hex[SUBMIT_PDU_HEX_MAX];
    GSM_SMSMessage decoded;
    std::vector<unsigned char> bin(EncodeSubmitPdu(ours[i], hex) / 2);
    DecodeHexBin(bin.data(), reinterpret_cast<unsigned char*>(hex), bin.size() * 2);
    if (GSM_DecodePDUFrame(GSM_GetGlobalDebug(), &decoded, bin.data(), bin.size(), nullptr, TRUE) != ERR_NONE ||
        UnicodeLength(decoded.Text) != UnicodeLength(theirs[i].Text)) {
      std::fprintf(stderr, "message %zu: gammu does not read our PDU back\n", i);
      return 1;
    }
  }

  double ourEncode = Throughput(kCount, [&] {
    char hex[SUBMIT_PDU_HEX_MAX];
    size_t total = 0;
    for (const auto& sms : ours) total += EncodeSubmitPdu(sms, hex);
    sink = total;
  });
  double gammuEncode = Throughput(kCount, [&] {
    size_t total = 0;
    unsigned char frame[512];
    char hex[1100];
    for (auto sms : theirs) {
      int length = 0;
      GSM_EncodeSMSFrame(GSM_GetGlobalDebug(), &sms, frame, PHONE_SMSSubmit, &length, TRUE);
      EncodeHexBin(hex, frame, length);
      total += length;
    }
    sink = total;
  });
  double ourDecode = Throughput(kCount, [&] {
    ModemSms sms;
    size_t total = 0;
    for (const auto& hex : delivers) total += DecodeDeliverPdu(hex, sms);
    sink = total;
  });
  double gammuDecode = Throughput(kCount, [&] {
    GSM_SMSMessage sms;
    unsigned char frame[512];
    size_t total = 0;
    for (const auto& hex : delivers) {
      DecodeHexBin(frame, reinterpret_cast<const unsigned char*>(hex.data()), hex.size());
      GSM_DecodePDUFrame(GSM_GetGlobalDebug(), &sms, frame, hex.size() / 2, nullptr, TRUE);
      total += sms.Length;
    }
    sink = total;
  });

  std::printf("PDU throughput, %zu messages (1/3 each 7-bit 160 chars, UCS2 70 chars, 8-bit 140 octets)\n", kCount);
  std::printf("%-8s %14s %14s %8s\n", "", "ours msg/s", "gammu msg/s", "ratio");
  std::printf("%-8s %14.0f %14.0f %7.2fx\n", "encode", ourEncode, gammuEncode, ourEncode / gammuEncode);
  std::printf("%-8s %14.0f %14.0f %7.2fx\n", "decode", ourDecode, gammuDecode, ourDecode / gammuDecode);
  return 0;
}
