#include "gateway/app/gateway_window_app.h"

#include "gateway/broadcast/session_mgr.h"
#include "platform/ui/qt/qt_apartment.h"

std::unique_ptr<GatewayWindowApp> GatewayWindowApp::Start(const GatewayProcess& process, ui::MessageBoxPort& messages,
                                                          GatewayDialogs& dialogs, TextBroadcastDialog& textDialog,
                                                          GatewayStartFailure& failure) {
  std::unique_ptr<GatewayWindowApp> app(new GatewayWindowApp);
  app->core_ = GatewayCore::Start(process, messages, textDialog, failure);
  if (!app->core_) return nullptr;
  GatewayCore& core = *app->core_;
  // The agent is made in poll mode and left unconnected: the operator
  // chooses "连接".
  app->logic_ =
      std::make_unique<HeraldoWindowLogic>(core.settings, core.settingsPath, core.serverSettingsPath,
                                           core.serverSettings, *core.view, core.agentPort.get(), dialogs, messages);
  app->window_ = std::make_unique<HeraldoMainWindow>(
      *core.view, *app->logic_, [&core] { core.sessions.ProcessFinished(); }, [&core] { core.sessions.RemoveAll(); });
  // The platform's file-end events arrive through the Qt event loop.
  DrainApartmentFromQt(app->window_.get());
  return app;
}

GatewayWindowApp::~GatewayWindowApp() {
  window_.reset();
  logic_.reset();
  core_.reset();
}
