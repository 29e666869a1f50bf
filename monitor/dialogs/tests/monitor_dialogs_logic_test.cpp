// The four settings dialogs' logic, driven without a display.
#include <filesystem>

#include <gtest/gtest.h>

#include "monitor/dialogs/contact_logic.h"
#include "monitor/dialogs/phone_num_mgr_logic.h"
#include "monitor/dialogs/sys_cfg_logic.h"
#include "monitor/dialogs/tests/monitor_dialogs_test_support.h"
#include "monitor/dialogs/time_point_logic.h"

namespace {

using Texts = std::vector<std::string>;

class SettingsFile : public testing::Test {
 protected:
  SettingsFile() {
    std::filesystem::path dir =
        std::filesystem::path(testing::TempDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    settings_.iniPath = (dir / "Vigimon.ini").string();
    settings_.comPort = 3;
    settings_.baudRate = 9600;
    settings_.smsCentre = "8613800100500";
    settings_.pollInterval = 60;
    settings_.offlinePercent = 20;
  }

  // What the dialog saved, as the next start-up would read it.
  MonitorSettings Saved() const {
    MonitorSettings saved;
    saved.iniPath = settings_.iniPath;
    loadSettings(saved);
    return saved;
  }
  bool WasSaved() const { return std::filesystem::exists(settings_.iniPath); }

  MonitorSettings settings_;
  RecordingMessageBox box_;
};

SysCfgEntry Entry(const char* centre, const char* interval, const char* threshold) {
  SysCfgEntry entry;
  entry.portIndex = 1;
  entry.rateIndex = 12;
  entry.smsCentre = centre;
  entry.intervalText = interval;
  entry.thresholdText = threshold;
  return entry;
}

using SysCfg = SettingsFile;

TEST_F(SysCfg, RefusesEachFieldInOrderAndWritesNothingUntilAllPass) {
  FakeTimePointEditor editor;
  SysCfgLogic logic(settings_, editor, box_);
  const MonitorSettings before = settings_;
  for (const SysCfgEntry& entry :
       {Entry("  ", "9", "0"), Entry("8613800100", "9", "0"), Entry("13800100500", "9", "0"),
        Entry("13800100500", "10", "0"), Entry("13800100500", "10", "101"), Entry("13800100500", "", "50")}) {
    EXPECT_FALSE(logic.Confirm(entry, settings_));
  }
  EXPECT_EQ(box_.TakeTexts(),
            (Texts{"请重新设置短信中心号码！", "短信中心号码长度错误，请重新设置！",
                   "请重新设置自动监控终端状态时间间隔！", "请重新设置离线和出现故障的终端所占百分比阀值！",
                   "请重新设置离线和出现故障的终端所占百分比阀值！", "请输入一个整数。"}));
  EXPECT_EQ(settings_.smsCentre, before.smsCentre);
  EXPECT_EQ(settings_.pollInterval, before.pollInterval);
  EXPECT_FALSE(WasSaved());

  // Eleven digits get the country prefix; interval 10 and threshold 1 pass.
  ASSERT_TRUE(logic.Confirm(Entry(" 13800100500 ", "10", "1"), settings_));
  EXPECT_TRUE(box_.shown.empty());
  MonitorSettings saved = Saved();
  EXPECT_EQ(saved.smsCentre, "8613800100500");
  EXPECT_EQ(saved.pollInterval, 10);
  EXPECT_EQ(saved.offlinePercent, 1);
  EXPECT_EQ(saved.comPort, 2);
  EXPECT_EQ(saved.baudRate, 115200);
}

TEST_F(SysCfg, CentreLengthsAndThresholdBounds) {
  FakeTimePointEditor editor;
  SysCfgLogic logic(settings_, editor, box_);
  // Thirteen characters that already begin with 86 stay as they are.
  ASSERT_TRUE(logic.Confirm(Entry("8613900100500", "10", "100"), settings_));
  EXPECT_EQ(settings_.smsCentre, "8613900100500");
  EXPECT_EQ(settings_.offlinePercent, 100);
  // Twelve without the prefix get it like any other length that passes.
  ASSERT_TRUE(logic.Confirm(Entry("013900100500", "10", "50"), settings_));
  EXPECT_EQ(settings_.smsCentre, "86013900100500");
  EXPECT_FALSE(logic.Confirm(Entry("86139001005001", "10", "50"), settings_));
  EXPECT_EQ(box_.TakeTexts(), Texts{"短信中心号码长度错误，请重新设置！"});
  EXPECT_EQ(box_.shown.size(), 0u);
}

// The alert options open as stored, refuse what the alert check cannot use,
// and a poll interval the timer cannot count is refused, not clamped away.
TEST_F(SysCfg, AlertOptionsAndTheLongestInterval) {
  FakeTimePointEditor editor;
  settings_.confirmPolls = 2;
  settings_.recovery = 1;
  settings_.escalateMinutes = 30;
  SysCfgLogic logic(settings_, editor, box_);
  EXPECT_EQ(logic.confirmPollsText(), "2");
  EXPECT_TRUE(logic.recovery());
  EXPECT_EQ(logic.escalateText(), "30");

  SysCfgEntry entry = Entry("13800100500", "2147484", "50");
  EXPECT_FALSE(logic.Confirm(entry, settings_));
  entry.intervalText = "2147483";
  for (auto [polls, minutes] : {std::pair{"0", "0"}, {"101", "0"}, {"1", "-1"}, {"1", "10081"}}) {
    entry.confirmPollsText = polls;
    entry.escalateText = minutes;
    EXPECT_FALSE(logic.Confirm(entry, settings_));
  }
  EXPECT_EQ(box_.TakeTexts(), (Texts{"请重新设置自动监控终端状态时间间隔！", "请重新设置连续确认次数(1-100)！",
                                     "请重新设置连续确认次数(1-100)！", "请重新设置升级通知时间(0-10080)！",
                                     "请重新设置升级通知时间(0-10080)！"}));
  EXPECT_FALSE(WasSaved());

  entry.confirmPollsText = "100";
  entry.escalateText = "10080";
  entry.recovery = false;
  ASSERT_TRUE(logic.Confirm(entry, settings_));
  MonitorSettings saved = Saved();
  EXPECT_EQ(saved.pollInterval, 2147483);
  EXPECT_EQ(saved.confirmPolls, 100);
  EXPECT_EQ(saved.recovery, 0);
  EXPECT_EQ(saved.escalateMinutes, 10080);
}

TEST_F(SysCfg, TimePointsStayInTimeOrderThroughAddModifyAndDelete) {
  FakeTimePointEditor editor;
  settings_.reportTimes = {{Gbk("晚"), {18, 0, 0}}};
  SysCfgLogic logic(settings_, editor, box_);
  editor.replies = {ReportTimePoint{Gbk("早"), {8, 0, 0}}, ReportTimePoint{Gbk("午"), {12, 0, 0}},
                    ReportTimePoint{Gbk("又午"), {12, 0, 0}}};
  logic.Select(0);
  EXPECT_TRUE(logic.Add());
  EXPECT_EQ(logic.selectedRow(), 1) << "the selection follows its row down";
  EXPECT_TRUE(logic.Add());
  EXPECT_TRUE(logic.Add());
  auto times = [&] {
    Texts texts;
    for (const TimePointRow& row : logic.rows()) texts.push_back(codepage::GbkToUtf8(row.name) + " " + row.time);
    return texts;
  };
  // A point at an existing time goes before the one already there.
  EXPECT_EQ(times(), (Texts{"早 08:00:00", "又午 12:00:00", "午 12:00:00", "晚 18:00:00"}));

  // "修改" opens the row's own values and re-sorts the edited one.
  logic.Select(0);
  editor.replies = {ReportTimePoint{Gbk("早"), {20, 30, 0}}};
  EXPECT_TRUE(logic.Modify());
  ASSERT_EQ(editor.edited.size(), 1u);
  EXPECT_EQ(editor.edited[0].time, (TimeOfDay{8, 0, 0}));
  EXPECT_EQ(logic.selectedRow(), -1);
  EXPECT_FALSE(logic.Modify()) << "nothing is selected any more";
  EXPECT_EQ(times(), (Texts{"又午 12:00:00", "午 12:00:00", "晚 18:00:00", "早 20:30:00"}));

  logic.Select(2);
  box_.okCancelReply = ui::IDCANCEL;
  EXPECT_FALSE(logic.Delete());
  box_.okCancelReply = ui::IDOK;
  EXPECT_TRUE(logic.Delete());
  EXPECT_EQ(box_.shown.at(0).text, "确定要删除 “晚” 吗？");
  EXPECT_EQ(box_.shown.at(0).caption, "删除");
  EXPECT_EQ(box_.shown.at(0).buttons, ui::MB_OKCANCEL);
  EXPECT_EQ(logic.selectedRow(), -1);
  logic.Select(3);
  EXPECT_FALSE(logic.canModifyOrDelete()) << "row 3 no longer exists";
  EXPECT_EQ(settings_.reportTimes.size(), 1u) << "rows are copies until OK";

  box_.shown.clear();
  ASSERT_TRUE(logic.Confirm(Entry("13800100500", "10", "50"), settings_));
  MonitorSettings saved = Saved();
  ASSERT_EQ(saved.reportTimes.size(), 3u);
  EXPECT_EQ(FormatTimeOfDay(saved.reportTimes[0].time), "12:00:00");
  EXPECT_EQ(codepage::GbkToUtf8(saved.reportTimes[0].name), "又午");
  EXPECT_EQ(FormatTimeOfDay(saved.reportTimes[2].time), "20:30:00");
}

TEST(TimePointDialog, RefusesABlankNameAndTrimsTheOneItKeeps) {
  RecordingMessageBox box;
  TimePointLogic logic(true, {"", {9, 15, 0}}, box);
  EXPECT_EQ(codepage::GbkToUtf8(logic.caption()), "新增时间点");
  EXPECT_FALSE(logic.Confirm(" \t ", {7, 0, 0}));
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].text, "名称错误，请重新输入");
  EXPECT_EQ(box.shown[0].caption, "错误");
  EXPECT_EQ(box.shown[0].icon, ui::MessageIcon::Error);
  ASSERT_TRUE(logic.Confirm(Gbk(" 早报 "), {7, 0, 0}));
  EXPECT_EQ(codepage::GbkToUtf8(logic.point().name), "早报");
  EXPECT_EQ(logic.point().time, (TimeOfDay{7, 0, 0}));
  EXPECT_EQ(codepage::GbkToUtf8(TimePointLogic(false, {"x", {}}, box).caption()), "编辑时间点");
}

