#include "platform/service/registry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/service/win_error.h"

namespace {

using service::OpenRegistryFile;

const std::string kGuidKey = "AppID\\{9EE9FAFB-2B7D-427E-BB36-77A7D003D3FF}";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/registry_test.XXXXXX";
    dir_ = ::mkdtemp(pattern);
    path_ = dir_ + "/store/registry";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string FileText() const {
    std::ifstream in(path_);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
  }

  std::string dir_;
  std::string path_;
};

TEST_F(RegistryTest, KeysAndValuesPersistAndIgnoreCase) {
  auto writer = OpenRegistryFile(path_);
  ASSERT_EQ(writer->CreateKey(kGuidKey), 0);
  ASSERT_EQ(writer->SetValue(kGuidKey, "", "Quillon"), 0);
  ASSERT_EQ(writer->SetValue(kGuidKey, "LocalService", "Quillon"), 0);
  ASSERT_EQ(writer->SetValue(kGuidKey, "localservice", "Again"), 0);  // same value, first spelling kept

  EXPECT_EQ(FileText(),
            "# Quillon registry store: keys in [brackets], values as \"name\"=\"data\", @ = default\n"
            "\n[AppID]\n"
            "\n[AppID\\{9EE9FAFB-2B7D-427E-BB36-77A7D003D3FF}]\n"
            "@=\"Quillon\"\n"
            "\"LocalService\"=\"Again\"\n");

  auto reader = OpenRegistryFile(path_);
  std::string data;
  EXPECT_EQ(reader->OpenKey("appid"), 0);
  EXPECT_EQ(reader->QueryValue("APPID\\{9eE9FAFB-2B7D-427E-BB36-77A7D003D3FF}", "", &data), 0);
  EXPECT_EQ(data, "Quillon");
  EXPECT_EQ(reader->QueryValue(kGuidKey, "LOCALSERVICE", &data), 0);
  EXPECT_EQ(data, "Again");
}

TEST_F(RegistryTest, AnyBytesSurviveTheFile) {
  const std::string awkward = "a\"b\\c\nd\re\x01=[x]\xB6\xCC\xD0\xC5";  // GBK bytes kept as they are
  auto registry = OpenRegistryFile(path_);
  ASSERT_EQ(registry->CreateKey("K\\[odd] name"), 0);
  ASSERT_EQ(registry->SetValue("K\\[odd] name", awkward, awkward), 0);
  std::string data;
  ASSERT_EQ(OpenRegistryFile(path_)->QueryValue("K\\[odd] name", awkward, &data), 0);
  EXPECT_EQ(data, awkward);
}

TEST_F(RegistryTest, ReportsWindowsErrors) {
  auto registry = OpenRegistryFile(path_);
  std::string data = "untouched";
  EXPECT_EQ(registry->OpenKey("AppID"), service::kErrorFileNotFound);  // no file yet
  EXPECT_EQ(registry->QueryValue("AppID", "", &data), service::kErrorFileNotFound);
  EXPECT_EQ(registry->SetValue("AppID", "x", "y"), service::kErrorFileNotFound);
  EXPECT_FALSE(std::filesystem::exists(path_));
  ASSERT_EQ(registry->CreateKey("AppID"), 0);
  EXPECT_EQ(registry->QueryValue("AppID", "", &data), service::kErrorFileNotFound);
  EXPECT_EQ(registry->DeleteValue("AppID", "LocalService"), service::kErrorFileNotFound);
  EXPECT_EQ(registry->DeleteTree("AppID\\Missing"), service::kErrorFileNotFound);
  EXPECT_EQ(data, "untouched");
  for (const char* bad : {"", "\\AppID", "AppID\\", "AppID\\\\X", "App\nID"}) {
    EXPECT_EQ(registry->CreateKey(bad), service::kErrorInvalidParameter) << bad;
  }

  WriteFile(path_, "[AppID]\n\"unterminated=\"x\"\n");
  EXPECT_EQ(registry->OpenKey("AppID"), service::kErrorBadDatabase);
  EXPECT_EQ(registry->CreateKey("Other"), service::kErrorBadDatabase);
  EXPECT_EQ(FileText(), "[AppID]\n\"unterminated=\"x\"\n");  // a damaged store is left for inspection
}

