// Writes the terminal table of a generated installation, for the tests
// that read it back with other programs' readers.
//
//   terminal_table_writer PATH COUNT
//
// Terminal i (0-based) has id 1000 + 2i, except that the last of two or
// more has id 2147483647; it is named "终端" and i + 1 in five digits,
// except that every seventh (i % 7 == 3) has never answered and has no
// name. Prints the operator's message (UTF-8); exit 0 when written.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "monitor/export/terminal_export.h"
#include "platform/codepage/codepage.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: terminal_table_writer PATH COUNT\n", stderr);
    return 2;
  }
  size_t count = std::strtoul(argv[2], nullptr, 10);
  std::vector<int32_t> ids;
  std::map<int32_t, TerminalRecord> records;
  for (size_t i = 0; i < count; ++i) {
    int32_t id = i + 1 == count && count >= 2 ? 2147483647 : static_cast<int32_t>(1000 + 2 * i);
    char name[32];
    std::snprintf(name, sizeof name, "终端%05zu", i + 1);
    ids.push_back(id);
    records[id] = TerminalRecord{.id = id, .name = i % 7 == 3 ? std::string() : codepage::Utf8ToGbk(name)};
  }
  ExportResult result = WriteTerminalTable(ids, records, codepage::Utf8ToUtf16(argv[1]));
  std::printf("%s\n", codepage::GbkToUtf8(result.message).c_str());
  return result.written ? 0 : 1;
}
