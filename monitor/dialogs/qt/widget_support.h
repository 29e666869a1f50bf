// What the monitor's dialog widgets share beyond every dialog's basics: the
// report lists.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include <QString>
#include <QValidator>

#include "platform/ui/qt/dialog_widgets.h"

class QBoxLayout;
class QPushButton;
class QTableWidget;
class QWidget;

// A report list: one row selected at a time, whole rows, grid lines, and
// the given headers with their widths in pixels.
QTableWidget* NewReportList(QWidget* parent, const QString& objectName,
                            std::initializer_list<std::pair<QString, int>> columns);
// The selected row, -1 for none.
int SelectedRow(const QTableWidget& list);
// Replaces the list's rows without telling the dialog, then selects `selected` (-1: none).
void FillRows(QTableWidget& list, const std::vector<std::pair<std::string, std::string>>& rows, int selected);