TEST_F(RegistryTest, DeleteTreeTakesSubkeysOnly) {
  auto registry = OpenRegistryFile(path_);
  for (const char* key : {"AppID\\Q\\Sub\\Deeper", "AppID\\Q2", "AppID\\Q-"}) ASSERT_EQ(registry->CreateKey(key), 0);
  ASSERT_EQ(registry->DeleteTree("appid\\q"), 0);
  EXPECT_EQ(registry->OpenKey("AppID\\Q\\Sub"), service::kErrorFileNotFound);
  EXPECT_EQ(registry->OpenKey("AppID\\Q"), service::kErrorFileNotFound);
  EXPECT_EQ(registry->OpenKey("AppID\\Q2"), 0);
  EXPECT_EQ(registry->OpenKey("AppID\\Q-"), 0);
  EXPECT_EQ(registry->OpenKey("AppID"), 0);
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
  ASSERT_EQ(OpenRegistryFile(path_)->CreateKey("K"), 0);
  std::vector<std::thread> writers;
  for (int w = 0; w < 2; ++w) {
    writers.emplace_back([this, w] {
      auto registry = OpenRegistryFile(path_);
      for (int i = 0; i < 40; ++i) registry->SetValue("K", std::to_string(w) + "-" + std::to_string(i), "v");
    });
  }
  for (auto& writer : writers) writer.join();
  auto registry = OpenRegistryFile(path_);
  std::string data;
  for (int w = 0; w < 2; ++w) {
    for (int i = 0; i < 40; ++i)
      EXPECT_EQ(registry->QueryValue("K", std::to_string(w) + "-" + std::to_string(i), &data), 0);
  }
}

TEST_F(RegistryTest, ClassesRootPrefersTheUsersKeyAndWritesToTheChosenStore) {
  const std::string system = dir_ + "/system", user = dir_ + "/user";
  ::setenv("QUILLON_REGISTRY", system.c_str(), 1);
  ::setenv("QUILLON_USER_REGISTRY", user.c_str(), 1);
  EXPECT_EQ(service::SystemRegistryPath(), system);
  EXPECT_EQ(service::UserRegistryPath(), user);

  auto machine = service::OpenClassesRoot(false);
  ASSERT_EQ(machine->CreateKey(kGuidKey), 0);
  ASSERT_EQ(machine->SetValue(kGuidKey, "LocalService", "Quillon"), 0);
  std::string data;
  EXPECT_EQ(service::OpenClassesRoot(true)->QueryValue(kGuidKey, "LocalService", &data), 0);
  EXPECT_FALSE(std::filesystem::exists(user));

  // A per-user registration without the value hides the system's.
  auto perUser = service::OpenClassesRoot(true);
  ASSERT_EQ(perUser->CreateKey(kGuidKey), 0);
  EXPECT_EQ(perUser->QueryValue(kGuidKey, "LocalService", &data), service::kErrorFileNotFound);
  EXPECT_EQ(OpenRegistryFile(system)->QueryValue(kGuidKey, "LocalService", &data), 0);

  WriteFile(user, "garbage\n");
  EXPECT_EQ(machine->OpenKey(kGuidKey), service::kErrorBadDatabase);
  ::unsetenv("QUILLON_REGISTRY");
  ::unsetenv("QUILLON_USER_REGISTRY");
}

TEST(SystemRegistryPathTest, TheServicesStateDirectoryUnlessNamed) {
  ::unsetenv("QUILLON_REGISTRY");
  ::unsetenv("STATE_DIRECTORY");
  EXPECT_EQ(service::SystemRegistryPath(), "/var/lib/quillon/registry");
  ::setenv("STATE_DIRECTORY", "/var/lib/q2:/var/lib/other", 1);
  EXPECT_EQ(service::SystemRegistryPath(), "/var/lib/q2/registry");
  ::setenv("QUILLON_REGISTRY", "/tmp/named", 1);
  EXPECT_EQ(service::SystemRegistryPath(), "/tmp/named");
  ::unsetenv("QUILLON_REGISTRY");
  ::unsetenv("STATE_DIRECTORY");
}

}  // namespace
