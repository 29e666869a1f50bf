// The monitor's terminal list as a Qt item model over TerminalListView: six
// text columns, read on demand, as the list the operator scrolls asks for
// them. Qt Core only, no widget header.
#pragma once

#include <QAbstractTableModel>

#include "monitor/view/terminal_list_view.h"

class TerminalTableModel final : public QAbstractTableModel {
 public:
  explicit TerminalTableModel(TerminalListView& view, QObject* parent = nullptr)
      : QAbstractTableModel(parent), view_(view) {}

  // The rows after a refresh or a filter change: rebuilds and resets.
  void Rebuild();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // A header click: the rows by that column (-1: as the filters leave them).
  void sort(int column, Qt::SortOrder order) override;

 private:
  TerminalListView& view_;
};
