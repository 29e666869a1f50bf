// "号码规则设置" and its entry dialog, driven through their widgets.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "gateway/dialogs/qt/pat_dialog.h"
#include "gateway/dialogs/qt/pat_entry_dialog.h"
#include "gateway/dialogs/tests/dialog_test_support.h"
#include "platform/ui/qt/widget_test_support.h"

namespace {

FixedTerminals Campus() {
  return FixedTerminals({{1, codepage::Utf8ToGbk("东门"), "10.0.1.5", 0},
                         {2, codepage::Utf8ToGbk("食堂"), "10.0.2.7", 0},
                         {3, codepage::Utf8ToGbk("图书馆"), "10.0.1.9", 0},
                         {4, codepage::Utf8ToGbk("操场"), "192.168.10.0", 0}});
}

// Each row's terminal id, from the row's data.
std::vector<int> RowIds(const QTreeWidget& list) {
  std::vector<int> ids;
  for (int row = 0; row < list.topLevelItemCount(); ++row)
    ids.push_back(list.topLevelItem(row)->data(0, Qt::UserRole).toInt());
  return ids;
}

void Select(QTreeWidget& list, int row) {
  list.clearSelection();
  list.topLevelItem(row)->setSelected(true);
}

// A double click as a mouse makes it: a click, then the double click.
void DoubleClick(QTreeWidget& list, int row) {
  QPoint at = list.visualItemRect(list.topLevelItem(row)).center();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, at);
}

TEST(PatEntryWidget, RefusesAnEmptyNumberThenAnEmptyChoice) {
  RecordingMessageBox box;
  FixedTerminals terminals = Campus();
  CNewMofifyPATDlg dialog(nullptr, PatEntryLogic(box), terminals);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("新建"));
  auto& ok = Child<QPushButton>(dialog, "ok");
  EXPECT_EQ(ok.text(), QStringLiteral("确定"));

  ok.click();
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].text, "号码为空,请输入电话号码!");
  EXPECT_EQ(box.shown[0].caption, "新建");

  auto& number = Child<QLineEdit>(dialog, "number");
  QTest::keyClicks(&number, "139a-00");
  EXPECT_EQ(number.text(), QStringLiteral("13900"));
  ok.click();
  ASSERT_EQ(box.shown.size(), 2u);
  EXPECT_EQ(box.shown[1].text, "请选择授权终端");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(dialog.result(), QDialog::Accepted);

  auto& left = Child<QTreeWidget>(dialog, "available");
  Select(left, 2);
  Child<QPushButton>(dialog, "moveRight").click();
  ok.click();
  EXPECT_EQ(box.shown.size(), 2u);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.logic().number(), "13900");
  EXPECT_EQ(dialog.logic().ids(), "3");
}

TEST(PatEntryWidget, SearchArrowsAndDoubleClicksMoveRows) {
  FixedTerminals terminals = Campus();
  RecordingMessageBox box;
  CNewMofifyPATDlg dialog(nullptr, PatEntryLogic(box), terminals);
  dialog.show();
  auto& left = Child<QTreeWidget>(dialog, "available");
  auto& right = Child<QTreeWidget>(dialog, "chosen");
  EXPECT_EQ(left.headerItem()->text(0), QStringLiteral("名称"));
  EXPECT_EQ(left.headerItem()->text(1), QStringLiteral("终端IP地址"));
  EXPECT_EQ(left.topLevelItem(0)->text(0), QStringLiteral("东门"));

  QTest::keyClicks(&Child<QLineEdit>(dialog, "search"), "10.0.1");
  EXPECT_EQ(RowIds(left), (std::vector<int>{1, 3}));
  Child<QPushButton>(dialog, "moveAllRight").click();
  EXPECT_EQ(RowIds(left), std::vector<int>{});
  EXPECT_EQ(RowIds(right), (std::vector<int>{1, 3}));

  // Moved back to the end of the left list although it matches no search.
  Select(right, 1);
  Child<QPushButton>(dialog, "moveLeft").click();
  EXPECT_EQ(RowIds(left), (std::vector<int>{3}));
  DoubleClick(right, 0);
  EXPECT_EQ(RowIds(left), (std::vector<int>{3, 1}));
  EXPECT_EQ(RowIds(right), std::vector<int>{});

  Child<QLineEdit>(dialog, "search").clear();
  EXPECT_EQ(RowIds(left), (std::vector<int>{2, 4, 3, 1}));
  DoubleClick(left, 1);
  EXPECT_EQ(RowIds(right), (std::vector<int>{4}));
  // Without a selection the single arrows do nothing.
  left.clearSelection();
  right.clearSelection();
  Child<QPushButton>(dialog, "moveRight").click();
  Child<QPushButton>(dialog, "moveLeft").click();
  EXPECT_EQ(RowIds(left), (std::vector<int>{2, 3, 1}));
  EXPECT_EQ(RowIds(right), (std::vector<int>{4}));
  Child<QPushButton>(dialog, "moveAllLeft").click();
  EXPECT_EQ(RowIds(left), (std::vector<int>{2, 3, 1, 4}));
  EXPECT_EQ(RowIds(right), std::vector<int>{});
}

