#include "platform/ui/qt/stop_signal_close.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>

#include "platform/signals/stop_signals.h"

CloseOnStopSignals::CloseOnStopSignals(QWidget& window)
    : descriptor_(stop_signals::Descriptor()),
      notifier_(std::make_unique<QSocketNotifier>(descriptor_, QSocketNotifier::Read)) {
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, &window, [this, &window] {
    signalfd_siginfo info;
    if (read(descriptor_, &info, sizeof info) > 0) window.close();
  });
}

CloseOnStopSignals::~CloseOnStopSignals() {
  notifier_.reset();
  close(descriptor_);
}
