// The modem driver and traffic engine against modemsim over a real
// pseudo-terminal. The engine's waits run ten times faster than in service.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/codepage/codepage.h"
#include "smsservice/modem/gsm_modem.h"
#include "smsservice/modem/pdu_codec.h"
#include "smsservice/modem/serial_line.h"
#include "tests/e2e/support/modem_on_sim.h"
#include "tests/e2e/support/modem_sim.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Received {
  std::string number, timestamp, text;
};

class ModemEngine : public ModemOnSim {
 protected:
  static constexpr int kStorageSlots = 50;

  ModemEngine() : ModemOnSim(5, kStorageSlots) {}
  bool WaitState(int state, double seconds) {
    return WaitUntil([&] { return modem->GetModemState() == state; }, seconds);
  }
  // Messages fetched until `count` have come or `seconds` have passed.
  std::vector<Received> Fetch(size_t count, double seconds) {
    std::vector<Received> got;
    WaitUntil(
        [&] {
          char number[SMS_NUMBER_FIELD], stamp[SMS_NUMBER_FIELD], text[SMS_TEXT_FIELD];
          while (got.size() < count && modem->FetchReceived(number, stamp, text)) got.push_back({number, stamp, text});
          return got.size() >= count;
        },
        seconds);
    return got;
  }
  void Inject(const std::string& from, const std::string& text, nlohmann::json extra = nlohmann::json::object()) {
    extra["cmd"] = "inject";
    extra["from"] = from;
    extra["text"] = text;
    sim->Call(extra);
  }
  size_t SentCount() { return sim->Call({{"cmd", "sent"}})["sent"].size(); }
  size_t StoredCount() { return sim->Call({{"cmd", "storage"}})["messages"].size(); }
};

// A failed start-up releases the port between attempts, and the modem is
// tried again by itself, later each time, until it answers as it should.
TEST_F(ModemEngine, StartUpFailsOnUnknownSignalAndIsTriedAgainUntilItPasses) {
  sim->Call({{"cmd", "fault"}, {"mode", "signal"}, {"value", 99}});
  EXPECT_EQ(modem->Open(sim->com(), 19200), MODEM_OPENING);
  EXPECT_EQ(modem->Open(sim->com(), 19200), MODEM_OPENING);  // a second open changes nothing
  ASSERT_TRUE(WaitState(MODEM_CLOSED, 5));
  EXPECT_TRUE(sim->LinesStartingWith("AT+CPIN").empty());
  ASSERT_TRUE(WaitUntil([&] { return sim->LinesStartingWith("AT+CSQ").size() >= 3; }, 5));
  auto tries = sim->TimesOf("AT+CSQ");
  EXPECT_GT(tries[2] - tries[1], tries[1] - tries[0]);  // backing off

  sim->Call({{"cmd", "fault"}, {"mode", "signal"}, {"value", 0}});  // weakest, but known
  EXPECT_TRUE(WaitState(MODEM_READY, 10));
}

TEST_F(ModemEngine, RegistrationNeedsOkOrHomeOrRoaming) {
  sim->Call({{"cmd", "fault"}, {"mode", "registration"}, {"status", 2}});  // searching, with OK
  EXPECT_TRUE(OpenReady());
  modem->ReleaseSession();
  modem->SetModemState(MODEM_CLOSED);

  sim->Call({{"cmd", "fault"}, {"mode", "registration"}, {"status", 2}, {"with_ok", false}});
  sim->Call({{"cmd", "log"}, {"clear", true}});
  modem->Open(sim->com(), 19200);
  ASSERT_TRUE(WaitState(MODEM_CLOSED, 5));
  EXPECT_TRUE(sim->LinesStartingWith("AT+CPMS").empty());

  sim->Call({{"cmd", "fault"}, {"mode", "registration"}, {"status", 5}, {"with_ok", false}});
  EXPECT_TRUE(OpenReady());
}