TEST(ContactDialog, RefusesBlankFieldsInOrderThenNumbersOutsideThePattern) {
  RecordingMessageBox box;
  ContactLogic logic(true, {}, box);
  EXPECT_FALSE(logic.Confirm("   ", ""));
  EXPECT_FALSE(logic.Confirm(Gbk("张三"), " "));
  for (const char* phone : {"14200001111", "1390000111", "139000011112", "12900001111"})
    EXPECT_FALSE(logic.Confirm(Gbk("张三"), phone)) << phone;
  EXPECT_EQ(box.TakeTexts(),
            (Texts{"名称为空，请重新输入！", "电话号码为空，请重新输入！", "电话号码无效，请重新输入！",
                   "电话号码无效，请重新输入！", "电话号码无效，请重新输入！", "电话号码无效，请重新输入！"}));
  for (const char* phone : {"13900001111", "14700001111", "14500001111", "15900001111", "17800001111"}) {
    EXPECT_TRUE(logic.Confirm(Gbk(" 张三 "), phone)) << phone;
    EXPECT_EQ(logic.contact().phone, phone);
  }
  EXPECT_FALSE(ContactLogic::IsMobileNumber("15400001111"));
  EXPECT_FALSE(ContactLogic::IsMobileNumber("17500001111"));
  EXPECT_EQ(codepage::GbkToUtf8(logic.contact().name), "张三");
  EXPECT_TRUE(box.shown.empty());
}

