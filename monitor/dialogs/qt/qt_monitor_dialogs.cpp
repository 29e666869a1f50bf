#include "monitor/dialogs/qt/qt_monitor_dialogs.h"

#include "monitor/dialogs/qt/contact_dialog.h"
#include "monitor/dialogs/qt/phone_num_mgr_dialog.h"
#include "monitor/dialogs/qt/sys_cfg_dialog.h"
#include "monitor/dialogs/qt/time_point_dialog.h"

bool QtMonitorDialogs::RunSystemSettings(MonitorSettings& settings) {
  QtTimePointEditor timePoints(parent_, messages_);
  CSysCfgDlg dialog(parent_, settings, timePoints, messages_);
  timePoints.SetParent(&dialog);
  return dialog.exec() == QDialog::Accepted;
}

bool QtMonitorDialogs::RunPhoneNumbers(MonitorSettings& settings, ServerAreaSource& areas) {
  QtContactEditor contacts(parent_, messages_);
  CPhoneNumMgrDlg dialog(parent_, settings, areas, contacts, messages_);
  contacts.SetParent(&dialog);
  return dialog.exec() == QDialog::Accepted;
}
