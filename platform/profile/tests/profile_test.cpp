#include "platform/profile/profile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace profile {
namespace {

namespace fs = std::filesystem;

// GBK for 大面积 and 离线.
const std::string kBigArea = "\xB4\xF3\xC3\xE6\xBB\xFD";
const std::string kOffline = "\xC0\xEB\xCF\xDF";

class ProfileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("profile_test_" + std::to_string(::getpid()) + "_" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "Vigimon.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteRaw(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string ReadRaw() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string Get(const std::string& section, const std::string& key, std::size_t size = 260) {
    return GetPrivateProfileString(section, key, "<default>", size, path_);
  }
  int GetInt(const std::string& key, int defaultValue = 77) {
    return static_cast<int>(GetPrivateProfileInt("N", key, defaultValue, path_));
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(ProfileTest, ReadsGbkValuesByteForByte) {
  WriteRaw("[TotalArea]\r\nName=" + kBigArea + "\r\nContacts1 = " + kOffline +
           " \r\n"
           "[Area1]\r\nName=\"" +
           kOffline + "\"\r\n");
  EXPECT_EQ(Get("TotalArea", "Name"), kBigArea);
  EXPECT_EQ(Get("TotalArea", "Contacts1"), kOffline);
  EXPECT_EQ(Get("Area1", "Name"), kOffline);
}

TEST_F(ProfileTest, NamesAreCaseInsensitiveAndBlanksTrimmed) {
  WriteRaw("  [ SendSMTime ]\r\n\t name1 =  morning report \t\r\n");
  EXPECT_EQ(Get("sendsmtime", "NAME1"), "morning report");
  EXPECT_EQ(Get(" SENDSMTIME ", " Name1 "), "morning report");
  EXPECT_EQ(Get("SendSMTime", "Name2"), "<default>");
  EXPECT_EQ(Get("Other", "Name1"), "<default>");
}

TEST_F(ProfileTest, DropsOnePairOfMatchingQuotes) {
  WriteRaw("[Q]\na=\"x y\"\nb='z'\nc=\"\"\"\"\nd=\"open\ne='mixed\"\nf=\"\ng=\"in\"side\"\n");
  EXPECT_EQ(Get("Q", "a"), "x y");
  EXPECT_EQ(Get("Q", "b"), "z");
  EXPECT_EQ(Get("Q", "c"), "\"\"");
  EXPECT_EQ(Get("Q", "d"), "\"open");
  EXPECT_EQ(Get("Q", "e"), "'mixed\"");
  EXPECT_EQ(Get("Q", "f"), "\"");
  EXPECT_EQ(Get("Q", "g"), "in\"side");
}

TEST_F(ProfileTest, BufferSizeCutsValueAndDefault) {
  WriteRaw("[S]\r\nSMCenter=8613800100500\r\nName=" + kBigArea + "\r\n");
  EXPECT_EQ(Get("S", "SMCenter", 6), "86138");
  EXPECT_EQ(Get("S", "SMCenter", 1), "");
  EXPECT_EQ(Get("S", "SMCenter", 0), "");
  // A cut inside a double-byte character keeps the lead byte, as a byte buffer does.
  EXPECT_EQ(Get("S", "Name", 4), kBigArea.substr(0, 3));
  EXPECT_EQ(GetPrivateProfileString("S", "Missing", "127.0.0.1  ", 260, path_), "127.0.0.1");
  EXPECT_EQ(GetPrivateProfileString("S", "Missing", "127.0.0.1", 4, path_), "127");

  std::string out = "stale";
  EXPECT_EQ(GetPrivateProfileString("S", "SMCenter", "", out, 260, path_), 13U);
  EXPECT_EQ(out, "8613800100500");
  EXPECT_EQ(GetPrivateProfileString("S", "Missing", "", out, 260, path_), 0U);
  EXPECT_EQ(out, "");
}

TEST_F(ProfileTest, IntegersFollowTheSystemRoutine) {
  WriteRaw("[N]\r\na=12abc\r\nb=-5\r\nc=abc\r\nd=\r\ne=\"42\"\r\nf=+7\r\ng=4294967297\r\nh= 19200 \r\n");
  EXPECT_EQ(GetInt("a"), 12);
  EXPECT_EQ(GetInt("b"), -5);
  EXPECT_EQ(GetPrivateProfileInt("N", "b", 0, path_), 4294967291U);
  EXPECT_EQ(GetInt("c"), 0);
  EXPECT_EQ(GetInt("d"), 77);  // empty counts as missing
  EXPECT_EQ(GetInt("e"), 42);
  EXPECT_EQ(GetInt("f"), 7);
  EXPECT_EQ(GetInt("g"), 1);  // wraps modulo 2^32
  EXPECT_EQ(GetInt("h"), 19200);
  EXPECT_EQ(GetInt("missing", -1), -1);
  EXPECT_EQ(static_cast<int>(GetPrivateProfileInt("N", "a", 5, (dir_ / "none.ini").string())), 5);
}

// The edits themselves are covered on the text model; this checks they reach
// the file, the nullopt forms included.
TEST_F(ProfileTest, WritesThroughToFile) {
  WriteRaw("; by hand\n[Area1]\nID=3\n\n[Area2]\nID=4\n");
  ASSERT_TRUE(WritePrivateProfileString("TotalArea", "Name", kBigArea, path_));
  ASSERT_TRUE(WritePrivateProfileString("area1", "NAME", kOffline, path_));
  ASSERT_TRUE(WritePrivateProfileString("Area1", "id", std::nullopt, path_));
  ASSERT_TRUE(WritePrivateProfileString("AREA2", std::nullopt, std::nullopt, path_));
  EXPECT_EQ(ReadRaw(), "; by hand\n[Area1]\nNAME=" + kOffline + "\r\n\n[TotalArea]\r\nName=" + kBigArea + "\r\n");
  EXPECT_EQ(GetPrivateProfileSectionNames(path_), (std::vector<std::string>{"Area1", "TotalArea"}));
}

TEST_F(ProfileTest, DeletingWhatIsMissingLeavesNoFile) {
  EXPECT_TRUE(WritePrivateProfileString("A", "k", std::nullopt, path_));
  EXPECT_TRUE(WritePrivateProfileString("A", std::nullopt, std::nullopt, path_));
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(ProfileTest, SeesChangesMadeByAnotherWriter) {
  WriteRaw("[SMS]\r\nCOM=1\r\n");
  EXPECT_EQ(Get("SMS", "COM"), "1");
  WriteRaw("[SMS]\r\nCOM=2\r\n");
  EXPECT_EQ(Get("SMS", "COM"), "2");
  ASSERT_TRUE(WritePrivateProfileString("SMS", "Baudrate", "9600", path_));
  EXPECT_EQ(ReadRaw(), "[SMS]\r\nCOM=2\r\nBaudrate=9600\r\n");
}

TEST_F(ProfileTest, ReplacesFileByRenameLeavingNoTemporary) {
  WriteRaw("[SMS]\r\nCOM=1\r\n");
  ::chmod(path_.c_str(), 0640);
  struct stat before {};
  ASSERT_EQ(::stat(path_.c_str(), &before), 0);
  ASSERT_TRUE(WritePrivateProfileString("SMS", "COM", "2", path_));
  struct stat after {};
  ASSERT_EQ(::stat(path_.c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640U);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ProfileTest, RefusesWritesItCannotDoSafely) {
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", (dir_ / "no_dir" / "x.ini").string()));
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "line1\r\nline2", path_));
  EXPECT_FALSE(WritePrivateProfileString("S", "k\n", "v", path_));
  EXPECT_FALSE(fs::exists(path_));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 0);
}

TEST_F(ProfileTest, ConcurrentWritersInOneProcessLoseNothing) {
  constexpr int kPerThread = 20;
  auto writer = [this](const std::string& prefix) {
    for (int i = 0; i < kPerThread; ++i) {
      WritePrivateProfileString("Contacts", prefix + std::to_string(i), std::to_string(i), path_);
    }
  };
  std::thread first(writer, "Contacts");
  std::thread second(writer, "PhoneNum");
  first.join();
  second.join();
  for (int i = 0; i < kPerThread; ++i) {
    EXPECT_EQ(GetPrivateProfileInt("Contacts", "Contacts" + std::to_string(i), -1, path_), unsigned(i));
    EXPECT_EQ(GetPrivateProfileInt("Contacts", "PhoneNum" + std::to_string(i), -1, path_), unsigned(i));
  }
}

}  // namespace
}  // namespace profile
