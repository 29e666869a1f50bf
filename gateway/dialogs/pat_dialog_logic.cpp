#include "gateway/dialogs/pat_dialog_logic.h"

#include <algorithm>
#include <iterator>

#include "platform/codepage/codepage.h"
#include "platform/ui/message_box.h"

PatDialogLogic::PatDialogLogic(AuthorisationValues current, PatEntryDialog& entries, ui::MessageBoxPort& messages)
    : values_(std::move(current)), entries_(entries), messages_(messages) {}

std::vector<PatEntry> PatDialogLogic::Rows() const {
  std::vector<PatEntry> rows;
  for (const auto& [number, ids] : values_.table) rows.push_back({number, ids});
  return rows;
}

PatTable::iterator PatDialogLogic::RowEntry(size_t row) {
  if (row >= values_.table.size()) return values_.table.end();
  return std::next(values_.table.begin(), static_cast<std::ptrdiff_t>(row));
}

void PatDialogLogic::Add() {
  auto entry = entries_.AskNew();
  if (!entry) return;
  auto existing = values_.table.find(entry->number);
  if (existing != values_.table.end()) {
    int answer = messages_.Show(codepage::Utf8ToGbk("号码已经存在,是否替换?"), "", ui::MessageIcon::None, ui::MB_YESNO);
    if (answer != ui::IDYES) return;
  }
  values_.table[entry->number] = entry->ids;
  if (entry->pin.empty()) values_.pins.erase(entry->number);
  else values_.pins[entry->number] = entry->pin;
}

bool PatDialogLogic::Modify(std::optional<size_t> row) {
  if (!row) return false;
  auto entry = RowEntry(*row);
  if (entry == values_.table.end()) return false;
  auto pin = values_.pins.find(entry->first);
  auto confirmed = entries_.AskModify({entry->first, entry->second, pin == values_.pins.end() ? "" : pin->second});
  if (!confirmed) return false;
  entry->second = confirmed->ids;
  if (confirmed->pin.empty()) values_.pins.erase(entry->first);
  else values_.pins[entry->first] = confirmed->pin;
  return true;
}

bool PatDialogLogic::Delete(std::optional<size_t> row) {
  if (!row) return false;
  auto entry = RowEntry(*row);
  if (entry == values_.table.end()) return false;
  values_.pins.erase(entry->first);
  values_.table.erase(entry);
  return true;
}

bool PatDialogLogic::AcceptsMaxPerHourText(const std::string& text) {
  return text.size() <= 4 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

AuthorisationValues PatDialogLogic::Confirm(std::optional<int32_t> checkedRegular, const std::string& maxPerHourText) {
  if (checkedRegular) values_.regular = *checkedRegular;
  if (AcceptsMaxPerHourText(maxPerHourText))
    values_.maxPerHour = maxPerHourText.empty() ? 0 : std::stoi(maxPerHourText);
  return values_;
}
