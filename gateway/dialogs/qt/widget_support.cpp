#include "gateway/dialogs/qt/widget_support.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTreeWidget>

#include "platform/codepage/codepage.h"

QTreeWidget* NewReportList(QWidget* parent, const QString& objectName,
                           std::initializer_list<std::pair<QString, int>> columns) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(objectName);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setColumnCount(static_cast<int>(columns.size()));
  QStringList headers;
  int width = 0;
  for (const auto& [header, pixels] : columns) {
    headers << header;
    width += pixels;
  }
  list->setHeaderLabels(headers);
  list->header()->setStretchLastSection(false);
  int column = 0;
  for (const auto& [header, pixels] : columns) list->setColumnWidth(column++, pixels);
  list->setMinimumWidth(width + 2 * list->frameWidth() + 20);
  return list;
}

std::optional<size_t> FirstSelectedRow(const QTreeWidget& list) {
  std::optional<size_t> first;
  for (const QModelIndex& index : list.selectionModel()->selectedRows()) {
    auto row = static_cast<size_t>(index.row());
    if (!first || row < *first) first = row;
  }
  return first;
}

void AppendTerminalRow(QTreeWidget& list, const TermInfo& terminal) {
  auto* item = new QTreeWidgetItem(&list, QStringList{FromGbk(terminal.name), FromGbk(terminal.ip)});
  item->setData(0, Qt::UserRole, terminal.id);
}
