#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "platform/service/service_manager.h"
#include "platform/service/systemd_unit.h"
#include "platform/service/win_error.h"

namespace {

namespace fs = std::filesystem;
using service::ServiceSettings;

class SystemdServiceManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/unit_test.XXXXXX";
    dir_ = ::mkdtemp(pattern);
    manager_ = service::MakeSystemdServiceManager(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Unit() const {
    std::ifstream in(dir_ + "/quillon.service");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  fs::path Link() const { return fs::path(dir_) / "multi-user.target.wants" / "quillon.service"; }

  std::string dir_;
  std::unique_ptr<service::ServiceManager> manager_;
};

TEST(SystemdUnitTest, ExecStartQuotesThePathForTheUnitParser) {
  EXPECT_EQ(service::ExecStartLine("Quillon", "/opt/q/bin/Quillon"), "ExecStart=\"/opt/q/bin/Quillon\" $QUILLON_OPTS");
  EXPECT_EQ(service::ExecStartLine("Quillon", "/opt/my \"sms\"/50%\\Quillon"),
            "ExecStart=\"/opt/my \\\"sms\\\"/50%%\\\\Quillon\" $QUILLON_OPTS");
  EXPECT_EQ(service::ExecStartLine("Quillon", "bin/Quillon"), std::nullopt);
  EXPECT_EQ(service::ExecStartLine("Quillon", "/opt/a\nb"), std::nullopt);
  EXPECT_EQ(service::UnitFileName("Quillon"), "quillon.service");
}

TEST_F(SystemdServiceManagerTest, CreateThenConfigureForBoot) {
  EXPECT_EQ(manager_->Connect(), 0);
  EXPECT_FALSE(manager_->Exists("Quillon"));
  ASSERT_EQ(manager_->Create("Quillon", "/opt/q 1/Quillon", {"Quillon", "", false}), 0);
  EXPECT_TRUE(manager_->Exists("Quillon"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(Link())));
  EXPECT_EQ(manager_->Create("Quillon", "/elsewhere", {"Quillon", "", false}), service::kErrorServiceExists);

  ASSERT_EQ(manager_->ChangeConfig("Quillon", {"Quillon", "短信接收和发送服务 100%", true}), 0);
  const std::string unit = Unit();
  EXPECT_EQ(unit.rfind("[Unit]\nDescription=短信接收和发送服务 100%%\n", 0), 0u) << unit;
  // The program and its options survive the change; the service never runs
  // as root, and keeps its registration store in its own state directory.
  for (const char* line : {"\nEnvironmentFile=-/etc/default/quillon\n",
                           "\nExecStart=\"/opt/q 1/Quillon\" $QUILLON_OPTS\n", "\nUser=quillon\n",
                           "\nStateDirectory=quillon\n", "\nNoNewPrivileges=yes\n", "\nWantedBy=multi-user.target\n"}) {
    EXPECT_NE(unit.find(line), std::string::npos) << line << " missing from\n" << unit;
  }
  ASSERT_TRUE(fs::is_symlink(Link()));
  EXPECT_EQ(fs::read_symlink(Link()), fs::path(dir_) / "quillon.service");

  ASSERT_EQ(manager_->ChangeConfig("Quillon", {"Quillon", "", false}), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(Link())));
  EXPECT_EQ(manager_->ChangeConfig("Other", {"Other", "", true}), service::kErrorServiceDoesNotExist);
}

TEST_F(SystemdServiceManagerTest, StopAndDeleteOutsideTheRunningManager) {
  ASSERT_EQ(manager_->Create("Quillon", "/opt/Quillon", {"Quillon", "", false}), 0);
  ASSERT_EQ(manager_->ChangeConfig("Quillon", {"Quillon", "d", true}), 0);
  EXPECT_EQ(manager_->Stop("Quillon"), service::kErrorServiceNotActive);
  ASSERT_EQ(manager_->Delete("Quillon"), 0);
  EXPECT_FALSE(manager_->Exists("Quillon"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(Link())));
  EXPECT_EQ(manager_->Delete("Quillon"), service::kErrorServiceDoesNotExist);
  EXPECT_EQ(manager_->Stop("Quillon"), service::kErrorServiceDoesNotExist);
}

TEST_F(SystemdServiceManagerTest, MissingFolderMeansNoManager) {
  auto missing = service::MakeSystemdServiceManager(dir_ + "/none");
  EXPECT_EQ(missing->Connect(), service::kErrorDatabaseDoesNotExist);
  EXPECT_FALSE(missing->Exists("Quillon"));
  ::setenv("QUILLON_UNIT_DIR", dir_.c_str(), 1);
  EXPECT_EQ(service::UnitDirectory(), dir_);
  ::unsetenv("QUILLON_UNIT_DIR");
  EXPECT_EQ(service::UnitDirectory(), "/etc/systemd/system");
}

}  // namespace
