// The dialogs' report lists, as both programs draw them: headers of fixed
// pixel widths, whole rows selected, wide enough for every column. The
// gateway's lists are trees in which the operator may pick several rows;
// the monitor's are grids of one selected row.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <utility>

#include <QString>

class QAbstractItemView;
class QTableWidget;
class QTreeWidget;
class QWidget;

using ReportColumns = std::initializer_list<std::pair<QString, int>>;

QTreeWidget* NewReportTree(QWidget* parent, const QString& objectName, ReportColumns columns);
QTableWidget* NewReportTable(QWidget* parent, const QString& objectName, ReportColumns columns);

// The lowest selected row, the one the dialogs act on; nothing without a selection.
std::optional<size_t> FirstSelectedRow(const QAbstractItemView& list);
