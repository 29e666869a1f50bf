#include "gateway/broadcast/bc_exception.h"

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "gateway/broadcast/diag_log.h"

namespace {

TEST(BroadcastException, FullMessageNamesTheFileWithoutItsFolder) {
  Exception e("添加终端失败", SourceInfo("BCAgent::createSession", "/src/gateway/broadcast/bc_agent.cpp", 120));
  EXPECT_EQ(e.message(), "添加终端失败");
  EXPECT_EQ(e.fullMessage(), "添加终端失败, source=[bc_agent.cpp:120]");
  EXPECT_EQ(e.source().function, "BCAgent::createSession");
  Exception windows("x", SourceInfo("f", "C:\\src\\agent.cpp", 7));
  EXPECT_EQ(windows.source().file, "agent.cpp");
  Exception bare("y", SourceInfo(nullptr, nullptr, 0));
  EXPECT_EQ(bare.fullMessage(), "y, source=[unknown:0]");
}

TEST(BroadcastException, OsExceptionAppendsTheErrorNumberAndTexts) {
  errno = ECONNREFUSED;
  OsException e("连接服务器失败", BC_SOURCE("BCAgent::LoginServer"));
  EXPECT_EQ(e.errorNumber(), ECONNREFUSED);
  EXPECT_EQ(e.message(), "连接服务器失败[" + std::to_string(ECONNREFUSED) + ":Connection refused]");
  EXPECT_EQ(e.source().file, "bc_exception_test.cpp");
}

TEST(BroadcastException, TextsAreCutAt1023Characters) {
  Exception e(std::string(5000, 'x'), SourceInfo());
  EXPECT_EQ(e.message().size(), 1023u);
  EXPECT_EQ(e.fullMessage().size(), 1023u);
}

TEST(DiagnosticLog, OnlyARegisteredLoggerWithSinksAndThresholdHearsIt) {
  std::vector<std::string> heard;
  WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, "nobody %d", 1);  // no logger: nothing
  RegisterLogger(BROADCAST_LOG_CATEGORY, LogLevel::Warn);
  WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, "no sink %d", 2);
  AddLogSink(BROADCAST_LOG_CATEGORY,
             [&](const char* level, const std::string& line) { heard.push_back(std::string(level) + ":" + line); });
  WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Info, "below threshold");
  WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, "创建会话失败,(%s)", "401 refused");
  WriteLog(3, LogLevel::Error, "other category");
  WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, "%s", std::string(6000, 'z').c_str());
  RemoveLogger(BROADCAST_LOG_CATEGORY);
  WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, "gone");
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0], "error:创建会话失败,(401 refused)");
  EXPECT_EQ(heard[1].size(), 6 + LOG_LINE_MAX);
}

}  // namespace
