#include "monitor/view/terminal_table_model.h"

#include "platform/codepage/codepage.h"

void TerminalTableModel::Rebuild() {
  beginResetModel();
  view_.RebuildShownList();
  endResetModel();
}

int TerminalTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(view_.RowCount());
}

int TerminalTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : TERMINAL_COLUMNS; }

QVariant TerminalTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  // The tip carries the whole text of a cell too narrow for it.
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
    return QString::fromStdString(
        codepage::GbkToUtf8(view_.CellText(static_cast<size_t>(index.row()), index.column())));
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

void TerminalTableModel::sort(int column, Qt::SortOrder order) {
  view_.SetSort(column, order == Qt::AscendingOrder);
  Rebuild();
}

QVariant TerminalTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  return QString::fromUtf8(TerminalListView::ColumnHeader(section));
}
