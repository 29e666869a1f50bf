#include "gateway/gateway_settings.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "gateway/authorisation.h"
#include "gateway/broadcast_server_settings.h"

namespace {

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("heraldo-settings-" + std::to_string(::getpid()) + "-" +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "SMS.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string Read() {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(SettingsFile, AFreshInstallationHasTheDefaults) {
  GatewaySettings s;
  LoadGatewaySettings(path_, s);
  EXPECT_EQ(s.port, 1);
  EXPECT_EQ(s.rate, 19200);
  EXPECT_EQ(s.delay, 1);
  EXPECT_EQ(s.interDay, 1u);
  EXPECT_EQ(s.deadLineDay, 1u);
  EXPECT_EQ(s.lastClearTime, "2000-00-00 12:00:00");
  EXPECT_EQ(s.regular, 1);
  EXPECT_TRUE(s.pat.empty());
  Authorisation anyone = Authorise(s, "13900000000", AuthorisationStep::Arrival);
  EXPECT_TRUE(anyone.allowed);
  EXPECT_TRUE(anyone.allTerminals);
  EXPECT_TRUE(anyone.terminals.empty());

  BroadcastServerSettings server;
  LoadBroadcastServerSettings((dir_ / "SMServer.ini").string(), server);
  EXPECT_EQ(server.serverAddress, "127.0.0.1");
  EXPECT_EQ(server.cmdPort, 8000);
  EXPECT_EQ(server.sessionPriority, 500);
  EXPECT_EQ(server.userPriority, 10);
}

TEST_F(SettingsFile, DuplicateEntriesKeepTheLaterOne) {
  Write(
      "[PhoneAndTerm]\r\nRegular=0\r\nPhoneCount=2\r\n[PAT1]\r\nNumber=13900000001\r\nIDs=1,2\r\n"
      "[PAT2]\r\nNumber=13900000001\r\nIDs=3,7,\r\n");
  GatewaySettings s;
  LoadGatewaySettings(path_, s);
  ASSERT_EQ(s.pat.size(), 1u);
  EXPECT_EQ(s.pat["13900000001"], "3,7,");
  Authorisation listed = Authorise(s, "13900000001", AuthorisationStep::Playback);
  EXPECT_EQ(listed.terminals, (std::vector<int>{3, 7}));
  EXPECT_FALSE(listed.allTerminals);
  EXPECT_FALSE(Authorise(s, "13900000002", AuthorisationStep::Arrival).allowed);
}

// Regular=2, edited by hand: strangers are refused at arrival, and listed
// numbers play everywhere.
TEST(Authorisation, AHandEditedRegularRefusesStrangersAndPlaysListedNumbersEverywhere) {
  GatewaySettings s;
  s.regular = 2;
  s.pat["13900000001"] = "3,7";
  EXPECT_FALSE(Authorise(s, "13900000002", AuthorisationStep::Arrival).allowed);
  Authorisation listed = Authorise(s, "13900000001", AuthorisationStep::Playback);
  EXPECT_TRUE(listed.allowed);
  EXPECT_TRUE(listed.allTerminals);
  EXPECT_EQ(listed.ids, "3,7");
  s.regular = 0;
  s.pat.clear();  // removed while its message waited
  EXPECT_FALSE(Authorise(s, "13900000001", AuthorisationStep::Playback).allowed);
}

TEST_F(SettingsFile, SavingAShorterTableLeavesOldSectionsThatLoadIgnores) {
  GatewaySettings s;
  s.regular = 0;
  for (int i = 1; i <= 5; ++i) s.pat["1390000000" + std::to_string(i)] = std::to_string(i);
  s.phoneCount = 5;
  SaveGatewaySettings(path_, s, SAVE_AUTHORISATION);
  s.pat.erase("13900000004");
  s.pat.erase("13900000005");
  s.phoneCount = 3;
  SaveGatewaySettings(path_, s, SAVE_AUTHORISATION);
  EXPECT_NE(Read().find("[PAT5]"), std::string::npos);
  GatewaySettings loaded;
  LoadGatewaySettings(path_, loaded);
  EXPECT_EQ(loaded.pat.size(), 3u);
  EXPECT_EQ(loaded.phoneCount, 3);
  EXPECT_EQ(loaded.pat.begin()->first, "13900000001");
}

TEST_F(SettingsFile, APinMovesWithItsNumberAndATableWithoutPinsIsWrittenAsBefore) {
  GatewaySettings s;
  s.pat = {{"13900000002", "2"}, {"13900000003", "3"}};
  s.phoneCount = 2;
  SaveGatewaySettings(path_, s, SAVE_AUTHORISATION);
  EXPECT_EQ(Read().find("Pin"), std::string::npos);
  EXPECT_EQ(Read().find("MaxPerHour"), std::string::npos);
  const std::string before = Read();
  SaveGatewaySettings(path_, s, SAVE_AUTHORISATION);
  EXPECT_EQ(Read(), before);

  s.pins["13900000002"] = "4321";
  SaveGatewaySettings(path_, s, SAVE_AUTHORISATION);
  // A new first entry: the PIN's number moves to PAT2, and PAT1's PIN must not stay for its new number.
  s.pat["13900000001"] = "1";
  s.phoneCount = 3;
  SaveGatewaySettings(path_, s, SAVE_AUTHORISATION);
  GatewaySettings loaded;
  LoadGatewaySettings(path_, loaded);
  EXPECT_EQ(loaded.pins, (std::map<std::string, std::string>{{"13900000002", "4321"}}));
  EXPECT_EQ(loaded.maxPerHour, 0);
  EXPECT_FALSE(loaded.replyConfirm || loaded.replyRefused);
}

TEST_F(SettingsFile, GroupsWriteOnlyTheirKeysWithCrLf) {
  GatewaySettings s;
  s.port = 3;
  s.rate = 9600;
  s.delay = 0;
  s.lastClearTime = "2026-12-01 08:00:00";
  SaveGatewaySettings(path_, s, SAVE_MODEM);
  EXPECT_EQ(Read(), "[COM]\r\nPort=3\r\nRate=9600\r\n\r\n[Power]\r\nDelay=0\r\n");
  SaveGatewaySettings(path_, s, SAVE_CLEANUP);
  GatewaySettings loaded;
  LoadGatewaySettings(path_, loaded);
  EXPECT_EQ(loaded.port, 3);
  EXPECT_EQ(loaded.delay, 0);
  EXPECT_EQ(loaded.lastClearTime, "2026-12-01 08:00:00");
}

TEST_F(SettingsFile, SpeechLevelsAreReadAndAMistypedOneKeepsTheDefault) {
  GatewaySettings s;
  LoadGatewaySettings(path_, s);
  EXPECT_EQ(s.speechLoudness, -16);
  EXPECT_EQ(s.speechHighPass, 200);
  Write("[Speech]\r\nLoudness=-20.5\r\nHighPass=0\r\n");
  LoadGatewaySettings(path_, s);
  EXPECT_EQ(s.speechLoudness, -20.5);
  EXPECT_EQ(s.speechHighPass, 0) << "no filter";
  // A level that would blare or whisper, or is not a number, is not taken.
  for (const char* loudness : {"0", "-16dB", "", "-100", "nan"}) {
    Write(std::string("[Speech]\r\nLoudness=") + loudness + "\r\nHighPass=5000\r\n");
    LoadGatewaySettings(path_, s);
    EXPECT_EQ(s.speechLoudness, -16) << loudness;
    EXPECT_EQ(s.speechHighPass, 200);
  }
}

TEST(TerminalIds, TokensAsTheCLibraryReadsThem) {
  EXPECT_EQ(SplitTerminalIds("3,7,"), (std::vector<int>{3, 7}));
  EXPECT_EQ(SplitTerminalIds(",5"), (std::vector<int>{0, 5}));
  EXPECT_EQ(SplitTerminalIds("1,,2"), (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(SplitTerminalIds(""), (std::vector<int>{}));
  EXPECT_EQ(SplitTerminalIds("12abc, 4"), (std::vector<int>{12, 4}));
}

TEST(Senders, OnlyALeading86IsStripped) {
  EXPECT_EQ(WithoutCountryCode("8613900000001"), "13900000001");
  EXPECT_EQ(WithoutCountryCode("13986000000"), "13986000000");
  EXPECT_EQ(WithoutCountryCode("86"), "");
  EXPECT_EQ(WithoutCountryCode("86Shop"), "86Shop");  // a name keeps its letters
}

// Services and advertisers send under a name; none may reach the
// loudspeakers, even where every number may, or where a hand-edited table
// lists the name.
TEST(Authorisation, NamedSendersAreNeverAllowed) {
  GatewaySettings s;
  s.regular = 1;
  s.pat["InternetSMS"] = "3";
  for (const char* sender : {"InternetSMS", "sipgate", "*#abc#*51", ""}) {
    EXPECT_FALSE(Authorise(s, sender, AuthorisationStep::Arrival).allowed) << sender;
    EXPECT_FALSE(Authorise(s, sender, AuthorisationStep::Playback).allowed) << sender;
  }
  EXPECT_TRUE(Authorise(s, "10086", AuthorisationStep::Arrival).allowed);
}

}  // namespace
