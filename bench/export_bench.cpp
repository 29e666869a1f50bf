// How long the terminal table export takes for the largest sheet, 65,535
// terminals, and how much memory it needs: build, serialize, save through
// libgsf and rename, as the menu command does.
//
//   export_bench [--runs K] [--out FILE.xls] [--no-libreoffice]
//
// Then LibreOffice converts the last file to CSV, to show that the result
// opens; the same check by hand:
//   libreoffice --headless --convert-to csv --outdir /tmp FILE.xls
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "monitor/export/terminal_export.h"
#include "platform/codepage/codepage.h"

namespace {

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

size_t CsvLines(const std::filesystem::path& path) {
  std::ifstream in(path);
  return static_cast<size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::string out = (std::filesystem::temp_directory_path() / "export_bench.xls").string();
  bool libreoffice = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) out = argv[++i];
    else if (std::strcmp(argv[i], "--no-libreoffice") == 0) libreoffice = false;
    else {
      std::fputs("usage: export_bench [--runs K] [--out FILE.xls] [--no-libreoffice]\n", stderr);
      return 2;
    }
  }

  std::vector<int32_t> ids;
  std::map<int32_t, TerminalRecord> records;
  for (int32_t id = 1; id <= static_cast<int32_t>(kMaxExportedTerminals); ++id) {
    ids.push_back(id);
    records[id] = TerminalRecord{.id = id, .name = codepage::Utf8ToGbk("终端" + std::to_string(id) + "号广场")};
  }
  long before = PeakKilobytes();

  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    auto start = std::chrono::steady_clock::now();
    ExportResult result = WriteTerminalTable(ids, records, codepage::Utf8ToUtf16(out));
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!result.written) {
      std::fprintf(stderr, "export failed: %s\n", codepage::GbkToUtf8(result.message).c_str());
      return 1;
    }
  }
  std::sort(seconds.begin(), seconds.end());
  long peak = PeakKilobytes();
  std::printf("export of %zu terminals, %d runs: min %.3f s, median %.3f s, max %.3f s (goal 0.5 s)\n", ids.size(),
              runs, seconds.front(), seconds[seconds.size() / 2], seconds.back());
  std::printf("file %s: %ju bytes\n", out.c_str(), static_cast<uintmax_t>(std::filesystem::file_size(out)));
  std::printf("peak resident memory: %ld KiB, of which %ld KiB after the terminal table was built\n", peak,
              peak - before);

  if (libreoffice) {
    auto folder = std::filesystem::temp_directory_path() / "export_bench_csv";
    std::string command = "HOME=" + folder.string() + " libreoffice -env:UserInstallation=file://" + folder.string() +
                          "/profile --headless --convert-to csv --outdir " + folder.string() + " '" + out +
                          "' >/dev/null 2>&1";
    int status = std::system(command.c_str());
    auto csv = folder / (std::filesystem::path(out).stem().string() + ".csv");
    size_t lines = status == 0 && std::filesystem::exists(csv) ? CsvLines(csv) : 0;
    std::printf("LibreOffice %s (%zu CSV lines, %zu expected)\n",
                lines == ids.size() + 1 ? "opens the result" : "did NOT open the result", lines, ids.size() + 1);
    std::filesystem::remove_all(folder);
  }
  return 0;
}
