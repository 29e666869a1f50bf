// The modem status the gateway shows, from its agent's flags. The first time
// the modem is seen ready, the port and rate the service confirmed replace
// the settings' and are saved.
#pragma once

#include <string>

#include "common/modem_agent_control.h"
#include "gateway/gateway_settings.h"

class ModemStatus {
 public:
  // "短信猫未连接", what the pane shows before the first update.
  static const std::string& InitialText();

  ModemStatus(GatewaySettings& settings, std::string settingsPath)
      : settings_(settings), settingsPath_(std::move(settingsPath)) {}

  // Updates and returns the status text (GBK): "短信猫未连接",
  // "短信猫正在连接..." or "短信猫已连接". `agent` may be null.
  const std::string& Update(ModemAgentView* agent);
  const std::string& Text() const { return text_; }
  bool ShownConnected() const { return shownConnected_; }

 private:
  GatewaySettings& settings_;
  std::string settingsPath_;
  std::string text_ = InitialText();
  bool shownConnected_ = false;
};