TEST_F(ModemEngine, EmptyStorageDeletesNothingAndUsedStorageDeletesEverySlot) {
  ASSERT_TRUE(OpenReady());
  EXPECT_TRUE(sim->LinesStartingWith("AT+CMGD").empty());
  modem->ReleaseSession();
  modem->SetModemState(MODEM_CLOSED);

  sim->Call({{"cmd", "log"}, {"clear", true}});
  sim->Call({{"cmd", "fault"}, {"mode", "prestore"}, {"count", 3}});
  ASSERT_TRUE(OpenReady(20));
  std::vector<std::string> expected;
  for (int i = 1; i <= kStorageSlots; ++i) expected.push_back("AT+CMGD=" + std::to_string(i));
  auto deletions = sim->LinesStartingWith("AT+CMGD");
  deletions.resize(std::min(deletions.size(), expected.size()));  // the engine's own come later
  EXPECT_EQ(deletions, expected);
  EXPECT_EQ(StoredCount(), 0u);
}

TEST_F(ModemEngine, SendGoesOutAsTheEncodedPduWith86InFront) {
  ASSERT_TRUE(OpenReady());
  EXPECT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "hello", 0));
  EXPECT_TRUE(modem->SubmitSms("8613700000000", "8613800100500", "\xD6\xD0\xCE\xC4", 8));
  ASSERT_TRUE(WaitUntil([&] { return SentCount() == 2; }, 5));
  auto sent = sim->Call({{"cmd", "sent"}})["sent"];

  ModemSms first;
  std::strcpy(first.smsc, "8613800100500");
  std::strcpy(first.number, "8613912345678");
  std::strcpy(first.text, "hello");
  char pdu[SUBMIT_PDU_HEX_MAX];
  int length = EncodeSubmitPdu(first, pdu);
  EXPECT_EQ(sent[0]["pdu"], pdu);
  EXPECT_EQ(sent[0]["length"], SubmitPduCommandLength(pdu, length));
  EXPECT_NE(sent[1]["pdu"].get<std::string>().find("0D91683107000000F0"), std::string::npos);  // not 86 twice
}

TEST_F(ModemEngine, MessagesThatCannotGoOutAreRefusedAtOnce) {
  EXPECT_FALSE(modem->SubmitSms("13912345678", "8613800100500", "not ready", 0));
  ASSERT_TRUE(OpenReady());
  EXPECT_FALSE(modem->SubmitSms("13912345678901", "8613800100500", "86 makes it 16", 0));
  EXPECT_TRUE(modem->SubmitSms("8613912345678", "8613800100500", "15 with its 86", 0));
  std::string tooLong(1024, 'x');
  EXPECT_FALSE(modem->SubmitSms("13912345678", "8613800100500", tooLong.c_str(), 4));
  EXPECT_FALSE(modem->SubmitSms("13912345678", "8613800100500", std::string(161, 'x').c_str(), 0));
  std::string seventyOneHanzi;
  for (int i = 0; i < 71; ++i) seventyOneHanzi += "\xD6\xD0";
  EXPECT_FALSE(modem->SubmitSms("13912345678", "8613800100500", seventyOneHanzi.c_str(), 0));  // not even as UCS2
  EXPECT_TRUE(WaitUntil([&] { return SentCount() == 1; }, 5));
}

TEST_F(ModemEngine, SevenBitRequestWithChineseTextGoesOutAsUcs2) {
  ASSERT_TRUE(OpenReady());
  EXPECT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "\xD6\xD0\xCE\xC4 ok", 0));
  ASSERT_TRUE(WaitUntil([&] { return SentCount() == 1; }, 5));
  ModemSms asUcs2;
  std::strcpy(asUcs2.smsc, "8613800100500");
  std::strcpy(asUcs2.number, "8613912345678");
  std::strcpy(asUcs2.text, "\xD6\xD0\xCE\xC4 ok");
  asUcs2.dcs = 8;
  char pdu[SUBMIT_PDU_HEX_MAX];
  EncodeSubmitPdu(asUcs2, pdu);
  EXPECT_EQ(sim->Call({{"cmd", "sent"}})["sent"][0]["pdu"], pdu);  // "中文 ok" as written
}

TEST_F(ModemEngine, ASlowPromptIsWaitedForAndTheModemStaysUsable) {
  ASSERT_TRUE(OpenReady());
  // Longer than one read waits (0.6 s at service pace, a tenth here): the
  // prompt must still be waited for, not left to turn later commands into text.
  sim->Call({{"cmd", "fault"}, {"mode", "delay"}, {"ms", 300}});
  EXPECT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "slow", 0));
  ASSERT_TRUE(WaitUntil([&] { return SentCount() == 1; }, 5));
  sim->Call({{"cmd", "fault"}, {"mode", "clear"}});
  EXPECT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "after", 0));
  EXPECT_TRUE(WaitUntil([&] { return SentCount() == 2; }, 5));
  EXPECT_EQ(modem->GetModemState(), MODEM_READY);
}

