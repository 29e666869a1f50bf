// CPhoneNumMgrDlg, "电话号码管理": the widget. It shows the areas and the
// selected area's contacts as PhoneNumMgrLogic holds them and forwards the
// clicks and commands to it.
#pragma once

#include <QDialog>

#include "monitor/dialogs/phone_num_mgr_logic.h"

class QLineEdit;
class QPushButton;
class QTableWidget;

class CPhoneNumMgrDlg : public QDialog {
 public:
  // Reads the platform's areas from `areas` while it is built; OK writes
  // and saves `settings`; "添加" and "修改" open `contacts`.
  CPhoneNumMgrDlg(QWidget* parent, MonitorSettings& settings, ServerAreaSource& areas, ContactEditor& contacts,
                  ui::MessageBoxPort& messages);
  const PhoneNumMgrLogic& logic() const { return logic_; }

 private:
  void AreaSelectionChanged();
  void ContactSelectionChanged();
  void FillContacts();
  void UpdateButtons();
  void Add();
  void Modify();
  void Delete();
  void Confirm();

  MonitorSettings& settings_;
  PhoneNumMgrLogic logic_;
  QTableWidget* areas_;
  QTableWidget* contacts_;
  QPushButton* add_;
  QPushButton* modify_;
  QPushButton* delete_;
  QPushButton* ok_;
  QLineEdit* quiet_;
};
