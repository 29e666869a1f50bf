#include "gateway/dialogs/pat_dialog_logic.h"

#include <gtest/gtest.h>

#include "gateway/dialogs/tests/dialog_test_support.h"

namespace {

// Answers "增加" and "修改" with what the test prepared; records the asks.
class ScriptedEntryDialog final : public PatEntryDialog {
 public:
  std::optional<PatEntry> AskNew() override {
    ++newAsked;
    return newReply;
  }
  std::optional<PatEntry> AskModify(const PatEntry& existing) override {
    modifyAsked.push_back(existing.number + "=" + existing.ids + (existing.pin.empty() ? "" : " pin " + existing.pin));
    return modifyReply;
  }

  std::optional<PatEntry> newReply;
  std::optional<PatEntry> modifyReply;
  int newAsked = 0;
  std::vector<std::string> modifyAsked;
};

TEST(PatDialogLogic, AddingAnExistingNumberReplacesItOnlyOnYes) {
  RecordingMessageBox box;
  ScriptedEntryDialog entries;
  PatDialogLogic dialog({{{"13900001111", "1,2"}}, 0}, entries, box);

  entries.newReply = PatEntry{"13900001111", "7"};
  box.yesNoReply = ui::IDNO;
  dialog.Add();
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].text, "号码已经存在,是否替换?");
  EXPECT_EQ(box.shown[0].caption, "");
  EXPECT_EQ(box.shown[0].buttons, ui::MB_YESNO);
  EXPECT_EQ(dialog.table(), (PatTable{{"13900001111", "1,2"}}));

  box.yesNoReply = ui::IDYES;
  dialog.Add();
  EXPECT_EQ(dialog.table(), (PatTable{{"13900001111", "7"}}));

  // A new number goes in without a question; a cancelled entry changes nothing.
  box.shown.clear();
  entries.newReply = PatEntry{"10086", "3"};
  dialog.Add();
  entries.newReply.reset();
  dialog.Add();
  EXPECT_TRUE(box.shown.empty());
  EXPECT_EQ(dialog.table(), (PatTable{{"10086", "3"}, {"13900001111", "7"}}));
  EXPECT_EQ(entries.newAsked, 4);
}

TEST(PatDialogLogic, ModifyAndDeleteActOnTheSelectedRowInKeyOrder) {
  ScriptedEntryDialog entries;
  RecordingMessageBox box;
  PatDialogLogic dialog({{{"2", "9"}, {"13900001111", "1,2"}, {"10086", "3"}}, 1}, entries, box);
  // Keys compare as text: "10086" < "13900001111" < "2".
  ASSERT_EQ(dialog.Rows().size(), 3u);
  EXPECT_EQ(dialog.Rows()[0].number, "10086");

  EXPECT_FALSE(dialog.Modify(std::nullopt));
  EXPECT_FALSE(dialog.Delete(std::nullopt));
  EXPECT_TRUE(entries.modifyAsked.empty());

  entries.modifyReply = PatEntry{"13900001111", "4,5", "2468"};
  EXPECT_TRUE(dialog.Modify(1));
  EXPECT_EQ(entries.modifyAsked, std::vector<std::string>{"13900001111=1,2"});
  EXPECT_EQ(dialog.Rows()[1].ids, "4,5");
  entries.modifyReply.reset();
  EXPECT_FALSE(dialog.Modify(1));
  EXPECT_EQ(entries.modifyAsked.back(), "13900001111=4,5 pin 2468") << "the PIN is offered for change";
  EXPECT_EQ(dialog.Confirm(std::nullopt, "12").pins.at("13900001111"), "2468");
  EXPECT_EQ(dialog.Confirm(std::nullopt, "12").maxPerHour, 12);

  EXPECT_TRUE(dialog.Delete(2));
  EXPECT_TRUE(dialog.Delete(0));
  EXPECT_TRUE(dialog.Delete(0));
  EXPECT_TRUE(dialog.Confirm(std::nullopt).pins.empty()) << "a deleted number's PIN goes with it";
  // The empty table is still confirmed, for the caller to save; no radio
  // checked keeps the rule.
  AuthorisationValues kept = dialog.Confirm(std::nullopt);
  EXPECT_TRUE(kept.table.empty());
  EXPECT_EQ(kept.regular, 1);
  EXPECT_EQ(dialog.Confirm(REGULAR_LISTED_NUMBERS).regular, 0);
}

}  // namespace
