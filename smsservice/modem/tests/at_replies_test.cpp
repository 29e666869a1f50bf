// Replies as modems put them on the line, CR LF included. They are written
// in the forms of 3GPP TS 27.005 and 27.007 that every GSM modem answers
// with, not captured from one modem; the simulator under sim/modem answers
// in the same forms.
#include "smsservice/modem/at_replies.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "smsservice/modem/unsolicited_lines.h"

namespace {

TEST(SignalReply, AcceptsKnownStrengthOnly) {
  EXPECT_TRUE(CheckSignal("\r\n+CSQ: 23,99\r\n\r\nOK\r\n"));
  EXPECT_TRUE(CheckSignal("AT+CSQ\r\r\n+CSQ: 0,0\r\n\r\nOK\r\n"));            // echo still on, weakest signal
  EXPECT_TRUE(CheckSignal("\r\n^RSSI:18\r\n\r\n+CSQ: 31,99\r\n\r\nOK\r\n"));  // unsolicited line first
  EXPECT_FALSE(CheckSignal("\r\n+CSQ: 99,99\r\n\r\nOK\r\n"));                 // not known
  EXPECT_FALSE(CheckSignal("\r\n+CSQ: 32,99\r\n\r\nOK\r\n"));
  EXPECT_FALSE(CheckSignal("\r\n+CSQ: -1,99\r\n"));
  EXPECT_FALSE(CheckSignal("\r\n+CSQ: ,99\r\n"));  // missing number counts as 99
  EXPECT_FALSE(CheckSignal("\r\nOK\r\n"));
}

TEST(RegistrationReply, HomeOrRoamingPasses) {
  EXPECT_TRUE(CheckRegistration("\r\n+CREG: 0,1\r\n\r\nOK\r\n"));
  EXPECT_TRUE(CheckRegistration("\r\n+CREG: 0,5\r\n"));
  EXPECT_TRUE(CheckRegistration("\r\n+CREG: 2,1,\"1A2B\",\"01C3\"\r\n\r\nOK\r\n"));
  EXPECT_FALSE(CheckRegistration("\r\n+CREG: 0,2\r\n"));  // searching
  EXPECT_FALSE(CheckRegistration("\r\n+CREG: 0,3\r\n"));  // denied
  EXPECT_FALSE(CheckRegistration("\r\n+CREG: 1\r\n"));    // no comma
  EXPECT_FALSE(CheckRegistration("\r\n+CMTI: \"SM\",1\r\n"));
}

TEST(StorageReply, TotalOnlyWhenSomethingIsStored) {
  EXPECT_EQ(ParseStorage("\r\n+CPMS: 3,50,3,50,3,50\r\n\r\nOK\r\n"), 50);
  EXPECT_EQ(ParseStorage("\r\n+CPMS: 0,50,0,50,0,50\r\n\r\nOK\r\n"), 0);
  EXPECT_EQ(ParseStorage("AT+CPMS=\"SM\"\r\r\n+CPMS: 1,20,1,20,1,20\r\n\r\nOK\r\n"), 20);
  EXPECT_EQ(ParseStorage("\r\n+CPMS: 2\r\n"), 0);  // no total
  EXPECT_EQ(ParseStorage("\r\nOK\r\n"), 0);
  EXPECT_EQ(ParseStorage("\r\n+CPMS: 1,99999999\r\n"), 0);  // nonsense total deletes nothing
  EXPECT_EQ(StoredCount("AT+CPMS=\"SM\"\r\r\n+CPMS: 3,20,3,20,3,20\r\n\r\nOK\r\n"), 3);
  EXPECT_EQ(StoredCount("\r\nOK\r\n"), 0);
  EXPECT_EQ(StoredCount("\r\n+CPMS: -4,20\r\n"), 0);
}

TEST(ReplyVerdict, OkBeforeErrorAndNothingUntilFinal) {
  EXPECT_EQ(JudgeReply("\r\nO"), REPLY_NONE);
  EXPECT_EQ(JudgeReply("\r\n+CMGS: 12\r\n"), REPLY_NONE);
  EXPECT_EQ(JudgeReply("\r\n+CMGS: 12\r\n\r\nOK\r\n"), REPLY_OK);
  EXPECT_EQ(JudgeReply("\r\nERROR\r\n"), REPLY_ERROR);
  EXPECT_EQ(JudgeReply("\r\n+CMS ERROR: 500\r\n"), REPLY_ERROR);
  EXPECT_EQ(JudgeReply("\r\nERROR\r\n\r\nOK\r\n"), REPLY_OK);
  EXPECT_EQ(JudgeReply("\r\nOK"), REPLY_NONE);  // OK needs its CR LF both sides
  EXPECT_EQ(JudgeReply("\r\n+CMTI: \"SM\",3\r\n"), REPLY_NONE);
}

TEST(UnsolicitedLines, GoWithTheirFramingAndLeaveTheRestAsTheModemSentIt) {
  std::vector<UnsolicitedLine> found;
  auto takenOut = [&](std::string text) {
    text.resize(TakeOutUnsolicited(text.data(), text.size(), 0, found));
    return text;
  };
  EXPECT_EQ(takenOut("\r\nOK\r\n\r\n+CMTI: \"ME\",12\r\n"), "\r\nOK\r\n");  // held back until the reply was out
  EXPECT_EQ(takenOut("\r\n+CMTI: \"SM\", 4\r\n\r\n^RSSI: 17\r\n\r\n> "), "\r\n> ");
  EXPECT_EQ(takenOut("\r\n+CMGL: 1,0,,5\r\n\r\n+CREG: 2\r\n0000\r\n"), "\r\n+CMGL: 1,0,,5\r\n0000\r\n");
  EXPECT_EQ(takenOut("\r\nOK\r\n+CMTI: \"SM\"\r\n"), "\r\nOK\r\n");  // unframed, and no index
  EXPECT_EQ(takenOut("\r\n+CMGS: 7\r\n\r\n+CMTI: \"SM\",1"), "\r\n+CMGS: 7\r\n\r\n+CMTI: \"SM\",1");  // unfinished
  // The answer to "AT+CREG?" stays; the report with a location goes.
  EXPECT_EQ(takenOut("\r\n+CREG: 0,5\r\n\r\nOK\r\n"), "\r\n+CREG: 0,5\r\n\r\nOK\r\n");
  EXPECT_EQ(takenOut("\r\n+CREG: 2,1,\"1A2B\",\"01C3\"\r\n\r\nOK\r\n"),
            "\r\n+CREG: 2,1,\"1A2B\",\"01C3\"\r\n\r\nOK\r\n");
  EXPECT_EQ(takenOut("\r\n+CREG: 1,\"1A2B\",\"01C3\"\r\n\r\nRDY\r\n\r\n^BOOT:1,0,0,0,41\r\n+CPIN: NOT READY\r\n"), "");
  using U = UnsolicitedLine;
  EXPECT_EQ(found, (std::vector<U>{{Unsolicited::kNewMessage, 12},
                                   {Unsolicited::kNewMessage, 4},
                                   {Unsolicited::kSignal, 17},
                                   {Unsolicited::kRegistration, 2},
                                   {Unsolicited::kNewMessage, -1},
                                   {Unsolicited::kRegistration, 1},
                                   {Unsolicited::kRestarted, 0},
                                   {Unsolicited::kRestarted, 1},
                                   {Unsolicited::kSimNotReady, -1}}));
}

TEST(SendFailures, TellTheNetworkTheMessageAndTheModemApart) {
  EXPECT_EQ(ClassifySendFailure("\r\n+CMS ERROR: 331\r\n"), SendFailure::kNoNetwork);
  EXPECT_EQ(ClassifySendFailure("\r\n+CMS ERROR: 42\r\n"), SendFailure::kNoNetwork);  // congestion
  EXPECT_EQ(ClassifySendFailure("\r\n+CMS ERROR: 1\r\n"), SendFailure::kMessage);     // unassigned number
  EXPECT_EQ(ClassifySendFailure("\r\n+CMS ERROR: 304\r\n"), SendFailure::kMessage);   // a bad PDU
  EXPECT_EQ(ClassifySendFailure("\r\n+CMS ERROR: 500\r\n"), SendFailure::kModem);
  EXPECT_EQ(ClassifySendFailure("\r\nERROR\r\n"), SendFailure::kModem);
  EXPECT_EQ(FinalResult("\r\n+CMS ERROR: 331\r\n"), "+CMS ERROR: 331");
  EXPECT_EQ(FinalResult("\r\nERROR\r\n"), "ERROR");
}

TEST(WatchReplies, RegistrationSignalAndIdentity) {
  EXPECT_EQ(RegistrationStatus("\r\n+CREG: 0,5\r\n\r\nOK\r\n"), 5);
  EXPECT_EQ(RegistrationStatus("\r\n+CREG: 2,3,\"1A2B\",\"01C3\"\r\n\r\nOK\r\n"), 3);
  EXPECT_EQ(RegistrationStatus("\r\nERROR\r\n"), std::nullopt);
  EXPECT_EQ(SignalQuality("\r\n+CSQ: 23,99\r\n\r\nOK\r\n"), 23);
  EXPECT_EQ(SignalQuality("\r\n+CSQ: 99,99\r\n\r\nOK\r\n"), 99);
  EXPECT_EQ(IdentityText("AT+CGMI\r\r\nMODEMSIM\r\n\r\nOK\r\n"), "MODEMSIM");
  EXPECT_EQ(IdentityText("\r\n+CGMM: \"GSM-SIM 1\"\r\n\r\nOK\r\n"), "GSM-SIM 1");
  EXPECT_EQ(ParseStorageUse("\r\n+CPMS: \"SM\",3,50,3,50\r\n").used, 3);
  EXPECT_EQ(ParseStorageUse("\r\n+CPMS: 3,50,3,50\r\n").total, 50);
}

TEST(SimReply, ReadyOrNot) {
  EXPECT_TRUE(SimReady("\r\n+CPIN: READY\r\n\r\nOK\r\n"));
  EXPECT_FALSE(SimReady("\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"));
  EXPECT_FALSE(SimReady("\r\n+CME ERROR: 10\r\n"));
  EXPECT_FALSE(SimReady("\r\n+CPIN: NOT READY\r\n\r\nOK\r\n"));
}

}  // namespace
