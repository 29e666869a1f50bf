// New-message indications between the modem driver and modemsim over a real
// pseudo-terminal, and the session the driver has without them. The
// engine's waits run ten times faster than in service.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/codepage/codepage.h"
#include "smsservice/modem/gsm_modem.h"
#include "tests/e2e/support/modem_on_sim.h"
#include "tests/e2e/support/modem_sim.h"

namespace {

// "first" from 8613811111111, as an 8-bit SMS with a fixed time stamp, so
// that a listing of it is the same bytes in every run.
const char kFirstPdu[] = "0891683108200105F0040D91683118111111F1000442702161032423056669727374";

std::string Escaped(const std::string& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = bytes[i];
    if (c == '\r') text += "\\r";
    else if (c == '\n') text += "\\n";
    else if (c == '\\') text += "\\\\";
    else if (c < 0x20 || c >= 0x7F || (c == ' ' && i + 1 == bytes.size())) {  // a space at a line's end shows
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      text += hex;
    } else text += static_cast<char>(c);
  }
  return text;
}

// The transcript as text, one crossing a line: "> " from the service, "< "
// from the modem. Listings that find nothing repeat as often as the clock
// allows between the session's events, so a run of them counts as one, and
// a command still unanswered when the snapshot was taken is left out.
std::string Rendered(std::vector<LineCrossing> crossings) {
  if (!crossings.empty() && crossings.back().fromHost) crossings.pop_back();
  auto idleListing = [&](size_t at) {
    return at + 1 < crossings.size() && crossings[at].fromHost && crossings[at].bytes == "AT+CMGL=0\r\n" &&
           crossings[at + 1].bytes == "\r\nOK\r\n";
  };
  auto line = [&](size_t at) { return (crossings[at].fromHost ? "> " : "< ") + Escaped(crossings[at].bytes) + "\n"; };
  std::string text;
  bool lastWasIdle = false;
  for (size_t i = 0; i < crossings.size(); ++i) {
    bool idle = idleListing(i);
    if (!(idle && lastWasIdle)) text += idle ? line(i) + line(i + 1) : line(i);
    if (idle) ++i;
    lastWasIdle = idle;
  }
  return text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ModemIndications : public ModemOnSim {
 protected:
  ModemIndications() : ModemOnSim(8, 50) {}
  size_t Listings() { return sim->LinesStartingWith("AT+CMGL").size(); }
  // Waits for one more listing than there have been so far.
  bool NextListing(double seconds = 5) {
    size_t before = Listings();
    return WaitUntil([&] { return Listings() > before; }, seconds);
  }
  size_t SentCount() { return sim->Call({{"cmd", "sent"}})["sent"].size(); }
  size_t StoredCount() { return sim->Call({{"cmd", "storage"}})["messages"].size(); }
  bool FetchOne(std::string& text, double seconds = 5) {
    return WaitUntil(
        [&] {
          char number[SMS_NUMBER_FIELD], stamp[SMS_NUMBER_FIELD], body[SMS_TEXT_FIELD];
          if (!modem->FetchReceived(number, stamp, body)) return false;
          text = body;
          return true;
        },
        seconds);
  }

  // Opens with indications asked for, and waits for the first listing, so
  // that the next periodic one is 5 s of engine time away.
  void OpenAnnouncing() {
    modem->UseIndications(true);
    ASSERT_TRUE(OpenReady());
    ASSERT_TRUE(NextListing());
  }
  void Fault(nlohmann::json fault) {
    fault["cmd"] = "fault";
    sim->Call(fault);
  }
  std::string Inject(const std::string& text, nlohmann::json extra = nlohmann::json::object()) {
    extra["cmd"] = "inject";
    extra["from"] = "8613811111111";
    extra["text"] = text;
    sim->Call(extra);
    return text;
  }
  // The modem's clock (ms) at the last listing so far.
  long LastListing() { return sim->TimesOf("AT+CMGL").back(); }
  // Milliseconds from the listing at `previous` to the one after it.
  long ListingGapAfter(long previous) {
    auto times = sim->TimesOf("AT+CMGL");
    auto next = std::upper_bound(times.begin(), times.end(), previous);
    return next == times.end() ? -1 : *next - previous;
  }
  // What the modem sent, as one text.
  std::string FromModem() {
    std::string all;
    for (const LineCrossing& crossing : sim->Transcript())
      if (!crossing.fromHost) all += crossing.bytes;
    return all;
  }
};

TEST_F(ModemIndications, AnIndicationWhileIdleBringsAListingAtOnce) {
  OpenAnnouncing();
  long previous = LastListing();
  Inject("right away");
  std::string text;
  ASSERT_TRUE(FetchOne(text));
  EXPECT_EQ(text, "right away");
  // Without the indication the next listing would come 5 s of engine time
  // after the previous one: 500 ms of the modem's clock at a tenth.
  long gap = ListingGapAfter(previous);
  EXPECT_GE(gap, 0);
  EXPECT_LT(gap, 400) << "listed by the periodic listing, not at once";
  EXPECT_NE(FromModem().find("\r\n+CMTI: \"SM\",1\r\n"), std::string::npos);
  EXPECT_TRUE(WaitUntil([&] { return StoredCount() == 0; }, 5));
}

TEST_F(ModemIndications, OneBetweenTheSendAndItsReplyLeavesTheSendWhole) {
  OpenAnnouncing();
  Fault({{"mode", "indications"}, {"value", "at_once"}});
  Fault({{"mode", "delay"}, {"ms", 500}});  // the prompt and the reply each come 500 ms late
  ASSERT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "hello", 0));
  ASSERT_TRUE(WaitUntil([&] { return SentCount() == 1; }, 5));  // the message is in; its reply is held back
  Inject("meanwhile");
  Fault({{"mode", "delay"}, {"ms", 0}});  // the reply keeps its time; the rest at full speed
  std::string text;
  ASSERT_TRUE(FetchOne(text));
  EXPECT_EQ(text, "meanwhile");
  std::string said = FromModem();
  size_t indication = said.find("+CMTI:"), reply = said.find("+CMGS:");
  ASSERT_NE(indication, std::string::npos);
  EXPECT_LT(indication, reply) << "the indication did not come inside the send";
  EXPECT_EQ(sim->LinesStartingWith("AT+CMGS").size(), 1u);  // taken as sent: no second attempt
  EXPECT_EQ(modem->GetModemState(), MODEM_READY);
}

