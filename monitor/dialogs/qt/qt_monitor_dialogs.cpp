#include "monitor/dialogs/qt/qt_monitor_dialogs.h"

#include "monitor/dialogs/qt/contact_dialog.h"
#include "monitor/dialogs/qt/phone_num_mgr_dialog.h"
#include "monitor/dialogs/qt/sys_cfg_dialog.h"
#include "monitor/dialogs/qt/time_point_dialog.h"

bool QtMonitorDialogs::RunSystemSettings(MonitorSettings& settings) {
  QtTimePointEditor timePoints(parent_);
  CSysCfgDlg dialog(parent_, settings, timePoints);
  timePoints.SetParent(&dialog);
  return dialog.exec() == QDialog::Accepted;
}

bool QtMonitorDialogs::RunPhoneNumbers(MonitorSettings& settings, ServerAreaSource& areas) {
  QtContactEditor contacts(parent_);
  CPhoneNumMgrDlg dialog(parent_, settings, areas, contacts);
  contacts.SetParent(&dialog);
  return dialog.exec() == QDialog::Accepted;
}
