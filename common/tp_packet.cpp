#include "common/tp_packet.h"

#include <cstring>

namespace {

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

uint32_t GetU32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
         static_cast<uint32_t>(at[3]) << 24;
}

uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

bool HasNul(const char (&field)[TP_NUMBER_FIELD]) { return std::memchr(field, 0, TP_NUMBER_FIELD) != nullptr; }

// Copies a 16-byte number field off the wire; the reader relies on its NUL.
void GetNumberField(const uint8_t* at, char (&field)[TP_NUMBER_FIELD]) {
  if (std::memchr(at, 0, TP_NUMBER_FIELD) == nullptr) throw TpPacketError(TP_MALFORMED_ERROR);
  std::memcpy(field, at, TP_NUMBER_FIELD);
}

// A text into a field of N bytes: cut short of N, never inside a UTF-8
// character, and always NUL-terminated.
template <size_t N>
void PutText(uint8_t* at, const char (&text)[N]) {
  size_t length = strnlen(text, N - 1);
  while (length > 0 && length < strnlen(text, N) && (static_cast<uint8_t>(text[length]) & 0xC0) == 0x80) --length;
  std::memset(at, 0, N);
  std::memcpy(at, text, length);
}

template <size_t N>
void GetText(const uint8_t* at, char (&field)[N]) {
  if (std::memchr(at, 0, N) == nullptr) throw TpPacketError(TP_MALFORMED_ERROR);
  std::memcpy(field, at, N);
}

void RequirePayload(const SP_Packet& packet, size_t needed) {
  if (packet.payloadLength() < needed) throw TpPacketError(TP_MALFORMED_ERROR);
}

// Starts a packet in `buffer` with its command code; returns the payload area.
uint8_t* Begin(TpBuffer& buffer, SP_Packet& packet, uint8_t command) {
  packet.Attach(buffer.data, TP_BUFFER_SIZE, false);
  buffer.data[2] = command;
  return buffer.data + TP_HEADER_SIZE;
}

void Finish(TpBuffer& buffer, SP_Packet& packet, uint32_t payloadLength) {
  SP_PacketMaker(packet, payloadLength).Make();
  buffer.length = packet.length;
}

}  // namespace

const char* TpCommandName(uint8_t command) {
  switch (command) {
    case TP_MODEM_OPEN: return "TP_MODEM_OPEN";
    case TP_MODEM_STATE: return "TP_MODEM_STATE";
    case TP_MODEM_QUERY: return "TP_MODEM_QUERY";
    case TP_MODEM_QUERY_ACK: return "TP_MODEM_QUERY_ACK";
    case TP_STATUS: return "TP_STATUS";
    case TP_STATUS_ACK: return "TP_STATUS_ACK";
    case TP_SMS_FETCH: return "TP_SMS_FETCH";
    case TP_SMS_DELIVER: return "TP_SMS_DELIVER";
    case TP_SMS_SUBMIT: return "TP_SMS_SUBMIT";
    case TP_SMS_SUBMIT_ACK: return "TP_SMS_SUBMIT_ACK";
    default: return nullptr;
  }
}

uint8_t TpChecksum(uint8_t command, const uint8_t* payload, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + payload[i]);
  return static_cast<uint8_t>(sum ^ command);
}

SP_Packet::SP_Packet(const uint8_t* received, uint32_t receivedLength)
    : bytes(const_cast<uint8_t*>(received)), capacity(receivedLength) {
  // The declared length is checked against what arrived before anything past
  // the header is read.
  if (receivedLength < TP_HEADER_SIZE) throw TpPacketError(TP_MALFORMED_ERROR);
  uint32_t n = payloadLength();
  if (n > TP_MAX_PAYLOAD || n > receivedLength - TP_HEADER_SIZE) throw TpPacketError(TP_MALFORMED_ERROR);
  if (TpChecksum(command(), payload(), n) != bytes[3]) throw TpPacketError(TP_CHECKSUM_ERROR);
  length = n + TP_HEADER_SIZE;
}

SP_Packet::~SP_Packet() { Release(); }

void SP_Packet::Release() {
  if (owns) delete[] bytes;
  bytes = nullptr;
  owns = false;
  capacity = 0;
  length = 0;
}

void SP_Packet::Attach(uint8_t* buffer, uint32_t newCapacity, bool ownsBuffer) {
  Release();
  if (buffer == nullptr) {
    buffer = new uint8_t[newCapacity];
    ownsBuffer = true;
  }
  bytes = buffer;
  owns = ownsBuffer;
  capacity = newCapacity;
  std::memset(bytes, 0, TP_HEADER_SIZE);
  bytes[0] = TP_MARKER;
}