class PhoneNumbers : public SettingsFile {
 protected:
  PhoneNumbers() {
    settings_.areas[TOTAL_AREA_ID] = {Gbk("全部"), 3, {{Gbk("局长"), "13900000001"}}};
    settings_.areas[5] = {Gbk("旧东区"), 2, {{Gbk("东"), "13900000005"}}};
    settings_.areas[9] = {Gbk("撤销区"), 4, {{Gbk("撤"), "13900000009"}}};
  }
  FakeContactEditor editor_;
};

TEST_F(PhoneNumbers, EditsCopiesOfTheServerAreasAndWritesThemOnlyOnOk) {
  FixedAreas server(std::vector<ServerArea>{{7, Gbk("新区")}, {5, Gbk("东区")}});
  PhoneNumMgrLogic logic(settings_, server, editor_, box_);
  ASSERT_TRUE(logic.editable());
  const auto& rows = logic.areaRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].id, TOTAL_AREA_ID);
  EXPECT_EQ(rows[1].id, 7);
  EXPECT_TRUE(rows[1].contacts.empty());
  EXPECT_EQ(rows[2].id, 5);
  EXPECT_EQ(codepage::GbkToUtf8(rows[2].name), "东区");
  EXPECT_EQ(rows[2].contacts.size(), 1u);
  EXPECT_FALSE(logic.canAdd());

  logic.SelectArea(1);
  editor_.replies = {Contact{Gbk("新"), "14700000007"}};
  EXPECT_TRUE(logic.Add());
  logic.SelectArea(2);
  EXPECT_FALSE(logic.canModifyOrDelete());
  logic.SelectContact(0);
  editor_.replies = {Contact{Gbk("东二"), "13900000055"}};
  EXPECT_TRUE(logic.Modify());
  EXPECT_EQ(editor_.edited.at(0).phone, "13900000005");
  logic.SelectArea(0);
  logic.SelectContact(0);
  EXPECT_TRUE(logic.Delete());
  EXPECT_EQ(logic.selectedContact(), -1);
  EXPECT_EQ(logic.selectedArea(), 0);

  // Nothing of it has reached the settings yet: not the server's names,
  // nor the edits, nor the dropped area.
  EXPECT_EQ(settings_.areas.size(), 3u);
  EXPECT_EQ(codepage::GbkToUtf8(settings_.areas[5].name), "旧东区");
  EXPECT_EQ(settings_.areas[TOTAL_AREA_ID].contacts.size(), 1u);
  EXPECT_FALSE(WasSaved());

  settings_.areas[5].lastOfflineCount = 6;  // a poll while the dialog was open
  ASSERT_TRUE(logic.Confirm(settings_));
  MonitorSettings saved = Saved();
  ASSERT_EQ(saved.areas.size(), 3u);
  EXPECT_FALSE(saved.areas.contains(9));
  EXPECT_TRUE(saved.areas[TOTAL_AREA_ID].contacts.empty());
  EXPECT_EQ(saved.areas[TOTAL_AREA_ID].lastOfflineCount, 3);
  EXPECT_EQ(saved.areas[5].lastOfflineCount, 6);
  EXPECT_EQ(saved.areas[5].contacts.at(0).phone, "13900000055");
  EXPECT_EQ(saved.areas[7].lastOfflineCount, NEW_AREA_BASELINE);
  EXPECT_EQ(saved.areas[7].contacts.at(0).phone, "14700000007");
}

