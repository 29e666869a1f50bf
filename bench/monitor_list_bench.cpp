// How long the monitor's list takes to follow a poll of a large
// installation: the shown rows rebuilt with both filters set, and every
// visible cell's text read, as the list view asks after a reset.
//
//   monitor_list_bench [terminals] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QCoreApplication>

#include "monitor/view/terminal_list_view.h"
#include "monitor/view/terminal_table_model.h"

namespace {

using Timer = std::chrono::steady_clock;

constexpr int kAreas = 20;
constexpr int kVisibleRows = 40;  // what a list of the window's height shows

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  int terminals = argc > 1 ? std::atoi(argv[1]) : 10000;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 200;

  std::map<int32_t, TerminalRecord> table;
  std::vector<int32_t> present;
  std::map<int32_t, std::vector<int32_t>> members;
  MonitorSettings settings;
  for (int area = 1; area <= kAreas; ++area) settings.areas[area].name = "area " + std::to_string(area);
  for (int32_t id = 1; id <= terminals; ++id) {
    TerminalRecord record;
    record.id = id;
    record.name = "terminal " + std::to_string(id);
    record.tag = "T" + std::to_string(id);
    record.ip = "10.0." + std::to_string(id / 256) + "." + std::to_string(id % 256);
    record.lastChange = {1765000000 + id, true};
    table[id] = record;
    present.push_back(id);
    members[1 + id % kAreas].push_back(id);
  }
  TerminalListView view({table, present, members}, settings);
  view.RefillAreaChoices();
  TerminalTableModel model(view);
  view.SelectArea(3);
  view.SelectState(STATE_FAULT);

  std::vector<double> times;
  size_t shown = 0;
  for (int round = 0; round < rounds; ++round) {
    // A poll changes states: a tenth of the terminals flip between rounds.
    for (int32_t id = 1 + round % 10; id <= terminals; id += 10) {
      TerminalRecord& record = table[id];
      record.online = !record.online;
      record.faultCode = record.online ? 0 : 6;
    }
    auto start = Timer::now();
    model.Rebuild();
    for (int row = 0; row < std::min(model.rowCount(), kVisibleRows); ++row)
      for (int column = 0; column < model.columnCount(); ++column)
        model.data(model.index(row, column), Qt::DisplayRole);
    times.push_back(std::chrono::duration<double, std::milli>(Timer::now() - start).count());
    shown = view.RowCount();
  }
  std::sort(times.begin(), times.end());
  std::printf(
      "list after a poll of %d terminals (area and state filters set, %zu rows shown), %d rounds: "
      "median %.3f ms, p99 %.3f ms, max %.3f ms\n",
      terminals, shown, rounds, times[times.size() / 2], times[times.size() * 99 / 100], times.back());
  return 0;
}