TEST(PatEntryWidget, ModifyShowsOnlyTheTerminalsTheServerStillLists) {
  FixedTerminals terminals({{3, "A", "10.0.0.3", 0}, {4, "B", "10.0.0.4", 0}, {9, "C", "10.0.0.9", 0}});
  RecordingMessageBox box;
  CNewMofifyPATDlg dialog(nullptr, PatEntryLogic(PatEntry{"13900001111", "3,5,9"}, box), terminals);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("修改"));
  auto& number = Child<QLineEdit>(dialog, "number");
  EXPECT_EQ(number.text(), QStringLiteral("13900001111"));
  EXPECT_FALSE(number.isEnabled());
  EXPECT_EQ(RowIds(Child<QTreeWidget>(dialog, "chosen")), (std::vector<int>{3, 9}));
  EXPECT_EQ(RowIds(Child<QTreeWidget>(dialog, "available")), std::vector<int>{4});

  Child<QPushButton>(dialog, "ok").click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.logic().ids(), "3,9");
}

class ScriptedEntryDialog final : public PatEntryDialog {
 public:
  std::optional<PatEntry> AskNew() override { return newReply; }
  std::optional<PatEntry> AskModify(const PatEntry&) override { return modifyReply; }
  std::optional<PatEntry> newReply;
  std::optional<PatEntry> modifyReply;
};

std::vector<QString> Column(const QTreeWidget& list, int column) {
  std::vector<QString> texts;
  for (int row = 0; row < list.topLevelItemCount(); ++row) texts.push_back(list.topLevelItem(row)->text(column));
  return texts;
}

TEST(PatTableWidget, ButtonsEditTheListAndOkHandsBackTableAndRule) {
  ScriptedEntryDialog entries;
  RecordingMessageBox box;
  CPATDlg dialog(nullptr, {{{"2", "9"}, {"10086", "3"}}, 1}, entries, box);
  dialog.show();
  auto& list = Child<QTreeWidget>(dialog, "table");
  EXPECT_EQ(list.headerItem()->text(1), QStringLiteral("终端ID"));
  EXPECT_EQ(Column(list, 0), (std::vector<QString>{"10086", "2"}));
  EXPECT_TRUE(Child<QRadioButton>(dialog, "everyNumber").isChecked());

  entries.newReply = PatEntry{"13900001111", "1"};
  Child<QPushButton>(dialog, "add").click();
  EXPECT_EQ(Column(list, 0), (std::vector<QString>{"10086", "13900001111", "2"}));

  entries.modifyReply = PatEntry{"", "7,8"};
  Select(list, 2);
  Child<QPushButton>(dialog, "modify").click();
  EXPECT_EQ(Column(list, 1), (std::vector<QString>{"3", "1", "7,8"}));
  Select(list, 0);
  Child<QPushButton>(dialog, "delete").click();
  EXPECT_EQ(Column(list, 0), (std::vector<QString>{"13900001111", "2"}));

  Child<QRadioButton>(dialog, "listedNumbers").click();
  Child<QPushButton>(dialog, "ok").click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.values().table, (PatTable{{"13900001111", "1"}, {"2", "7,8"}}));
  EXPECT_EQ(dialog.values().regular, 0);
}

}  // namespace
