// The settings dialogs driven through their widgets on the offscreen platform.
#include <filesystem>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "monitor/dialogs/qt/contact_dialog.h"
#include "monitor/dialogs/qt/phone_num_mgr_dialog.h"
#include "monitor/dialogs/qt/sys_cfg_dialog.h"
#include "monitor/dialogs/qt/time_point_dialog.h"
#include "monitor/dialogs/tests/monitor_dialogs_test_support.h"
#include "platform/ui/qt/widget_test_support.h"

namespace {

using Texts = std::vector<std::string>;

void ClickRow(QTableWidget& list, int row) {
  QRect cell = list.visualItemRect(list.item(row, 0));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
}

QStringList Column(const QTableWidget& list, int column) {
  QStringList texts;
  for (int row = 0; row < list.rowCount(); ++row) texts << list.item(row, column)->text();
  return texts;
}

MonitorSettings TempSettings(const char* name) {
  std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  MonitorSettings settings;
  settings.iniPath = (dir / "Vigimon.ini").string();
  return settings;
}

TEST(SysCfgWidget, ListsTimePointsInOrderAndKeepsRefusedValuesOutOfTheSettings) {
  RecordingMessageBox box;
  MonitorSettings settings = TempSettings("SysCfgWidget");
  settings.comPort = 9;
  settings.baudRate = 12345;
  settings.smsCentre = "8613800100500";
  FakeTimePointEditor editor;
  CSysCfgDlg dialog(nullptr, settings, editor, box);
  dialog.show();
  EXPECT_EQ(Child<QComboBox>(dialog, "port").currentText(), QStringLiteral("COM1"));
  EXPECT_EQ(Child<QComboBox>(dialog, "rate").currentText(), QStringLiteral("19200"));
  auto& modify = Child<QPushButton>(dialog, "modify");
  auto& remove = Child<QPushButton>(dialog, "delete");
  EXPECT_FALSE(modify.isEnabled());

  auto& list = Child<QTableWidget>(dialog, "timePoints");
  editor.replies = {ReportTimePoint{Gbk("晚"), {18, 0, 0}}, ReportTimePoint{Gbk("早"), {8, 0, 0}},
                    ReportTimePoint{Gbk("午"), {12, 0, 0}}};
  for (int i = 0; i < 3; ++i) Child<QPushButton>(dialog, "add").click();
  EXPECT_EQ(Column(list, 1), (QStringList{"08:00:00", "12:00:00", "18:00:00"}));
  ClickRow(list, 1);
  EXPECT_TRUE(modify.isEnabled());
  EXPECT_TRUE(remove.isEnabled());
  remove.click();
  EXPECT_EQ(Column(list, 0), (QStringList{QStringLiteral("早"), QStringLiteral("晚")}));
  EXPECT_FALSE(remove.isEnabled()) << "no row is left selected after a delete";

  auto& interval = Child<QLineEdit>(dialog, "interval");
  Retype(interval, "9x");
  EXPECT_EQ(interval.text(), QStringLiteral("9")) << "the box takes digits only";
  EXPECT_FALSE(ClickOk(dialog));
  Retype(interval, "10");
  Retype(Child<QLineEdit>(dialog, "threshold"), "101");
  EXPECT_FALSE(ClickOk(dialog));
  EXPECT_TRUE(settings.reportTimes.empty());
  Retype(Child<QLineEdit>(dialog, "threshold"), "100");
  Retype(Child<QLineEdit>(dialog, "smsCentre"), "13900100500");
  ASSERT_TRUE(ClickOk(dialog));
  EXPECT_EQ(box.TakeTexts(), (Texts{"确定要删除 “午” 吗？", "请重新设置自动监控终端状态时间间隔！",
                                    "请重新设置离线和出现故障的终端所占百分比阀值！"}));
  EXPECT_EQ(settings.smsCentre, "8613900100500");
  EXPECT_EQ(settings.comPort, 1);
  EXPECT_EQ(settings.baudRate, 19200);
  ASSERT_EQ(settings.reportTimes.size(), 2u);
  EXPECT_EQ(settings.reportTimes[1].time, (TimeOfDay{18, 0, 0}));
  EXPECT_TRUE(std::filesystem::exists(settings.iniPath));
}

TEST(PhoneNumMgrWidget, IsReadOnlyWithoutTheServerAndEditsCopiesWithIt) {
  RecordingMessageBox box;
  MonitorSettings settings = TempSettings("PhoneNumMgrWidget");
  settings.areas[TOTAL_AREA_ID] = {Gbk("全部"), 0, {{Gbk("局长"), "13900000001"}}};
  settings.areas[5] = {Gbk("东区"), 0, {}};
  FakeContactEditor editor;
  {
    FixedAreas unreachable(std::nullopt);
    CPhoneNumMgrDlg dialog(nullptr, settings, unreachable, editor, box);
    dialog.show();
    auto& areas = Child<QTableWidget>(dialog, "areas");
    EXPECT_EQ(Column(areas, 0), (QStringList{QStringLiteral("全部"), QStringLiteral("东区")}));
    ClickRow(areas, 0);
    EXPECT_EQ(Column(Child<QTableWidget>(dialog, "contacts"), 1), QStringList{"13900000001"});
    EXPECT_FALSE(Child<QPushButton>(dialog, "ok").isEnabled());
    EXPECT_FALSE(Child<QPushButton>(dialog, "add").isEnabled());
  }
  FixedAreas server(std::vector<ServerArea>{{5, Gbk("东区")}, {6, Gbk("西区")}});
  CPhoneNumMgrDlg dialog(nullptr, settings, server, editor, box);
  dialog.show();
  auto& areas = Child<QTableWidget>(dialog, "areas");
  auto& contacts = Child<QTableWidget>(dialog, "contacts");
  EXPECT_TRUE(Child<QPushButton>(dialog, "ok").isEnabled());
  EXPECT_FALSE(Child<QPushButton>(dialog, "add").isEnabled());
  ClickRow(areas, 2);
  editor.replies = {Contact{Gbk("西"), "14700000006"}};
  Child<QPushButton>(dialog, "add").click();
  EXPECT_EQ(Column(contacts, 0), QStringList{QStringLiteral("西")});
  ClickRow(areas, 0);
  ClickRow(contacts, 0);
  editor.replies = {Contact{Gbk("局长"), "13900000002"}};
  Child<QPushButton>(dialog, "modify").click();
  EXPECT_EQ(Column(contacts, 1), QStringList{"13900000002"});
  EXPECT_EQ(settings.areas.size(), 2u) << "the server's area 6 waits for OK";
  EXPECT_EQ(settings.areas[TOTAL_AREA_ID].contacts[0].phone, "13900000001");

  ASSERT_TRUE(ClickOk(dialog));
  EXPECT_EQ(settings.areas[TOTAL_AREA_ID].contacts[0].phone, "13900000002");
  EXPECT_EQ(settings.areas[6].contacts.at(0).phone, "14700000006");
  EXPECT_TRUE(box.shown.empty());
}

TEST(SubDialogWidgets, RefuseBadInputAndReturnTrimmedValues) {
  RecordingMessageBox box;
  CContactsAndPhone contact(nullptr, ContactLogic(true, {}, box));
  contact.show();
  EXPECT_EQ(contact.windowTitle(), QStringLiteral("添加"));
  QTest::keyClicks(&Child<QLineEdit>(contact, "name"), " Li ");
  auto& phone = Child<QLineEdit>(contact, "phone");
  QTest::keyClicks(&phone, "142-0000-1111");
  EXPECT_EQ(phone.text(), QStringLiteral("14200001111"));
  EXPECT_FALSE(ClickOk(contact));
  Retype(phone, "13900001111");
  ASSERT_TRUE(ClickOk(contact));
  EXPECT_EQ(contact.logic().contact().name, "Li");

  CTimePointDlg timePoint(nullptr, TimePointLogic(false, {"x", {6, 30, 0}}, box));
  timePoint.show();
  EXPECT_EQ(timePoint.windowTitle(), QStringLiteral("编辑时间点"));
  Retype(Child<QLineEdit>(timePoint, "name"), "  ");
  EXPECT_FALSE(ClickOk(timePoint));
  EXPECT_EQ(box.TakeTexts(), (Texts{"电话号码无效，请重新输入！", "名称错误，请重新输入"}));
}

}  // namespace
