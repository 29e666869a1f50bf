// The TP packet: every request and reply between the SMS service and its
// clients. Byte layout (integers little-endian):
//
//   0  marker 0xFD      1  reserved 0     2  command code   3  checksum
//   4  payload length n (u16)             6  payload, n bytes
//
// Packets are built in a 2048-byte buffer, so n is at most 2042. The checksum
// is the 8-bit sum of the payload bytes, exclusive-or the command code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>

// The SMS service listens for these packets on this TCP port.
inline constexpr unsigned short SMS_SERVICE_PORT = 8200;

inline constexpr uint8_t TP_MARKER = 0xFD;
inline constexpr size_t TP_HEADER_SIZE = 6;
inline constexpr size_t TP_BUFFER_SIZE = 2048;
inline constexpr size_t TP_MAX_PAYLOAD = TP_BUFFER_SIZE - TP_HEADER_SIZE;
inline constexpr size_t TP_NUMBER_FIELD = 16;
inline constexpr size_t TP_TEXT_FIELD = 2048;

enum TpCommand : uint8_t {
  TP_MODEM_OPEN = 1,
  TP_MODEM_STATE = 2,
  TP_MODEM_QUERY = 3,
  TP_MODEM_QUERY_ACK = 4,
  TP_STATUS = 5,
  TP_STATUS_ACK = 6,
  TP_SMS_FETCH = 17,
  TP_SMS_DELIVER = 18,
  TP_SMS_SUBMIT = 19,
  TP_SMS_SUBMIT_ACK = 20,
};

enum ModemState : uint8_t {
  MODEM_READY = 0,
  MODEM_OPENING = 1,
  MODEM_CLOSED = 2,
};

// Payload lengths of the fixed records, and the fixed part of the text ones.
inline constexpr size_t TP_MODEM_PARAM_SIZE = 5;
inline constexpr size_t TP_MODEM_STATUS_SIZE = 6;
inline constexpr size_t TP_SMS_FETCH_SIZE = 2;
inline constexpr size_t TP_SMS_DELIVER_FIXED = 36;
inline constexpr size_t TP_SMS_SUBMIT_FIXED = 35;
inline constexpr size_t TP_SUBMIT_ACK_SIZE = 1;
inline constexpr size_t TP_STATUS_SIZE = 2;
inline constexpr size_t TP_STATUS_ACK_SIZE = 241;
inline constexpr uint8_t TP_STATUS_VERSION = 1;
inline constexpr uint8_t TP_STATUS_NOT_KNOWN = 0xFF;           // registration
inline constexpr uint16_t TP_STATUS_COUNT_NOT_KNOWN = 0xFFFF;  // storage

// Where each field lies in its record's payload (bytes from the payload's
// start; numbers little-endian, number fields NUL-padded to 16 bytes).
namespace tp_layout {
// TP_MODEM_OPEN, TP_MODEM_QUERY: port (1), baud (4)
inline constexpr size_t kParamPort = 0, kParamBaud = 1;
// TP_MODEM_STATE, TP_MODEM_QUERY_ACK: port (1), baud (4), state (1)
inline constexpr size_t kStatusPort = 0, kStatusBaud = 1, kStatusState = 5;
// TP_SMS_FETCH: two reserved bytes
inline constexpr size_t kFetchReserved1 = 0, kFetchReserved2 = 1;
// TP_SMS_DELIVER: two reserved bytes, sender (16), time stamp (16), text length (2), text
inline constexpr size_t kDeliverReserved1 = 0, kDeliverReserved2 = 1, kDeliverSender = 2, kDeliverTimestamp = 18,
                        kDeliverTextLength = 34, kDeliverText = 36;
// TP_SMS_SUBMIT: service centre (16), destination (16), coding (1), text length (2), text
inline constexpr size_t kSubmitSmsc = 0, kSubmitDestination = 16, kSubmitCoding = 32, kSubmitTextLength = 33,
                        kSubmitText = 35;
// TP_SMS_SUBMIT_ACK: result (1)
inline constexpr size_t kAckResult = 0;
// TP_STATUS: two reserved bytes. A service older than the request does not
// answer it; older clients never send it.
// TP_STATUS_ACK: version (1, now 1; later versions only add fields at the
// end), state (1), port (1), baud (4), registration (1: the "+CREG" status
// 0-5, 255 not known), signal (1: "+CSQ" 0-31, 99 not known), storage used
// and total (2 each, 65535 not known), send and receive queue lengths (2
// each), messages given up (4), recoveries (4), maker (32), model (32),
// IMEI (24), last error (128); the texts NUL-padded, each with its NUL.
inline constexpr size_t kStatusVersion = 0, kStatusOfState = 1, kStatusOfPort = 2, kStatusOfBaud = 3,
                        kStatusRegistration = 7, kStatusSignal = 8, kStatusStorageUsed = 9, kStatusStorageTotal = 11,
                        kStatusSendQueue = 13, kStatusReceiveQueue = 15, kStatusGivenUp = 17, kStatusRecoveries = 21,
                        kStatusMaker = 25, kStatusModel = 57, kStatusImei = 89, kStatusLastError = 113;
}  // namespace tp_layout

