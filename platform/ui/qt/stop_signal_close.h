// SIGTERM and Ctrl+C end a windowed program as its own "退出" does: they
// close its main window, so what closing saves is saved. The signals must
// have been blocked (stop_signals::Block) before any thread started.
#pragma once

#include <memory>

class QSocketNotifier;
class QWidget;

class CloseOnStopSignals {
 public:
  // `window` must outlive this object.
  explicit CloseOnStopSignals(QWidget& window);
  ~CloseOnStopSignals();
  CloseOnStopSignals(const CloseOnStopSignals&) = delete;
  CloseOnStopSignals& operator=(const CloseOnStopSignals&) = delete;

 private:
  int descriptor_;
  std::unique_ptr<QSocketNotifier> notifier_;
};
