#include "monitor/dialogs/qt/table_rows.h"

#include <QSignalBlocker>
#include <QTableWidget>

#include "platform/ui/qt/dialog_widgets.h"
#include "platform/ui/qt/report_lists.h"

int SelectedRow(const QTableWidget& list) {
  auto row = FirstSelectedRow(list);
  return row ? static_cast<int>(*row) : -1;
}

void FillRows(QTableWidget& list, const std::vector<std::pair<std::string, std::string>>& rows, int selected) {
  const QSignalBlocker quiet(list);
  list.clearSelection();
  list.setRowCount(static_cast<int>(rows.size()));
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
    list.setItem(row, 0, new QTableWidgetItem(FromGbk(rows[static_cast<size_t>(row)].first)));
    if (list.columnCount() > 1)
      list.setItem(row, 1, new QTableWidgetItem(FromGbk(rows[static_cast<size_t>(row)].second)));
  }
  if (selected >= 0) list.selectRow(selected);
}
