// The broadcast command agent against bcsim over real sockets.
#include "gateway/broadcast/bc_agent.h"

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "gateway/broadcast/bc_exception.h"
#include "gateway/broadcast/diag_log.h"
#include "gateway/broadcast_server_settings.h"
#include "platform/codepage/codepage.h"
#include "tests/e2e/support/bc_sim.h"
#include "tests/e2e/support/broadcast_log_capture.h"
#include "tests/e2e/support/modem_sim.h"

namespace {

class BroadcastAgent : public ::testing::Test {
 protected:
  void SetUp() override {
    sim = std::make_unique<BcSim>(nlohmann::json{{"generate", {{"terminals", 12}, {"areas", 3}}}});
    sim->Call({{"cmd", "framing"}, {"quiet_ms", 5}});
    capture = std::make_unique<BroadcastLogCapture>(*sim);
  }
  void TearDown() override { capture.reset(); }

  std::unique_ptr<BcSim> sim;
  std::unique_ptr<BroadcastLogCapture> capture;
  std::vector<std::string>& logged() { return capture->lines; }
};

TEST_F(BroadcastAgent, LongCommandsGoInPiecesOfAtMost1024Bytes) {
  BCAgent agent(capture->server);
  ASSERT_TRUE(agent.LoginServer());
  auto buffer = NewCommandBuffer();
  std::string whole = "session new " + std::string(1024 - 12 - 13, 'a') + "\t65794\t500\t10";
  ASSERT_EQ(whole.size(), 1024u);
  std::strcpy(buffer.get(), whole.c_str());
  EXPECT_TRUE(agent.sendCommand(buffer.get()));
  EXPECT_STREQ(buffer.get(), "000 1");  // the reply replaces the command
  EXPECT_TRUE(sim->LogEntries("piece").empty());

  std::string longer = "session new " + std::string(1025 - 12 - 13, 'b') + "\t65794\t500\t10";
  ASSERT_EQ(longer.size(), 1025u);
  std::strcpy(buffer.get(), longer.c_str());
  EXPECT_TRUE(agent.sendCommand(buffer.get()));
  auto pieces = sim->LogEntries("piece");
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0]["seq"], 0);
  EXPECT_EQ(pieces[1]["seq"], 1);
  EXPECT_EQ(sim->LogEntries("pieces_end").size(), 1u);
  EXPECT_EQ(sim->Commands().back(), longer);
}

TEST_F(BroadcastAgent, TerminalsAreAddedInBatchesOfAHundredEachEndingWithAComma) {
  std::vector<int> terminals;
  for (int id = 1; id <= 250; ++id) terminals.push_back(id);
  BCAgent agent(capture->server);
  int number = agent.createSession("batch", SESSION_KIND, 500, 10, terminals);
  ASSERT_EQ(number, 1);
  std::vector<std::string> adds;
  for (const auto& line : sim->Commands())
    if (line.rfind("session add_term", 0) == 0) adds.push_back(line);
  ASSERT_EQ(adds.size(), 3u);
  std::string first = "session add_term 1,";
  for (int id = 1; id <= 100; ++id) first += std::to_string(id) + ",";
  EXPECT_EQ(adds[0], first);
  EXPECT_EQ(std::count(adds[2].begin(), adds[2].end(), ','), 51);  // the session's comma and 50 ids'
  EXPECT_EQ(adds[2].back(), ',');
  auto commands = sim->Commands();
  EXPECT_EQ(commands[1], "session new batch\t65794\t500\t10");
  EXPECT_EQ(commands.back(), "session set 1\tSTAT=1");
}

TEST_F(BroadcastAgent, NoTerminalsMeansNoAddAndTheNumberIsRead) {
  for (int i = 1; i <= 56; ++i) {
    BCAgent agent(capture->server);
    ASSERT_EQ(agent.createSession("s", SESSION_KIND, 500, 10, {}), i);
  }
  {
    BCAgent agent(capture->server);
    EXPECT_EQ(agent.createSession("s57", SESSION_KIND, 500, 10, {}), 57);
  }
  WaitUntil([&] { return sim->Commands().back() == "quit"; }, 2);
  auto commands = sim->Commands();
  commands.erase(commands.begin(), commands.end() - 4);
  EXPECT_EQ(commands, (std::vector<std::string>{"logon 10\tadmin\tvexil", "session new s57\t65794\t500\t10",
                                                "session set 57\tSTAT=1", "quit"}));
}

TEST_F(BroadcastAgent, RefusedSessionGivesMinusOneAndOneLogLine) {
  sim->Call({{"cmd", "fail"}, {"command", "session new"}, {"code", "401"}});
  BCAgent agent(capture->server);
  EXPECT_EQ(agent.createSession("nope", SESSION_KIND, 500, 10, {1}), -1);
  EXPECT_FALSE(agent.connected());
  ASSERT_EQ(logged().size(), 1u);
  EXPECT_EQ(logged()[0], "创建会话失败,(401 simulated failure)");
}

