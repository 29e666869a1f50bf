// The program's module: the registration verbs, installing and removing the
// service, the hand-over to the service manager, and the run that keeps the
// request server open until a stop request.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/metrics/metrics_endpoint.h"
#include "smsservice/host/command_line.h"
#include "smsservice/host/host_platform.h"
#include "smsservice/journal/sqlite_sms_journal.h"
#include "smsservice/modem/gsm_modem.h"

class CQuillonModule {
 public:
  static constexpr const char* kServiceName = "Quillon";
  static constexpr const char* kAppId = "{9EE9FAFB-2B7D-427E-BB36-77A7D003D3FF}";
  static constexpr const char* kDescription = "短信接收和发送服务";
  // In the state folder; what the rings hold outlives the process there.
  static constexpr const char* kJournalFile = "quillon.db";
  // A verb's result other than a registry or service manager error code.
  static constexpr int kVerbFailed = 1;

  // Service states and the one control this service accepts.
  static constexpr int kServiceStopped = 1;
  static constexpr int kServiceStartPending = 2;
  static constexpr int kServiceStopPending = 3;
  static constexpr int kServiceRunning = 4;
  static constexpr unsigned long kControlStop = 1;

  CQuillonModule(HostPlatform platform, HostOptions options);
  CQuillonModule(const CQuillonModule&) = delete;
  CQuillonModule& operator=(const CQuillonModule&) = delete;

  // The program: a verb's result when `args` name one, else Start's.
  int WinMain(const std::vector<std::string>& args);
  // false when a verb was handled, its result in *result; true when the
  // program should start.
  bool ParseCommandLine(const std::vector<std::string>& args, int* result);

  // 0, a registry error code, or kVerbFailed when the service could not be
  // removed or installed.
  int RegisterAppId(bool asService);
  int UnregisterAppId();
  // Both show a message box on failure (except for an unusable program path).
  bool Install();
  bool Uninstall();

  // Reads the registration and runs as a service or a program; the exit code.
  int Start();
  void ServiceMain();
  // 0 after a stop request, 1 when the request server could not open.
  int Run();
  void ServiceHandler(unsigned long control);
  // At most 255 bytes; also on standard output in program mode.
  void LogEvent(const char* format, ...) __attribute__((format(printf, 2, 3)));

  bool service_mode() const { return serviceMode_; }
  int service_state() const { return serviceState_; }

 private:
  static std::string AppIdKey();
  static std::string ExeKey();
  long RunRegistrationScript(service::Registry& registry, bool remove);
  int ConfigureService();
  int RunMessageLoop();
  // Null, with the reason logged, when the state folder cannot be written.
  std::unique_ptr<SqliteSmsJournal> OpenJournal();
  std::unique_ptr<metrics::Endpoint> StartMetrics(CGsmMorden& modem);
  void SetServiceStatus(int state) { serviceState_ = state; }
  void MessageBox(const char* text);

  HostPlatform platform_;
  HostOptions options_;
  bool perUser_ = false;  // the per-user verbs change the user's classes root
  bool serviceMode_ = true;
  std::atomic<int> serviceState_{kServiceStopped};
  int exitCode_ = 0;
  std::atomic<bool> quitPosted_{false};
  int journalLock_ = -1;  // held, with the process, while the journal is in use
};
