#include "gateway/app/windowed_gateway.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>

#include "gateway/app/gateway_metrics.h"
#include "gateway/app/gateway_window_app.h"
#include "gateway/app/speech_preview.h"
#include "gateway/dialogs/qt/qt_gateway_dialogs.h"
#include "gateway/dialogs/qt/text_broadcast_dialog.h"
#include "gateway/dialogs/term_list_source.h"
#include "platform/codepage/codepage.h"
#include "platform/signals/stop_signals.h"
#include "platform/ui/qt/qt_message_box.h"
#include "platform/ui/qt/qt_translations.h"
#include "platform/ui/qt/single_instance.h"
#include "platform/ui/qt/stop_signal_close.h"

int RunWindowedGateway(int argc, char** argv, const std::string& metricsAddress) {
  stop_signals::Block();  // before Qt and the agent start their threads
  QApplication application(argc, argv);
  InstallChineseQtTranslation(application);

  SingleInstance instance(QStringLiteral("Heraldo"));
  if (instance.AnotherIsRunning()) return 0;

  QtMessageBox messageBox;
  GatewayProcess process = TakeGatewayProcess();
  ServerTermListSource terminals(process.server);
  QtGatewayDialogs dialogs(nullptr, terminals, messageBox);
  QtTextBroadcastDialog textDialog(nullptr, messageBox);
  GatewayStartFailure failure;
  std::unique_ptr<GatewayWindowApp> gateway =
      GatewayWindowApp::Start(process, messageBox, dialogs, textDialog, failure);
  if (!gateway) {
    messageBox.Show(codepage::Utf8ToGbk(GatewayStartFailureText(failure)), HERALDO_TITLE, ui::MessageIcon::Warning,
                    ui::MB_OK);
    return 1;
  }
  HeraldoMainWindow& window = gateway->window();
  messageBox.SetParent(&window);
  dialogs.SetParent(&window);
  textDialog.SetParent(&window);
  SpeechPreview preview(gateway->core().settings, gateway->core().view->TempDirectory());
  textDialog.SetPreview(&preview);
  instance.OnShowRequested([&window] { window.BringForward(); });

  CloseOnStopSignals closeOnStop(window);
  GatewayCore& core = gateway->core();
  std::unique_ptr<metrics::Endpoint> metricsEndpoint =
      ServeGatewayMetrics(core, metricsAddress, [&core](const std::string& line) {
        std::fprintf(stderr, "Heraldo: %s\n", line.c_str());
        core.view->AppendLog(line);
      });

  window.show();
  window.Start();
  int status = application.exec();
  textDialog.SetPreview(nullptr);
  metricsEndpoint.reset();  // no scrape reads the core past here
  gateway.reset();
  return status;
}
