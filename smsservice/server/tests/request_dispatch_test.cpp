#include "smsservice/server/request_dispatch.h"

#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace {

class FakeModem : public ModemAccess {
 public:
  int state = MODEM_CLOSED;
  int opens = 0;
  std::deque<std::string> inbox;  // texts, all from 8613900000000
  std::vector<std::string> submitted;
  bool acceptSubmit = true;

  int Open(int, int) override {
    ++opens;
    if (state == MODEM_CLOSED) state = MODEM_OPENING;
    return state;
  }
  int GetModemState() override { return state; }
  int GetPort() override { return 3; }
  int GetBaud() override { return 9600; }
  bool PeekReceived(ModemSms& sms) override {
    if (inbox.empty()) return false;
    std::strcpy(sms.number, "8613900000000");
    std::strcpy(sms.timestamp, "24071216304232");
    std::strcpy(sms.text, inbox.front().c_str());
    sms.journalId = 100 + static_cast<int64_t>(inbox.size());
    return true;
  }
  void ConfirmFetched(int64_t journalId) override {
    confirmed.push_back(journalId);
    inbox.pop_front();
  }
  std::vector<int64_t> confirmed;
  bool SubmitSms(const char* number, const char* smsc, const char*, uint8_t) override {
    submitted.push_back(std::string(number) + "/" + smsc);
    return acceptSubmit;
  }
  std::optional<ModemReport> report;  // else what the base tells
  ModemReport Report() override { return report ? *report : ModemAccess::Report(); }
};

std::vector<uint8_t> Bytes(const TpBuffer& b) { return {b.data, b.data + b.length}; }

Clock::Monotonic::time_point At(double seconds) {
  return Clock::Monotonic::time_point(
      std::chrono::duration_cast<Clock::Monotonic::duration>(std::chrono::duration<double>(seconds)));
}

class Dispatch : public ::testing::Test {
 protected:
  // Sends `request` on `rule`'s connection at `seconds` and decodes the reply.
  TpMessage Ask(const std::vector<uint8_t>& request, OpenRule& rule, double seconds, size_t* length = nullptr) {
    uint8_t reply[REPLY_AREA_SIZE];
    size_t n = ProcessPacket(request.data(), request.size(), rule, modem, At(seconds), reply);
    if (length) *length = n;
    if (n == 0) return TpMessage{};
    return DecodeTpPacket(reply, n);
  }
  std::vector<uint8_t> OpenRequest(uint8_t port = 3, uint32_t baud = 9600) {
    TpBuffer b;
    b.MakeModemOpen(port, baud);
    return Bytes(b);
  }
  std::vector<uint8_t> FetchRequest() {
    TpBuffer b;
    b.MakeSmsFetch(0, 0);
    return Bytes(b);
  }

  FakeModem modem;
  OpenRule connection;
};

TEST_F(Dispatch, RepeatedOpenReachesTheDriverOncePerSixSecondsPerConnection) {
  connection.lastOpenTime = At(1000.0);
  TpMessage reply = Ask(OpenRequest(), connection, 1000.0);
  EXPECT_EQ(modem.opens, 1);
  ASSERT_TRUE(reply.modemState());
  EXPECT_EQ(reply.modemState()->state, MODEM_OPENING);
  EXPECT_EQ(reply.modemState()->port, 3);
  EXPECT_EQ(reply.modemState()->baud, 9600u);

  modem.state = MODEM_READY;
  EXPECT_EQ(Ask(OpenRequest(), connection, 1005.9).modemState()->state, MODEM_READY);  // told, not opened
  EXPECT_EQ(modem.opens, 1);
  Ask(OpenRequest(), connection, 1006.0);
  EXPECT_EQ(modem.opens, 2);

  OpenRule other;
  other.lastOpenTime = At(1006.0);
  Ask(OpenRequest(), other, 1006.5);  // the rule is per connection
  EXPECT_EQ(modem.opens, 3);
  Ask(OpenRequest(4, 9600), connection, 1006.5);  // another port is another request
  EXPECT_EQ(modem.opens, 4);
}

TEST_F(Dispatch, FetchAnswersAMessageOrTheState) {
  size_t length;
  modem.state = MODEM_READY;
  TpMessage reply = Ask(FetchRequest(), connection, 1, &length);
  EXPECT_EQ(length, 12u);
  ASSERT_TRUE(reply.modemState());
  EXPECT_EQ(reply.modemState()->state, MODEM_READY);

  modem.inbox.push_back("\xD6\xD0\xCE\xC4");
  reply = Ask(FetchRequest(), connection, 1);
  ASSERT_TRUE(reply.smsDeliver());
  EXPECT_STREQ(reply.smsDeliver()->sender, "8613900000000");
  EXPECT_STREQ(reply.smsDeliver()->timestamp, "24071216304232");
  EXPECT_EQ(reply.smsDeliver()->textLength, 4u);
  EXPECT_STREQ(reply.smsDeliver()->text, "\xD6\xD0\xCE\xC4");
}

// The message stays in the service until its reply has been written out, so
// a client that vanishes before that does not take it with it.
TEST_F(Dispatch, AFetchedMessageIsConfirmedOnlyByWhoeverWritesTheReply) {
  modem.state = MODEM_READY;
  modem.inbox = {"first", "second"};
  uint8_t reply[REPLY_AREA_SIZE];
  Handover handover;
  auto fetch = FetchRequest();
  ASSERT_GT(ProcessPacket(fetch.data(), fetch.size(), connection, modem, At(1), reply, &handover), 0u);
  EXPECT_TRUE(handover.carriesMessage);
  EXPECT_EQ(handover.journalId, 102);
  EXPECT_TRUE(modem.confirmed.empty());
  EXPECT_EQ(modem.inbox.size(), 2u);

  size_t length = ProcessPacket(fetch.data(), fetch.size(), connection, modem, At(1), reply, &handover);
  ASSERT_GT(length, 0u);
  EXPECT_STREQ(DecodeTpPacket(reply, length).smsDeliver()->text, "first") << "not confirmed: handed out again";
}

