// CSysCfgDlg, "参数设置": the widget. It shows what SysCfgLogic holds,
// forwards the time point commands to it and leaves the checks of OK to it.
#pragma once

#include <QDialog>

#include "monitor/dialogs/sys_cfg_logic.h"

class QCheckBox;
class QGroupBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

class CSysCfgDlg : public QDialog {
 public:
  // OK writes and saves `settings`; "添加" and "修改" open `timePoints`.
  CSysCfgDlg(QWidget* parent, MonitorSettings& settings, TimePointEditor& timePoints, ui::MessageBoxPort& messages);
  const SysCfgLogic& logic() const { return logic_; }

 private:
  QGroupBox* ModemGroup();
  // `add` is the group's "添加" button.
  QGroupBox* ReportGroup(QPushButton*& add);
  void FillTimePoints();
  void SelectionChanged();
  void UpdateButtons();
  void Add();
  void Modify();
  void Delete();
  void Confirm();

  MonitorSettings& settings_;
  SysCfgLogic logic_;
  QComboBox* port_;
  QComboBox* rate_;
  QLineEdit* smsCentre_;
  QLineEdit* interval_;
  QTableWidget* timePoints_;
  QPushButton* modify_;
  QPushButton* delete_;
  QCheckBox* sendWhenAllNormal_;
  QLineEdit* threshold_;
  QLineEdit* confirmPolls_;
  QCheckBox* recovery_;
  QLineEdit* escalate_;
};
