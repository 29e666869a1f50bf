// The rows of the monitor dialogs' report tables: pairs of GBK texts, and
// the selection as the dialogs' logic counts it.
#pragma once

#include <string>
#include <utility>
#include <vector>

class QTableWidget;

// The selected row, -1 for none.
int SelectedRow(const QTableWidget& list);
// Replaces the list's rows without telling the dialog, then selects `selected` (-1: none).
void FillRows(QTableWidget& list, const std::vector<std::pair<std::string, std::string>>& rows, int selected);