TEST_F(ModemEngine, ErrorOnEverySendGivesUpAfter31AttemptsAndCarriesOn) {
  ASSERT_TRUE(OpenReady());
  sim->Call({{"cmd", "fault"}, {"mode", "error"}, {"command", "send"}, {"count", 1000}});
  ASSERT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "doomed", 0));
  ASSERT_TRUE(WaitUntil([&] { return sim->LinesStartingWith("AT+CMGS").size() >= 31; }, 30));
  WaitUntil([] { return false; }, 1.5);  // 15 s of engine time: no 32nd attempt
  EXPECT_EQ(sim->LinesStartingWith("AT+CMGS").size(), 31u);

  sim->Call({{"cmd", "fault"}, {"mode", "clear"}});
  ASSERT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "next", 0));
  EXPECT_TRUE(WaitUntil([&] { return SentCount() == 1; }, 5));
  EXPECT_EQ(modem->GetModemState(), MODEM_READY);
}

TEST_F(ModemEngine, SilenceDuringASendClosesTheModemAfterTenSecondsUntilItAnswersAgain) {
  ASSERT_TRUE(OpenReady());
  sim->Call({{"cmd", "fault"}, {"mode", "silent"}});
  auto start = Clock::now();
  ASSERT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "lost", 0));
  ASSERT_TRUE(WaitState(MODEM_CLOSED, 5));
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_GE(seconds, 0.95);  // ten seconds of engine time
  EXPECT_LT(seconds, 2.5);

  sim->Call({{"cmd", "fault"}, {"mode", "clear"}});
  EXPECT_TRUE(WaitState(MODEM_READY, 10));  // back by itself, and the message not lost
  EXPECT_TRUE(WaitUntil([&] { return SentCount() == 1; }, 5));
}

TEST_F(ModemEngine, ListedMessagesArriveInOrderThenAreDeleted) {
  ASSERT_TRUE(OpenReady());
  sim->Call({{"cmd", "log"}, {"clear", true}});
  Inject("8613811111111", "first");
  Inject("8613822222222", "second");
  Inject("8613833333333", "third");
  auto got = Fetch(3, 5);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].text, "first");
  EXPECT_EQ(got[1].text, "second");
  EXPECT_EQ(got[2].text, "third");
  EXPECT_EQ(got[0].number, "8613811111111");
  EXPECT_EQ(got[0].timestamp.size(), 14u);
  ASSERT_TRUE(WaitUntil([&] { return StoredCount() == 0; }, 3));
  EXPECT_EQ(sim->LinesStartingWith("AT+CMGD"), (std::vector<std::string>{"AT+CMGD=1", "AT+CMGD=2", "AT+CMGD=3"}));
}

TEST_F(ModemEngine, ConcatenatedPartsStoredTwoThreeOneArriveOnce) {
  ASSERT_TRUE(OpenReady());
  std::string text = "各位注意：今天下午三点在二号楼前举行消防演练，请全体人员按照预案有序撤离，不要乘坐电梯。";
  Inject("8613811111111", text, {{"coding", "ucs2"}, {"parts", 3}, {"order", {2, 3, 1}}});
  auto got = Fetch(2, 1.5);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].text, codepage::Utf8ToGbk(text));
  EXPECT_TRUE(WaitUntil([&] { return StoredCount() == 0; }, 3));
}

TEST_F(ModemEngine, AMessagePushedDuringAListingIsSentAfterTheDeletions) {
  ASSERT_TRUE(OpenReady());
  // Slower answers stretch the listing; still inside the engine's read time-out.
  sim->Call({{"cmd", "fault"}, {"mode", "delay"}, {"ms", 30}});
  Inject("8613811111111", "a");
  Inject("8613811111111", "b");
  Inject("8613811111111", "c");
  sim->Call({{"cmd", "log"}, {"clear", true}});
  ASSERT_TRUE(WaitUntil([&] { return !sim->LinesStartingWith("AT+CMGL=0").empty(); }, 5));
  ASSERT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "after", 0));
  ASSERT_TRUE(WaitUntil([&] { return SentCount() == 1; }, 5));
  auto lines = sim->CommandLines();
  auto position = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
  EXPECT_LT(position("AT+CMGD=3"),
            position("AT+CMGS=" + std::to_string(sim->Call({{"cmd", "sent"}})["sent"][0]["length"].get<int>())));
  EXPECT_EQ(Fetch(3, 2).size(), 3u);
}