// Name of a command code ("TP_SMS_FETCH"), or nullptr for an unknown code.
const char* TpCommandName(uint8_t command);

// Every rejection of received bytes: a bad checksum ("invalid TP packet
// checksum") or bytes that do not hold the packet they claim to.
class TpPacketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* TP_CHECKSUM_ERROR = "invalid TP packet checksum";
inline constexpr const char* TP_MALFORMED_ERROR = "malformed TP packet";

uint8_t TpChecksum(uint8_t command, const uint8_t* payload, size_t length);

class SP_Packet {
 public:
  SP_Packet() = default;
  // Wraps received bytes without copying or owning them, and verifies them:
  // throws TpPacketError when the header or the declared payload does not fit
  // in `length` bytes, or when the checksum does not match.
  SP_Packet(const uint8_t* bytes, uint32_t length);
  virtual ~SP_Packet();
  SP_Packet(const SP_Packet&) = delete;
  SP_Packet& operator=(const SP_Packet&) = delete;

  // Takes `buffer` (owning it when `owns`), or allocates `capacity` bytes when
  // `buffer` is null; then starts a packet: zeroed header, marker in place.
  void Attach(uint8_t* buffer, uint32_t capacity, bool owns);

  uint8_t* bytes = nullptr;
  uint32_t capacity = 0;  // or, for a wrapped packet, the received length
  uint32_t length = 0;    // payload length + 6
  bool owns = false;

  uint8_t command() const { return bytes[2]; }
  uint16_t payloadLength() const { return static_cast<uint16_t>(bytes[4] | bytes[5] << 8); }
  const uint8_t* payload() const { return bytes + TP_HEADER_SIZE; }

 private:
  void Release();
};

class SP_PacketMaker {
 public:
  SP_PacketMaker(SP_Packet& packet, uint32_t payloadLength) : packet_(packet), payloadLength_(payloadLength) {}
  virtual ~SP_PacketMaker() = default;
  // Writes the payload length and the checksum; the command code must be in place.
  virtual void Make();

 private:
  SP_Packet& packet_;
  uint32_t payloadLength_;
};

// Parsed payload records. Fresh records hold the defaults the protocol gives.
struct TpModemParam {
  uint8_t port = 1;
  uint32_t baud = 19200;
};

struct TpModemStatus {
  uint8_t port = 1;
  uint32_t baud = 19200;
  uint8_t state = MODEM_READY;
};

struct TpSmsFetch {
  uint8_t reserved1 = 0;
  uint8_t reserved2 = 0;
};

struct TpSmsDeliver {
  uint8_t reserved1 = 0;
  uint8_t reserved2 = 0;
  char sender[TP_NUMBER_FIELD] = {};
  char timestamp[TP_NUMBER_FIELD] = {};
  uint32_t textLength = 0;
  char text[TP_TEXT_FIELD] = {};
};

