// The monitor's list as the operator filters it, and the item model the
// window shows, without a display.
#include "monitor/view/terminal_list_view.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "monitor/view/terminal_table_model.h"
#include "platform/codepage/codepage.h"

namespace {

TerminalRecord Terminal(int32_t id, bool online, int32_t fault, const char* utf8Name) {
  TerminalRecord record;
  record.id = id;
  record.name = codepage::Utf8ToGbk(utf8Name);
  record.tag = "T" + std::to_string(id);
  record.ip = "10.0.0." + std::to_string(id);
  record.online = online;
  record.faultCode = fault;
  record.lastChange = {86400 * 365, true};
  return record;
}

class TerminalList : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    for (const auto& record : {Terminal(1, true, 0, "东门"), Terminal(2, true, 4, "西门"), Terminal(3, true, 6, "南门"),
                               Terminal(4, false, 6, "北门"), Terminal(5, false, 0, "大厅")})
      table[record.id] = record;
    present = {1, 2, 3, 4, 5};
    members = {{10, {5, 4, 99}}, {20, {1}}};
    settings.areas[TOTAL_AREA_ID].name = "total";
    settings.areas[10].name = codepage::Utf8ToGbk("一区");
    settings.areas[20].name = codepage::Utf8ToGbk("二区");
  }
  std::vector<int32_t> Rows(const TerminalListView& view) {
    std::vector<int32_t> ids;
    for (size_t row = 0; row < view.RowCount(); ++row) ids.push_back(view.RowId(row));
    return ids;
  }
  std::string Cell(const TerminalListView& view, size_t row, int column) {
    return codepage::GbkToUtf8(view.CellText(row, column));
  }

  std::map<int32_t, TerminalRecord> table;
  std::vector<int32_t> present;
  std::map<int32_t, std::vector<int32_t>> members;
  MonitorSettings settings;
};

TEST_F(TerminalList, FiltersByStateAndArea) {
  TerminalListView view({table, present, members}, settings);
  view.RefillAreaChoices();
  view.RebuildShownList();
  EXPECT_EQ(Rows(view), (std::vector<int32_t>{1, 2, 3, 4, 5}));

  ASSERT_TRUE(view.SelectState(STATE_FAULT));  // online with 4 is faulty, online with 6 is not
  EXPECT_FALSE(view.SelectState(STATE_FAULT));
  view.RebuildShownList();
  EXPECT_EQ(Rows(view), (std::vector<int32_t>{2, 4}));
  view.SelectState(STATE_ONLINE);
  view.RebuildShownList();
  EXPECT_EQ(Rows(view), (std::vector<int32_t>{1, 2, 3}));

  ASSERT_TRUE(view.SelectArea(1));  // 一区: its members in the order read, then filtered
  view.SelectState(STATE_ALL);
  view.RebuildShownList();
  EXPECT_EQ(Rows(view), (std::vector<int32_t>{5, 4, 99}));
  view.SelectState(STATE_OFFLINE);
  view.RebuildShownList();
  EXPECT_EQ(Rows(view), (std::vector<int32_t>{5, 4}));  // the forgotten 99 goes with a state filter
}

TEST_F(TerminalList, SearchAndSortNarrowAndOrderWhatTheFiltersLeave) {
  TerminalListView view({table, present, members}, settings);
  view.RefillAreaChoices();
  view.SetSearch("门");
  view.RebuildShownList();
  EXPECT_EQ(Rows(view), (std::vector<int32_t>{1, 2, 3, 4}));
  view.SetSearch("t5");  // the tag, in another case
  view.RebuildShownList();
  EXPECT_EQ(Rows(view), (std::vector<int32_t>{5}));
  view.SetSearch("10.0.0.");
  view.SetSort(COL_ONLINE, true);  // GBK order is pinyin order: "离线" before "在线"; ties keep id order
  view.RebuildShownList();
  EXPECT_EQ(Rows(view), (std::vector<int32_t>{4, 5, 1, 2, 3}));
  view.SetSort(COL_NAME, false);
  view.SelectArea(1);
  view.RebuildShownList();
  EXPECT_EQ(Rows(view), (std::vector<int32_t>{5, 4}));  // 一区 without the forgotten 99: 大厅 after 北门, reversed
  EXPECT_EQ(view.RowOf(4), std::optional<size_t>(1));
  EXPECT_FALSE(view.RowOf(1));

  view.SetSearch("");
  view.SetSort(-1, true);
  view.SelectArea(0);
  view.RebuildShownList();
  EXPECT_EQ(Rows(view), present);
}

TEST_F(TerminalList, RowTextsAndAForgottenTerminal) {
  TerminalListView view({table, present, members}, settings);
  view.RefillAreaChoices();
  view.RebuildShownList();
  EXPECT_EQ(Cell(view, 1, COL_NAME), "西门");
  EXPECT_EQ(Cell(view, 1, COL_ONLINE), "在线");
  EXPECT_EQ(Cell(view, 1, COL_FAULT), "功放异常");
  EXPECT_EQ(Cell(view, 2, COL_FAULT), "");  // network loss while online is no fault
  EXPECT_EQ(Cell(view, 3, COL_ONLINE), "离线");
  EXPECT_EQ(Cell(view, 3, COL_FAULT), "网络断开");
  EXPECT_EQ(Cell(view, 0, COL_CHANGED), "1971-01-01 00:00:00");
  table[1].lastChange.valid = false;
  EXPECT_EQ(Cell(view, 0, COL_CHANGED), "Invalid DateTime");

  view.SelectArea(1);
  view.RebuildShownList();
  EXPECT_EQ(Cell(view, 2, COL_NAME), "未知终端(99)");
  EXPECT_EQ(Cell(view, 2, COL_ONLINE), "");
}

TEST_F(TerminalList, AreaSelectorKeepsOrClampsItsChoice) {
  TerminalListView view({table, present, members}, settings);
  const auto& choices = view.RefillAreaChoices();
  ASSERT_EQ(choices.size(), 3u);  // the installation's own entry (-1) is not an area to choose
  EXPECT_EQ(codepage::GbkToUtf8(choices[0].name), "所有");
  EXPECT_EQ(choices[0].id, -1);
  EXPECT_EQ(choices[2].id, 20);
  view.SelectArea(2);
  settings.areas.erase(10);
  view.RefillAreaChoices();  // index 2 no longer exists: back to "所有"
  EXPECT_EQ(view.areaFilter(), 0);
  view.SelectArea(1);
  settings.areas[30].name = "3";
  view.RefillAreaChoices();
  EXPECT_EQ(view.areaFilter(), 1);
}

TEST_F(TerminalList, ModelAnswersAsAnItemModelMust) {
  TerminalListView view({table, present, members}, settings);
  view.RefillAreaChoices();
  TerminalTableModel model(view);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  model.Rebuild();
  EXPECT_EQ(model.rowCount(), 5);
  EXPECT_EQ(model.columnCount(), 6);
  EXPECT_EQ(model.headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("最近状态变化时间"));
  EXPECT_EQ(model.data(model.index(0, COL_NAME), Qt::DisplayRole).toString(), QStringLiteral("东门"));
  view.SelectState(STATE_OFFLINE);
  model.Rebuild();
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.data(model.index(1, COL_NAME), Qt::DisplayRole).toString(), QStringLiteral("大厅"));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
