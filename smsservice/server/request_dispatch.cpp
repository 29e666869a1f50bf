#include "smsservice/server/request_dispatch.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "smsservice/server/request_tally.h"

namespace {

constexpr auto kOpenRepeatWindow = std::chrono::seconds(6);

size_t StateReply(ModemAccess& modem, int state, TpBuffer& buffer) {
  TpModemStatus status;
  status.port = static_cast<uint8_t>(modem.GetPort());
  status.baud = static_cast<uint32_t>(modem.GetBaud());
  status.state = static_cast<uint8_t>(state);
  buffer.MakeModemState(status, false);
  return buffer.length;
}

size_t OpenModem(const TpModemParam& request, OpenRule& rule, ModemAccess& modem, Clock::Monotonic::time_point now,
                 TpBuffer& buffer) {
  bool repeated =
      request.port == rule.lastPort && request.baud == rule.lastBaud && now - rule.lastOpenTime < kOpenRepeatWindow;
  int state;
  if (repeated) {
    state = modem.GetModemState();
  } else {
    rule.lastPort = request.port;
    rule.lastBaud = request.baud;
    state = modem.Open(request.port, static_cast<int>(request.baud));
    rule.lastOpenTime = now;
  }
  return StateReply(modem, state, buffer);
}

size_t Fetch(ModemAccess& modem, TpBuffer& buffer, Handover* handover) {
  TpSmsDeliver deliver;
  ModemSms sms;
  if (!modem.PeekReceived(sms)) return StateReply(modem, modem.GetModemState(), buffer);
  std::memcpy(deliver.sender, sms.number, sizeof deliver.sender);
  std::memcpy(deliver.timestamp, sms.timestamp, sizeof deliver.timestamp);
  deliver.textLength = static_cast<uint32_t>(strnlen(sms.text, sizeof sms.text - 1));
  std::memcpy(deliver.text, sms.text, deliver.textLength);
  deliver.sender[TP_NUMBER_FIELD - 1] = '\0';
  deliver.timestamp[TP_NUMBER_FIELD - 1] = '\0';
  buffer.MakeSmsDeliver(deliver);
  // Without anyone to write the reply out, the hand-over counts as done now.
  if (handover != nullptr) *handover = {true, sms.journalId};
  else modem.ConfirmFetched(sms.journalId);
  return buffer.length;
}

size_t Submit(const TpSmsSubmit& request, ModemAccess& modem, TpBuffer& buffer) {
  if (!modem.SubmitSms(request.destination, request.smsc, request.text, request.coding))
    return StateReply(modem, modem.GetModemState(), buffer);
  buffer.MakeSubmitAck(0);
  return buffer.length;
}

// Cut to fit, on a whole UTF-8 character, and NUL-terminated.
template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
  size_t length = std::min(text.size(), N - 1);
  while (length > 0 && length < text.size() && (static_cast<uint8_t>(text[length]) & 0xC0) == 0x80) --length;
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

uint16_t Count(int value) {
  return value < 0 ? TP_STATUS_COUNT_NOT_KNOWN : static_cast<uint16_t>(std::min(value, 0xFFFE));
}

}  // namespace

TpServiceStatus StatusRecord(const ModemReport& report) {
  TpServiceStatus status;
  const HealthSnapshot& health = report.health;
  status.state = static_cast<uint8_t>(report.state);
  status.port = static_cast<uint8_t>(report.port);
  status.baud = static_cast<uint32_t>(report.baud);
  status.registration =
      health.registration >= 0 && health.registration <= 5 ? static_cast<uint8_t>(health.registration) : 255;
  status.signalCsq = static_cast<uint8_t>(health.signalCsq >= 0 && health.signalCsq <= 31 ? health.signalCsq : 99);
  status.storageUsed = Count(health.storageUsed);
  status.storageTotal = Count(health.storageTotal);
  status.sendQueue = Count(report.sendQueue);
  status.receiveQueue = Count(report.receiveQueue);
  status.givenUp = health.givenUp;
  status.recoveries = health.recoveries;
  CopyText(status.maker, health.identity.maker);
  CopyText(status.model, health.identity.model);
  CopyText(status.imei, health.identity.imei);
  CopyText(status.lastError, health.lastError);
  return status;
}

size_t DispatchRequest(const SP_Packet& packet, OpenRule& rule, ModemAccess& modem, Clock::Monotonic::time_point now,
                       uint8_t* reply, Handover* handover) {
  TpBuffer buffer;
  size_t length = 0;
  switch (packet.command()) {
    case TP_MODEM_OPEN: {
      TpMessage message;
      message.Parse(packet);
      length = OpenModem(*message.modemOpen(), rule, modem, now, buffer);
      break;
    }
    case TP_MODEM_QUERY: {
      TpModemStatus status;
      status.port = static_cast<uint8_t>(modem.GetPort());
      status.baud = static_cast<uint32_t>(modem.GetBaud());
      status.state = MODEM_READY;
      buffer.MakeModemState(status, true);
      length = buffer.length;
      break;
    }
    case TP_SMS_FETCH: length = Fetch(modem, buffer, handover); break;
    case TP_STATUS:
      buffer.MakeServiceStatus(StatusRecord(modem.Report()));
      length = buffer.length;
      break;
    case TP_SMS_SUBMIT: {
      TpMessage message;
      message.Parse(packet);
      length = Submit(*message.smsSubmit(), modem, buffer);
      break;
    }
    default: return 0;
  }
  std::memcpy(reply, buffer.data, length);
  return length;
}

size_t ProcessPacket(const uint8_t* bytes, size_t count, OpenRule& rule, ModemAccess& modem,
                     Clock::Monotonic::time_point now, uint8_t* reply, Handover* handover) {
  if (count == 0 || bytes[0] != TP_MARKER) {
    Requests().CountRejected();
    return 0;
  }
  try {
    SP_Packet packet(bytes, static_cast<uint32_t>(count));
    std::memset(reply, 0, REPLY_AREA_SIZE);
    size_t length = DispatchRequest(packet, rule, modem, now, reply, handover);
    Requests().Count(packet.command());
    return length > TP_HEADER_SIZE ? length : 0;
  } catch (const TpPacketError&) {
    Requests().CountRejected();
    return 0;  // dropped without a reply; the connection stays
  }
}
