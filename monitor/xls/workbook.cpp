#include "monitor/xls/workbook.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "monitor/xls/biff_records.h"
#include "monitor/xls/record_writer.h"
#include "platform/codepage/codepage.h"

namespace xls {
namespace {

using Body = std::vector<uint8_t>;

void WriteBof(RecordWriter& out, uint16_t substream) {
  Body body;
  PutU16(body, biff::kBiff8Version);
  PutU16(body, substream);
  PutU16(body, 0x0DBB);  // build and year of the format revision readers check for
  PutU16(body, 0x07CC);
  PutU32(body, 0);  // file history flags
  PutU32(body, 6);  // lowest BIFF version that can read this: BIFF8
  out.Write(biff::kBof, body);
}

void WriteFonts(RecordWriter& out) {
  Body body;
  PutU16(body, 200);     // 10 points, in twentieths
  PutU16(body, 0);       // plain
  PutU16(body, 0x7FFF);  // the window text colour
  PutU16(body, 400);     // normal weight
  PutU16(body, 0);       // neither super- nor subscript
  PutU8(body, 0);        // no underline
  PutU8(body, 0);        // family
  PutU8(body, 0);        // character set
  PutU8(body, 0);
  const std::string_view name = "Arial";
  PutU8(body, static_cast<uint8_t>(name.size()));
  PutU8(body, 0);  // one byte per character
  body.insert(body.end(), name.begin(), name.end());
  // Font 4 does not exist in BIFF, and readers look up the first four
  // built-in fonts by index: write all four.
  for (int i = 0; i < 4; ++i) out.Write(biff::kFont, body);
}

void WriteXf(RecordWriter& out, bool style) {
  Body body;
  PutU16(body, 0);                        // font 0
  PutU16(body, 0);                        // number format "General"
  PutU16(body, style ? 0xFFF5 : 0x0001);  // locked; a style XF has no parent, a cell XF has XF 0
  PutU8(body, 0x20);                      // general alignment, bottom
  PutU8(body, 0);                         // no rotation
  PutU8(body, 0);                         // no indent
  PutU8(body, 0);                         // attributes as the parent's
  PutU32(body, 0);                        // no borders
  PutU32(body, 0);
  PutU16(body, 0x20C0);  // pattern colours: the system's foreground and background
  out.Write(biff::kXf, body);
}

struct Globals {
  size_t sheetOffsetField = 0;  // where the BOUNDSHEET's stream offset sits
};

Globals WriteGlobals(RecordWriter& out, std::u16string_view sheetName, const std::vector<std::u16string_view>& sst,
                     uint32_t textCells) {
  WriteBof(out, biff::kBofGlobals);
  Body body;
  PutU16(body, biff::kCodepageUtf16);
  out.Write(biff::kCodepage, body);

  body.clear();
  PutU16(body, 0);  // window position and size, in twips
  PutU16(body, 0);
  PutU16(body, 0x4000);
  PutU16(body, 0x2000);
  PutU16(body, 0x0038);  // scroll bars and sheet tabs shown
  PutU16(body, 0);       // the selected sheet
  PutU16(body, 0);       // the first tab shown
  PutU16(body, 1);       // one sheet selected
  PutU16(body, 0x0258);  // tab bar width, in thousandths
  out.Write(biff::kWindow1, body);

  WriteFonts(out);
  for (uint16_t i = 0; i < biff::kStyleXfCount; ++i) WriteXf(out, true);
  WriteXf(out, false);

  body.clear();
  PutU16(body, 0x8000);  // built-in style of XF 0
  PutU8(body, 0);        // "Normal"
  PutU8(body, 0xFF);
  out.Write(biff::kStyle, body);

  Globals globals;
  body.clear();
  PutU32(body, 0);  // stream offset of the sheet's BOF, patched once known
  PutU16(body, 0);  // a visible worksheet
  PutU8(body, static_cast<uint8_t>(sheetName.size()));
  PutU8(body, biff::kUncompressedText);
  for (char16_t c : sheetName) PutU16(body, static_cast<uint16_t>(c));
  globals.sheetOffsetField = out.size() + 4;
  out.Write(biff::kBoundSheet, body);

  out.Begin(biff::kSst);
  body.clear();
  PutU32(body, textCells);
  PutU32(body, static_cast<uint32_t>(sst.size()));
  out.Append(body);
  // Every bucket-th string's place goes into EXTSST, the index Excel seeks
  // the table with: buckets of at least 8 strings, at most 128 buckets.
  const size_t bucket = std::max<size_t>(8, (sst.size() + 127) / 128);
  Body index;
  PutU16(index, static_cast<uint16_t>(bucket));
  for (size_t i = 0; i < sst.size(); ++i) {
    RecordWriter::Place place = out.AppendString(sst[i]);
    if (i % bucket != 0) continue;
    PutU32(index, static_cast<uint32_t>(place.streamOffset));
    PutU16(index, static_cast<uint16_t>(place.recordOffset));
    PutU16(index, 0);
  }
  out.End();
  out.Write(biff::kExtSst, index);

  out.Write(biff::kEof, {});
  return globals;
}

bool ValidSheetName(std::u16string_view name) {
  if (name.empty() || name.size() > biff::kMaxSheetNameLength) return false;
  return name.find_first_of(u"[]:*?/\\") == std::u16string_view::npos;
}

// RK holds an integer of 30 bits, shifted left past its two flag bits.
bool FitsRk(int32_t value) { return value >= -(1 << 29) && value < (1 << 29); }

}  // namespace

Workbook::Workbook(std::u16string sheetName) : sheetName_(std::move(sheetName)) {
  if (!ValidSheetName(sheetName_)) throw std::invalid_argument("not a worksheet name");
}

bool Workbook::SetNumber(uint32_t row, uint32_t column, int32_t value) { return Put(row, column, false, value); }

bool Workbook::SetText(uint32_t row, uint32_t column, std::u16string_view text) {
  if (text.size() > kMaxTextLength) return false;
  if (!Put(row, column, true, static_cast<int32_t>(strings_.size()))) return false;
  strings_.emplace_back(text);
  return true;
}

bool Workbook::Put(uint32_t row, uint32_t column, bool isText, int32_t value) {
  if (row >= kMaxRows || column >= kMaxColumns) return false;
  cells_.push_back({row << 8 | column, static_cast<uint32_t>(cells_.size()), isText, value});
  return true;
}

namespace {

// The cells in row and column order, the last setting of each.
std::vector<WorkbookCell> LastSettings(std::vector<WorkbookCell> cells) {
  std::sort(cells.begin(), cells.end(), [](const WorkbookCell& a, const WorkbookCell& b) {
    return a.key != b.key ? a.key < b.key : a.sequence > b.sequence;
  });
  cells.erase(std::unique(cells.begin(), cells.end(),
                          [](const WorkbookCell& a, const WorkbookCell& b) { return a.key == b.key; }),
              cells.end());
  return cells;
}

// Equal texts share one entry of the string table.
struct StringTable {
  std::vector<std::u16string_view> entries;
  std::vector<uint32_t> indexOfText;  // by the workbook's text index
  uint32_t textCells = 0;
};

StringTable BuildStringTable(const std::vector<WorkbookCell>& cells, const std::vector<std::u16string>& texts) {
  StringTable table;
  table.indexOfText.resize(texts.size());
  std::unordered_map<std::u16string_view, uint32_t> indexOf;
  for (const WorkbookCell& cell : cells) {
    if (!cell.isText) continue;
    ++table.textCells;
    std::u16string_view text = texts[static_cast<size_t>(cell.numberOrString)];
    auto [it, added] = indexOf.try_emplace(text, static_cast<uint32_t>(table.entries.size()));
    if (added) table.entries.push_back(text);
    table.indexOfText[static_cast<size_t>(cell.numberOrString)] = it->second;
  }
  return table;
}

void WriteDimensions(RecordWriter& out, const std::vector<WorkbookCell>& cells) {
  uint32_t lastRow = 0, lastColumn = 0;
  for (const WorkbookCell& cell : cells) {
    lastRow = std::max(lastRow, cell.key >> 8);
    lastColumn = std::max(lastColumn, cell.key & 0xFF);
  }
  Body body;
  PutU32(body, 0);  // first row
  PutU32(body, cells.empty() ? 0 : lastRow + 1);
  PutU16(body, 0);  // first column
  PutU16(body, static_cast<uint16_t>(cells.empty() ? 0 : lastColumn + 1));
  PutU16(body, 0);
  out.Write(biff::kDimensions, body);
}

void WriteCells(RecordWriter& out, const std::vector<WorkbookCell>& cells, const StringTable& strings) {
  Body body;
  for (const WorkbookCell& cell : cells) {
    body.clear();
    PutU16(body, static_cast<uint16_t>(cell.key >> 8));
    PutU16(body, static_cast<uint16_t>(cell.key & 0xFF));
    PutU16(body, biff::kCellXf);
    if (cell.isText) {
      PutU32(body, strings.indexOfText[static_cast<size_t>(cell.numberOrString)]);
      out.Write(biff::kLabelSst, body);
    } else if (FitsRk(cell.numberOrString)) {
      PutU32(body, static_cast<uint32_t>(cell.numberOrString) << 2 | 0x02);
      out.Write(biff::kRk, body);
    } else {
      PutF64(body, cell.numberOrString);
      out.Write(biff::kNumber, body);
    }
  }
}

void WriteWindow2(RecordWriter& out) {
  Body body;
  PutU16(body, 0x06B6);  // grid, headers, zeros, outline shown; the sheet selected and shown
  PutU16(body, 0);       // top row and left column shown
  PutU16(body, 0);
  PutU32(body, 0x40);  // grid colour: the default
  PutU16(body, 0);     // zoom: the default
  PutU16(body, 0);
  PutU32(body, 0);
  out.Write(biff::kWindow2, body);
}

}  // namespace

std::vector<uint8_t> Workbook::Serialize() const {
  std::vector<Cell> cells = LastSettings(cells_);
  StringTable strings = BuildStringTable(cells, strings_);

  RecordWriter out;
  Globals globals = WriteGlobals(out, sheetName_, strings.entries, strings.textCells);
  out.PatchU32(globals.sheetOffsetField, static_cast<uint32_t>(out.size()));

  WriteBof(out, biff::kBofWorksheet);
  WriteDimensions(out, cells);
  WriteCells(out, cells, strings);
  WriteWindow2(out);
  out.Write(biff::kEof, {});
  return out.Release();
}

SaveStatus Workbook::Save(std::u16string_view path) const {
  std::vector<uint8_t> stream = Serialize();
  return WriteCompoundFile(codepage::Utf16ToUtf8(path), "Workbook", stream);
}

}  // namespace xls
