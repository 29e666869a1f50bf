#include "monitor/app/monitor_window_app.h"

#include "platform/com/apartment.h"
#include "platform/ui/qt/qt_apartment.h"

std::unique_ptr<MonitorWindowApp> MonitorWindowApp::Start(MonitorSettings& settings, ui::MessageBoxPort& messages,
                                                          MonitorDialogs& dialogs, ServerAreaSource& areas,
                                                          ExportTable exportTable, std::string& error) {
  std::unique_ptr<MonitorWindowApp> app(new MonitorWindowApp);
  app->core_ = MonitorCore::Start(
      settings, [](const std::string&, const std::string&, bool) {}, error);
  if (!app->core_) return nullptr;
  MonitorCore& core = *app->core_;
  app->list_ = std::make_unique<TerminalListView>(TerminalSnapshot::Of(*core.acquisition), core.settings);

  // The clock's thread hands a due report to this thread's apartment,
  // which the Qt event loop drains.
  MonitorWindowApp* self = app.get();
  app->reportClock_ = std::make_unique<ReportClock>(
      [self, apartment = com::Apartment::Current()] { apartment->Post([self] { self->window_->ReportDue(); }); });
  app->logic_ =
      std::make_unique<VigimonWindowLogic>(core.settings, *core.acquisition, *app->list_, core.agentControl.get(),
                                           *core.lookup, *core.sender, *app->reportClock_, messages);
  app->logic_->SetObserver(&core.tally);
  app->window_ = std::make_unique<VigimonMainWindow>(
      *app->logic_, *app->list_, core.settings, dialogs, areas,
      [self, exportTable = std::move(exportTable)] { exportTable(self->window_.get(), *self->core_->acquisition); });
  DrainApartmentFromQt(app->window_.get());

  app->reportClock_->SetSchedule(core.settings.reportTimes);
  app->reportClock_->Start();
  return app;
}

MonitorWindowApp::~MonitorWindowApp() {
  if (reportClock_) reportClock_->Stop();
  window_.reset();
  logic_.reset();
  reportClock_.reset();
  list_.reset();
  core_.reset();
}
