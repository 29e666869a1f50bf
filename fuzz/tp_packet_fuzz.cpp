// Received TP packets: verification and parsing. A packet that parses must
// build again into one that parses to the same record.
#include <cstring>

#include "common/tp_packet.h"
#include "fuzz/fuzz_check.h"

namespace {

TpMessage Decode(const TpBuffer& buffer) { return DecodeTpPacket(buffer.data, buffer.length); }

void CheckRebuilt(const TpMessage& message) {
  TpBuffer buffer;
  if (message.modemOpen()) {
    buffer.MakeModemOpen(message.modemOpen()->port, message.modemOpen()->baud);
    TpMessage again = Decode(buffer);
    FUZZ_CHECK(again.modemOpen() && again.modemOpen()->port == message.modemOpen()->port &&
               again.modemOpen()->baud == message.modemOpen()->baud);
  }
  if (message.modemState()) {
    buffer.MakeModemState(*message.modemState(), false);
    TpMessage again = Decode(buffer);
    FUZZ_CHECK(again.modemState() && again.modemState()->baud == message.modemState()->baud &&
               again.modemState()->state == message.modemState()->state);
  }
  if (message.smsDeliver()) {
    const TpSmsDeliver& sms = *message.smsDeliver();
    FUZZ_CHECK(sms.textLength <= TP_MAX_PAYLOAD - TP_SMS_DELIVER_FIXED);
    FUZZ_CHECK(buffer.MakeSmsDeliver(sms));
    TpMessage again = Decode(buffer);
    FUZZ_CHECK(again.smsDeliver() && again.smsDeliver()->textLength == sms.textLength &&
               std::memcmp(again.smsDeliver()->sender, sms.sender, TP_NUMBER_FIELD) == 0 &&
               std::memcmp(again.smsDeliver()->text, sms.text, sms.textLength) == 0);
  }
  if (message.smsSubmit()) {
    const TpSmsSubmit& sms = *message.smsSubmit();
    FUZZ_CHECK(sms.textLength <= TP_MAX_PAYLOAD - TP_SMS_SUBMIT_FIXED);
    FUZZ_CHECK(buffer.MakeSmsSubmit(sms));
    TpMessage again = Decode(buffer);
    FUZZ_CHECK(again.smsSubmit() && again.smsSubmit()->textLength == sms.textLength &&
               again.smsSubmit()->coding == sms.coding &&
               std::memcmp(again.smsSubmit()->smsc, sms.smsc, TP_NUMBER_FIELD) == 0 &&
               std::memcmp(again.smsSubmit()->destination, sms.destination, TP_NUMBER_FIELD) == 0 &&
               std::memcmp(again.smsSubmit()->text, sms.text, sms.textLength) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TpMessage message = DecodeTpPacket(data, size);
    FUZZ_CHECK(message.command == data[2]);
    CheckRebuilt(message);
  } catch (const TpPacketError&) {
    // Dropped, as a receiver drops it.
  }
  return 0;
}