TEST_F(PhoneNumbers, QuietHoursAreEditedPerAreaAndRefusedWhenUnreadable) {
  settings_.areas[5].quiet = QuietHours{{22, 0, 0}, {7, 0, 0}};
  FixedAreas server(std::vector<ServerArea>{{5, Gbk("东区")}, {7, Gbk("新区")}});
  PhoneNumMgrLogic logic(settings_, server, editor_, box_);
  logic.SelectArea(0);
  EXPECT_FALSE(logic.canEditQuiet());  // the installation has none
  logic.SetQuietText("1:00-2:00");
  EXPECT_EQ(logic.quietText(), "");
  logic.SelectArea(1);
  EXPECT_EQ(logic.quietText(), "22:00-07:00");
  logic.SetQuietText("");
  logic.SelectArea(2);
  logic.SetQuietText("23:00-06:00");
  // A window that cannot be read keeps the dialog open on its row.
  logic.SelectArea(1);
  logic.SetQuietText("22:00");
  logic.SelectArea(0);
  EXPECT_FALSE(logic.Confirm(settings_));
  EXPECT_EQ(box_.TakeTexts(), Texts{"静默时段格式错误，请按“22:00-07:00”的格式输入！"});
  EXPECT_EQ(logic.selectedArea(), 1);
  EXPECT_FALSE(WasSaved());
  logic.SetQuietText(" ");
  ASSERT_TRUE(logic.Confirm(settings_));
  MonitorSettings saved = Saved();
  EXPECT_FALSE(saved.areas.at(5).quiet);
  EXPECT_EQ(saved.areas.at(7).quiet, (QuietHours{{23, 0, 0}, {6, 0, 0}}));
}

