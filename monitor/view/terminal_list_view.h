// Which terminals the monitor's list shows and what each row reads: the
// area and state filters over the last refresh. No widget header: the
// window's table model shows this class, and tests drive it directly.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "monitor/acquisition/terminal_acquisition.h"
#include "monitor/settings/monitor_settings.h"

enum StateFilter : int { STATE_ALL = 0, STATE_ONLINE = 1, STATE_OFFLINE = 2, STATE_FAULT = 3 };

// Whether a terminal passes a state filter other than "所有".
bool PassesStateFilter(const TerminalRecord& record, int stateFilter);

// One entry of the area selector.
struct AreaChoice {
  std::string name;  // GBK
  int32_t id;        // -1 for "所有"
};

enum TerminalColumn { COL_NAME = 0, COL_TAG, COL_IP, COL_ONLINE, COL_FAULT, COL_CHANGED, TERMINAL_COLUMNS };

// What the list reads of the last refresh; the containers belong to the
// acquisition (or to a test) and must outlive the list.
struct TerminalSnapshot {
  const std::map<int32_t, TerminalRecord>& table;
  const std::vector<int32_t>& presentIds;  // ascending
  const std::map<int32_t, std::vector<int32_t>>& areaMembers;

  static TerminalSnapshot Of(const TerminalAcquisition& acquisition) {
    return {acquisition.terminalTable(), acquisition.presentIds(), acquisition.areaMembers()};
  }
};

class TerminalListView {
 public:
  // `settings` must outlive this object; its areas fill the selector.
  TerminalListView(TerminalSnapshot terminals, const MonitorSettings& settings);

  // The selector's entries: "所有" (-1), then every settings area with an id
  // of 0 or more in ascending order. The area filter stays when it still
  // names an entry, else it falls back to "所有".
  const std::vector<AreaChoice>& RefillAreaChoices();
  const std::vector<AreaChoice>& areaChoices() const { return areaChoices_; }

  int areaFilter() const { return areaFilter_; }
  int stateFilter() const { return stateFilter_; }
  // A new selection; false when it is the one already chosen (nothing to
  // rebuild). The caller rebuilds the list after a change.
  bool SelectArea(int index);
  bool SelectState(int index);

  // The rows ordered by one column's text (-1: the filters' own order, as
  // at start), and kept to those whose name, tag or IP holds `search`
  // (UTF-8, any case; empty: all). Both apply at the next rebuild.
  void SetSort(int column, bool ascending);
  void SetSearch(const std::string& utf8);
  int sortColumn() const { return sortColumn_; }

  // Recomputes the rows from the last refresh, both filters, the search
  // and the order.
  void RebuildShownList();
  size_t RowCount() const;
  int32_t RowId(size_t row) const;
  // Where a terminal is now; nothing when it is not shown.
  std::optional<size_t> RowOf(int32_t id) const;
  // The text of one cell, GBK.
  std::string CellText(size_t row, int column) const;

  // The headers and widths of the six columns.
  static const char* ColumnHeader(int column);  // UTF-8
  static int ColumnWidth(int column);

 private:
  bool Unfiltered() const {
    return areaFilter_ == 0 && stateFilter_ == STATE_ALL && search_.empty() && sortColumn_ < 0;
  }
  std::string CellTextOf(int32_t id, int column) const;

  TerminalSnapshot terminals_;
  const MonitorSettings& settings_;
  std::vector<AreaChoice> areaChoices_;
  int areaFilter_ = 0;
  int stateFilter_ = STATE_ALL;
  int sortColumn_ = -1;
  bool ascending_ = true;
  std::string search_;  // folded to lower case
  std::vector<int32_t> shownIds_;
};
