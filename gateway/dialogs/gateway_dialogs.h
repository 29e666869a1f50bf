// The operator's settings dialogs as the main window opens them: each takes
// the current values and answers the confirmed ones, or nothing when the
// operator cancels. The window plugs in its modal dialogs; tests plug in
// fakes. Texts are GBK, as everywhere inside the gateway.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "gateway/gateway_settings.h"

// "通讯设置": what the caller shows and reads back as text.
struct CommSettingsValues {
  std::string port = "COM1";  // "COM1" .. "COM8"
  std::string rate = "19200";
  std::string serverAddress = "127.0.0.1";
  int32_t delay = 0;  // seconds of lead-in, 0 .. 99999
  // "短信回复": what senders are told, through which SMS centre.
  bool replyConfirm = false;
  bool replyRefused = false;
  std::string replyCentre;
};

// "号码规则设置": the authorisation table and the rule.
struct AuthorisationValues {
  PatTable table;
  int32_t regular = 1;
  std::map<std::string, std::string> pins;  // number -> PIN
  int32_t maxPerHour = 0;
};

// "文件清理设置": the last clean-up is shown only.
struct CleanupValues {
  std::string lastClearTime;  // "%Y-%m-%d %H:%M:%S\n"
  uint32_t interDay = 1;
  uint32_t deadLineDay = 1;
};

class GatewayDialogs {
 public:
  virtual ~GatewayDialogs() = default;
  virtual std::optional<CommSettingsValues> AskCommSettings(const CommSettingsValues& current) = 0;
  virtual std::optional<AuthorisationValues> AskAuthorisation(const AuthorisationValues& current) = 0;
  virtual std::optional<CleanupValues> AskCleanup(const CleanupValues& current) = 0;
};

// No operator at hand (the headless gateway): every dialog is cancelled.
class NoGatewayDialogs final : public GatewayDialogs {
 public:
  std::optional<CommSettingsValues> AskCommSettings(const CommSettingsValues&) override { return std::nullopt; }
  std::optional<AuthorisationValues> AskAuthorisation(const AuthorisationValues&) override { return std::nullopt; }
  std::optional<CleanupValues> AskCleanup(const CleanupValues&) override { return std::nullopt; }
};
