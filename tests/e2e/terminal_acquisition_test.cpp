// The monitor's acquisition steps against bcsim through the terminal
// information components, over real sockets: what the records, counts and
// areas hold after each step, and what a server fault leaves behind.
#include "monitor/acquisition/terminal_acquisition.h"

#include <cstdlib>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "monitor/acquisition/acquisition_sequences.h"
#include "monitor/acquisition/fault_codes.h"
#include "monitor/settings/monitor_settings.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/clock/manual_clock.h"
#include "platform/codepage/codepage.h"
#include "platform/com/apartment.h"
#include "tests/e2e/support/bc_sim.h"

namespace {

using nlohmann::json;

std::vector<int32_t> Keys(const std::map<int32_t, TerminalRecord>& table) {
  std::vector<int32_t> keys;
  for (const auto& [id, record] : table) keys.push_back(id);
  return keys;
}

std::vector<int32_t> Keys(const std::map<int32_t, AreaEntry>& areas) {
  std::vector<int32_t> keys;
  for (const auto& [id, area] : areas) keys.push_back(id);
  return keys;
}

std::vector<int32_t> Range(int32_t from, int32_t to) {
  std::vector<int32_t> ids;
  for (int32_t id = from; id <= to; ++id) ids.push_back(id);
  return ids;
}

AreaEntry Area(const char* utf8Name, int32_t baseline, std::vector<Contact> contacts) {
  return AreaEntry{codepage::Utf8ToGbk(utf8Name), baseline, std::move(contacts)};
}

class TerminalAcquisitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    com::CoInitialize();
    broadcast_components::RegisterBroadcastComponents();
    settings.areas[TOTAL_AREA_ID] = Area("大面积离线", UNJUDGED_BASELINE, {{"admin", "13900000000"}});
  }
  void TearDown() override {
    acquisition.reset();
    com::CoUninitialize();
  }

  void Start(const json& scenario) {
    sim = std::make_unique<BcSim>(scenario);
    setenv("QUILLON_INFO_PORT", std::to_string(sim->infoPort()).c_str(), 1);
    acquisition = std::make_unique<TerminalAcquisition>(settings, clock);
  }

  bool Poll() { return RunPollSequence(*acquisition); }
  const TerminalRecord& Record(int32_t id) { return acquisition->terminalTable().at(id); }

  // The information port's requests of one op since the log was last cleared.
  std::vector<json> InfoRequests(const std::string& op) {
    std::vector<json> requests;
    json log = sim->Call({{"cmd", "info_log"}, {"clear", true}});
    for (const json& entry : log["entries"])
      if (entry["request"].value("op", "") == op) requests.push_back(entry["request"]);
    return requests;
  }

  MonitorSettings settings;
  ManualClock clock{1000};
  std::unique_ptr<BcSim> sim;
  std::unique_ptr<TerminalAcquisition> acquisition;
};

TEST_F(TerminalAcquisitionTest, EmptyPlatformRefreshesToAnEmptyListAndKeepsConfiguredAreas) {
  Start(json::object());
  settings.areas[4] = Area("东楼", 3, {{"guard", "13900000001"}});

  EXPECT_TRUE(Poll());
  EXPECT_TRUE(acquisition->systemOk());
  EXPECT_TRUE(acquisition->terminalTable().empty());
  EXPECT_TRUE(acquisition->presentIds().empty());
  EXPECT_EQ(acquisition->offlineCount(), 0);

  // A server without areas is no reason to drop the operator's contacts.
  EXPECT_TRUE(acquisition->syncAreas());
  EXPECT_TRUE(acquisition->serverAreas().empty());
  EXPECT_EQ(Keys(settings.areas), (std::vector<int32_t>{-1, 4}));
  EXPECT_EQ(settings.areas[4].contacts.size(), 1u);
}

TEST_F(TerminalAcquisitionTest, RecordsHoldWhatTheServerAnswers) {
  Start({{"terminals",
          {{{"id", 300}, {"name", "东楼大厅"}, {"tag", "A-1"}, {"ip", "192.168.1.5"}},
           {{"id", 7}, {"online", false}, {"fault", 0x85}},
           {{"id", 8}, {"state", 0}, {"fault", 6}}}}});

  ASSERT_TRUE(Poll());
  EXPECT_EQ(acquisition->presentIds(), (std::vector<int32_t>{7, 8, 300}));
  EXPECT_EQ(acquisition->offlineCount(), 1);

  const TerminalRecord& hall = Record(300);
  EXPECT_EQ(hall.id, 300);
  EXPECT_EQ(hall.name, codepage::Utf8ToGbk("东楼大厅"));
  EXPECT_EQ(hall.tag, "A-1");
  EXPECT_EQ(hall.ip, "192.168.1.5");
  EXPECT_TRUE(hall.online);
  EXPECT_EQ(hall.lastChange, (LocalTimestamp{1000, true}));

  const TerminalRecord& offline = Record(7);
  EXPECT_FALSE(offline.online);
  EXPECT_EQ(offline.faultCode, 5);
  EXPECT_TRUE(ShowsFault(offline));

  // State 0 is online; network loss then is no fault.
  const TerminalRecord& zeroState = Record(8);
  EXPECT_TRUE(zeroState.online);
  EXPECT_EQ(zeroState.faultCode, 6);
  EXPECT_FALSE(ShowsFault(zeroState));
}

