#include "monitor/view/terminal_list_view.h"

#include <algorithm>

#include "monitor/acquisition/fault_codes.h"
#include "platform/codepage/codepage.h"

namespace {

struct Column {
  const char* header;
  int width;
};
constexpr Column kColumns[TERMINAL_COLUMNS] = {{"终端名称", 150}, {"终端标识", 120}, {"终端IP", 120},
                                               {"终端状态", 100}, {"故障类别", 200}, {"最近状态变化时间", 400}};

const std::string kAll = codepage::Utf8ToGbk("所有");
const std::string kOnline = codepage::Utf8ToGbk("在线");
const std::string kOffline = codepage::Utf8ToGbk("离线");
const std::string kForgotten = codepage::Utf8ToGbk("未知终端");

// ASCII letters folded; UTF-8's other bytes are never ASCII, so Chinese
// text is compared exactly.
std::string Folded(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool Holds(const std::string& gbk, const std::string& folded) {
  return Folded(codepage::GbkToUtf8(gbk)).find(folded) != std::string::npos;
}

}  // namespace

bool PassesStateFilter(const TerminalRecord& record, int stateFilter) {
  switch (stateFilter) {
    case STATE_ONLINE: return record.online;
    case STATE_OFFLINE: return !record.online;
    case STATE_FAULT: return ShowsFault(record);
    default: return true;
  }
}

TerminalListView::TerminalListView(TerminalSnapshot terminals, const MonitorSettings& settings)
    : terminals_(terminals), settings_(settings), areaChoices_{{kAll, -1}} {}

const std::vector<AreaChoice>& TerminalListView::RefillAreaChoices() {
  areaChoices_ = {{kAll, -1}};
  for (const auto& [id, area] : settings_.areas)
    if (id >= 0) areaChoices_.push_back({area.name, id});
  if (areaFilter_ < 0 || areaFilter_ >= static_cast<int>(areaChoices_.size())) areaFilter_ = 0;
  return areaChoices_;
}

bool TerminalListView::SelectArea(int index) {
  if (index == areaFilter_ || index < 0 || index >= static_cast<int>(areaChoices_.size())) return false;
  areaFilter_ = index;
  return true;
}

bool TerminalListView::SelectState(int index) {
  if (index == stateFilter_ || index < STATE_ALL || index > STATE_FAULT) return false;
  stateFilter_ = index;
  return true;
}

void TerminalListView::SetSort(int column, bool ascending) {
  sortColumn_ = column >= 0 && column < TERMINAL_COLUMNS ? column : -1;
  ascending_ = ascending;
}

void TerminalListView::SetSearch(const std::string& utf8) { search_ = Folded(utf8); }

void TerminalListView::RebuildShownList() {
  const auto& table = terminals_.table;
  if (areaFilter_ == 0 && stateFilter_ == STATE_ALL) {
    shownIds_ = terminals_.presentIds;
  } else if (areaFilter_ != 0) {
    shownIds_.clear();
    auto members = terminals_.areaMembers.find(areaChoices_[areaFilter_].id);
    if (members != terminals_.areaMembers.end()) shownIds_ = members->second;
    if (stateFilter_ != STATE_ALL) {
      std::erase_if(shownIds_, [&](int32_t id) {
        auto record = table.find(id);
        return record == table.end() || !PassesStateFilter(record->second, stateFilter_);
      });
    }
  } else if (stateFilter_ != STATE_ALL) {
    shownIds_.clear();
    for (const auto& [id, record] : table)
      if (PassesStateFilter(record, stateFilter_)) shownIds_.push_back(id);
  }
  if (!search_.empty()) {
    std::erase_if(shownIds_, [&](int32_t id) {
      auto record = table.find(id);
      if (record == table.end()) return true;
      const TerminalRecord& r = record->second;
      return !Holds(r.name, search_) && !Holds(r.tag, search_) && !Holds(r.ip, search_);
    });
  }
  if (sortColumn_ >= 0) {
    std::vector<std::pair<std::string, int32_t>> keyed;
    keyed.reserve(shownIds_.size());
    for (int32_t id : shownIds_) keyed.emplace_back(CellTextOf(id, sortColumn_), id);
    // Equal texts keep the filters' order either way round.
    std::stable_sort(keyed.begin(), keyed.end(), [this](const auto& a, const auto& b) {
      return ascending_ ? a.first < b.first : b.first < a.first;
    });
    for (size_t i = 0; i < keyed.size(); ++i) shownIds_[i] = keyed[i].second;
  }
  // Nothing chosen at all: the rows are the last refresh's ids themselves.
}

std::optional<size_t> TerminalListView::RowOf(int32_t id) const {
  for (size_t row = 0; row < RowCount(); ++row)
    if (RowId(row) == id) return row;
  return std::nullopt;
}

size_t TerminalListView::RowCount() const { return Unfiltered() ? terminals_.presentIds.size() : shownIds_.size(); }

int32_t TerminalListView::RowId(size_t row) const { return Unfiltered() ? terminals_.presentIds[row] : shownIds_[row]; }

std::string TerminalListView::CellText(size_t row, int column) const {
  if (row >= RowCount()) return {};
  return CellTextOf(RowId(row), column);
}

std::string TerminalListView::CellTextOf(int32_t id, int column) const {
  auto found = terminals_.table.find(id);
  if (found == terminals_.table.end()) {
    // An area can still name a terminal forgotten since its members were
    // read: the row says so rather than showing another terminal's data or
    // a state nobody reported.
    return column == COL_NAME ? kForgotten + "(" + std::to_string(id) + ")" : std::string();
  }
  const TerminalRecord& record = found->second;
  switch (column) {
    case COL_NAME: return record.name;
    case COL_TAG: return record.tag;
    case COL_IP: return record.ip;
    case COL_ONLINE: return record.online ? kOnline : kOffline;
    case COL_FAULT: return ShowsFault(record) ? FaultText(record.faultCode) : std::string();
    case COL_CHANGED: return FormatLocalTimestamp(record.lastChange);
    default: return {};
  }
}

const char* TerminalListView::ColumnHeader(int column) {
  return column >= 0 && column < TERMINAL_COLUMNS ? kColumns[column].header : "";
}

int TerminalListView::ColumnWidth(int column) {
  return column >= 0 && column < TERMINAL_COLUMNS ? kColumns[column].width : 0;
}
