#include "monitor/alerts/offline_alerts.h"

#include <ctime>
#include <random>

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
    checkOfflineAlerts(settings, terminals, &outbox, memory, now, local);
  }
  int32_t Baseline(int32_t area) { return settings.areas[area].lastOfflineCount; }

  // An area of four terminals, 1 to 4, the first `down` offline, in an
  // installation of `present`.
  void AreaPoll(int down, size_t present = 4) {
    terminals.table.clear();
    terminals.Fill(1, 4, down);
    Poll(present, down);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& sms : outbox.sent) texts.push_back(Utf8(sms.text) + " > " + sms.peer);
    return texts;
  }

  MonitorSettings settings;
  Terminals terminals;
  Outbox outbox;
  AlertMemory memory;
  Clock::Monotonic::time_point now{};
  TimeOfDay local{12, 0, 0};
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

TEST_F(Alerts, ConfirmPollsLetsOnlyARiseThatHoldsThrough) {
  settings.confirmPolls = 3;
  Poll(100, 10);
  for (int offline : {60, 60, 12, 60, 60}) Poll(100, offline);  // the flap back starts the count again
  EXPECT_TRUE(outbox.sent.empty());
  EXPECT_EQ(Baseline(TOTAL_AREA_ID), 10);  // held, not moved, while unconfirmed
  Poll(100, 70);                           // the third rise in a row, at whatever count it now has
  ASSERT_EQ(outbox.sent.size(), 2u);
  EXPECT_EQ(Utf8(outbox.sent[0].text), "已有70个终端离线，占总数的70%，具体终端列表可联系系统管理员查询。");
  EXPECT_EQ(Baseline(TOTAL_AREA_ID), 70);
  for (int i = 0; i < 5; ++i) Poll(100, 70);
  EXPECT_EQ(outbox.sent.size(), 2u);
}

TEST_F(Alerts, RecoveryIsToldOnceWhenTheCountHalves) {
  settings.recovery = 1;
  settings.areas[TOTAL_AREA_ID].lastOfflineCount = 0;
  settings.areas[7] = {Gbk("东楼"), 0, {{"a", "13700000007"}}};
  terminals.members = {{7, {1, 2, 3, 4}}};
  AreaPoll(3);  // both alerted: the installation at 3 of 4, the area at 3 of 4
  ASSERT_EQ(outbox.sent.size(), 3u);
  outbox.sent.clear();
  AreaPoll(2);  // 2 > 3 / 2: not yet
  EXPECT_TRUE(outbox.sent.empty());
  AreaPoll(1);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"大面积离线区域已恢复：1个终端离线。 > 8613900000001",
                                               "大面积离线区域已恢复：1个终端离线。 > 8613900000002",
                                               "东楼区域已恢复：1个终端离线。 > 8613700000007"}));
  outbox.sent.clear();
  AreaPoll(0);
  AreaPoll(1);
  EXPECT_TRUE(outbox.sent.empty());  // once per alert

  settings.recovery = 0;  // off: an alert that comes down says nothing
  AreaPoll(4);
  outbox.sent.clear();
  AreaPoll(0);
  EXPECT_TRUE(outbox.sent.empty());
}

TEST_F(Alerts, AnAreaStillOverAfterEscalateMinutesIsToldToTheInstallationOnce) {
  using std::chrono::seconds;
  settings.escalateMinutes = 15;
  settings.areas[7] = {Gbk("东楼"), 0, {{"a", "13700000007"}}};
  terminals.members = {{7, {1, 2, 3, 4}}};
  AreaPoll(3, 100);
  ASSERT_EQ(outbox.sent.size(), 1u);
  outbox.sent.clear();
  now += seconds(15 * 60 - 1);
  AreaPoll(2, 100);  // 50 %: still at the threshold
  EXPECT_TRUE(outbox.sent.empty());
  now += seconds(1);
  AreaPoll(2, 100);
  EXPECT_EQ(
      Texts(),
      (std::vector<std::string>{
          "东楼区域已有2个终端离线，占区域总数的50%，已持续15分钟，具体终端列表可联系系统管理员查询。 > 8613900000001",
          "东楼区域已有2个终端离线，占区域总数的50%，已持续15分钟，具体终端列表可联系系统管理员查询。 > "
          "8613900000002"}));
  outbox.sent.clear();
  now += seconds(3600);
  AreaPoll(2, 100);
  EXPECT_TRUE(outbox.sent.empty());  // once

  // An area that dips under the threshold in between is not escalated.
  AreaPoll(0, 100);
  AreaPoll(3, 100);
  ASSERT_EQ(outbox.sent.size(), 1u);
  now += seconds(60);
  AreaPoll(1, 100);
  now += seconds(3600);
  AreaPoll(3, 100);  // a rise from baseline 1 of 50 %: a new alert, and a new wait
  EXPECT_EQ(outbox.sent.size(), 2u);
}

