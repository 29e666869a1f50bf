// "号码规则设置": the authorisation table as a list, the rule that says
// whether only listed numbers may broadcast, and the add, modify and delete
// commands. Works on its own copy; the caller takes it over after OK.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "gateway/dialogs/gateway_dialogs.h"
#include "gateway/dialogs/pat_entry_logic.h"
#include "platform/ui/message_box.h"

// The entry dialog as "增加" and "修改" open it.
class PatEntryDialog {
 public:
  virtual ~PatEntryDialog() = default;
  // The confirmed new entry, or nothing when cancelled.
  virtual std::optional<PatEntry> AskNew() = 0;
  // `existing` with its confirmed id list and PIN, or nothing.
  virtual std::optional<PatEntry> AskModify(const PatEntry& existing) = 0;
};

// The two positions of the radio group "授权号码规则".
inline constexpr int32_t REGULAR_LISTED_NUMBERS = 0;  // "已有号码授权"
inline constexpr int32_t REGULAR_EVERY_NUMBER = 1;    // "所有号码授权"

class PatDialogLogic {
 public:
  PatDialogLogic(AuthorisationValues current, PatEntryDialog& entries, ui::MessageBoxPort& messages);

  // One row per entry, in the table's key order.
  std::vector<PatEntry> Rows() const;
  const PatTable& table() const { return values_.table; }
  int32_t regular() const { return values_.regular; }
  // "每小时最多:" as the box shows it; it takes digits only.
  std::string maxPerHourText() const { return std::to_string(values_.maxPerHour); }
  static bool AcceptsMaxPerHourText(const std::string& text);

  // "增加": a number already in the table is replaced only when the
  // operator answers Yes. The list is refilled afterwards.
  void Add();
  // "修改" of the first selected row: true when its id list or PIN changed.
  bool Modify(std::optional<size_t> row);
  // "删除" of the first selected row, without confirmation: true when it went.
  bool Delete(std::optional<size_t> row);

  // "确定" with the checked radio, if any (none checked keeps the rule),
  // and the hourly limit's box (empty is 0, no limit).
  AuthorisationValues Confirm(std::optional<int32_t> checkedRegular, const std::string& maxPerHourText = "");

 private:
  PatTable::iterator RowEntry(size_t row);

  AuthorisationValues values_;
  PatEntryDialog& entries_;
  ui::MessageBoxPort& messages_;
};
