// The command writers and the reply reader over a scripted port.
#include "smsservice/modem/at_commands.h"

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "smsservice/modem/pdu_codec.h"
#include "smsservice/modem/serial_line.h"
#include "smsservice/modem/tests/modem_test_support.h"

namespace {

// Answers each read with the next scripted chunk (nothing once they run
// out, or forever `endless` when set) and records every write.
class ScriptedPort : public RecordingPort {
 public:
  std::deque<std::string> reads;
  std::string endless;

  int Read(void* buffer, int count) override {
    std::string chunk = endless;
    if (!reads.empty()) {
      chunk = reads.front();
      reads.pop_front();
    }
    int n = std::min<int>(count, static_cast<int>(chunk.size()));
    std::memcpy(buffer, chunk.data(), n);
    return n;
  }
};

class AtCommands : public ::testing::Test {
 protected:
  AtCommands() {
    auto owned = std::make_unique<ScriptedPort>();
    port = owned.get();
    line = std::make_unique<SerialLine>(std::move(owned));
  }
  ScriptedPort* port = nullptr;
  std::unique_ptr<SerialLine> line;
};

TEST_F(AtCommands, SendCommandThenPduOrEscape) {
  char pdu[SUBMIT_PDU_HEX_MAX];
  ASSERT_TRUE(AskToSend(*line, Hi(), pdu));
  EXPECT_EQ(port->written, "AT+CMGS=12\r\n");
  EXPECT_EQ(WritePdu(*line, pdu), 35);
  EXPECT_EQ(port->written, "AT+CMGS=12\r\n049168310811000491682100000002E834\x1A");

  port->written.clear();
  CancelEntry(*line);
  EXPECT_EQ(port->written, "\x1B");

  port->written.clear();
  ModemSms tooLong = Hi();
  std::memset(tooLong.text, 'x', 200);
  EXPECT_FALSE(AskToSend(*line, tooLong, pdu));
  EXPECT_EQ(port->written, "");  // refused before the modem hears of it
}

TEST_F(AtCommands, ListAndDeleteCommands) {
  ListUnread(*line);
  DeleteSms(*line, 17);
  EXPECT_EQ(port->written, "AT+CMGL=0\r\nAT+CMGD=17\r\n");
}

TEST_F(AtCommands, ReplyIsCollectedAcrossReads) {
  auto reply = std::make_unique<ReplyBuffer>();
  port->reads = {"\r\n+CMGL: 1,0,,5\r\n", "", "0000\r\n\r\nO", "K\r\n"};
  EXPECT_EQ(ReadReply(*line, *reply), REPLY_NONE);
  EXPECT_EQ(ReadReply(*line, *reply), REPLY_NONE);  // a read that brings nothing
  EXPECT_EQ(ReadReply(*line, *reply), REPLY_NONE);
  EXPECT_EQ(ReadReply(*line, *reply), REPLY_OK);
  EXPECT_EQ(reply->Text(), "\r\n+CMGL: 1,0,,5\r\n0000\r\n\r\nOK\r\n");
  reply->Clear();
  port->reads = {"\r\n+CMS ERROR: 321\r\n"};
  EXPECT_EQ(ReadReply(*line, *reply), REPLY_ERROR);
}

TEST_F(AtCommands, IndicationsLeaveRepliesWhereverTheReadsCutThem) {
  auto reply = std::make_unique<ReplyBuffer>();
  port->reads = {"\r\n+CMGL: 1,0,,5\r\n\r\n+CM", "TI: \"SM\",2\r\n0000\r\n\r\nOK\r\n"};
  EXPECT_EQ(ReadReply(*line, *reply), REPLY_NONE);
  EXPECT_EQ(ReadReply(*line, *reply), REPLY_OK);
  EXPECT_EQ(reply->Text(), "\r\n+CMGL: 1,0,,5\r\n0000\r\n\r\nOK\r\n");
  // Begun after a final result, ended in the next command's reply.
  reply->Clear();
  port->reads = {"\r\n+CMS ERROR: 500\r\n\r\n+CMTI: \"S", "M\",3\r\n\r\n> "};
  EXPECT_EQ(ReadReply(*line, *reply), REPLY_ERROR);
  reply->Clear();
  ReadReply(*line, *reply);
  EXPECT_EQ(reply->Text(), "\r\n> ");
  EXPECT_EQ(reply->unsolicited,
            (std::vector<UnsolicitedLine>{{Unsolicited::kNewMessage, 2}, {Unsolicited::kNewMessage, 3}}));
}

TEST_F(AtCommands, AReplyThatWouldOverflowIsAnError) {
  auto reply = std::make_unique<ReplyBuffer>();
  port->endless = std::string(128, 'A');
  ReplyVerdict verdict = REPLY_NONE;
  int reads = 0;
  while (verdict == REPLY_NONE && reads < 10000) {
    verdict = ReadReply(*line, *reply);
    ++reads;
  }
  EXPECT_EQ(verdict, REPLY_ERROR);
  EXPECT_EQ(reads, ReplyBuffer::kCapacity / 128 + 1);
  EXPECT_LE(reply->count, ReplyBuffer::kCapacity);
}

}  // namespace