TEST_F(Alerts, QuietHoursHoldAnAreasAlertsForOneSummaryAtTheirEnd) {
  settings.recovery = 1;
  settings.areas[7] = {Gbk("东楼"), 0, {{"a", "13700000007"}}, QuietHours{{22, 0, 0}, {7, 0, 0}}};
  settings.areas[8] = {Gbk("西楼"), 0, {{"b", "13700000008"}}};
  terminals.members = {{7, {1, 2, 3, 4}}, {8, {11, 12}}};
  auto poll = [&](TimeOfDay at, int eastDown, int westDown) {
    local = at;
    terminals.table.clear();
    terminals.Fill(1, 4, eastDown);
    terminals.Fill(11, 2, westDown);
    Poll(100, eastDown + westDown);
  };
  poll({23, 0, 0}, 3, 2);  // the quiet area holds its alert; the other speaks at once
  EXPECT_EQ(Texts(), std::vector<std::string>{
                         "已有2个终端离线，占区域总数的100%，具体终端列表可联系系统管理员查询。 > 8613700000008"});
  outbox.sent.clear();
  poll({23, 30, 0}, 0, 2);  // recovered inside the window: not told on its own
  poll({6, 59, 59}, 4, 2);  // over midnight, still quiet
  EXPECT_TRUE(outbox.sent.empty());
  EXPECT_EQ(Baseline(7), 4);  // held, but judged: the baseline moved as for any alert
  poll({7, 0, 0}, 1, 2);
  EXPECT_EQ(Texts(),
            std::vector<std::string>{"东楼区域静默时段内告警2次，最多4个终端离线，现有1个终端离线。 > 8613700000007"});
  outbox.sent.clear();
  poll({7, 0, 30}, 1, 2);
  EXPECT_TRUE(outbox.sent.empty());  // one summary
  poll({21, 59, 59}, 4, 2);          // before the window: an alert as ever
  EXPECT_EQ(outbox.sent.size(), 1u);
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

// The alert check as it was before [Alert] existed, kept word for word as
// the oracle that an installation without those keys is told the same.
namespace before_alert_options {

void Send(const MonitorSettings& settings, const AreaEntry& area, AlertSender* sender, const std::string& text) {
  for (const Contact& contact : area.contacts) sendAlertSms(settings, sender, text, contact.phone);
}

void Check(MonitorSettings& settings, const TerminalLookup& terminals, AlertSender* sender) {
  char text[1024];
  auto entry = settings.areas.find(TOTAL_AREA_ID);
  if (entry != settings.areas.end() && terminals.PresentCount() != 0) {
    unsigned present = static_cast<unsigned>(terminals.PresentCount());
    int32_t offline = terminals.OfflineCount();
    AreaEntry& total = entry->second;
    if (total.lastOfflineCount >= offline) {
      total.lastOfflineCount = offline;
    } else {
      unsigned rise = static_cast<unsigned>(offline - total.lastOfflineCount) * 100u / present;
      if (rise >= static_cast<unsigned>(settings.offlinePercent)) {
        std::snprintf(text, sizeof text,
                      Gbk("已有%d个终端离线，占总数的%d%%，具体终端列表可联系系统管理员查询。").c_str(), offline,
                      static_cast<int>(static_cast<unsigned>(offline) * 100u / present));
        Send(settings, total, sender, text);
        total.lastOfflineCount = offline;
      }
    }
  }
  for (auto& [id, area] : settings.areas) {
    if (id < 0 || area.contacts.empty()) continue;
    auto list = terminals.AreaMembers().find(id);
    if (list == terminals.AreaMembers().end() || list->second.empty()) continue;
    int known = 0, offline = 0;
    for (int32_t member : list->second) {
      auto facts = terminals.Find(member);
      if (!facts) continue;
      ++known;
      if (!facts->online) ++offline;
    }
    if (known < 1 || offline < 1) {
      area.lastOfflineCount = 0;
    } else if (area.lastOfflineCount >= offline) {
      area.lastOfflineCount = offline;
    } else if ((offline - area.lastOfflineCount) * 100 / known >= settings.offlinePercent) {
      std::snprintf(text, sizeof text,
                    Gbk("已有%d个终端离线，占区域总数的%d%%，具体终端列表可联系系统管理员查询。").c_str(), offline,
                    offline * 100 / known);
      Send(settings, area, sender, text);
      area.lastOfflineCount = offline;
    }
  }
}

}  // namespace before_alert_options

// Without the [Alert] keys every poll of a long, flapping run sends the same
// messages to the same numbers at the same poll, and leaves the same baselines.
TEST(AlertsWithoutOptions, SendExactlyWhatTheyAlwaysSent) {
  MonitorSettings settings;
  settings.smsCentre = "8613800100500";
  settings.offlinePercent = 30;
  settings.areas[TOTAL_AREA_ID] = {Gbk("大面积离线"), UNJUDGED_BASELINE, {{"boss", "13900000001"}}};
  settings.areas[1] = {Gbk("东楼"), UNJUDGED_BASELINE, {{"a", "13700000001"}, {"b", "13700000011"}}};
  settings.areas[2] = {Gbk("西楼"), NEW_AREA_BASELINE, {{"c", "13700000002"}}};
  settings.areas[3] = {Gbk("无人"), 0, {}};
  MonitorSettings reference = settings;
  Terminals terminals;
  terminals.members = {{1, {1, 2, 3, 4, 5, 6}}, {2, {7, 8, 9, 10, 99}}, {3, {1, 2}}};
  terminals.Fill(1, 10, 0);
  AlertMemory memory;
  Clock::Monotonic::time_point now{};
  std::mt19937 random(20261209);
  Outbox ours, theirs;
  for (int poll = 0; poll < 400; ++poll) {
    // Outages come and go in bursts, so that rises, flaps and falls all occur.
    double chance = (poll / 40) % 2 == 0 ? 0.15 : 0.6;
    int32_t offline = 0;
    for (auto& [id, facts] : terminals.table) {
      facts.online = std::bernoulli_distribution(1 - chance)(random);
      if (!facts.online) ++offline;
    }
    terminals.present = terminals.table.size();
    terminals.offline = offline;
    size_t oursBefore = ours.sent.size(), theirsBefore = theirs.sent.size();
    checkOfflineAlerts(settings, terminals, &ours, memory, now, TimeOfDay{3, 0, 0});
    before_alert_options::Check(reference, terminals, &theirs);
    now += std::chrono::minutes(10);
    ASSERT_EQ(ours.sent.size() - oursBefore, theirs.sent.size() - theirsBefore) << "poll " << poll;
    for (size_t i = oursBefore; i < ours.sent.size(); ++i) {
      EXPECT_EQ(ours.sent[i].peer, theirs.sent[i].peer) << "poll " << poll;
      EXPECT_EQ(ours.sent[i].text, theirs.sent[i].text) << "poll " << poll;
    }
    for (const auto& [id, area] : reference.areas)
      ASSERT_EQ(settings.areas[id].lastOfflineCount, area.lastOfflineCount) << "poll " << poll << " area " << id;
  }
  EXPECT_GT(theirs.sent.size(), 40u);  // the run did raise alerts
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