TEST_F(Dispatch, SubmitIsAcknowledgedOrAnsweredWithTheState) {
  TpSmsSubmit submit;
  std::strcpy(submit.smsc, "8613800100500");
  std::strcpy(submit.destination, "13912345678");
  submit.textLength = 2;
  std::memcpy(submit.text, "ok", 2);
  TpBuffer request;
  request.MakeSmsSubmit(submit);

  TpMessage reply = Ask(Bytes(request), connection, 1);
  ASSERT_TRUE(reply.submitAck());
  EXPECT_EQ(reply.submitAck()->result, 0);
  EXPECT_EQ(modem.submitted.front(), "13912345678/8613800100500");

  modem.acceptSubmit = false;
  modem.state = MODEM_OPENING;
  reply = Ask(Bytes(request), connection, 1);
  ASSERT_TRUE(reply.modemState());
  EXPECT_EQ(reply.modemState()->state, MODEM_OPENING);
}

TEST_F(Dispatch, QueryIsAnsweredWithStateZero) {
  std::vector<uint8_t> query{0xFD, 0, TP_MODEM_QUERY, TP_MODEM_QUERY, 0, 0};
  modem.state = MODEM_CLOSED;
  TpMessage reply = Ask(query, connection, 1);
  ASSERT_TRUE(reply.modemQueryAck());
  EXPECT_EQ(reply.modemQueryAck()->state, MODEM_READY);
  EXPECT_EQ(reply.modemQueryAck()->port, 3);
}

TEST_F(Dispatch, MalformedInputGetsNoReply) {
  size_t length = 99;
  auto fetch = FetchRequest();
  auto bad = fetch;
  bad[0] = 0xFE;
  Ask(bad, connection, 1, &length);
  EXPECT_EQ(length, 0u);
  bad = fetch;
  bad[3] ^= 0x40;  // checksum
  Ask(bad, connection, 1, &length);
  EXPECT_EQ(length, 0u);
  Ask({fetch.begin(), fetch.end() - 1}, connection, 1, &length);  // declared length beyond the read
  EXPECT_EQ(length, 0u);
  Ask({0xFD, 0, 0x55, 0x55, 0, 0}, connection, 1, &length);  // unknown command
  EXPECT_EQ(length, 0u);
  std::vector<uint8_t> shortOpen{0xFD, 0, TP_MODEM_OPEN, TP_MODEM_OPEN, 0, 0};
  Ask(shortOpen, connection, 1, &length);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(modem.opens, 0);
}

TEST_F(Dispatch, OnlyTheFirstOfTwoPacketsInOneReadIsAnswered) {
  auto both = OpenRequest();
  auto fetch = FetchRequest();
  both.insert(both.end(), fetch.begin(), fetch.end());
  modem.inbox.push_back("kept");
  TpMessage reply = Ask(both, connection, 100);
  EXPECT_TRUE(reply.modemState());
  EXPECT_EQ(modem.opens, 1);
  EXPECT_EQ(modem.inbox.size(), 1u);  // the fetch was never seen
}

// Everything the service knows reaches the client, unknowns as unknowns, and
// a text too long for its field is cut on a whole character.
TEST_F(Dispatch, AStatusRequestIsAnsweredWithTheWholeReport) {
  TpBuffer request;
  request.MakeStatusRequest();
  TpMessage reply = Ask(Bytes(request), connection, 1.0);
  ASSERT_TRUE(reply.serviceStatus());
  EXPECT_EQ(reply.serviceStatus()->state, MODEM_CLOSED);
  EXPECT_EQ(reply.serviceStatus()->registration, TP_STATUS_NOT_KNOWN);
  EXPECT_EQ(reply.serviceStatus()->storageUsed, TP_STATUS_COUNT_NOT_KNOWN);

  ModemReport report;
  report.state = MODEM_READY;
  report.port = 3;
  report.health.registration = 5;
  report.health.signalCsq = 17;
  report.health.storageUsed = 2;
  report.health.storageTotal = 50;
  report.health.identity = {"MODEMSIM", "GSM-SIM 1", "351234567890125"};
  report.health.givenUp = 1;
  report.health.recoveries = 4;
  report.health.lastError = std::string(120, 'x') + "短信发送失败";  // 138 bytes
  report.sendQueue = 7;
  report.receiveQueue = 3;
  modem.report = report;
  reply = Ask(Bytes(request), connection, 2.0);
  ASSERT_TRUE(reply.serviceStatus());
  const TpServiceStatus& status = *reply.serviceStatus();
  EXPECT_EQ(
      std::make_tuple(status.state, status.port, status.registration, status.signalCsq, status.storageUsed,
                      status.storageTotal, status.sendQueue, status.receiveQueue, status.givenUp, status.recoveries),
      std::make_tuple(MODEM_READY, 3, 5, 17, 2, 50, 7, 3, 1u, 4u));
  EXPECT_STREQ(status.imei, "351234567890125");
  EXPECT_EQ(std::string(status.lastError), std::string(120, 'x') + "短信");  // 126 bytes; the next would not fit
}

}  // namespace
