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
  p[0] = port;
  PutU32(p + 1, baud);
  Finish(*this, packet, TP_MODEM_PARAM_SIZE);
}

void TpBuffer::MakeModemState(const TpModemStatus& status, bool query) {
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, query ? TP_MODEM_QUERY_ACK : TP_MODEM_STATE);
  p[0] = status.port;
  PutU32(p + 1, status.baud);
  p[5] = status.state;
  Finish(*this, packet, TP_MODEM_STATUS_SIZE);
}

void TpBuffer::MakeSmsFetch(uint8_t reserved1, uint8_t reserved2) {
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, TP_SMS_FETCH);
  p[0] = reserved1;
  p[1] = reserved2;
  Finish(*this, packet, TP_SMS_FETCH_SIZE);
}

bool TpBuffer::MakeSmsDeliver(const TpSmsDeliver& record) {
  length = 0;
  if (record.textLength > TP_MAX_PAYLOAD - TP_SMS_DELIVER_FIXED || !HasNul(record.sender) || !HasNul(record.timestamp))
    return false;
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, TP_SMS_DELIVER);
  p[0] = record.reserved1;
  p[1] = record.reserved2;
  std::memcpy(p + 2, record.sender, TP_NUMBER_FIELD);
  std::memcpy(p + 18, record.timestamp, TP_NUMBER_FIELD);
  PutU16(p + 34, static_cast<uint16_t>(record.textLength));
  std::memcpy(p + 36, record.text, record.textLength);
  Finish(*this, packet, TP_SMS_DELIVER_FIXED + record.textLength);
  return true;
}

bool TpBuffer::MakeSmsSubmit(const TpSmsSubmit& record) {
  length = 0;
  if (record.textLength > TP_MAX_PAYLOAD - TP_SMS_SUBMIT_FIXED || !HasNul(record.smsc) || !HasNul(record.destination))
    return false;
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, TP_SMS_SUBMIT);
  std::memcpy(p, record.smsc, TP_NUMBER_FIELD);
  std::memcpy(p + 16, record.destination, TP_NUMBER_FIELD);
  p[32] = record.coding;
  PutU16(p + 33, static_cast<uint16_t>(record.textLength));
  std::memcpy(p + 35, record.text, record.textLength);
  Finish(*this, packet, TP_SMS_SUBMIT_FIXED + record.textLength);
  return true;
}

void TpBuffer::MakeSubmitAck(uint8_t result) {
  SP_Packet packet;
  uint8_t* p = Begin(*this, packet, TP_SMS_SUBMIT_ACK);
  p[0] = result;
  Finish(*this, packet, TP_SUBMIT_ACK_SIZE);
}

void TpMessage::Parse(const SP_Packet& packet) {
  command = packet.command();
  const uint8_t* p = packet.payload();
  switch (command) {
    case TP_MODEM_OPEN:
      RequirePayload(packet, TP_MODEM_PARAM_SIZE);
      modemOpen = std::make_unique<TpModemParam>();
      modemOpen->port = p[0];
      modemOpen->baud = GetU32(p + 1);
      break;
    case TP_MODEM_STATE:
    case TP_MODEM_QUERY_ACK: {
      RequirePayload(packet, TP_MODEM_STATUS_SIZE);
      auto status = std::make_unique<TpModemStatus>();
      status->port = p[0];
      status->baud = GetU32(p + 1);
      status->state = p[5];
      (command == TP_MODEM_STATE ? modemState : modemQueryAck) = std::move(status);
      break;
    }
    case TP_MODEM_QUERY:
      // The query's payload carries nothing the service reads.
      modemQuery = std::make_unique<TpModemParam>();
      break;
    case TP_SMS_FETCH: smsFetch = std::make_unique<TpSmsFetch>(); break;
    case TP_SMS_DELIVER: {
      RequirePayload(packet, TP_SMS_DELIVER_FIXED);
      auto deliver = std::make_unique<TpSmsDeliver>();
      deliver->reserved1 = p[0];
      deliver->reserved2 = p[1];
      GetNumberField(p + 2, deliver->sender);
      GetNumberField(p + 18, deliver->timestamp);
      deliver->textLength = GetU16(p + 34);
      RequirePayload(packet, TP_SMS_DELIVER_FIXED + deliver->textLength);
      std::memcpy(deliver->text, p + 36, deliver->textLength);
      smsDeliver = std::move(deliver);
      break;
    }
    case TP_SMS_SUBMIT: {
      RequirePayload(packet, TP_SMS_SUBMIT_FIXED);
      auto submit = std::make_unique<TpSmsSubmit>();
      GetNumberField(p, submit->smsc);
      GetNumberField(p + 16, submit->destination);
      submit->coding = p[32];
      submit->textLength = GetU16(p + 33);
      RequirePayload(packet, TP_SMS_SUBMIT_FIXED + submit->textLength);
      std::memcpy(submit->text, p + 35, submit->textLength);
      smsSubmit = std::move(submit);
      break;
    }
    case TP_SMS_SUBMIT_ACK:
      RequirePayload(packet, TP_SUBMIT_ACK_SIZE);
      submitAck = std::make_unique<TpSubmitAck>();
      submitAck->result = p[0];
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
