// The gateway's settings dialogs as the main window opens them: each one
// modal to `parent`, answering the confirmed values or nothing.
#pragma once

#include "gateway/dialogs/gateway_dialogs.h"
#include "gateway/dialogs/term_list_source.h"
#include "platform/ui/message_box.h"

class QWidget;

class QtGatewayDialogs final : public GatewayDialogs {
 public:
  // `terminals` fills the authorisation entry dialog's lists each time it opens.
  QtGatewayDialogs(QWidget* parent, TermListSource& terminals, ui::MessageBoxPort& messages)
      : parent_(parent), terminals_(terminals), messages_(messages) {}
  // The main window is made after the logic that opens its dialogs.
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::optional<CommSettingsValues> AskCommSettings(const CommSettingsValues& current) override;
  std::optional<AuthorisationValues> AskAuthorisation(const AuthorisationValues& current) override;
  std::optional<CleanupValues> AskCleanup(const CleanupValues& current) override;

 private:
  QWidget* parent_;
  TermListSource& terminals_;
  ui::MessageBoxPort& messages_;
};
