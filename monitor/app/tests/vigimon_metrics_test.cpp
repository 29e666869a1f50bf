#include "monitor/app/vigimon_metrics.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "monitor/app/vigimon_status_page.h"
#include "platform/clock/manual_clock.h"
#include "platform/codepage/codepage.h"

namespace {

using namespace std::chrono_literals;

struct Terminals : TerminalLookup {
  std::map<int32_t, TerminalFacts> table;
  std::vector<int32_t> present;
  std::map<int32_t, std::vector<int32_t>> members;
  std::optional<TerminalFacts> Find(int32_t id) const override {
    auto it = table.find(id);
    if (it == table.end()) return std::nullopt;
    return it->second;
  }
  size_t PresentCount() const override { return present.size(); }
  int32_t OfflineCount() const override {
    int32_t offline = 0;
    for (int32_t id : present) offline += table.at(id).online ? 0 : 1;
    return offline;
  }
  const std::map<int32_t, std::vector<int32_t>>& AreaMembers() const override { return members; }
};

struct ReadyModem : ModemAgentView {
  bool ConnectRequested() const override { return true; }
  bool ModemReady() const override { return true; }
  void GetModemSettings(int&, int&) override {}
};

const prometheus::MetricFamily& Family(const std::vector<prometheus::MetricFamily>& families, const std::string& name) {
  for (const auto& family : families)
    if (family.name == name) return family;
  throw std::runtime_error("no family " + name);
}

double Labelled(const prometheus::MetricFamily& family, const std::string& value) {
  for (const auto& metric : family.metric)
    if (metric.label.at(0).value == value) return metric.gauge.value;
  throw std::runtime_error("no " + value + " in " + family.name);
}

class VigimonFigures : public ::testing::Test {
 protected:
  void SetUp() override {
    terminals.table = {{1, {true, "a"}}, {2, {false, "b"}}, {3, {false, "c"}}, {4, {true, "d"}}, {5, {false, "e"}}};
    terminals.present = {1, 2, 3, 4, 5};
    // Terminal 99 has left the table: it counts nowhere.
    terminals.members = {{0, {1, 2}}, {1, {3, 4, 99}}, {2, {5}}};
    settings.areas[TOTAL_AREA_ID].name = codepage::Utf8ToGbk("大面积离线");
    settings.areas[0].name = codepage::Utf8ToGbk("<东区>");
    settings.areas[1].name = codepage::Utf8ToGbk("西区");
    settings.areas[2].name = codepage::Utf8ToGbk("西区");
    settings.areas[3].name = codepage::Utf8ToGbk("新区");  // no members read yet
  }

  Terminals terminals;
  MonitorSettings settings;
  ManualClock clock{1765000000};
  MonitorTally tally{clock};
  ReadyModem modem;
};

TEST_F(VigimonFigures, AreasAreCountedAsTheAlertsJudgeThemAndEachKeepsItsOwnSeries) {
  tally.Acquired(terminals, true, settings);
  tally.AlertsRaised({1, TOTAL_AREA_ID}, 3);
  tally.ReportsQueued(2);
  tally.Polled(1500ms);
  auto scraped = VigimonMetrics({tally, modem}).Collect();

  const auto& states = Family(scraped, "vigimon_terminals");
  EXPECT_EQ(Labelled(states, "online"), 2);
  EXPECT_EQ(Labelled(states, "offline"), 3);
  const auto& areas = Family(scraped, "vigimon_area_offline");
  ASSERT_EQ(areas.metric.size(), 4u);  // not the installation
  EXPECT_EQ(Labelled(areas, "<东区>"), 1);
  EXPECT_EQ(Labelled(areas, "西区 #1"), 1);
  EXPECT_EQ(Labelled(areas, "西区 #2"), 1);
  EXPECT_EQ(Labelled(areas, "新区"), 0);
  EXPECT_EQ(Family(scraped, "vigimon_alerts_sent_total").metric.at(0).counter.value, 3);
  EXPECT_EQ(Family(scraped, "vigimon_reports_sent_total").metric.at(0).counter.value, 2);
  EXPECT_EQ(Family(scraped, "vigimon_platform_up").metric.at(0).gauge.value, 1);
  EXPECT_EQ(Family(scraped, "vigimon_sms_service_up").metric.at(0).gauge.value, 1);
  const auto& poll = Family(scraped, "vigimon_poll_seconds").metric.at(0).histogram;
  EXPECT_EQ(poll.sample_count, 1u);
  EXPECT_DOUBLE_EQ(poll.sample_sum, 1.5);

  // A failed poll keeps the last counts but says the platform is down.
  terminals.table[1].online = false;
  tally.Acquired(terminals, false, settings);
  scraped = VigimonMetrics({tally, modem}).Collect();
  EXPECT_EQ(Family(scraped, "vigimon_platform_up").metric.at(0).gauge.value, 0);
  EXPECT_EQ(Labelled(Family(scraped, "vigimon_area_offline"), "<东区>"), 2);
}

TEST_F(VigimonFigures, ThePageListsEveryAreaWithItsAlertAndEscapesItsName) {
  tally.Acquired(terminals, true, settings);
  clock.wall += 60;
  tally.AlertsRaised({1}, 1);
  std::string page = VigimonStatusPage({SmsLink::Ready, tally.Figures()}, clock.wall);
  EXPECT_NE(page.find("<meta http-equiv=\"refresh\" content=\"10\">"), std::string::npos);
  EXPECT_NE(page.find("<td>&lt;东区&gt;</td><td class=\"count bad\">1</td><td class=\"count\">2</td>"
                      "<td class=\"none\">未发送</td>"),
            std::string::npos);
  EXPECT_EQ(page.find("<东区>"), std::string::npos);
  EXPECT_NE(page.find("<td>西区</td><td class=\"count bad\">1</td><td class=\"count\">2</td><td class=\"bad\">已发送 "),
            std::string::npos);
  EXPECT_NE(page.find("在线 2，离线 3，共 5"), std::string::npos);
  EXPECT_NE(page.find("系统连接正常"), std::string::npos);
}

}  // namespace
