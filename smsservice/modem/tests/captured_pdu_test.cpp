// The decoder on PDUs captured on real networks and published by the test
// suites of other SMS software (data/captured_pdus.json; each entry names
// its origin). What each must decode to is what its source states, checked
// against libgammu where that decodes it; none was made by this project.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/clock/manual_clock.h"
#include "platform/codepage/codepage.h"
#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/pdu_codec.h"

namespace {

using nlohmann::json;

json Corpus() {
  std::ifstream in(std::string(std::getenv("QUILLON_SOURCE_DIR")) + "/smsservice/modem/tests/data/captured_pdus.json");
  return json::parse(in);
}

const std::map<std::string, Withheld> kVerdicts = {
    {"message", Withheld::None},
    {"undecodable", Withheld::Undecodable},
    {"status_report", Withheld::StatusReport},
    {"other_type", Withheld::OtherType},
    {"port_addressed", Withheld::PortAddressed},
    {"for_the_handset", Withheld::ForTheHandset},
};

// What the operator sees: the expected text through the code page, where a
// character it lacks is one "?".
std::string Shown(const std::string& utf8) { return codepage::GbkToUtf8(codepage::Utf8ToGbk(utf8)); }

TEST(CapturedPdus, EachDecodesToWhatItsSourceStates) {
  json corpus = Corpus();
  ASSERT_GE(corpus.size(), 25u);
  for (const json& entry : corpus) {
    SCOPED_TRACE(entry["id"].get<std::string>() + " from " + entry["origin"].get<std::string>());
    DecodedSms decoded = DecodeListedPdu(entry["pdu"].get<std::string>(), 7);
    EXPECT_EQ(decoded.withheld, kVerdicts.at(entry["verdict"])) << WithheldReason(decoded.withheld);
    EXPECT_EQ(decoded.record.index, 7);
    if (decoded.withheld != Withheld::None) {
      EXPECT_EQ(decoded.record.part, 0) << "withheld entries are never delivered";
      continue;
    }
    const ModemSms& sms = decoded.record;
    EXPECT_EQ(codepage::GbkToUtf8(sms.number), Shown(entry["number"]).substr(0, 15));
    if (entry.contains("stamp")) EXPECT_EQ(std::string(sms.timestamp), entry["stamp"].get<std::string>());
    if (!entry["text"].is_null()) EXPECT_EQ(codepage::GbkToUtf8(sms.text), Shown(entry["text"]));
    if (entry.contains("data") && !entry["data"].is_null()) {
      std::string data = entry["data"];
      char hex[SMS_TEXT_FIELD * 2 + 1];
      BytesToHex(reinterpret_cast<const uint8_t*>(sms.text), static_cast<int>(std::strlen(sms.text)), hex);
      EXPECT_EQ(hex, data.substr(0, data.find("00")));  // 8-bit data as it stands, up to a zero octet
    }
    if (entry.contains("concat")) {
      ASSERT_TRUE(decoded.concatenation);
      EXPECT_EQ(decoded.concatenation->reference, entry["concat"]["reference"].get<int>());
      EXPECT_EQ(decoded.concatenation->wideReference, entry["concat"]["wide"].get<bool>());
      EXPECT_EQ(decoded.concatenation->totalParts, entry["concat"]["total"].get<int>());
      EXPECT_EQ(sms.part, entry["concat"]["sequence"].get<int>());
    } else {
      EXPECT_FALSE(decoded.concatenation);
      EXPECT_EQ(sms.part, SMS_PART_COMPLETE);
    }
  }
}

// One concatenated message of the corpus, as its parts say.
struct Message {
  size_t total = 0;
  size_t listed = 0;
  std::string text;  // the parts' texts in sequence order
  int delivered = 0;
};

// Every concatenated message of the corpus, its parts listed last first
// and mixed with the others: each whole one comes out once, in its order;
// one the corpus holds only some parts of stays waiting.
TEST(CapturedPdus, PartsJoinInAnyOrderIntoTheirMessages) {
  json corpus = Corpus();
  std::map<std::string, Message> messages;  // by sender and reference
  std::string reply;
  for (const json& entry : corpus) {
    if (!entry.contains("concat") || entry["text"].is_null()) continue;
    Message& message = messages[entry["number"].get<std::string>() + "/" + entry["concat"]["reference"].dump()];
    message.total = entry["concat"]["total"];
    ++message.listed;
    message.text += entry["text"].get<std::string>();
    reply.insert(0, "\r\n+CMGL: 1,0,,99\r\n" + entry["pdu"].get<std::string>());
  }
  reply += "\r\n\r\nOK\r\n";

  ManualClock clock{1000};
  PartialTable table(clock);
  for (const ModemSms& sms : table.Join(ParseListing(reply))) {
    if (sms.part != SMS_PART_COMPLETE) continue;
    std::string text = codepage::GbkToUtf8(sms.text);
    auto found = std::find_if(messages.begin(), messages.end(),
                              [&](const auto& message) { return Shown(message.second.text) == text; });
    ASSERT_NE(found, messages.end()) << "an unexpected message: " << text;
    ++found->second.delivered;
  }
  ASSERT_GE(messages.size(), 10u);
  for (const auto& [key, message] : messages)
    EXPECT_EQ(message.delivered, message.listed == message.total ? 1 : 0) << key;
}

}  // namespace
