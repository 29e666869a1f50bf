#include "smsservice/host/quillon_module.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <syslog.h>
#include <unistd.h>
#include <utility>

#include <ace/Init_ACE.h>

#include "platform/log/activity_log.h"
#include "platform/metrics/metrics_endpoint.h"
#include "platform/service/win_error.h"
#include "platform/signals/stop_signals.h"
#include "platform/systemd/service_notifier.h"
#include "smsservice/host/quillon_metrics.h"
#include "smsservice/host/status_page.h"
#include "smsservice/journal/sqlite_sms_journal.h"
#include "smsservice/modem/gsm_modem.h"
#include "smsservice/server/request_dispatch.h"
#include "smsservice/server/request_tally.h"
#include "smsservice/server/ui_proxy_server.h"

namespace {

// The longest program path a service can be installed with, and the room
// for the LocalService value; both as the original platform had them.
constexpr size_t kMaxProgramPath = 259;
constexpr size_t kMaxLocalService = 259;
constexpr size_t kMaxLogLine = 255;

// A line cut at kMaxLogLine bytes must not end in half a UTF-8 character.
void DropPartialCharacter(std::string& line) {
  size_t lead = line.size();
  while (lead > 0 && line.size() - lead < 4 && (static_cast<unsigned char>(line[lead - 1]) & 0xC0) == 0x80) --lead;
  if (lead == 0) return;
  const auto first = static_cast<unsigned char>(line[lead - 1]);
  const size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  if (line.size() - (lead - 1) < length) line.resize(lead - 1);
}

}  // namespace

CQuillonModule::CQuillonModule(HostPlatform platform, HostOptions options)
    : platform_(std::move(platform)), options_(std::move(options)) {}

std::string CQuillonModule::AppIdKey() { return std::string("AppID\\") + kAppId; }
std::string CQuillonModule::ExeKey() { return "AppID\\Quillon.EXE"; }

int CQuillonModule::WinMain(const std::vector<std::string>& args) {
  int result = 0;
  return ParseCommandLine(args, &result) ? Start() : result;
}

// The type library steps of the original framework are left out: the
// library holds no types and nothing here serves COM.
bool CQuillonModule::ParseCommandLine(const std::vector<std::string>& args, int* result) {
  const HostVerb verb = FindVerb(args);
  perUser_ = verb == HostVerb::kRegServerPerUser || verb == HostVerb::kUnregServerPerUser;
  switch (verb) {
    case HostVerb::kUnregServer:
    case HostVerb::kUnregServerPerUser: *result = UnregisterAppId(); return false;
    case HostVerb::kRegServer:
    case HostVerb::kRegServerPerUser: *result = RegisterAppId(false); return false;
    case HostVerb::kService:
      *result = RegisterAppId(true);
      if (*result == 0) *result = ConfigureService();
      return false;
    case HostVerb::kNone: break;
  }
  return true;
}

// What the registration script writes; removal takes both keys with their
// subkeys and never the AppID key itself.
long CQuillonModule::RunRegistrationScript(service::Registry& registry, bool remove) {
  if (remove) {
    for (const std::string& key : {AppIdKey(), ExeKey()}) {
      const long error = registry.DeleteTree(key);
      if (error != 0 && error != service::kErrorFileNotFound) return error;
    }
    return 0;
  }
  long error = registry.CreateKey(AppIdKey());
  if (error == 0) error = registry.SetValue(AppIdKey(), "", kServiceName);
  if (error == 0) error = registry.CreateKey(ExeKey());
  if (error == 0) error = registry.SetValue(ExeKey(), "AppID", kAppId);
  return error;
}

int CQuillonModule::RegisterAppId(bool asService) {
  if (!Uninstall()) return kVerbFailed;
  auto registry = platform_.classesRoot(perUser_);
  long error = RunRegistrationScript(*registry, false);
  if (error == 0) error = registry->OpenKey("AppID");
  if (error == 0) error = registry->OpenKey(AppIdKey());
  if (error != 0) return static_cast<int>(error);
  error = registry->DeleteValue(AppIdKey(), "LocalService");
  if (error != 0 && error != service::kErrorFileNotFound) return static_cast<int>(error);
  if (!asService) return 0;
  error = registry->SetValue(AppIdKey(), "LocalService", kServiceName);
  if (error != 0) return static_cast<int>(error);
  return Install() ? 0 : kVerbFailed;
}

