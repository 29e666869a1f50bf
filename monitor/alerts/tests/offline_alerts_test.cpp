#include "monitor/alerts/offline_alerts.h"

#include <ctime>

#include <gtest/gtest.h>

#include "monitor/alerts/report_clock.h"
#include "platform/codepage/codepage.h"

namespace {

std::string Gbk(const char* utf8) { return codepage::Utf8ToGbk(utf8); }
std::string Utf8(const std::string& gbk) { return codepage::GbkToUtf8(gbk); }

struct Terminals : TerminalLookup {
  std::map<int32_t, TerminalFacts> table;
  size_t present = 0;
  int32_t offline = 0;
  std::map<int32_t, std::vector<int32_t>> members;

  std::optional<TerminalFacts> Find(int32_t id) const override {
    auto it = table.find(id);
    if (it == table.end()) return std::nullopt;
    return it->second;
  }
  size_t PresentCount() const override { return present; }
  int32_t OfflineCount() const override { return offline; }
  const std::map<int32_t, std::vector<int32_t>>& AreaMembers() const override { return members; }

  // `count` terminals from `first`, the first `down` of them offline.
  void Fill(int32_t first, int count, int down) {
    for (int i = 0; i < count; ++i) table[first + i] = {i >= down, Gbk("终端") + std::to_string(first + i)};
  }
};

struct Outbox : AlertSender {
  struct Sms {
    std::string centre, peer, text;
    uint8_t dcs;
  };
  std::vector<Sms> sent;
  bool QueueSend(const char* centre, const char* peer, const char* text, uint8_t dcs) override {
    sent.push_back({centre, peer, text, dcs});
    return true;
  }
};

class Alerts : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.smsCentre = "8613800100500";
    settings.offlinePercent = 50;
    settings.areas[TOTAL_AREA_ID] = {
        Gbk("大面积离线"), UNJUDGED_BASELINE, {{"boss", "13900000001"}, {"ops", "13900000002"}}};
  }
  void Poll(size_t present, int32_t offline) {
    terminals.present = present;
    terminals.offline = offline;
    checkOfflineAlerts(settings, terminals, &outbox);
  }
  int32_t Baseline(int32_t area) { return settings.areas[area].lastOfflineCount; }

  MonitorSettings settings;
  Terminals terminals;
  Outbox outbox;
};

TEST_F(Alerts, InstallationBaselineRisesAndFalls) {
  Poll(100, 10);  // the unjudged baseline gives way without an alert
  EXPECT_TRUE(outbox.sent.empty());
  EXPECT_EQ(Baseline(TOTAL_AREA_ID), 10);
  Poll(100, 55);  // a rise of 45 % stays below 50 %: nothing moves
  EXPECT_TRUE(outbox.sent.empty());
  EXPECT_EQ(Baseline(TOTAL_AREA_ID), 10);
  Poll(100, 60);  // 50 % against the same baseline
  ASSERT_EQ(outbox.sent.size(), 2u);
  EXPECT_EQ(Utf8(outbox.sent[0].text), "已有60个终端离线，占总数的60%，具体终端列表可联系系统管理员查询。");
  EXPECT_EQ(outbox.sent[0].peer, "8613900000001");
  EXPECT_EQ(outbox.sent[1].peer, "8613900000002");
  EXPECT_EQ(outbox.sent[0].centre, "8613800100500");
  EXPECT_EQ(outbox.sent[0].dcs, 8);
  EXPECT_EQ(Baseline(TOTAL_AREA_ID), 60);
  Poll(100, 20);
  EXPECT_EQ(outbox.sent.size(), 2u);
  EXPECT_EQ(Baseline(TOTAL_AREA_ID), 20);
  Poll(0, 0);  // nothing answered: no judgement at all
  EXPECT_EQ(Baseline(TOTAL_AREA_ID), 20);
}

TEST_F(Alerts, AreasAreJudgedOnTheirOwnMembers) {
  settings.areas[3] = {Gbk("东楼"), 0, {{"a", "13700000003"}}};
  settings.areas[4] = {Gbk("西楼"), 7, {{"b", "13700000004"}}};
  settings.areas[5] = {Gbk("无人"), 7, {}};  // no contacts: never judged
  terminals.Fill(1, 3, 2);                   // area 3: 2 of 3 offline
  terminals.Fill(10, 4, 0);                  // area 4: all online
  terminals.members = {{3, {1, 2, 3, 99}}, {4, {10, 11, 12, 13}}, {5, {1, 2}}};
  Poll(7, 2);
  ASSERT_EQ(outbox.sent.size(), 1u);
  EXPECT_EQ(Utf8(outbox.sent[0].text), "已有2个终端离线，占区域总数的66%，具体终端列表可联系系统管理员查询。");
  EXPECT_EQ(outbox.sent[0].peer, "8613700000003");
  EXPECT_EQ(Baseline(3), 2);
  EXPECT_EQ(Baseline(4), 0);  // all online
  EXPECT_EQ(Baseline(5), 7);
}

