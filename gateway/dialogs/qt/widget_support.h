// What the gateway dialog widgets share beyond every dialog's basics: the
// report lists of terminals.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include <QString>
#include <QValidator>

#include "gateway/broadcast/bc_agent.h"
#include "platform/ui/qt/dialog_widgets.h"

class QBoxLayout;
class QPushButton;
class QTreeWidget;
class QWidget;

// A report list: headers with their widths in pixels, whole rows selected.
QTreeWidget* NewReportList(QWidget* parent, const QString& objectName,
                           std::initializer_list<std::pair<QString, int>> columns);
// The lowest selected row, the one the dialogs act on; nothing without a selection.
std::optional<size_t> FirstSelectedRow(const QTreeWidget& list);
// A terminal's row: its name and IP address, with its id as the row's data.
void AppendTerminalRow(QTreeWidget& list, const TermInfo& terminal);