void SP_PacketMaker::Make() {
  PutU16(packet_.bytes + 4, static_cast<uint16_t>(payloadLength_));
  packet_.length = payloadLength_ + TP_HEADER_SIZE;
  packet_.bytes[3] = TpChecksum(packet_.bytes[2], packet_.bytes + TP_HEADER_SIZE, payloadLength_);
}

void TpBuffer::MakeModemOpen(uint8_t port, uint32_t baud) {
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, TP_MODEM_OPEN);
  p[tp_layout::kParamPort] = port;
  PutU32(p + tp_layout::kParamBaud, baud);
  Finish(*this, packet, TP_MODEM_PARAM_SIZE);
}

void TpBuffer::MakeModemState(const TpModemStatus& status, bool query) {
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, query ? TP_MODEM_QUERY_ACK : TP_MODEM_STATE);
  p[tp_layout::kStatusPort] = status.port;
  PutU32(p + tp_layout::kStatusBaud, status.baud);
  p[tp_layout::kStatusState] = status.state;
  Finish(*this, packet, TP_MODEM_STATUS_SIZE);
}

void TpBuffer::MakeSmsFetch(uint8_t reserved1, uint8_t reserved2) {
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, TP_SMS_FETCH);
  p[tp_layout::kFetchReserved1] = reserved1;
  p[tp_layout::kFetchReserved2] = reserved2;
  Finish(*this, packet, TP_SMS_FETCH_SIZE);
}

bool TpBuffer::MakeSmsDeliver(const TpSmsDeliver& record) {
  length = 0;
  if (record.textLength > TP_MAX_PAYLOAD - TP_SMS_DELIVER_FIXED || !HasNul(record.sender) || !HasNul(record.timestamp))
    return false;
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, TP_SMS_DELIVER);
  p[tp_layout::kDeliverReserved1] = record.reserved1;
  p[tp_layout::kDeliverReserved2] = record.reserved2;
  std::memcpy(p + tp_layout::kDeliverSender, record.sender, TP_NUMBER_FIELD);
  std::memcpy(p + tp_layout::kDeliverTimestamp, record.timestamp, TP_NUMBER_FIELD);
  PutU16(p + tp_layout::kDeliverTextLength, static_cast<uint16_t>(record.textLength));
  std::memcpy(p + tp_layout::kDeliverText, record.text, record.textLength);
  Finish(*this, packet, TP_SMS_DELIVER_FIXED + record.textLength);
  return true;
}

bool TpBuffer::MakeSmsSubmit(const TpSmsSubmit& record) {
  length = 0;
  if (record.textLength > TP_MAX_PAYLOAD - TP_SMS_SUBMIT_FIXED || !HasNul(record.smsc) || !HasNul(record.destination))
    return false;
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, TP_SMS_SUBMIT);
  std::memcpy(p + tp_layout::kSubmitSmsc, record.smsc, TP_NUMBER_FIELD);
  std::memcpy(p + tp_layout::kSubmitDestination, record.destination, TP_NUMBER_FIELD);
  p[tp_layout::kSubmitCoding] = record.coding;
  PutU16(p + tp_layout::kSubmitTextLength, static_cast<uint16_t>(record.textLength));
  std::memcpy(p + tp_layout::kSubmitText, record.text, record.textLength);
  Finish(*this, packet, TP_SMS_SUBMIT_FIXED + record.textLength);
  return true;
}

void TpBuffer::MakeSubmitAck(uint8_t result) {
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, TP_SMS_SUBMIT_ACK);
  p[tp_layout::kAckResult] = result;
  Finish(*this, packet, TP_SUBMIT_ACK_SIZE);
}

void TpBuffer::MakeStatusRequest() {
  SP_Packet packet;
  Begin(*this, packet, TP_STATUS);
  Finish(*this, packet, TP_STATUS_SIZE);
}

void TpBuffer::MakeServiceStatus(const TpServiceStatus& status) {
  using namespace tp_layout;
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, TP_STATUS_ACK);
  p[kStatusVersion] = status.version;
  p[kStatusOfState] = status.state;
  p[kStatusOfPort] = status.port;
  PutU32(p + kStatusOfBaud, status.baud);
  p[kStatusRegistration] = status.registration;
  p[kStatusSignal] = status.signalCsq;
  PutU16(p + kStatusStorageUsed, status.storageUsed);
  PutU16(p + kStatusStorageTotal, status.storageTotal);
  PutU16(p + kStatusSendQueue, status.sendQueue);
  PutU16(p + kStatusReceiveQueue, status.receiveQueue);
  PutU32(p + kStatusGivenUp, status.givenUp);
  PutU32(p + kStatusRecoveries, status.recoveries);
  PutText(p + kStatusMaker, status.maker);
  PutText(p + kStatusModel, status.model);
  PutText(p + kStatusImei, status.imei);
  PutText(p + kStatusLastError, status.lastError);
  Finish(*this, packet, TP_STATUS_ACK_SIZE);
}

