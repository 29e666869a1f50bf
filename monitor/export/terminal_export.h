// The reference table of terminals and fault codes the main window's
// "导出终端及故障表" writes: every terminal of the last state refresh with
// its id and name, and beside them the legend of fault letters, as an .xls
// workbook. Runs on the user-interface thread; no widget here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/acquisition/terminal_acquisition.h"
#include "monitor/acquisition/terminal_record.h"
#include "monitor/xls/workbook.h"
#include "platform/ui/message_box.h"

// Row 0 is the heading row, so a sheet of 65,536 rows holds this many.
inline constexpr size_t kMaxExportedTerminals = 65535;

// The file name the Save As dialog offers: "终端及故障对照表" on the
// desktop. The dialog adds the extension.
std::u16string DefaultExportPath(std::u16string_view desktopFolder);

struct TerminalTable {
  xls::Workbook workbook;
  size_t leftOut = 0;  // terminals past the sheet's last row
};

// The workbook of `ids` (ascending, as presentIds) with the names their
// records hold; an id without a record gets an empty name.
TerminalTable BuildTerminalTable(const std::vector<int32_t>& ids, const std::map<int32_t, TerminalRecord>& records);

struct ExportResult {
  bool written = false;
  size_t leftOut = 0;
  std::string message;  // GBK, what the operator is told
};

// Writes the table to `path` through a temporary file in the same folder,
// renamed over `path` only once complete: a failure leaves no file behind
// and an existing file as it was.
ExportResult WriteTerminalTable(const std::vector<int32_t>& ids, const std::map<int32_t, TerminalRecord>& records,
                                std::u16string_view path);

// The command once the Save As dialog has given a path: writes the table of
// the acquisition's last refresh and tells the operator the result in a
// message box. The acquisition is only read.
ExportResult ExportTerminalTableTo(const TerminalAcquisition& acquisition, std::u16string_view path,
                                   ui::MessageBoxPort& messages);