TEST_F(ModemEngine, StopEventEndsTheThreadAfterItsCurrentStep) {
  ASSERT_TRUE(OpenReady());
  sim->Call({{"cmd", "fault"}, {"mode", "silent"}});
  ASSERT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "waiting", 0));
  ASSERT_TRUE(WaitUntil([&] { return !sim->LinesStartingWith("AT+CMGS").empty(); }, 3));
  auto start = Clock::now();
  modem->ReleaseSession();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_LT(seconds, 0.4);  // one read, one sleep and the 20 ms wait, at a tenth
  EXPECT_EQ(modem->GetModemState(), MODEM_CLOSED);
  EXPECT_FALSE(modem->PortOpen());
}

TEST_F(ModemEngine, FullSendRingRefusesWithoutLosingWhatItHolds) {
  ASSERT_TRUE(OpenReady());
  int accepted = 0;
  while (accepted < 200 && modem->SubmitSms("13912345678", "8613800100500", std::to_string(accepted).c_str(), 0))
    ++accepted;
  EXPECT_GE(accepted, 127);  // the ring's 127, plus what the engine already took
  EXPECT_LE(accepted, 129);
  ASSERT_TRUE(WaitUntil([&] { return SentCount() == static_cast<size_t>(accepted); }, 60));
  auto sent = sim->Call({{"cmd", "sent"}})["sent"];
  ModemSms last;
  std::strcpy(last.smsc, "8613800100500");
  std::strcpy(last.number, "8613912345678");
  std::strcpy(last.text, std::to_string(accepted - 1).c_str());
  char pdu[SUBMIT_PDU_HEX_MAX];
  EncodeSubmitPdu(last, pdu);
  EXPECT_EQ(sent.back()["pdu"], pdu);
}

TEST_F(ModemEngine, AListingOfMoreThan256EntriesDeliversAndDeletesEveryOne) {
  modem.reset();
  sim = std::make_unique<ModemSim>(5, 300);
  setenv("QUILLON_DEVICE_DIR", sim->deviceDir().c_str(), 1);
  modem = std::make_unique<CGsmMorden>();
  ASSERT_TRUE(OpenReady());
  sim->Call({{"cmd", "fault"}, {"mode", "prestore"}, {"count", 260}});
  auto got = Fetch(260, 60);
  ASSERT_EQ(got.size(), 260u);
  for (int i = 0; i < 260; ++i) EXPECT_EQ(got[i].text, "stored message " + std::to_string(i + 1));
  EXPECT_TRUE(WaitUntil([&] { return StoredCount() == 0; }, 20)) << StoredCount() << " left in the modem";
}

TEST_F(ModemEngine, FullReceiveRingKeepsTheRestStoredUntilThereIsRoom) {
  modem.reset();
  sim = std::make_unique<ModemSim>(5, 200);  // room for more than the ring holds
  setenv("QUILLON_DEVICE_DIR", sim->deviceDir().c_str(), 1);
  modem = std::make_unique<CGsmMorden>();
  ASSERT_TRUE(OpenReady());
  sim->Call({{"cmd", "fault"}, {"mode", "silent"}});  // hold the engine while the modem fills
  for (int i = 0; i < 130; ++i) Inject("8613811111111", "m" + std::to_string(i));
  sim->Call({{"cmd", "fault"}, {"mode", "clear"}});
  ASSERT_TRUE(WaitUntil([&] { return StoredCount() == 3; }, 20));  // 127 taken and deleted
  WaitUntil([] { return false; }, 1.0);
  EXPECT_EQ(StoredCount(), 3u);  // the rest stay until a client makes room
  auto got = Fetch(130, 20);
  ASSERT_EQ(got.size(), 130u);
  for (int i = 0; i < 130; ++i) EXPECT_EQ(got[i].text, "m" + std::to_string(i));
  EXPECT_TRUE(WaitUntil([&] { return StoredCount() == 0; }, 5));
}

}  // namespace
