#include "monitor/export/terminal_export.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "monitor/acquisition/fault_codes.h"
#include "platform/codepage/codepage.h"

namespace {

const std::u16string kSheetName = u"终端及故障对照表";
const std::string kSucceeded = codepage::Utf8ToGbk("导出到文件 %s 成功！");
const std::string kFailed = codepage::Utf8ToGbk("导出到文件 %s 失败！");
const std::string kCaption = "Vigimon";

std::string Format(const std::string& pattern, const std::string& path) {
  std::string text = pattern;
  text.replace(text.find("%s"), 2, path);
  return text;
}

std::string LeftOutNote(size_t leftOut) {
  return codepage::Utf8ToGbk("（另有 " + std::to_string(leftOut) + " 个终端未能写入：工作表最多 " +
                             std::to_string(kMaxExportedTerminals) + " 行）");
}

// A new file beside `target`, created with the permissions a new file gets
// (or the target's, when it exists), for the workbook to be written into.
// Empty when the folder cannot take a file.
std::string CreateTemporaryBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  struct stat existing {};
  bool replaces = stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name =
        "." + target.filename().string() + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
    std::string path = (folder / name).string();
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return {};
    }
    if (replaces) fchmod(fd, existing.st_mode & 07777);
    close(fd);
    return path;
  }
  return {};
}

}  // namespace

std::u16string DefaultExportPath(std::u16string_view desktopFolder) {
  return std::u16string(desktopFolder) + u"/终端及故障对照表";
}

TerminalTable BuildTerminalTable(const std::vector<int32_t>& ids, const std::map<int32_t, TerminalRecord>& records) {
  TerminalTable table{xls::Workbook(kSheetName)};
  xls::Workbook& sheet = table.workbook;
  sheet.SetText(0, 0, u"终端代码");
  sheet.SetText(0, 1, u"终端名称");
  size_t written = std::min(ids.size(), kMaxExportedTerminals);
  table.leftOut = ids.size() - written;
  std::u16string name;
  for (size_t i = 0; i < written; ++i) {
    auto row = static_cast<uint32_t>(i + 1);
    sheet.SetNumber(row, 0, ids[i]);
    auto it = records.find(ids[i]);
    name = it == records.end() ? std::u16string() : codepage::GbkToUtf16(it->second.name);
    sheet.SetText(row, 1, name.substr(0, xls::Workbook::kMaxTextLength));
  }
  sheet.SetText(0, 3, u"故障代码");
  sheet.SetText(0, 4, u"故障名称");
  // Code 0, working, is no fault and has no row.
  for (uint32_t code = 1; code < kNamedFaultCodes; ++code) {
    sheet.SetText(code, 3, codepage::GbkToUtf16(FAULT_LETTERS[code]));
    sheet.SetText(code, 4, codepage::GbkToUtf16(FAULT_TEXTS[code]));
  }
  return table;
}

ExportResult WriteTerminalTable(const std::vector<int32_t>& ids, const std::map<int32_t, TerminalRecord>& records,
                                std::u16string_view path) {
  // The conversions go through iconv, not the C locale, so the global
  // locale stays as it is.
  TerminalTable table = BuildTerminalTable(ids, records);
  std::filesystem::path target(codepage::Utf16ToUtf8(path));
  ExportResult result;
  std::string temporary = CreateTemporaryBeside(target);
  if (!temporary.empty()) {
    result.written = table.workbook.Save(codepage::Utf8ToUtf16(temporary)) == xls::SaveStatus::Saved &&
                     std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!result.written) unlink(temporary.c_str());
  }
  std::string shownPath = codepage::Utf16ToGbk(path);
  if (result.written) {
    result.leftOut = table.leftOut;
    result.message = Format(kSucceeded, shownPath);
    if (table.leftOut > 0) result.message += LeftOutNote(table.leftOut);
  } else {
    result.message = Format(kFailed, shownPath);
  }
  return result;
}

ExportResult ExportTerminalTableTo(const TerminalAcquisition& acquisition, std::u16string_view path,
                                   ui::MessageBoxPort& messages) {
  ExportResult result = WriteTerminalTable(acquisition.presentIds(), acquisition.terminalTable(), path);
  messages.Show(result.message, kCaption, ui::MessageIcon::None, ui::MB_OK);
  return result;
}
