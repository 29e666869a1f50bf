// "通讯设置": the widget. It shows what CommSettingsLogic holds and leaves
// the range check of "确定" to it.
#pragma once

#include <QDialog>

#include "gateway/dialogs/comm_settings_logic.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class CCommSettingsDlg : public QDialog {
 public:
  CCommSettingsDlg(QWidget* parent, const CommSettingsValues& current, ui::MessageBoxPort& messages);

  // After "确定": the port, bit rate, server address and lead time.
  const CommSettingsValues& values() const { return logic_.values(); }

 private:
  void Confirm();

  CommSettingsLogic logic_;
  QComboBox* port_;
  QComboBox* rate_;
  QLineEdit* serverAddress_;
  QLineEdit* delay_;
  QCheckBox* replyConfirm_;
  QCheckBox* replyRefused_;
  QLineEdit* replyCentre_;
};
