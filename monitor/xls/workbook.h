// A workbook of one worksheet of integers and texts, written as a BIFF8
// "Workbook" stream in an OLE2 compound file, as spreadsheet programs
// read .xls files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/xls/compound_file.h"

namespace xls {

// One setting of a cell, as the workbook keeps it until it is written.
struct WorkbookCell {
  uint32_t key;       // row << 8 | column, the order cells are written in
  uint32_t sequence;  // later settings of a cell win
  bool isText;
  int32_t numberOrString;  // the value, or the index into the workbook's texts
};

class Workbook {
 public:
  static constexpr uint32_t kMaxRows = 65536;
  static constexpr uint32_t kMaxColumns = 256;
  static constexpr size_t kMaxTextLength = 32767;

  // Throws std::invalid_argument when the name is not a sheet name: empty,
  // longer than 31 characters, or holding one of []:*?/\ .
  explicit Workbook(std::u16string sheetName);

  // Set a cell, replacing what it held. False, and nothing set, when the
  // row or column is past the sheet or the text is longer than a cell holds.
  bool SetNumber(uint32_t row, uint32_t column, int32_t value);
  bool SetText(uint32_t row, uint32_t column, std::u16string_view text);

  // The "Workbook" stream: globals, then the sheet.
  std::vector<uint8_t> Serialize() const;
  // Writes the compound file; `path` is converted to the file system's
  // UTF-8. Creates or replaces the file in place: a failure may leave part
  // of it.
  SaveStatus Save(std::u16string_view path) const;

 private:
  using Cell = WorkbookCell;

  bool Put(uint32_t row, uint32_t column, bool isText, int32_t value);

  std::u16string sheetName_;
  std::vector<Cell> cells_;
  std::vector<std::u16string> strings_;  // every text set, in order; shared when equal at save
};

}  // namespace xls
