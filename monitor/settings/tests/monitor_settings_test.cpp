#include "monitor/settings/monitor_settings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/codepage/codepage.h"
#include "platform/profile/profile.h"

namespace {

namespace fs = std::filesystem;

class MonitorSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("monitor_settings_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    settings_.iniPath = (dir_ / "Vigimon.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteIni(const std::string& text) { std::ofstream(settings_.iniPath, std::ios::binary) << text; }
  std::string Value(const std::string& section, const std::string& key) const {
    return profile::GetPrivateProfileString(section, key, "<none>", 1024, settings_.iniPath);
  }
  bool HasSection(const std::string& name) const {
    const auto names = profile::GetPrivateProfileSectionNames(settings_.iniPath);
    return std::find(names.begin(), names.end(), name) != names.end();
  }

  fs::path dir_;
  MonitorSettings settings_;
};

TEST_F(MonitorSettingsTest, FileWithoutTotalAreaGetsDefaultTotalArea) {
  WriteIni("[SMS]\r\nCOM=2\r\n[UI]\r\nInterval=5\r\n");
  loadSettings(settings_);
  EXPECT_EQ(settings_.comPort, 2);
  EXPECT_EQ(settings_.pollInterval, 10);
  EXPECT_EQ(settings_.offlinePercent, 50);
  ASSERT_EQ(settings_.areas.size(), 1u);
  const AreaEntry& total = settings_.areas.at(TOTAL_AREA_ID);
  EXPECT_EQ(total.name, "\xB4\xF3\xC3\xE6\xBB\xFD\xC0\xEB\xCF\xDF");  // GBK, not UTF-8
  EXPECT_EQ(total.lastOfflineCount, 99999);
  EXPECT_TRUE(total.contacts.empty());

  saveSettings(settings_);
  EXPECT_EQ(Value("TotalArea", "AreaCount"), "0");
  EXPECT_FALSE(HasSection("Area1"));

  WriteIni("[UI]\r\nInterval=10\r\n");
  loadSettings(settings_);
  EXPECT_EQ(settings_.pollInterval, 10);
}

TEST_F(MonitorSettingsTest, UnusableTimePointsAreDroppedAndRenumbered) {
  WriteIni(
      "[SendSMTime]\r\nCount=4\r\nName1=morning\r\nTime1=8:30\r\nName2=\r\nTime2=09:00:00\r\n"
      "Name3=evening\r\nTime3=20:15:05\r\nName4=broken\r\nTime4=25:00\r\n");
  loadSettings(settings_);
  ASSERT_EQ(settings_.reportTimes.size(), 2u);
  EXPECT_EQ(settings_.reportTimes[0].time, (TimeOfDay{8, 30, 0}));
  EXPECT_EQ(settings_.reportTimes[1].name, "evening");

  saveSettings(settings_);
  EXPECT_EQ(Value("SendSMTime", "Count"), "2");
  EXPECT_EQ(Value("SendSMTime", "Time1"), "08:30:00");
  EXPECT_EQ(Value("SendSMTime", "Name2"), "evening");
  EXPECT_EQ(Value("SendSMTime", "Name3"), "<none>");
  EXPECT_EQ(Value("SendSMTime", "Time4"), "<none>");
}

TEST_F(MonitorSettingsTest, AreaSectionsLoadByIdAndDropIncompleteEntries) {
  WriteIni(
      "[TotalArea]\r\nName=  \r\nCount=3\r\nContacts1=Li\r\nPhoneNum1=138\r\nContacts2=\r\nPhoneNum2=139\r\n"
      "Contacts3=Wu\r\nPhoneNum3=\r\nAreaCount=4\r\n"
      "[Area1]\r\nID=7\r\nName=first\r\n"
      "[Area2]\r\nID=-2\r\nName=negative\r\n"
      "[Area3]\r\nID=7\r\nName=second\r\nLastOfflineCount=12\r\nCount=1\r\nContacts1=Ma\r\nPhoneNum1=137\r\n"
      "[Area4]\r\nID=3\r\nName=\r\n");
  loadSettings(settings_);
  ASSERT_EQ(settings_.areas.size(), 2u);
  EXPECT_EQ(settings_.areas.at(TOTAL_AREA_ID).name, DefaultTotalAreaName());
  ASSERT_EQ(settings_.areas.at(TOTAL_AREA_ID).contacts.size(), 1u);
  EXPECT_EQ(settings_.areas.at(TOTAL_AREA_ID).contacts[0].phone, "138");
  EXPECT_EQ(settings_.areas.at(7).name, "second");
  EXPECT_EQ(settings_.areas.at(7).lastOfflineCount, 12);

  saveSettings(settings_);
  EXPECT_EQ(Value("TotalArea", "Count"), "1");
  EXPECT_EQ(Value("TotalArea", "AreaCount"), "1");
  EXPECT_EQ(Value("Area1", "Name"), "second");
  EXPECT_EQ(Value("Area2", "ID"), "<none>");
}

TEST_F(MonitorSettingsTest, SaveReplacesOnlyNumberedAreaSections) {
  WriteIni("[Area]\r\nk=1\r\n[area5]\r\nk=2\r\n[AREA9]\r\nk=3\r\n[Area12]\r\nID=1\r\n[AreaX]\r\nx=1\r\n");
  loadSettings(settings_);
  settings_.areas[20] = {"twenty", 5, {{"Zhao", "137"}}};
  settings_.areas[10] = {"ten", 6, {}};
  saveSettings(settings_);
  EXPECT_TRUE(HasSection("Area") && HasSection("area5") && HasSection("AREA9"));
  EXPECT_FALSE(HasSection("Area12") || HasSection("AreaX"));
  EXPECT_EQ(Value("TotalArea", "AreaCount"), "2");
  EXPECT_EQ(Value("Area1", "ID"), "10");  // ascending ids
  EXPECT_EQ(Value("Area2", "Contacts1"), "Zhao");

  settings_.areas.erase(10);
  saveSettings(settings_);
  EXPECT_EQ(Value("TotalArea", "AreaCount"), "1");
  EXPECT_EQ(Value("Area1", "ID"), "20");
  EXPECT_FALSE(HasSection("Area2"));
}

TEST_F(MonitorSettingsTest, SaveAndLoadKeepGbkBytes) {
  const std::string areaName = codepage::Utf8ToGbk("城东片区");
  const std::string person = codepage::Utf8ToGbk("张三");
  settings_.comPort = 3;
  settings_.baudRate = 115200;
  settings_.smsCentre = "8613800100500";
  settings_.reportTimes = {{codepage::Utf8ToGbk("早报"), {7, 5, 9}}};
  settings_.areas[TOTAL_AREA_ID] = {DefaultTotalAreaName(), UNJUDGED_BASELINE, {{person, "139"}}};
  settings_.areas[4] = {areaName, 17, {{person, "137"}}};
  saveSettings(settings_);

  MonitorSettings loaded;
  loaded.iniPath = settings_.iniPath;
  loadSettings(loaded);
  EXPECT_EQ(loaded.baudRate, 115200);
  EXPECT_EQ(loaded.smsCentre, "8613800100500");
  EXPECT_EQ(loaded.reportTimes[0].name, settings_.reportTimes[0].name);
  EXPECT_EQ(loaded.areas.at(TOTAL_AREA_ID).name, DefaultTotalAreaName());
  EXPECT_EQ(loaded.areas.at(TOTAL_AREA_ID).contacts.at(0).name, person);
  EXPECT_EQ(loaded.areas.at(4).name, areaName);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An installation that never heard of [Alert] keeps today's alerts and its
// file: loading and saving it changes not one byte.
TEST_F(MonitorSettingsTest, AlertOptionsAbsentStayOffAndAreNeverWritten) {
  // As saving lays it out: the sections it rewrites come back after a blank line.
  const std::string saved =
      "[SMS]\r\nCOM=3\r\nBaudrate=19200\r\nSMCenter=8613800100500\r\n[UI]\r\nInterval=30\r\n"
      "[OfflineThreshold]\r\nTrmPercent=50\r\n[SendSMTime]\r\nSendOK=0\r\nCount=0\r\n"
      "\r\n[TotalArea]\r\nAreaCount=1\r\nName=all\r\nLastOfflineCount=4\r\nCount=0\r\n"
      "\r\n[Area1]\r\nID=2\r\nName=east\r\nLastOfflineCount=0\r\nCount=1\r\nContacts1=Li\r\nPhoneNum1=139\r\n";
  WriteIni(saved);
  loadSettings(settings_);
  EXPECT_EQ(settings_.confirmPolls, 1);
  EXPECT_EQ(settings_.recovery, 0);
  EXPECT_EQ(settings_.escalateMinutes, 0);
  saveSettings(settings_);
  EXPECT_EQ(FileBytes(settings_.iniPath), saved);
}

TEST_F(MonitorSettingsTest, AlertOptionsRoundTripAndOutOfRangeMeansOff) {
  WriteIni("[Alert]\r\nConfirmPolls=3\r\nRecovery=1\r\nEscalateMinutes=45\r\n");
  loadSettings(settings_);
  EXPECT_EQ(settings_.confirmPolls, 3);
  EXPECT_EQ(settings_.recovery, 1);
  EXPECT_EQ(settings_.escalateMinutes, 45);

  // Turned off again: the keys stay, saying so.
  settings_.confirmPolls = 1;
  settings_.recovery = 0;
  saveSettings(settings_);
  EXPECT_EQ(Value("Alert", "ConfirmPolls"), "1");
  EXPECT_EQ(Value("Alert", "Recovery"), "0");
  EXPECT_EQ(Value("Alert", "EscalateMinutes"), "45");

  WriteIni("[Alert]\r\nConfirmPolls=0\r\nEscalateMinutes=-5\r\n");
  loadSettings(settings_);
  EXPECT_EQ(settings_.confirmPolls, 1);
  EXPECT_EQ(settings_.escalateMinutes, 0);
  WriteIni("[Alert]\r\nConfirmPolls=101\r\nEscalateMinutes=10081\r\n");
  loadSettings(settings_);
  EXPECT_EQ(settings_.confirmPolls, 1);
  EXPECT_EQ(settings_.escalateMinutes, 0);
}

TEST_F(MonitorSettingsTest, QuietHoursRoundTripAndUnreadableOnesAreDropped) {
  WriteIni(
      "[TotalArea]\r\nAreaCount=3\r\n[Area1]\r\nID=1\r\nName=a\r\nQuiet= 22:00 - 7:00 \r\n"
      "[Area2]\r\nID=2\r\nName=b\r\nQuiet=07:00-07:00\r\n[Area3]\r\nID=3\r\nName=c\r\nQuiet=22:00\r\n");
  loadSettings(settings_);
  EXPECT_EQ(settings_.areas.at(1).quiet, (QuietHours{{22, 0, 0}, {7, 0, 0}}));
  EXPECT_FALSE(settings_.areas.at(2).quiet || settings_.areas.at(3).quiet);
  settings_.areas.at(3).quiet = QuietHours{{12, 0, 0}, {13, 30, 15}};
  saveSettings(settings_);
  EXPECT_EQ(Value("Area1", "Quiet"), "22:00-07:00");
  EXPECT_EQ(Value("Area2", "Quiet"), "<none>");
  EXPECT_EQ(Value("Area3", "Quiet"), "12:00:00-13:30:15");
}

TEST(QuietHoursTest, AWindowOverMidnightAndOneWithinADay) {
  const QuietHours night{{22, 0, 0}, {7, 0, 0}};
  EXPECT_TRUE(night.Contains({22, 0, 0}) && night.Contains({0, 0, 0}) && night.Contains({6, 59, 59}));
  EXPECT_FALSE(night.Contains({7, 0, 0}) || night.Contains({21, 59, 59}) || night.Contains({12, 0, 0}));
  const QuietHours noon{{12, 0, 0}, {13, 0, 0}};
  EXPECT_TRUE(noon.Contains({12, 30, 0}));
  EXPECT_FALSE(noon.Contains({13, 0, 0}) || noon.Contains({11, 59, 59}) || noon.Contains({23, 0, 0}));
  for (const char* text : {"", "22:00", "22:00-", "-07:00", "22:00-07:00-08:00", "25:00-07:00", "8:00-8:00:00"})
    EXPECT_FALSE(ParseQuietHours(text)) << text;
}

// The settings saved at exit go where they were read, even when the process
// has changed its directory meanwhile.
TEST_F(MonitorSettingsTest, ARelativeHomeKeepsTheFileWhereItWasFound) {
  const fs::path started = fs::current_path();
  fs::create_directories(dir_ / "home");
  fs::create_directories(dir_ / "elsewhere" / "home");
  fs::current_path(dir_);
  setenv("VIGIMON_HOME", "home/", 1);
  settings_.iniPath = MonitorSettingsPath();
  unsetenv("VIGIMON_HOME");
  fs::current_path(dir_ / "elsewhere");
  saveSettings(settings_);
  fs::current_path(started);
  EXPECT_EQ(settings_.iniPath, (dir_ / "home" / "Vigimon.ini").string());
  EXPECT_TRUE(fs::exists(dir_ / "home" / "Vigimon.ini"));
  EXPECT_FALSE(fs::exists(dir_ / "elsewhere" / "home" / "Vigimon.ini"));
}

TEST(MonitorSettingsPathTest, HomeVariableReplacesProgramDirectory) {
  setenv("VIGIMON_HOME", "/opt/vigimon", 1);
  EXPECT_EQ(MonitorSettingsPath(), "/opt/vigimon/Vigimon.ini");
  unsetenv("VIGIMON_HOME");
  EXPECT_EQ(MonitorSettingsPath(), (fs::read_symlink("/proc/self/exe").parent_path() / "Vigimon.ini").string());
}

TEST(TimeOfDayTest, AcceptedFormsAndFormat) {
  const std::pair<const char*, TimeOfDay> cases[] = {
      {"08:30:00", {8, 30, 0}}, {"8:30:00", {8, 30, 0}},    {"8:30", {8, 30, 0}},       {"20:30:00", {20, 30, 0}},
      {" \t8:30 ", {8, 30, 0}}, {"8:30 PM", {20, 30, 0}},   {"8:30:15am", {8, 30, 15}}, {"12:05 AM", {0, 5, 0}},
      {"12:05 pm", {12, 5, 0}}, {"23:59:59", {23, 59, 59}},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParseTimeOfDay(text), std::optional(expected)) << text;
  }
  EXPECT_EQ(FormatTimeOfDay({8, 5, 0}), "08:05:00");
}

TEST(TimeOfDayTest, RefusedForms) {
  for (const char* text : {"", "abc", "25:00", "24:00:00", "8:60", "8:30:60", "8:30:00:00", "-1:00", "830",
                           "8:", "008:30", "8:30 XM", "13:00 PM", "0:30 AM", "8 :30", "2024-01-01 08:30:00"}) {
    EXPECT_FALSE(ParseTimeOfDay(text).has_value()) << '"' << text << '"';
  }
}

}  // namespace
