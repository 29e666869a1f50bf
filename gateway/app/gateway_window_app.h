// The windowed gateway put together: the core, the window's logic and the
// window, with the dialogs it is given (the real ones, or a test's).
#pragma once

#include <memory>

#include "gateway/app/gateway_core.h"
#include "gateway/dialogs/gateway_dialogs.h"
#include "gateway/pipeline/heraldo_window_logic.h"
#include "gateway/window/heraldo_main_window.h"

class GatewayWindowApp {
 public:
  // Needs a QApplication. On failure `failure` says which step failed and
  // nothing is returned. The dialogs must outlive the app.
  static std::unique_ptr<GatewayWindowApp> Start(const GatewayProcess& process, ui::MessageBoxPort& messages,
                                                 GatewayDialogs& dialogs, TextBroadcastDialog& textDialog,
                                                 GatewayStartFailure& failure);
  ~GatewayWindowApp();

  GatewayCore& core() { return *core_; }
  HeraldoWindowLogic& logic() { return *logic_; }
  HeraldoMainWindow& window() { return *window_; }

 private:
  GatewayWindowApp() = default;

  std::unique_ptr<GatewayCore> core_;
  std::unique_ptr<HeraldoWindowLogic> logic_;
  std::unique_ptr<HeraldoMainWindow> window_;
};
