// CTimePointDlg: the widget of one report time point. It shows what
// TimePointLogic holds and leaves the check of "确定" to it.
#pragma once

#include <QDialog>

#include "monitor/dialogs/sys_cfg_logic.h"
#include "monitor/dialogs/time_point_logic.h"

class QLineEdit;
class QTimeEdit;

class CTimePointDlg : public QDialog {
 public:
  CTimePointDlg(QWidget* parent, TimePointLogic logic);
  // After "确定": the trimmed name and the picked time.
  const TimePointLogic& logic() const { return logic_; }

 private:
  void Confirm();

  TimePointLogic logic_;
  QLineEdit* name_;
  QTimeEdit* time_;
};

// Opens CTimePointDlg modally for "添加" (at the current local time) and "修改".
class QtTimePointEditor final : public TimePointEditor {
 public:
  QtTimePointEditor(QWidget* parent, ui::MessageBoxPort& messages) : parent_(parent), messages_(messages) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<ReportTimePoint> AskNew() override;
  std::optional<ReportTimePoint> AskEdit(const ReportTimePoint& current) override;

 private:
  std::optional<ReportTimePoint> Run(TimePointLogic logic);
  QWidget* parent_;
  ui::MessageBoxPort& messages_;
};