int CQuillonModule::UnregisterAppId() {
  if (!Uninstall()) return kVerbFailed;
  auto registry = platform_.classesRoot(perUser_);
  long error = registry->OpenKey("AppID");
  if (error == 0) error = registry->OpenKey(AppIdKey());
  if (error != 0) return static_cast<int>(error);
  error = registry->DeleteValue(AppIdKey(), "LocalService");
  if (error != 0 && error != service::kErrorFileNotFound) return static_cast<int>(error);
  return static_cast<int>(RunRegistrationScript(*registry, true));
}

// Installed services start on demand; this makes ours start at boot and
// gives it its description.
int CQuillonModule::ConfigureService() {
  const long error = platform_.services->ChangeConfig(kServiceName, {kServiceName, kDescription, true});
  if (error == 0) return 0;
  MessageBox("Could not configure service");
  return static_cast<int>(error);
}

bool CQuillonModule::Install() {
  service::ServiceManager& services = *platform_.services;
  if (services.Exists(kServiceName)) return true;
  const std::string path = platform_.programPath();
  if (path.empty() || path.size() > kMaxProgramPath) return false;
  if (services.Connect() != 0) {
    MessageBox("Could not open Service Manager");
    return false;
  }
  if (services.Create(kServiceName, path, {kServiceName, "", false}) != 0) {
    MessageBox("Could not start service");
    return false;
  }
  return true;
}

bool CQuillonModule::Uninstall() {
  service::ServiceManager& services = *platform_.services;
  if (!services.Exists(kServiceName)) return true;
  if (services.Connect() != 0) {
    MessageBox("Could not open Service Manager");
    return false;
  }
  const long stopped = services.Stop(kServiceName);
  if (stopped != 0 && stopped != service::kErrorServiceNotActive) MessageBox("Could not stop service");
  // Removed even when it would not stop: it goes once it ends.
  if (services.Delete(kServiceName) != 0) {
    MessageBox("Could not delete service");
    return false;
  }
  return true;
}

int CQuillonModule::Start() {
  auto registry = platform_.classesRoot(false);
  long error = registry->OpenKey("AppID");
  if (error == 0) error = registry->OpenKey(AppIdKey());
  if (error != 0) {
    std::fprintf(stderr, "%s: not registered (error %ld); register with -RegServer or -Service\n", kServiceName, error);
    return static_cast<int>(error);
  }
  std::string localService;
  serviceMode_ =
      registry->QueryValue(AppIdKey(), "LocalService", &localService) == 0 && localService.size() <= kMaxLocalService;
  if (!serviceMode_) {
    exitCode_ = Run();
    return exitCode_;
  }
  error = platform_.dispatcher([this] { ServiceMain(); });
  if (error != 0) {
    std::fprintf(stderr, "%s: registered as a service; start it with the service manager (error %ld)\n", kServiceName,
                 error);
    exitCode_ = static_cast<int>(error);
  }
  return exitCode_;
}

void CQuillonModule::ServiceMain() {
  // The stop control is SIGTERM, taken by Run's loop, so there is no
  // handler to register.
  SetServiceStatus(kServiceStartPending);
  exitCode_ = Run();
  SetServiceStatus(kServiceStopped);
  LogEvent("Service stopped");
}

int CQuillonModule::Run() {
  stop_signals::Block();  // before the request server starts its threads
  // The events of the work itself: on the terminal when run from a shell,
  // in the journal with their priorities as a service.
  if (serviceMode_) activity_log::ToSyslog(kServiceName);
  else activity_log::ToStandardOutput();
  ACE::init();
  // The composition root: the process's one modem and request server are
  // taken here, once, and everything below is handed what it needs.
  CGsmMorden& modem = *CGsmMorden::Instance();
  CUiProxySvr* server = CUiProxySvr::Instance();
  std::unique_ptr<SqliteSmsJournal> journal;
  if (!options_.noJournal) {
    journal = OpenJournal();
    if (!journal) return 1;
    modem.KeepJournal(*journal);
  }
  modem.KeepStoredMessages(options_.keepStored);
  modem.UseIndications(options_.indications);
  std::unique_ptr<metrics::Endpoint> metricsEndpoint = StartMetrics(modem);
  DriverAccess requests(modem);
  server->SetModem(requests, SystemClock());
  server->SetListenAddress(options_.listenAddress, options_.port);
  if (server->Open() != 0) {
    LogEvent("服务启动失败！");
    return 1;
  }
  activity_log::Log(LOG_INFO, "%s started, listening on %s:%u", kServiceName, options_.listenAddress.c_str(),
                    static_cast<unsigned>(options_.port));
  // systemd (Type=notify) counts the service up once clients can connect.
  service_notifier::Status("listening; the modem opens when a client names its port");
  service_notifier::Ready();
  if (serviceMode_) {
    LogEvent("Service started");
    SetServiceStatus(kServiceRunning);
  }
  const int result = RunMessageLoop();
  service_notifier::Stopping();
  server->Close();
  // The port is released here rather than left to the end of the process.
  modem.Shutdown();
  activity_log::Log(LOG_INFO, "%s stopped", kServiceName);
  ACE::fini();
  return result;
}