TEST_F(TerminalAcquisitionTest, LastChangeMovesOnlyWithStateOrFault) {
  Start({{"generate", {{"terminals", 2}, {"areas", 0}}}});
  ASSERT_TRUE(Poll());
  EXPECT_EQ(Record(1).lastChange.when, 1000);

  sim->Call({{"cmd", "set_terminal"}, {"id", 1}, {"online", false}});
  clock.wall = 2000;
  ASSERT_TRUE(Poll());
  EXPECT_FALSE(Record(1).online);
  EXPECT_EQ(Record(1).lastChange.when, 2000);
  EXPECT_EQ(Record(2).lastChange.when, 1000);

  // Same state again, and a new address: nothing the operator watches changed.
  sim->Call({{"cmd", "set_terminal"}, {"id", 1}, {"ip", "10.9.9.9"}});
  clock.wall = 3000;
  ASSERT_TRUE(Poll());
  EXPECT_EQ(Record(1).ip, "10.9.9.9");
  EXPECT_EQ(Record(1).lastChange.when, 2000);

  sim->Call({{"cmd", "set_terminal"}, {"id", 2}, {"fault", 0x83}});
  clock.wall = 4000;
  ASSERT_TRUE(Poll());
  EXPECT_EQ(Record(2).faultCode, 3);
  EXPECT_EQ(Record(2).lastChange.when, 4000);
  // 0x83 and 0x03 are the same fault.
  sim->Call({{"cmd", "set_terminal"}, {"id", 2}, {"fault", 3}});
  clock.wall = 5000;
  ASSERT_TRUE(Poll());
  EXPECT_EQ(Record(2).lastChange.when, 4000);
}

