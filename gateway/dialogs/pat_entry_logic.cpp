#include "gateway/dialogs/pat_entry_logic.h"

#include <algorithm>
#include <set>

#include "gateway/dialogs/dialog_checks.h"
#include "gateway/gateway_settings.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/message_box.h"

namespace {

// Moves the first terminal with `id` from `from` to the end of `to`.
std::optional<TermInfo> Transfer(int32_t id, std::vector<TermInfo>& from, std::vector<TermInfo>& to) {
  auto found = std::find_if(from.begin(), from.end(), [id](const TermInfo& t) { return t.id == id; });
  if (found == from.end()) return std::nullopt;
  TermInfo moved = *found;
  from.erase(found);
  to.push_back(moved);
  return moved;
}

}  // namespace

PatEntryLogic::PatEntryLogic(ui::MessageBoxPort& messages)
    : isNew_(true), caption_(codepage::Utf8ToGbk("新建")), messages_(messages) {}

PatEntryLogic::PatEntryLogic(PatEntry existing, ui::MessageBoxPort& messages)
    : isNew_(false),
      caption_(codepage::Utf8ToGbk("修改")),
      number_(std::move(existing.number)),
      ids_(std::move(existing.ids)),
      pin_(std::move(existing.pin)),
      messages_(messages) {}

void PatEntryLogic::Open(TermListSource& terminals) {
  all_ = terminals.TermList();
  available_.clear();
  chosen_.clear();
  if (isNew_) {
    available_ = all_;
  } else {
    auto listed = SplitTerminalIds(ids_);
    std::set<int> named(listed.begin(), listed.end());
    for (const TermInfo& t : all_) (named.count(t.id) ? chosen_ : available_).push_back(t);
  }
  left_ = available_;
  search_.clear();
}

bool PatEntryLogic::AcceptsNumberText(const std::string& text) { return IsDigitsOnly(text); }

bool PatEntryLogic::AcceptsPinText(const std::string& text) {
  return text.size() <= PIN_MAX_DIGITS && IsDigitsOnly(text);
}

bool PatEntryLogic::SetPin(const std::string& text) {
  if (!AcceptsPinText(text)) return false;
  pin_ = text;
  return true;
}

bool PatEntryLogic::SetNumber(const std::string& text) {
  if (!isNew_ || !AcceptsNumberText(text)) return false;
  number_ = text;
  return true;
}

void PatEntryLogic::SetSearch(const std::string& text) {
  search_ = text;
  left_.clear();
  for (const TermInfo& t : available_) {
    if (GbkContains(t.name, text) || GbkContains(t.ip, text)) left_.push_back(t);
  }
}

std::optional<TermInfo> PatEntryLogic::MoveRight(size_t leftRow) {
  if (leftRow >= left_.size()) return std::nullopt;
  auto moved = Transfer(left_[leftRow].id, available_, chosen_);
  if (moved) left_.erase(left_.begin() + static_cast<std::ptrdiff_t>(leftRow));
  return moved;
}

std::vector<TermInfo> PatEntryLogic::MoveAllRight() {
  // Only what the search shows moves, top to bottom.
  std::vector<TermInfo> moved;
  for (const TermInfo& row : left_) {
    if (auto t = Transfer(row.id, available_, chosen_)) moved.push_back(*t);
  }
  left_.clear();
  return moved;
}

std::optional<TermInfo> PatEntryLogic::MoveLeft(size_t rightRow) {
  if (rightRow >= chosen_.size()) return std::nullopt;
  // A terminal moved back goes to the end of the left list whether or not
  // it matches the search.
  TermInfo moved = chosen_[rightRow];
  chosen_.erase(chosen_.begin() + static_cast<std::ptrdiff_t>(rightRow));
  available_.push_back(moved);
  left_.push_back(moved);
  return moved;
}

std::vector<TermInfo> PatEntryLogic::MoveAllLeft() {
  std::vector<TermInfo> moved = std::move(chosen_);
  chosen_.clear();
  available_.insert(available_.end(), moved.begin(), moved.end());
  left_.insert(left_.end(), moved.begin(), moved.end());
  return moved;
}

bool PatEntryLogic::Confirm() {
  if (number_.empty()) {
    messages_.Show(codepage::Utf8ToGbk("号码为空,请输入电话号码!"), caption_, ui::MessageIcon::None, ui::MB_OK);
    return false;
  }
  ids_.clear();
  for (const TermInfo& t : chosen_) {
    if (!ids_.empty()) ids_ += ',';
    ids_ += std::to_string(t.id);
  }
  if (ids_.empty()) {
    messages_.Show(codepage::Utf8ToGbk("请选择授权终端"), HERALDO_TITLE, ui::MessageIcon::Warning, ui::MB_OK);
    return false;
  }
  if (!pin_.empty() && pin_.size() < PIN_MIN_DIGITS) {
    messages_.Show(codepage::Utf8ToGbk("短信口令须为4至8位数字，或留空"), caption_, ui::MessageIcon::Warning,
                   ui::MB_OK);
    return false;
  }
  return true;
}
