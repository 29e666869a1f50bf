// "号码规则设置": the widget of the authorisation table. It shows what
// PatDialogLogic holds and forwards the buttons to it.
#pragma once

#include <QDialog>

#include "gateway/dialogs/pat_dialog_logic.h"

class QButtonGroup;
class QLineEdit;
class QTreeWidget;

class CPATDlg : public QDialog {
 public:
  // "增加" and "修改" open `entries`.
  CPATDlg(QWidget* parent, const AuthorisationValues& current, PatEntryDialog& entries, ui::MessageBoxPort& messages);

  // After "确定": the table and the rule as the operator left them.
  const AuthorisationValues& values() const { return confirmed_; }

 private:
  void FillList();
  void Add();
  void Modify();
  void Delete();
  void Confirm();

  PatDialogLogic logic_;
  AuthorisationValues confirmed_;
  QTreeWidget* list_;
  QButtonGroup* rule_;
  QLineEdit* maxPerHour_;
};
