// The payload of a status reply, as the service's reply packet carries it,
// through the parser and both renderings: the JSON must parse and carry
// every key, and a parsed record must build and parse again to the same.
#include <cstring>

#include <nlohmann/json.hpp>

#include "common/tp_packet.h"
#include "fuzz/fuzz_check.h"
#include "tools/quillonctl/status_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > TP_MAX_PAYLOAD) return 0;
  uint8_t packet[TP_BUFFER_SIZE] = {TP_MARKER,
                                    0,
                                    TP_STATUS_ACK,
                                    TpChecksum(TP_STATUS_ACK, data, size),
                                    static_cast<uint8_t>(size),
                                    static_cast<uint8_t>(size >> 8)};
  std::memcpy(packet + TP_HEADER_SIZE, data, size);
  TpMessage message;
  try {
    message = DecodeTpPacket(packet, TP_HEADER_SIZE + size);
  } catch (const TpPacketError&) {
    return 0;
  }
  const TpServiceStatus* status = message.serviceStatus();
  FUZZ_CHECK(status != nullptr);
  StatusText(*status);
  nlohmann::json json = nlohmann::json::parse(StatusJson(*status));
  for (const char* key : {"state", "registration", "signal_csq", "signal_dbm", "storage_used", "send_queue", "given_up",
                          "recoveries", "last_error", "imei"})
    FUZZ_CHECK(json.contains(key));
  FUZZ_CHECK(json["signal_csq"].get<int>() == status->signalCsq);

  TpBuffer buffer;
  buffer.MakeServiceStatus(*status);
  TpMessage again = DecodeTpPacket(buffer.data, buffer.length);
  FUZZ_CHECK(again.serviceStatus() && std::memcmp(again.serviceStatus()->lastError, status->lastError, 128) == 0 &&
             again.serviceStatus()->recoveries == status->recoveries && again.serviceStatus()->state == status->state);
  return 0;
}
