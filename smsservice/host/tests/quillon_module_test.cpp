#include "smsservice/host/quillon_module.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/service/registry.h"
#include "platform/service/win_error.h"

namespace {

const std::string kGuidKey = "AppID\\{9EE9FAFB-2B7D-427E-BB36-77A7D003D3FF}";
const std::string kExeKey = "AppID\\Quillon.EXE";

// Records what the host asks of the service manager; each call can be made
// to fail.
struct FakeServices : service::ServiceManager {
  long Connect() override { return connectError; }
  bool Exists(const std::string&) override { return installed; }
  long Create(const std::string& name, const std::string& path, const service::ServiceSettings& settings) override {
    calls.push_back("Create " + name + " " + path + (settings.startAtBoot ? " boot" : " demand"));
    installed = true;
    return 0;
  }
  long ChangeConfig(const std::string& name, const service::ServiceSettings& settings) override {
    calls.push_back("ChangeConfig " + name + " " + settings.description + (settings.startAtBoot ? " boot" : " demand"));
    return 0;
  }
  long Stop(const std::string& name) override {
    calls.push_back("Stop " + name);
    return stopError;
  }
  long Delete(const std::string& name) override {
    calls.push_back("Delete " + name);
    if (deleteError == 0) installed = false;
    return deleteError;
  }

  bool installed = false;
  long connectError = 0;
  long stopError = service::kErrorServiceNotActive;
  long deleteError = 0;
  std::vector<std::string> calls;
};

struct FakeLog : service::EventLog {
  void Report(const std::string& source, const std::string& line) override { lines.push_back(source + ": " + line); }
  std::vector<std::string> lines;
};

class QuillonModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillon_module_test.XXXXXX";
    dir_ = ::mkdtemp(pattern);
    ::setenv("QUILLON_REGISTRY", (dir_ + "/system").c_str(), 1);
    ::setenv("QUILLON_USER_REGISTRY", (dir_ + "/user").c_str(), 1);

    HostPlatform platform;
    platform.classesRoot = [](bool perUser) { return service::OpenClassesRoot(perUser); };
    auto services = std::make_unique<FakeServices>();
    services_ = services.get();
    platform.services = std::move(services);
    auto log = std::make_unique<FakeLog>();
    log_ = log.get();
    platform.eventLog = std::move(log);
    platform.messageBox = [this](const std::string& caption, const std::string& text) {
      boxes_.push_back(caption + ": " + text);
    };
    platform.dispatcher = [this](const std::function<void()>&) { return dispatchError_; };
    platform.programPath = [this] { return programPath_; };
    module_ = std::make_unique<CQuillonModule>(std::move(platform), HostOptions{});
  }
  void TearDown() override {
    ::unsetenv("QUILLON_REGISTRY");
    ::unsetenv("QUILLON_USER_REGISTRY");
    std::filesystem::remove_all(dir_);
  }

  // The value in the named store, or "<missing>".
  std::string Value(const std::string& store, const std::string& key, const std::string& name) {
    std::string data;
    return service::OpenRegistryFile(dir_ + "/" + store)->QueryValue(key, name, &data) == 0 ? data : "<missing>";
  }

  std::string dir_;
  FakeServices* services_ = nullptr;
  FakeLog* log_ = nullptr;
  std::vector<std::string> boxes_;
  long dispatchError_ = service::kErrorFailedServiceControllerConnect;
  std::string programPath_ = "/opt/quillon/Quillon";
  std::unique_ptr<CQuillonModule> module_;
};

TEST_F(QuillonModuleTest, ServiceVerbInstallsForBootAndStartHandsOverToTheManager) {
  EXPECT_EQ(module_->WinMain({"-SERVICE"}), 0);
  EXPECT_EQ(services_->calls, (std::vector<std::string>{"Create Quillon /opt/quillon/Quillon demand",
                                                        "ChangeConfig Quillon 短信接收和发送服务 boot"}));
  EXPECT_EQ(Value("system", kGuidKey, ""), "Quillon");
  EXPECT_EQ(Value("system", kGuidKey, "LocalService"), "Quillon");
  EXPECT_EQ(Value("system", kExeKey, "AppID"), "{9EE9FAFB-2B7D-427E-BB36-77A7D003D3FF}");
  EXPECT_TRUE(boxes_.empty());

  EXPECT_EQ(module_->Start(), service::kErrorFailedServiceControllerConnect);
  EXPECT_TRUE(module_->service_mode());
}