TEST_F(ModemIndications, OneInsideAListingLosesAndDoublesNothing) {
  OpenAnnouncing();
  Fault({{"mode", "indications"}, {"value", "dropped"}});
  Inject("stored before");
  std::string pdu = sim->Call({{"cmd", "storage"}})["messages"][0]["pdu"];
  int tpduLength = static_cast<int>(pdu.size() / 2) - (std::stoi(pdu.substr(0, 2), nullptr, 16) + 1);
  std::string header = "\r\n+CMGL: 1,0,," + std::to_string(tpduLength) + "\r\n";
  // The listing goes out slowly, its first piece ending with the entry's
  // header: the next message's indication comes between it and the PDU,
  // where a reader that took it for part of the listing would lose the entry.
  Fault({{"mode", "indications"}, {"value", "at_once"}});
  Fault({{"mode", "chunks"}, {"size", header.size()}, {"gap_ms", 400}});
  ASSERT_TRUE(NextListing(10));
  Inject("during the listing");
  Fault({{"mode", "clear"}});  // the rest of the session at full speed

  std::vector<std::string> got;
  WaitUntil(
      [&] {
        std::string text;
        while (FetchOne(text, 0)) got.push_back(text);
        return got.size() >= 2;
      },
      10);
  EXPECT_EQ(got, (std::vector<std::string>{"stored before", "during the listing"}));
  std::string more;
  EXPECT_FALSE(FetchOne(more, 0.5));
  EXPECT_TRUE(WaitUntil([&] { return StoredCount() == 0; }, 5));
  std::string said = FromModem();
  size_t indication = said.find("+CMTI:");
  ASSERT_NE(indication, std::string::npos);
  EXPECT_LT(said.find(header), indication);
  EXPECT_LT(indication, said.find(pdu)) << "the indication did not come inside the listing";
}