// Note the order: destination before service centre, the reverse of the wire.
struct TpSmsSubmit {
  uint8_t coding = 0;
  char destination[TP_NUMBER_FIELD] = {};
  char smsc[TP_NUMBER_FIELD] = {};
  uint32_t textLength = 0;
  char text[TP_TEXT_FIELD] = {};
};

struct TpSubmitAck {
  uint8_t result = 0;
};

struct TpServiceStatus {
  uint8_t version = TP_STATUS_VERSION;
  uint8_t state = MODEM_CLOSED;
  uint8_t port = 1;
  uint32_t baud = 19200;
  uint8_t registration = TP_STATUS_NOT_KNOWN;
  uint8_t signalCsq = 99;
  uint16_t storageUsed = TP_STATUS_COUNT_NOT_KNOWN;
  uint16_t storageTotal = TP_STATUS_COUNT_NOT_KNOWN;
  uint16_t sendQueue = 0;
  uint16_t receiveQueue = 0;
  uint32_t givenUp = 0;
  uint32_t recoveries = 0;
  char maker[32] = {};
  char model[32] = {};
  char imei[24] = {};
  char lastError[128] = {};
};

// A packet being built in place, ready to send: `length` bytes from `data`.
struct TpBuffer {
  uint8_t data[TP_BUFFER_SIZE] = {};
  uint32_t length = 0;

  void MakeModemOpen(uint8_t port, uint32_t baud);
  void MakeModemState(const TpModemStatus& status, bool query);
  void MakeSmsFetch(uint8_t reserved1, uint8_t reserved2);
  // The text builders refuse (return false, length 0) a text that would not
  // fit the buffer, or a number field without its terminating NUL.
  bool MakeSmsDeliver(const TpSmsDeliver& record);
  bool MakeSmsSubmit(const TpSmsSubmit& record);
  void MakeSubmitAck(uint8_t result);
  void MakeStatusRequest();
  // Texts too long for their fields are cut, on a character of UTF-8.
  void MakeServiceStatus(const TpServiceStatus& status);
};

// The result of parsing: the command code and the record of that command.
struct TpMessage {
  uint8_t command = 0;
  // The record of the packet's command, empty for an unknown command.
  std::variant<std::monostate, TpModemParam, TpModemStatus, TpSmsFetch, TpSmsDeliver, TpSmsSubmit, TpSubmitAck,
               TpServiceStatus>
      record;

  // The record when the packet is of that command, else null.
  const TpModemParam* modemOpen() const { return RecordOf<TpModemParam>(TP_MODEM_OPEN); }
  const TpModemStatus* modemState() const { return RecordOf<TpModemStatus>(TP_MODEM_STATE); }
  const TpModemParam* modemQuery() const { return RecordOf<TpModemParam>(TP_MODEM_QUERY); }
  const TpModemStatus* modemQueryAck() const { return RecordOf<TpModemStatus>(TP_MODEM_QUERY_ACK); }
  const TpSmsFetch* smsFetch() const { return RecordOf<TpSmsFetch>(TP_SMS_FETCH); }
  const TpSmsDeliver* smsDeliver() const { return RecordOf<TpSmsDeliver>(TP_SMS_DELIVER); }
  const TpSmsSubmit* smsSubmit() const { return RecordOf<TpSmsSubmit>(TP_SMS_SUBMIT); }
  const TpSubmitAck* submitAck() const { return RecordOf<TpSubmitAck>(TP_SMS_SUBMIT_ACK); }
  const TpServiceStatus* serviceStatus() const { return RecordOf<TpServiceStatus>(TP_STATUS_ACK); }

  // Fills the record of the packet's command; an unknown command leaves it
  // empty. Throws TpPacketError when the payload is shorter than its
  // record, a text runs past the payload, or a number field lacks its NUL.
  void Parse(const SP_Packet& packet);

 private:
  template <typename T>
  const T* RecordOf(uint8_t forCommand) const {
    return command == forCommand ? std::get_if<T>(&record) : nullptr;
  }
};

// What a receiver does with one read: checks the marker, wraps and verifies
// the bytes, parses them. Throws TpPacketError for anything it must drop.
TpMessage DecodeTpPacket(const uint8_t* bytes, size_t length);