namespace {

using namespace tp_layout;

TpServiceStatus ParseServiceStatus(const SP_Packet& packet) {
  RequirePayload(packet, TP_STATUS_ACK_SIZE);
  const uint8_t* p = packet.payload();
  TpServiceStatus status;
  status.version = p[kStatusVersion];
  if (status.version < 1) throw TpPacketError(TP_MALFORMED_ERROR);
  status.state = p[kStatusOfState];
  status.port = p[kStatusOfPort];
  status.baud = GetU32(p + kStatusOfBaud);
  status.registration = p[kStatusRegistration];
  status.signalCsq = p[kStatusSignal];
  status.storageUsed = GetU16(p + kStatusStorageUsed);
  status.storageTotal = GetU16(p + kStatusStorageTotal);
  status.sendQueue = GetU16(p + kStatusSendQueue);
  status.receiveQueue = GetU16(p + kStatusReceiveQueue);
  status.givenUp = GetU32(p + kStatusGivenUp);
  status.recoveries = GetU32(p + kStatusRecoveries);
  GetText(p + kStatusMaker, status.maker);
  GetText(p + kStatusModel, status.model);
  GetText(p + kStatusImei, status.imei);
  GetText(p + kStatusLastError, status.lastError);
  return status;
}

TpModemParam ParseParam(const SP_Packet& packet) {
  RequirePayload(packet, TP_MODEM_PARAM_SIZE);
  const uint8_t* p = packet.payload();
  TpModemParam param;
  param.port = p[kParamPort];
  param.baud = GetU32(p + kParamBaud);
  return param;
}

TpModemStatus ParseStatus(const SP_Packet& packet) {
  RequirePayload(packet, TP_MODEM_STATUS_SIZE);
  const uint8_t* p = packet.payload();
  TpModemStatus status;
  status.port = p[kStatusPort];
  status.baud = GetU32(p + kStatusBaud);
  status.state = p[kStatusState];
  return status;
}

void ParseDeliver(const SP_Packet& packet, TpSmsDeliver& deliver) {
  RequirePayload(packet, TP_SMS_DELIVER_FIXED);
  const uint8_t* p = packet.payload();
  deliver.reserved1 = p[kDeliverReserved1];
  deliver.reserved2 = p[kDeliverReserved2];
  GetNumberField(p + kDeliverSender, deliver.sender);
  GetNumberField(p + kDeliverTimestamp, deliver.timestamp);
  deliver.textLength = GetU16(p + kDeliverTextLength);
  RequirePayload(packet, TP_SMS_DELIVER_FIXED + deliver.textLength);
  std::memcpy(deliver.text, p + kDeliverText, deliver.textLength);
}

void ParseSubmit(const SP_Packet& packet, TpSmsSubmit& submit) {
  RequirePayload(packet, TP_SMS_SUBMIT_FIXED);
  const uint8_t* p = packet.payload();
  GetNumberField(p + kSubmitSmsc, submit.smsc);
  GetNumberField(p + kSubmitDestination, submit.destination);
  submit.coding = p[kSubmitCoding];
  submit.textLength = GetU16(p + kSubmitTextLength);
  RequirePayload(packet, TP_SMS_SUBMIT_FIXED + submit.textLength);
  std::memcpy(submit.text, p + kSubmitText, submit.textLength);
}

}  // namespace

void TpMessage::Parse(const SP_Packet& packet) {
  command = packet.command();
  record = std::monostate{};
  switch (command) {
    case TP_MODEM_OPEN: record = ParseParam(packet); break;
    case TP_MODEM_STATE:
    case TP_MODEM_QUERY_ACK: record = ParseStatus(packet); break;
    // The query's payload carries nothing the service reads.
    case TP_MODEM_QUERY: record = TpModemParam{}; break;
    case TP_SMS_FETCH:
    case TP_STATUS: record = TpSmsFetch{}; break;
    case TP_STATUS_ACK: record = ParseServiceStatus(packet); break;
    case TP_SMS_DELIVER: ParseDeliver(packet, record.emplace<TpSmsDeliver>()); break;
    case TP_SMS_SUBMIT: ParseSubmit(packet, record.emplace<TpSmsSubmit>()); break;
    case TP_SMS_SUBMIT_ACK:
      RequirePayload(packet, TP_SUBMIT_ACK_SIZE);
      record = TpSubmitAck{packet.payload()[kAckResult]};
      break;
    default: break;
  }
}

TpMessage DecodeTpPacket(const uint8_t* bytes, size_t length) {
  if (length == 0 || bytes[0] != TP_MARKER) throw TpPacketError("not a TP packet");
  if (length > UINT32_MAX) throw TpPacketError(TP_MALFORMED_ERROR);
  SP_Packet packet(bytes, static_cast<uint32_t>(length));
  TpMessage message;
  message.Parse(packet);
  return message;
}
