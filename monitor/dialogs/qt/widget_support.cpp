#include "monitor/dialogs/qt/widget_support.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

#include "platform/codepage/codepage.h"

QTableWidget* NewReportList(QWidget* parent, const QString& objectName,
                            std::initializer_list<std::pair<QString, int>> columns) {
  auto* list = new QTableWidget(0, static_cast<int>(columns.size()), parent);
  list->setObjectName(objectName);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setShowGrid(true);
  list->verticalHeader()->hide();
  list->horizontalHeader()->setStretchLastSection(false);
  QStringList headers;
  int width = 0;
  for (const auto& [header, pixels] : columns) {
    headers << header;
    width += pixels;
  }
  list->setHorizontalHeaderLabels(headers);
  int column = 0;
  for (const auto& [header, pixels] : columns) list->setColumnWidth(column++, pixels);
  list->setMinimumWidth(width + 2 * list->frameWidth() + 20);
  return list;
}

int SelectedRow(const QTableWidget& list) {
  const auto rows = list.selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
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
