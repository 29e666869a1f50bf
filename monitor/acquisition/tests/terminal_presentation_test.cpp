// How a terminal's record reads to the operator: fault category, fault
// rule, address text and change time.
#include <gtest/gtest.h>

#include "monitor/acquisition/fault_codes.h"
#include "monitor/acquisition/local_timestamp.h"
#include "monitor/acquisition/terminal_record.h"
#include "platform/clock/clock.h"
#include "platform/codepage/codepage.h"

namespace {

TerminalRecord WithFault(int32_t code, bool online) {
  TerminalRecord record;
  record.faultCode = code;
  record.online = online;
  return record;
}

TEST(FaultCodes, TablesHoldTheGbkCategoriesInCodeOrder) {
  const char* utf8[] = {"工作正常", "市电异常", "电源异常", "解码异常", "功放异常", "喇叭异常", "网络断开", "SD卡异常"};
  for (size_t code = 0; code < kNamedFaultCodes; ++code) {
    EXPECT_EQ(FAULT_TEXTS[code], codepage::Utf8ToGbk(utf8[code])) << code;
    EXPECT_EQ(FaultText(static_cast<int32_t>(code)), FAULT_TEXTS[code]) << code;
  }
  EXPECT_EQ(FAULT_TEXTS[7].substr(0, 2), "SD");
  EXPECT_EQ(std::string(FAULT_LETTERS[0]) + std::string(FAULT_LETTERS[7]), "OG");
}

TEST(FaultCodes, CodesWithoutCategoryReadAsUnknownFault) {
  EXPECT_EQ(FaultText(8), codepage::Utf8ToGbk("未知故障"));
  EXPECT_EQ(FaultText(127), codepage::Utf8ToGbk("未知故障"));
  EXPECT_EQ(FaultText(-1), codepage::Utf8ToGbk("未知故障"));
}

TEST(FaultCodes, MainsAndNetworkFaultsCountOnlyWhileOffline) {
  EXPECT_FALSE(ShowsFault(WithFault(0, true)));
  EXPECT_FALSE(ShowsFault(WithFault(0, false)));
  for (int32_t code : {1, 6}) {
    EXPECT_FALSE(ShowsFault(WithFault(code, true))) << code;
    EXPECT_TRUE(ShowsFault(WithFault(code, false))) << code;
  }
  for (int32_t code : {2, 3, 4, 5, 7, 8, 127}) {
    EXPECT_TRUE(ShowsFault(WithFault(code, true))) << code;
    EXPECT_TRUE(ShowsFault(WithFault(code, false))) << code;
  }
}

TEST(TerminalRecordText, AddressReadsFromTheMostSignificantByte) {
  EXPECT_EQ(FormatIpv4(0xC0A80105u), "192.168.1.5");
  EXPECT_EQ(FormatIpv4(0u), "0.0.0.0");
  // The widest text fills the fixed buffer exactly, terminator included.
  char text[16];
  EXPECT_EQ(FormatIpv4(0xFFFFFFFFu, text), 15u);
  EXPECT_STREQ(text, "255.255.255.255");
}

TEST(TerminalRecordText, ChangeTimeIsLocalOrMarkedInvalid) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(FormatLocalTimestamp({86400 * 365, true}), "1971-01-01 00:00:00");
  EXPECT_EQ(FormatLocalTimestamp({86400 * 365, false}), "Invalid DateTime");
  LocalTimestamp now = ToLocalTimestamp(SystemClock().WallNow());
  EXPECT_TRUE(now.valid);
  EXPECT_NEAR(static_cast<double>(now.when), static_cast<double>(std::time(nullptr)), 2.0);
}

}  // namespace