TEST_F(TerminalAcquisitionTest, OnlyAGoneTerminalLeavesTheTable) {
  Start({{"generate", {{"terminals", 4}, {"areas", 0}}}});
  ASSERT_TRUE(Poll());

  sim->Call({{"cmd", "remove_terminal"}, {"id", 2}});
  // No longer listed but still answering: kept, with its last address.
  sim->Call({{"cmd", "set_terminal"}, {"id", 3}, {"listed", false}});
  // Gone is recognised by the low word alone.
  sim->Call({{"cmd", "fail_info"}, {"op", "terminal"}, {"id", 4}, {"hr", static_cast<int32_t>(0x8007040C)}});
  ASSERT_TRUE(Poll());
  EXPECT_EQ(Keys(acquisition->terminalTable()), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(acquisition->presentIds(), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(Record(3).ip, "10.0.0.3");
}

TEST_F(TerminalAcquisitionTest, AnyOtherQueryFailureStopsTheRefreshWhereItWas) {
  Start({{"generate", {{"terminals", 3}, {"areas", 0}}}});
  ASSERT_TRUE(Poll());

  sim->Call({{"cmd", "set_terminal"}, {"id", 1}, {"online", false}});
  sim->Call({{"cmd", "set_terminal"}, {"id", 3}, {"online", false}});
  sim->Call({{"cmd", "fail_info"}, {"op", "terminal"}, {"id", 2}});
  EXPECT_FALSE(Poll());
  EXPECT_FALSE(acquisition->systemOk());
  EXPECT_EQ(acquisition->presentIds(), (std::vector<int32_t>{1}));
  EXPECT_EQ(acquisition->offlineCount(), 1);
  EXPECT_EQ(Keys(acquisition->terminalTable()), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_TRUE(Record(3).online);  // not visited

  EXPECT_TRUE(Poll());
  EXPECT_EQ(acquisition->offlineCount(), 2);
}

TEST_F(TerminalAcquisitionTest, UnreachableServerFailsTheStepAndKeepsTheLastData) {
  Start({{"generate", {{"terminals", 5}, {"areas", 1}}}});
  int refills = 0;
  auto refill = [&refills] { ++refills; };
  ASSERT_TRUE(RunStartUpSequence(*acquisition, refill));
  EXPECT_EQ(refills, 1);
  sim->Call({{"cmd", "set_terminal"}, {"id", 5}, {"online", false}});
  ASSERT_TRUE(Poll());

  sim->Call({{"cmd", "info_down"}});
  EXPECT_FALSE(Poll());
  EXPECT_FALSE(acquisition->systemOk());
  EXPECT_EQ(acquisition->presentIds(), Range(1, 5));
  EXPECT_EQ(acquisition->offlineCount(), 1);
  EXPECT_EQ(acquisition->terminalTable().size(), 5u);
  EXPECT_FALSE(RunRefreshSequence(*acquisition, refill));
  EXPECT_EQ(refills, 1);
  EXPECT_EQ(acquisition->areaMembers().at(1), Range(1, 5));

  sim->Call({{"cmd", "info_up"}});
  EXPECT_TRUE(RunReportReloadSequence(*acquisition, refill));
  EXPECT_EQ(refills, 2);
}

TEST_F(TerminalAcquisitionTest, SettingsAreasFollowTheServersAreas) {
  Start({{"generate", {{"terminals", 9}, {"areas", 3}}},
         {"areas", {{{"id", 7}, {"name", "西楼"}, {"members", {9, 1, 500}}}}}});
  settings.areas[1] = Area("旧名", 4, {{"guard", "13900000001"}});
  settings.areas[5] = Area("拆除", 2, {{"gone", "13900000002"}});

  ASSERT_TRUE(RunStartUpSequence(*acquisition, nullptr));
  ASSERT_EQ(acquisition->serverAreas().size(), 4u);
  EXPECT_EQ(acquisition->serverAreas()[3].id, 7);
  EXPECT_EQ(acquisition->serverAreas()[3].name, codepage::Utf8ToGbk("西楼"));

  EXPECT_EQ(Keys(settings.areas), (std::vector<int32_t>{-1, 1, 2, 3, 7}));
  EXPECT_EQ(settings.areas[-1].name, codepage::Utf8ToGbk("大面积离线"));
  EXPECT_EQ(settings.areas[-1].contacts.size(), 1u);
  EXPECT_EQ(settings.areas[1].name, codepage::Utf8ToGbk("区域1"));
  EXPECT_EQ(settings.areas[1].lastOfflineCount, 4);
  EXPECT_EQ(settings.areas[1].contacts.size(), 1u);
  for (int32_t added : {2, 3, 7}) {
    EXPECT_EQ(settings.areas[added].lastOfflineCount, NEW_AREA_BASELINE) << added;
    EXPECT_TRUE(settings.areas[added].contacts.empty()) << added;
  }

  // Members in the server's order, unknown terminals left out.
  EXPECT_EQ(acquisition->areaMembers().at(1), Range(1, 3));
  EXPECT_EQ(acquisition->areaMembers().at(7), (std::vector<int32_t>{9, 1}));

  sim->Call({{"cmd", "remove_area"}, {"id", 7}});
  ASSERT_TRUE(RunRefreshSequence(*acquisition, nullptr));
  EXPECT_EQ(Keys(settings.areas), (std::vector<int32_t>{-1, 1, 2, 3}));
  EXPECT_FALSE(acquisition->areaMembers().contains(7));
}

TEST_F(TerminalAcquisitionTest, AnAreaTheServerDoesNotNameIsDropped) {
  Start({{"generate", {{"terminals", 6}, {"areas", 3}}}, {"areas", {{{"id", 2}, {"s_false", true}}}}});
  settings.areas[2] = Area("中楼", 5, {{"guard", "13900000001"}});

  ASSERT_TRUE(acquisition->syncAreas());
  ASSERT_EQ(acquisition->serverAreas().size(), 2u);
  EXPECT_EQ(acquisition->serverAreas()[0].id, 1);
  EXPECT_EQ(acquisition->serverAreas()[1].id, 3);
  EXPECT_EQ(Keys(settings.areas), (std::vector<int32_t>{-1, 1, 3}));
}

TEST_F(TerminalAcquisitionTest, MembersAreReadInPagesOfAHundred) {
  Start({{"generate", {{"terminals", 250}, {"areas", 1}}}, {"areas", {{{"id", 2}, {"members", Range(101, 200)}}}}});
  ASSERT_TRUE(Poll());
  ASSERT_TRUE(acquisition->syncAreas());
  sim->Call({{"cmd", "info_log"}, {"clear", true}});

  ASSERT_TRUE(acquisition->loadAreaMembers());
  std::vector<std::pair<int, int>> pages;
  for (const json& request : InfoRequests("area_terminals")) {
    EXPECT_EQ(request["max"], 100);
    pages.emplace_back(request["id"], request["first"]);
  }
  // A full last page needs one more, empty, page to be known as the last.
  EXPECT_EQ(pages, (std::vector<std::pair<int, int>>{{1, 0}, {1, 100}, {1, 200}, {2, 0}, {2, 100}}));
  EXPECT_EQ(acquisition->areaMembers().at(1), Range(1, 250));
  EXPECT_EQ(acquisition->areaMembers().at(2), Range(101, 200));
}

TEST_F(TerminalAcquisitionTest, AFailedMemberPageLeavesThatAreasOldMembers) {
  Start({{"generate", {{"terminals", 6}, {"areas", 2}}}});
  ASSERT_TRUE(RunStartUpSequence(*acquisition, nullptr));
  sim->Call({{"cmd", "set_area"}, {"id", 1}, {"members", {6}}});
  sim->Call({{"cmd", "set_area"}, {"id", 2}, {"members", {1}}});
  sim->Call({{"cmd", "fail_info"}, {"op", "area_terminals"}, {"id", 2}});

  EXPECT_FALSE(RunAreaDialogSequence(*acquisition, nullptr));
  EXPECT_FALSE(acquisition->systemOk());
  EXPECT_EQ(acquisition->areaMembers().at(1), (std::vector<int32_t>{6}));
  EXPECT_EQ(acquisition->areaMembers().at(2), Range(4, 6));
}

}  // namespace
