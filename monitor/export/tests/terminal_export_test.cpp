#include "monitor/export/terminal_export.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/clock/clock.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/message_box.h"

namespace fs = std::filesystem;

namespace {

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("terminal-export-" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  void AddTerminals(size_t count) {
    for (size_t i = 0; i < count; ++i) {
      auto id = static_cast<int32_t>(i + 1);
      ids_.push_back(id);
      records_[id] = TerminalRecord{.id = id, .name = codepage::Utf8ToGbk("终端" + std::to_string(id))};
    }
  }
  ExportResult Write(const fs::path& path) {
    return WriteTerminalTable(ids_, records_, codepage::Utf8ToUtf16(path.string()));
  }
  static std::string Gbk(const std::string& utf8) { return codepage::Utf8ToGbk(utf8); }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::vector<fs::path> Entries() const {
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(folder_)) entries.push_back(entry.path().filename());
    return entries;
  }

  fs::path folder_;
  std::vector<int32_t> ids_;
  std::map<int32_t, TerminalRecord> records_;
};

TEST_F(ExportTest, UnwritablePathsFailWithThatPathAndLeaveNothing) {
  AddTerminals(3);
  // Both fail for root too: a folder that does not exist, and a path that
  // is a folder, which must stay as it was.
  fs::path missing = folder_ / "没有的文件夹" / "表.xls";
  ExportResult result = Write(missing);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(result.message, Gbk("导出到文件 " + missing.string() + " 失败！"));

  fs::path directory = folder_ / "表.xls";
  fs::create_directory(directory);
  result = Write(directory);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(result.message, Gbk("导出到文件 " + directory.string() + " 失败！"));
  EXPECT_TRUE(fs::is_directory(directory));
  EXPECT_TRUE(fs::is_empty(directory));
  EXPECT_EQ(Entries(), std::vector<fs::path>{"表.xls"});
}

TEST_F(ExportTest, ExistingFileSurvivesAFailedWriteUnchanged) {
  fs::path target = folder_ / "终端及故障对照表.xls";
  { std::ofstream(target, std::ios::binary) << "the operator's earlier table"; }
  // A file size limit fails the write part-way for root as well, as a full
  // disk would.
  AddTerminals(2000);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 16 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  ExportResult result = Write(target);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(result.written);
  EXPECT_EQ(result.message, Gbk("导出到文件 " + target.string() + " 失败！"));
  EXPECT_EQ(Read(target), "the operator's earlier table");
  EXPECT_EQ(Entries(), std::vector<fs::path>{"终端及故障对照表.xls"});
}

TEST_F(ExportTest, SuccessReplacesTheFileKeepingItsPermissions) {
  fs::path target = folder_ / "table.xls";
  { std::ofstream(target, std::ios::binary) << "old"; }
  chmod(target.c_str(), 0640);
  AddTerminals(10);
  ExportResult result = Write(target);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.message, Gbk("导出到文件 " + target.string() + " 成功！"));
  EXPECT_EQ(Read(target).substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");  // a compound file
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Entries(), std::vector<fs::path>{"table.xls"});
}

TEST_F(ExportTest, TerminalsPastTheLastRowAreCountedInTheMessage) {
  AddTerminals(kMaxExportedTerminals + 2);
  fs::path target = folder_ / "big.xls";
  ExportResult result = Write(target);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.leftOut, 2u);
  EXPECT_EQ(result.message,
            Gbk("导出到文件 " + target.string() + " 成功！（另有 2 个终端未能写入：工作表最多 65535 行）"));
}

struct RecordingBox final : ui::MessageBoxPort {
  int Show(const std::string& text, const std::string& caption, ui::MessageIcon icon, int buttons) override {
    shown.push_back(text + "|" + caption + "|" + std::to_string(static_cast<int>(icon)) + "|" +
                    std::to_string(buttons));
    return ui::IDOK;
  }
  std::vector<std::string> shown;
};

TEST_F(ExportTest, OperatorIsToldThroughAPlainBox) {
  RecordingBox box;
  MonitorSettings settings;
  TerminalAcquisition acquisition(settings, SystemClock());
  fs::path target = folder_ / "empty.xls";
  EXPECT_TRUE(ExportTerminalTableTo(acquisition, codepage::Utf8ToUtf16(target.string()), box).written);
  // No icon, an OK button only, the program's name as caption.
  EXPECT_EQ(box.shown, std::vector<std::string>{Gbk("导出到文件 " + target.string() + " 成功！") + "|Vigimon|0|0"});
  EXPECT_EQ(DefaultExportPath(u"/home/值班员/桌面"), u"/home/值班员/桌面/终端及故障对照表");
}

}  // namespace
