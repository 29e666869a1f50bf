// What the server answers to one request packet: pure logic over the modem
// operations and a clock, apart from any socket.
#pragma once

#include <cstddef>
#include <cstdint>

#include <ace/Time_Value.h>

#include "common/tp_packet.h"
#include "platform/clock/clock.h"
#include "smsservice/modem/gsm_modem.h"
#include "smsservice/modem/modem_sms.h"

// The modem operations a request needs; the service passes the driver.
class ModemAccess {
 public:
  virtual ~ModemAccess() = default;
  virtual int Open(int port, int baud) = 0;
  virtual int GetModemState() = 0;
  virtual int GetPort() = 0;
  virtual int GetBaud() = 0;
  // The oldest received message, which stays until ConfirmFetched.
  virtual bool PeekReceived(ModemSms& sms) = 0;
  virtual void ConfirmFetched(int64_t journalId) = 0;
  virtual bool SubmitSms(const char* number, const char* smsc, const char* text, uint8_t dcs) = 0;
  // What a status request tells; a modem access that knows no more than
  // the state tells just that.
  virtual ModemReport Report() {
    ModemReport report;
    report.state = GetModemState();
    report.port = GetPort();
    report.baud = GetBaud();
    return report;
  }
};

// The service's own modem, as requests reach it.
class DriverAccess final : public ModemAccess {
 public:
  explicit DriverAccess(CGsmMorden& modem) : modem_(modem) {}
  int Open(int port, int baud) override { return modem_.Open(port, baud); }
  int GetModemState() override { return modem_.GetModemState(); }
  int GetPort() override { return modem_.GetPort(); }
  int GetBaud() override { return modem_.GetBaud(); }
  bool PeekReceived(ModemSms& sms) override { return modem_.PeekReceived(sms); }
  void ConfirmFetched(int64_t journalId) override { modem_.ConfirmFetched(journalId); }
  bool SubmitSms(const char* number, const char* smsc, const char* text, uint8_t dcs) override {
    return modem_.SubmitSms(number, smsc, text, dcs);
  }
  ModemReport Report() override { return modem_.Report(); }

 private:
  CGsmMorden& modem_;
};

// Per connection: a client repeating the same open request reaches the
// driver at most once every 6 s, and is told the current state meanwhile.
struct OpenRule {
  Clock::Monotonic::time_point lastOpenTime;
  uint8_t lastPort = 0;
  uint32_t lastBaud = 0;
};

inline constexpr size_t REPLY_AREA_SIZE = 6000;

// The report as a TP_STATUS_ACK record carries it.
TpServiceStatus StatusRecord(const ModemReport& report);

// A reply that hands a received message over: once it has been written to
// the client's socket, the message is confirmed and leaves the service.
struct Handover {
  bool carriesMessage = false;
  int64_t journalId = 0;
};

// Answers a verified packet into `reply` (REPLY_AREA_SIZE bytes); returns
// the reply length, 0 for no reply. Throws TpPacketError for a payload that
// does not hold its record.
size_t DispatchRequest(const SP_Packet& packet, OpenRule& rule, ModemAccess& modem, Clock::Monotonic::time_point now,
                       uint8_t* reply, Handover* handover = nullptr);

// One read's worth of bytes: checks the marker, verifies the first packet
// and answers it; bytes after the first packet are ignored. Returns the reply
// length, 0 when nothing is to be answered.
size_t ProcessPacket(const uint8_t* bytes, size_t count, OpenRule& rule, ModemAccess& modem,
                     Clock::Monotonic::time_point now, uint8_t* reply, Handover* handover = nullptr);
