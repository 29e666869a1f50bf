#include "tools/quillonctl/status_report.h"

#include <cstring>
#include <sstream>

#include <nlohmann/json.hpp>

#include "smsservice/modem/modem_health.h"

namespace {

const char* StateName(uint8_t state) {
  switch (state) {
    case MODEM_READY: return "ready";
    case MODEM_OPENING: return "opening";
    case MODEM_CLOSED: return "closed";
    default: return "unknown";
  }
}

int Registration(const TpServiceStatus& status) {
  return status.registration == TP_STATUS_NOT_KNOWN ? kRegistrationNotKnown : status.registration;
}

// A text field as it came: its NUL is guaranteed by the parser.
std::string Text(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

template <size_t N>
std::string Text(const char (&field)[N]) {
  return Text(field, N);
}

nlohmann::json CountOrNull(uint16_t count) {
  return count == TP_STATUS_COUNT_NOT_KNOWN ? nlohmann::json(nullptr) : nlohmann::json(count);
}

}  // namespace

std::string StatusText(const TpServiceStatus& status) {
  std::ostringstream out;
  out << "state: " << StateName(status.state) << " (COM" << int(status.port) << " at " << status.baud << " baud)\n";
  std::string maker = Text(status.maker), model = Text(status.model), imei = Text(status.imei);
  out << "modem: " << (maker.empty() && model.empty() ? "not known" : maker + " " + model);
  if (!imei.empty()) out << ", IMEI " << imei;
  out << "\nregistration: " << RegistrationName(Registration(status)) << "\n";
  auto dbm = SignalDbm(status.signalCsq);
  out << "signal: " << (dbm ? std::to_string(status.signalCsq) + " (" + std::to_string(*dbm) + " dBm)" : "not known")
      << "\n";
  out << "storage: ";
  if (status.storageUsed == TP_STATUS_COUNT_NOT_KNOWN) out << "not known\n";
  else out << status.storageUsed << " of " << status.storageTotal << " used\n";
  out << "queues: " << status.sendQueue << " to send, " << status.receiveQueue << " received for clients\n";
  out << "given up: " << status.givenUp << "\n";
  out << "recoveries: " << status.recoveries << "\n";
  std::string error = Text(status.lastError);
  out << "last error: " << (error.empty() ? "none" : error) << "\n";
  return out.str();
}

std::string StatusJson(const TpServiceStatus& status) {
  auto dbm = SignalDbm(status.signalCsq);
  std::string error = Text(status.lastError);
  nlohmann::json json = {
      {"state", StateName(status.state)},
      {"port", status.port},
      {"baud", status.baud},
      {"maker", Text(status.maker)},
      {"model", Text(status.model)},
      {"imei", Text(status.imei)},
      {"registration", RegistrationName(Registration(status))},
      {"signal_csq", status.signalCsq},
      {"signal_dbm", dbm ? nlohmann::json(*dbm) : nlohmann::json(nullptr)},
      {"storage_used", CountOrNull(status.storageUsed)},
      {"storage_total", CountOrNull(status.storageTotal)},
      {"send_queue", status.sendQueue},
      {"receive_queue", status.receiveQueue},
      {"given_up", status.givenUp},
      {"recoveries", status.recoveries},
      {"last_error", error.empty() ? nlohmann::json(nullptr) : nlohmann::json(error)},
  };
  // A modem's texts are not bound to be UTF-8.
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
