#include "gateway/dialogs/pat_entry_logic.h"

#include <gtest/gtest.h>

#include "gateway/dialogs/tests/dialog_test_support.h"

namespace {

TermInfo Terminal(int32_t id, const std::string& utf8Name, const std::string& ip) {
  return {id, codepage::Utf8ToGbk(utf8Name), ip, 0};
}

std::vector<int32_t> Ids(const std::vector<TermInfo>& rows) {
  std::vector<int32_t> ids;
  for (const TermInfo& t : rows) ids.push_back(t.id);
  return ids;
}

FixedTerminals Campus() {
  return FixedTerminals({Terminal(1, "东门", "10.0.1.5"), Terminal(2, "食堂", "10.0.2.7"),
                         Terminal(3, "图书馆", "10.0.1.9"), Terminal(4, "操场", "192.168.10.0"),
                         Terminal(5, "宿舍", "10.0.1.11")});
}

TEST(PatEntryLogic, NewEntryRefusesAnEmptyNumberThenAnEmptyChoice) {
  RecordingMessageBox box;
  FixedTerminals terminals = Campus();
  PatEntryLogic entry(box);
  entry.Open(terminals);
  EXPECT_EQ(codepage::GbkToUtf8(entry.caption()), "新建");
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(entry.rightRows().empty());

  // Both are missing: the number is named first.
  EXPECT_FALSE(entry.Confirm());
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].text, "号码为空,请输入电话号码!");
  EXPECT_EQ(box.shown[0].caption, "新建");
  box.shown.clear();

  // The number box takes digits only.
  EXPECT_TRUE(entry.SetNumber("13900001111"));
  EXPECT_FALSE(entry.SetNumber("1390000111a"));
  EXPECT_FALSE(entry.SetNumber("+8613900001111"));
  EXPECT_EQ(entry.number(), "13900001111");

  EXPECT_FALSE(entry.Confirm());
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].text, "请选择授权终端");
  EXPECT_EQ(box.shown[0].caption, "Heraldo");
  box.shown.clear();

  ASSERT_TRUE(entry.MoveRight(3));  // 操场
  ASSERT_TRUE(entry.MoveRight(0));  // 东门
  EXPECT_TRUE(entry.Confirm());
  EXPECT_TRUE(box.shown.empty());
  // In the order of the chosen list, no spaces, no trailing comma.
  EXPECT_EQ(entry.ids(), "4,1");
}

TEST(PatEntryLogic, ModifyingDropsTheIdsTheServerNoLongerLists) {
  RecordingMessageBox box;
  FixedTerminals terminals(
      {Terminal(3, "西楼", "10.0.0.3"), Terminal(1, "北楼", "10.0.0.1"), Terminal(9, "南楼", "10.0.0.9")});
  PatEntryLogic entry(PatEntry{"13900001111", "9,5,3"}, box);
  entry.Open(terminals);

  EXPECT_EQ(codepage::GbkToUtf8(entry.caption()), "修改");
  EXPECT_FALSE(entry.SetNumber("13900002222"));
  EXPECT_EQ(entry.number(), "13900001111");
  // Chosen in the server's order, not the entry's; 5 is gone.
  EXPECT_EQ(Ids(entry.rightRows()), (std::vector<int32_t>{3, 9}));
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{1}));

  ASSERT_TRUE(entry.Confirm());
  EXPECT_EQ(entry.ids(), "3,9");
  EXPECT_TRUE(box.shown.empty());
}

TEST(PatEntryLogic, UnreadableIdsChooseTerminalZero) {
  FixedTerminals terminals({Terminal(0, "总控", "10.0.0.100"), Terminal(7, "大厅", "10.0.0.7")});
  RecordingMessageBox box;
  PatEntryLogic entry(PatEntry{"139", "x,7,"}, box);
  entry.Open(terminals);
  EXPECT_EQ(Ids(entry.rightRows()), (std::vector<int32_t>{0, 7}));
}

TEST(PatEntryLogic, MoveAllRightMovesOnlyWhatTheSearchShows) {
  FixedTerminals terminals = Campus();
  RecordingMessageBox box;
  PatEntryLogic entry(box);
  entry.Open(terminals);

  entry.SetSearch("10.0.1");
  // "192.168.10.0" holds "10.0" but not "10.0.1".
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{1, 3, 5}));
  EXPECT_EQ(Ids(entry.MoveAllRight()), (std::vector<int32_t>{1, 3, 5}));
  EXPECT_TRUE(entry.leftRows().empty());
  EXPECT_EQ(Ids(entry.rightRows()), (std::vector<int32_t>{1, 3, 5}));

  entry.SetSearch("");
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{2, 4}));
  ASSERT_TRUE(entry.SetNumber("139"));
  ASSERT_TRUE(entry.Confirm());
  EXPECT_EQ(entry.ids(), "1,3,5");
}

TEST(PatEntryLogic, SearchIsCaseSensitiveAndMatchesWholeCharacters) {
  // The second byte of "機" (GBK 99 43) is the letter C.
  FixedTerminals terminals({Terminal(1, "Hall", "10.0.0.1"), Terminal(2, "hall", "10.0.0.2"),
                            Terminal(3, "機房", "10.0.0.3"), Terminal(4, "C区", "10.0.0.4")});
  RecordingMessageBox box;
  PatEntryLogic entry(box);
  entry.Open(terminals);

  entry.SetSearch("H");
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{1}));
  entry.SetSearch("C");
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{4}));
  entry.SetSearch(codepage::Utf8ToGbk("房"));
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{3}));
}

TEST(PatEntryLogic, TerminalsMovedBackGoToTheEndWhateverTheSearch) {
  FixedTerminals terminals = Campus();
  RecordingMessageBox box;
  PatEntryLogic entry(box);
  entry.Open(terminals);
  ASSERT_TRUE(entry.MoveRight(3));  // 操场, 192.168.10.0
  ASSERT_TRUE(entry.MoveRight(0));  // 东门, 10.0.1.5

  entry.SetSearch("10.0.1");
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{3, 5}));
  // No row selected, or a row beyond the list: nothing moves.
  EXPECT_FALSE(entry.MoveRight(2));
  EXPECT_FALSE(entry.MoveLeft(2));

  EXPECT_EQ(entry.MoveLeft(0)->id, 4);  // does not match, still shown
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{3, 5, 4}));
  EXPECT_EQ(Ids(entry.MoveAllLeft()), (std::vector<int32_t>{1}));
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{3, 5, 4, 1}));
  EXPECT_TRUE(entry.rightRows().empty());

  // A new search lists the available terminals in their new order.
  entry.SetSearch("");
  EXPECT_EQ(Ids(entry.leftRows()), (std::vector<int32_t>{2, 3, 5, 4, 1}));
}

}  // namespace
