#include "platform/ui/qt/report_lists.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStringList>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

QStringList Headers(ReportColumns columns) {
  QStringList headers;
  for (const auto& [header, pixels] : columns) headers << header;
  return headers;
}

// QTreeView and QTableView size their columns alike without sharing the call.
template <typename List>
void SizeColumns(List& list, ReportColumns columns) {
  int column = 0;
  int width = 0;
  for (const auto& [header, pixels] : columns) {
    list.setColumnWidth(column++, pixels);
    width += pixels;
  }
  list.setMinimumWidth(width + 2 * list.frameWidth() + 20);
}

}  // namespace

QTreeWidget* NewReportTree(QWidget* parent, const QString& objectName, ReportColumns columns) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(objectName);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setColumnCount(static_cast<int>(columns.size()));
  list->setHeaderLabels(Headers(columns));
  list->header()->setStretchLastSection(false);
  SizeColumns(*list, columns);
  return list;
}

QTableWidget* NewReportTable(QWidget* parent, const QString& objectName, ReportColumns columns) {
  auto* list = new QTableWidget(0, static_cast<int>(columns.size()), parent);
  list->setObjectName(objectName);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setShowGrid(true);
  list->verticalHeader()->hide();
  list->horizontalHeader()->setStretchLastSection(false);
  list->setHorizontalHeaderLabels(Headers(columns));
  SizeColumns(*list, columns);
  return list;
}

std::optional<size_t> FirstSelectedRow(const QAbstractItemView& list) {
  std::optional<size_t> first;
  for (const QModelIndex& index : list.selectionModel()->selectedRows()) {
    auto row = static_cast<size_t>(index.row());
    if (!first || row < *first) first = row;
  }
  return first;
}