TEST_F(Alerts, NumbersThatDoNotFitAreNotSent) {
  EXPECT_TRUE(sendAlertSms(settings, &outbox, "x", "13900000001"));
  EXPECT_EQ(outbox.sent.back().peer, "8613900000001");
  EXPECT_FALSE(sendAlertSms(settings, &outbox, "x", "123456789012345"));  // 15 characters
  EXPECT_TRUE(sendAlertSms(settings, &outbox, "x", "12345678901234"));
  EXPECT_FALSE(sendAlertSms(settings, nullptr, "x", "13900000001"));
  settings.smsCentre = "861380010050012";
  EXPECT_FALSE(sendAlertSms(settings, &outbox, "x", "13900000001"));
  EXPECT_EQ(outbox.sent.size(), 2u);
}

TEST_F(Alerts, ReportHeaderRoundsTheRateUp) {
  settings.areas[2] = {Gbk("南区"), 0, {{"c", "13600000002"}}};
  terminals.Fill(1, 3, 1);
  terminals.members = {{2, {1, 2, 3}}};
  sendScheduledReport(
      settings, true, [] { return true; }, terminals, &outbox);
  ASSERT_EQ(outbox.sent.size(), 1u);
  EXPECT_EQ(Utf8(outbox.sent[0].text), "南区区域：2个终端在线，1个终端离线，离线率：34%，终端1");
}

TEST_F(Alerts, ReportNamesStopBeforeSeventyUnitsWithDeng) {
  std::vector<std::string> names;
  for (int i = 0; i < 30; ++i) names.push_back(Gbk("终端") + std::to_string(100 + i));
  std::string text = AreaReportText(Gbk("东"), 0, 30, 100, names);
  size_t units = codepage::GbkToUtf16(text).size();
  EXPECT_LT(units, 70u + 1);  // header + tail below 70, then the one "等"
  EXPECT_EQ(Utf8(text).substr(Utf8(text).size() - 3), "等");
  std::string header = Utf8(AreaReportText(Gbk("东"), 0, 30, 100, {}));
  EXPECT_EQ(Utf8(text).rfind(header, 0), 0u);
  // Without cutting: every name and no "等".
  EXPECT_EQ(Utf8(AreaReportText(Gbk("东"), 0, 1, 100, {Gbk("甲")})),
            "东区域：0个终端在线，1个终端离线，离线率：100%，甲");
}

TEST_F(Alerts, AnOverlongAreaNameGetsOnlyItsHeaderAndDeng) {
  std::string name = Gbk(std::string(80, 'A').c_str());
  std::string text = AreaReportText(name, 1, 1, 50, {Gbk("甲")});
  EXPECT_EQ(Utf8(text), std::string(80, 'A') + "区域：1个终端在线，1个终端离线，离线率：50%等");
}

TEST_F(Alerts, UnreachableServerAtReportTimeTellsAreaMinusOne) {
  settings.areas[2] = {Gbk("南区"), 0, {{"c", "13600000002"}}};
  int reloads = 0;
  sendScheduledReport(
      settings, false,
      [&] {
        ++reloads;
        return false;
      },
      terminals, &outbox);
  EXPECT_EQ(reloads, 1);
  ASSERT_EQ(outbox.sent.size(), 2u);
  EXPECT_EQ(Utf8(outbox.sent[0].text), "系统服务状态错误！");
  outbox.sent.clear();
  settings.areas[TOTAL_AREA_ID].contacts.clear();
  sendScheduledReport(
      settings, false, [] { return false; }, terminals, &outbox);
  EXPECT_TRUE(outbox.sent.empty());
}

std::time_t LocalTime(int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

TEST(ReportClockTicks, ATimePointFiresOnceEvenWhenTheTickIsLate) {
  int posts = 0;
  ReportClock clock([&] { ++posts; });
  clock.SetSchedule({{"morning", {8, 0, 0}}});
  clock.ResetLastSecond(LocalTime(7, 59, 58));
  clock.Tick(LocalTime(7, 59, 59));
  EXPECT_EQ(posts, 0);
  clock.Tick(LocalTime(8, 0, 58));  // a tick 59 s late still sees 08:00:00
  EXPECT_EQ(posts, 1);
  clock.Tick(LocalTime(8, 1, 30));
  EXPECT_EQ(posts, 1);

  clock.ResetLastSecond(LocalTime(7, 58, 30));
  clock.Tick(LocalTime(8, 0, 5));  // more than 60 s: only the current second is examined
  EXPECT_EQ(posts, 1);
  clock.ResetLastSecond(LocalTime(7, 59, 59));
  clock.Tick(LocalTime(8, 0, 0));
  clock.Tick(LocalTime(8, 0, 0));  // the same second twice: once
  EXPECT_EQ(posts, 2);
}

}  // namespace
