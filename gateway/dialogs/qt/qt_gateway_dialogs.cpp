#include "gateway/dialogs/qt/qt_gateway_dialogs.h"

#include "gateway/dialogs/qt/clear_file_dialog.h"
#include "gateway/dialogs/qt/comm_settings_dialog.h"
#include "gateway/dialogs/qt/pat_dialog.h"
#include "gateway/dialogs/qt/pat_entry_dialog.h"

std::optional<CommSettingsValues> QtGatewayDialogs::AskCommSettings(const CommSettingsValues& current) {
  CCommSettingsDlg dialog(parent_, current, messages_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.values();
}

std::optional<AuthorisationValues> QtGatewayDialogs::AskAuthorisation(const AuthorisationValues& current) {
  QtPatEntryDialog entries(parent_, terminals_, messages_);
  CPATDlg dialog(parent_, current, entries, messages_);
  // The entry dialog is modal to the table dialog, not to the main window.
  entries.SetParent(&dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.values();
}

std::optional<CleanupValues> QtGatewayDialogs::AskCleanup(const CleanupValues& current) {
  CClearFileDlg dialog(parent_, current, messages_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.values();
}
