// The settings files a first start copies into the operator's folder: they
// must load as the programs' own defaults (so a first start with them is a
// first start without them), and every key in them must be one the program
// reads (a misspelt key would load as the default too, and mislead the
// operator who edits it).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "gateway/broadcast_server_settings.h"
#include "gateway/gateway_settings.h"
#include "monitor/settings/monitor_settings.h"

namespace {

namespace fs = std::filesystem;

// What a settings file loads as, in one comparable text.
using Loader = std::function<std::string(const std::string& path)>;

std::string LoadGateway(const std::string& path) {
  GatewaySettings s;
  LoadGatewaySettings(path, s);
  std::ostringstream out;
  out << s.port << ' ' << s.rate << ' ' << s.delay << ' ' << s.interDay << ' ' << s.deadLineDay << ' '
      << s.lastClearTime << ' ' << s.regular << ' ' << s.phoneCount << ' ' << s.pat.size() << ' ' << s.speechLoudness
      << ' ' << s.speechHighPass << ' ' << s.replayMinutes;
  return out.str();
}

std::string LoadServer(const std::string& path) {
  BroadcastServerSettings s;
  LoadBroadcastServerSettings(path, s);
  std::ostringstream out;
  out << s.serverAddress << ' ' << s.cmdPort << ' ' << s.sessionPriority << ' ' << s.userPriority;
  return out.str();
}

std::string LoadMonitor(const std::string& path) {
  MonitorSettings s;
  s.iniPath = path;
  loadSettings(s);
  std::ostringstream out;
  out << s.comPort << ' ' << s.baudRate << ' ' << s.smsCentre << ' ' << s.pollInterval << ' ' << s.sendWhenAllNormal
      << ' ' << s.reportTimes.size() << ' ' << s.offlinePercent << ' ' << s.areas.size();
  return out.str();
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The same value changed: a number moved by 7, any other text lengthened.
std::string Changed(const std::string& value) {
  char* end = nullptr;
  const long number = std::strtol(value.c_str(), &end, 10);
  return !value.empty() && *end == '\0' ? std::to_string(number + 7) : value + "9";
}

class DefaultSettingsTest : public ::testing::TestWithParam<std::pair<const char*, Loader>> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/default_settings_test.XXXXXX";
    dir_ = ::mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
};

TEST_P(DefaultSettingsTest, LoadsAsNoFileAndEveryKeyIsRead) {
  const auto& [file, load] = GetParam();
  const char* source = std::getenv("QUILLON_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const std::string shipped = ReadFile(fs::path(source) / "packaging" / file);
  ASSERT_FALSE(shipped.empty()) << file;
  size_t lines = 0, crlf = 0;
  for (size_t i = 0; i < shipped.size(); ++i) {
    lines += shipped[i] == '\n';
    crlf += shipped.compare(i, 2, "\r\n") == 0;
  }
  EXPECT_EQ(crlf, lines) << file << ": lines end in CR LF, as the programs write them";

  const std::string defaults = load((dir_ / "none.ini").string());
  const fs::path copy = dir_ / "copy.ini";
  std::ofstream(copy, std::ios::binary) << shipped;
  EXPECT_EQ(load(copy.string()), defaults) << file;

  size_t start = 0;
  while (start < shipped.size()) {
    const size_t end = shipped.find("\r\n", start);
    const size_t equals = shipped.find('=', start);
    if (equals < end) {
      const std::string key = shipped.substr(start, equals - start);
      std::string edited = shipped;
      edited.replace(equals + 1, end - equals - 1, Changed(shipped.substr(equals + 1, end - equals - 1)));
      std::ofstream(copy, std::ios::binary | std::ios::trunc) << edited;
      EXPECT_NE(load(copy.string()), defaults) << file << ": the program does not read " << key;
    }
    start = end + 2;
  }
}

INSTANTIATE_TEST_SUITE_P(EachFile, DefaultSettingsTest,
                         ::testing::Values(std::make_pair("heraldo/SMS.ini", Loader(LoadGateway)),
                                           std::make_pair("heraldo/SMServer.ini", Loader(LoadServer)),
                                           std::make_pair("vigimon/Vigimon.ini", Loader(LoadMonitor))));

}  // namespace