TEST_F(QuillonModuleTest, RegServerRemovesTheServiceAndLeavesAPlainProgram) {
  ASSERT_EQ(module_->WinMain({"/Service"}), 0);
  services_->calls.clear();
  services_->stopError = service::kErrorServiceRequestTimeout;  // reported, yet the service goes

  EXPECT_EQ(module_->WinMain({"/regserver"}), 0);
  EXPECT_EQ(services_->calls, (std::vector<std::string>{"Stop Quillon", "Delete Quillon"}));
  EXPECT_EQ(boxes_, std::vector<std::string>{"Quillon: Could not stop service"});
  EXPECT_FALSE(services_->installed);
  EXPECT_EQ(Value("system", kGuidKey, "LocalService"), "<missing>");
  EXPECT_EQ(Value("system", kGuidKey, ""), "Quillon");
}

TEST_F(QuillonModuleTest, FailedServiceStepsFailTheVerbAndKeepTheRegistration) {
  programPath_ = "/" + std::string(259, 'p');  // longer than a service path may be: no box
  EXPECT_EQ(module_->WinMain({"-Service"}), CQuillonModule::kVerbFailed);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(services_->calls.empty());

  programPath_ = "/opt/quillon/Quillon";
  services_->connectError = service::kErrorAccessDenied;
  EXPECT_EQ(module_->WinMain({"-Service"}), CQuillonModule::kVerbFailed);
  EXPECT_EQ(boxes_, std::vector<std::string>{"Quillon: Could not open Service Manager"});

  services_->connectError = 0;
  ASSERT_EQ(module_->WinMain({"-Service"}), 0);
  boxes_.clear();
  services_->deleteError = service::kErrorAccessDenied;
  EXPECT_EQ(module_->WinMain({"-UnregServer"}), CQuillonModule::kVerbFailed);
  EXPECT_EQ(boxes_, std::vector<std::string>{"Quillon: Could not delete service"});
  EXPECT_EQ(Value("system", kGuidKey, "LocalService"), "Quillon");
}

TEST_F(QuillonModuleTest, UnregisterRemovesBothKeysButNotAppId) {
  EXPECT_EQ(module_->WinMain({"-UnregServer"}), service::kErrorFileNotFound);  // nothing registered
  ASSERT_EQ(module_->WinMain({"-Service"}), 0);
  ASSERT_EQ(service::OpenRegistryFile(dir_ + "/system")->CreateKey(kGuidKey + "\\Extra"), 0);
  EXPECT_EQ(module_->WinMain({"-UnregServer"}), 0);
  EXPECT_FALSE(services_->installed);
  auto system = service::OpenRegistryFile(dir_ + "/system");
  EXPECT_EQ(system->OpenKey(kGuidKey), service::kErrorFileNotFound);
  EXPECT_EQ(system->OpenKey(kExeKey), service::kErrorFileNotFound);
  EXPECT_EQ(system->OpenKey("AppID"), 0);
  EXPECT_EQ(module_->Start(), service::kErrorFileNotFound);
}

TEST_F(QuillonModuleTest, PerUserVerbsChangeOnlyTheUsersStore) {
  ASSERT_EQ(module_->WinMain({"-RegServerPerUser"}), 0);
  EXPECT_EQ(Value("user", kExeKey, "AppID"), "{9EE9FAFB-2B7D-427E-BB36-77A7D003D3FF}");
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/system"));
  EXPECT_EQ(module_->WinMain({"-UnregServerPerUser"}), 0);
  EXPECT_EQ(Value("user", kGuidKey, ""), "<missing>");
}

TEST_F(QuillonModuleTest, LogLinesAreCutAt255BytesOnACharacterBoundary) {
  module_->LogEvent("%s", std::string(300, 'x').c_str());
  module_->LogEvent("%s%s", std::string(253, 'x').c_str(), "服务");  // 253 + 3 bytes would cut "服"
  module_->ServiceHandler(129);
  ASSERT_EQ(log_->lines.size(), 3u);
  EXPECT_EQ(log_->lines[0], "Quillon: " + std::string(255, 'x'));
  EXPECT_EQ(log_->lines[1], "Quillon: " + std::string(253, 'x'));
  EXPECT_EQ(log_->lines[2], "Quillon: Bad service request");
}

}  // namespace