TEST_F(PhoneNumbers, ShowsTheStoredAreasReadOnlyWhenTheServerCannotBeRead) {
  FixedAreas server(std::nullopt);
  PhoneNumMgrLogic logic(settings_, server, editor_, box_);
  EXPECT_FALSE(logic.editable());
  ASSERT_EQ(logic.areaRows().size(), 3u);
  EXPECT_EQ(logic.areaRows()[0].id, TOTAL_AREA_ID);
  EXPECT_EQ(logic.areaRows()[2].id, 9);
  logic.SelectArea(1);
  EXPECT_EQ(logic.contactRows().size(), 1u);
  logic.SelectContact(0);
  EXPECT_FALSE(logic.canAdd());
  EXPECT_FALSE(logic.canModifyOrDelete());
  editor_.replies = {Contact{"x", "13900000000"}};
  EXPECT_FALSE(logic.Add());
  EXPECT_FALSE(logic.Delete());
  EXPECT_FALSE(logic.Confirm(settings_));
  EXPECT_FALSE(WasSaved());
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(PhoneNumbers, NoServerAreasStillEditsTheInstallation) {
  FixedAreas server(std::vector<ServerArea>{});
  PhoneNumMgrLogic logic(settings_, server, editor_, box_);
  ASSERT_TRUE(logic.editable());
  ASSERT_EQ(logic.areaRows().size(), 1u);
  ASSERT_TRUE(logic.Confirm(settings_));
  EXPECT_EQ(Saved().areas.size(), 1u);
}

TEST_F(PhoneNumbers, AnUnreachableServerLeavesTheRealSettingsAlone) {
  // No terminal information server is registered in this process.
  PlatformAreaSource server;
  const MonitorSettings before = settings_;
  PhoneNumMgrLogic logic(settings_, server, editor_, box_);
  EXPECT_FALSE(logic.editable());
  EXPECT_EQ(logic.areaRows().size(), 3u);
  EXPECT_EQ(settings_.areas.size(), before.areas.size());
  EXPECT_EQ(settings_.areas[5].name, before.areas.at(5).name);
}

}  // namespace