// A reply that never comes leaves nothing to log but the command itself.
TEST_F(BroadcastAgent, AnUnansweredCommandIsLoggedWithItsText) {
  sim->Call({{"cmd", "stall"}, {"command", "session new"}});
  sim->Call({{"cmd", "stall"}, {"command", "session rm"}});
  {
    BCAgent agent(capture->server);
    EXPECT_EQ(agent.createSession("nope", SESSION_KIND, 500, 10, {1}), -1);
  }
  {
    BCAgent agent(capture->server);
    agent.removeSession(7);
  }
  EXPECT_EQ(logged(), (std::vector<std::string>{"创建会话失败,(session new nope\t65794\t500\t10)",
                                                "删除会话失败, (session rm 7)"}));
}

TEST_F(BroadcastAgent, RefusedTerminalsThrowAndLeaveNoSessionAtTheServer) {
  sim->Call({{"cmd", "fail"}, {"command", "session add_term"}});
  BCAgent agent(capture->server);
  try {
    agent.createSession("x", SESSION_KIND, 500, 10, {1, 2});
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(codepage::GbkToUtf8(e.message()), "添加终端失败");
    EXPECT_EQ(e.source().function, "BCAgent::createSession");
  }
  EXPECT_TRUE(agent.loggedOn());  // the caller's destruction sends "quit"
  auto sessions = sim->Call({{"cmd", "sessions"}})["sessions"];
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0]["state"], "removed");
}

TEST_F(BroadcastAgent, RefusedLogonClosesWithoutQuitAndAGoodOneAlwaysQuits) {
  sim->Call({{"cmd", "fail"}, {"command", "logon"}});
  {
    BCAgent agent(capture->server);
    EXPECT_FALSE(agent.LoginServer());
    EXPECT_FALSE(agent.connected());
  }
  {
    BCAgent agent(capture->server);
    EXPECT_TRUE(agent.LoginServer());
  }
  WaitUntil([&] { return sim->Commands().size() == 3; }, 2);
  EXPECT_EQ(sim->Commands(), (std::vector<std::string>{"logon 10\tadmin\tvexil", "logon 10\tadmin\tvexil", "quit"}));
}

TEST_F(BroadcastAgent, RemovingSessionMinusOneOpensNoConnection) {
  {
    BCAgent agent(capture->server);
    agent.removeSession(-1);
    EXPECT_TRUE(sim->LogEntries("connect").empty());
    agent.removeSession(7);
  }
  WaitUntil([&] { return sim->Commands().size() == 4; }, 2);  // the "quit" is not answered, so not awaited
  EXPECT_EQ(sim->Commands(),
            (std::vector<std::string>{"logon 10\tadmin\tvexil", "session set 7\tSTAT=0", "session rm 7", "quit"}));
}

TEST_F(BroadcastAgent, TermListSurvivesSegmentsAndSkipsShortLines) {
  sim->Call({{"cmd", "term_list_pacing"}, {"chunk", 7}, {"gap_ms", 2}});
  sim->Call({{"cmd", "term_list_extra"},
             {"lines", {"000 99\tsix\t1.2.3.4\t0\t1\t0\n", "000 98\t\t\tseven\t9.9.9.9\t4\t1\t0\tx\n"}},
             {"at", 3}});
  BCAgent agent(capture->server);
  std::vector<TermInfo> list{{5, "stale", "", 0}};
  agent.getTermList(list);
  ASSERT_EQ(list.size(), 13u);  // twelve terminals and the seven-field extra line
  EXPECT_EQ(list[0].id, 1);
  EXPECT_EQ(codepage::GbkToUtf8(list[0].name), "终端001");
  EXPECT_EQ(list[0].ip, "10.0.0.1");
  EXPECT_EQ(list[3].id, 98);  // leading TABs skipped
  EXPECT_EQ(list[3].name, "seven");
  EXPECT_EQ(list[3].ip, "9.9.9.9");
  EXPECT_EQ(list[3].extra, 4);
  EXPECT_EQ(list.back().id, 12);
}

TEST_F(BroadcastAgent, ServerClosingDuringTheListLeavesThePartialList) {
  sim->Call({{"cmd", "term_list_close"}, {"after", 5}});
  BCAgent agent(capture->server);
  std::vector<TermInfo> list;
  agent.getTermList(list);
  EXPECT_EQ(list.size(), 5u);
  EXPECT_FALSE(agent.connected());
}

TEST_F(BroadcastAgent, RefusedListIsEmpty) {
  sim->Call({{"cmd", "fail"}, {"command", "term list"}});
  BCAgent agent(capture->server);
  std::vector<TermInfo> list;
  agent.getTermList(list);
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(agent.connected());
}

TEST_F(BroadcastAgent, UnreachableServerFailsTheLogon) {
  capture->server.cmdPort = FreeLoopbackPort();
  BCAgent agent(capture->server);
  EXPECT_FALSE(agent.LoginServer());
  EXPECT_EQ(agent.createSession("x", SESSION_KIND, 1, 1, {1}), -1);
}

}  // namespace