// Off unless asked for; a metrics port that cannot be had is said, and
// the SMS work goes on without it.
std::unique_ptr<metrics::Endpoint> CQuillonModule::StartMetrics(CGsmMorden& modem) {
  if (options_.metrics.empty()) return nullptr;
  std::string error;
  std::unique_ptr<metrics::Endpoint> endpoint = metrics::Endpoint::Start(options_.metrics, error);
  if (!endpoint) {
    activity_log::Log(LOG_ERR, "metrics not served: %s", error.c_str());
    return nullptr;
  }
  endpoint->Add(std::make_shared<QuillonMetrics>(modem, Requests()));
  endpoint->ServePage(
      [&modem] { return QuillonStatusPage(modem.Report(), modem.RecentTraffic(), std::time(nullptr)); });
  activity_log::Log(LOG_INFO, "metrics on http://%s/metrics, status page on http://%s/", options_.metrics.c_str(),
                    options_.metrics.c_str());
  return endpoint;
}

std::unique_ptr<SqliteSmsJournal> CQuillonModule::OpenJournal() {
  const std::string path = options_.stateDir + "/" + kJournalFile;
  std::string why;
  try {
    std::error_code ignored;  // a folder that cannot be made shows as a journal that cannot be opened
    std::filesystem::create_directories(options_.stateDir, ignored);
    // Two services on one journal would hand every message out twice.
    journalLock_ = ::open((options_.stateDir + "/quillon.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (journalLock_ < 0) throw journal::JournalError(std::strerror(errno));
    if (::flock(journalLock_, LOCK_EX | LOCK_NB) != 0)
      throw journal::JournalError("another Quillon is running with this journal");
    journal::OpenReport report;
    auto journal = std::make_unique<SqliteSmsJournal>(path, SystemClock(), &report);
    if (!report.movedTo.empty())
      activity_log::Log(LOG_ERR, "the journal %s could not be read (%s); moved aside to %s, a new one started",
                        path.c_str(), report.damage.c_str(), report.movedTo.c_str());
    return journal;
  } catch (const journal::JournalError& error) {
    why = error.what();
  }
  LogEvent("服务启动失败！");
  std::fprintf(stderr,
               "%s: cannot keep the journal %s: %s (choose a folder it can write with --state-dir or "
               "QUILLON_STATE_DIR)\n",
               kServiceName, path.c_str(), why.c_str());
  return nullptr;
}

int CQuillonModule::RunMessageLoop() {
  while (!quitPosted_) {
    stop_signals::Wait();
    if (serviceMode_) {
      ServiceHandler(kControlStop);
    } else {
      quitPosted_ = true;
    }
  }
  return 0;
}

void CQuillonModule::ServiceHandler(unsigned long control) {
  switch (control) {
    case kControlStop:
      SetServiceStatus(kServiceStopPending);
      quitPosted_ = true;
      break;
    case 2:  // pause
    case 3:  // continue
    case 4:  // interrogate
    case 5:  // shutdown: the process simply ends with the system
      break;
    default: LogEvent("Bad service request");
  }
}

void CQuillonModule::LogEvent(const char* format, ...) {
  char buffer[kMaxLogLine + 1];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  std::string line(buffer);
  if (length > static_cast<int>(kMaxLogLine)) DropPartialCharacter(line);
  if (!serviceMode_) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
  platform_.eventLog->Report(kServiceName, line);
}

void CQuillonModule::MessageBox(const char* text) { platform_.messageBox(kServiceName, text); }