TEST_F(ModemIndications, ThePartsOfOneMessageGiveOneListingAndOneDelivery) {
  OpenAnnouncing();
  long listingsBefore = static_cast<long>(Listings());
  std::string text = "各位注意：今天下午三点在二号楼前举行消防演练，请全体人员按照预案有序撤离，不要乘坐电梯。";
  Inject(text, {{"coding", "ucs2"}, {"parts", 3}, {"order", {2, 3, 1}}});
  std::string got;
  ASSERT_TRUE(FetchOne(got));
  EXPECT_EQ(got, codepage::Utf8ToGbk(text));
  ASSERT_TRUE(WaitUntil([&] { return StoredCount() == 0; }, 5));
  EXPECT_FALSE(FetchOne(got, 1));
  // One listing found the three parts; the next is the periodic one, 5 s
  // of engine time later, not another for the other indications.
  ASSERT_TRUE(NextListing());
  auto lines = sim->CommandLines();
  auto deletions = std::find(lines.begin(), lines.end(), "AT+CMGD=1");  // the storage was empty before
  EXPECT_EQ(std::count(lines.begin(), deletions, "AT+CMGL=0"), listingsBefore + 1);
  long found = sim->TimesOf("AT+CMGL")[listingsBefore];
  EXPECT_GE(ListingGapAfter(found), 500) << "three indications, more than one listing";
}

TEST_F(ModemIndications, LostIndicationsLeaveTheMessageToThePeriodicListing) {
  OpenAnnouncing();
  Fault({{"mode", "indications"}, {"value", "dropped"}});
  long previous = LastListing();
  Inject("late but there");
  std::string text;
  ASSERT_TRUE(FetchOne(text));
  EXPECT_EQ(text, "late but there");
  EXPECT_GE(ListingGapAfter(previous), 500);  // 5 s of engine time
  EXPECT_EQ(FromModem().find("+CMTI:"), std::string::npos);
}

// Start-up, a send, a received message and its deletion, each after an idle
// listing: without indications every byte either way is as it was before
// they existed (tests/e2e/expected/plain_session.transcript, recorded then),
// but for the identity queries of the start-up, which came later.
TEST_F(ModemIndications, WithoutThemASessionCrossesTheLineAsBefore) {
  ASSERT_TRUE(OpenReady());
  ASSERT_TRUE(NextListing());
  ASSERT_TRUE(modem->SubmitSms("13912345678", "8613800100500", "hello", 0));
  ASSERT_TRUE(WaitUntil([&] { return SentCount() == 1; }, 5));
  ASSERT_TRUE(NextListing());
  sim->Call({{"cmd", "inject_pdu"}, {"pdu", kFirstPdu}});
  std::string text;
  ASSERT_TRUE(FetchOne(text));
  EXPECT_EQ(text, "first");
  ASSERT_TRUE(WaitUntil([&] { return StoredCount() == 0; }, 5));
  ASSERT_TRUE(NextListing());
  std::string actual = Rendered(sim->Transcript());
  modem->ReleaseSession();

  std::string expectedPath =
      std::string(std::getenv("QUILLON_SOURCE_DIR")) + "/tests/e2e/expected/plain_session.transcript";
  std::string expected = ReadFile(expectedPath);
  if (actual != expected) {
    std::ofstream(::testing::TempDir() + "plain_session.transcript", std::ios::binary) << actual;
    ADD_FAILURE() << "the session differs from " << expectedPath << "; this run's is in " << ::testing::TempDir()
                  << "plain_session.transcript";
  }
}

}  // namespace
