// "文件清理设置": the widget. It shows what ClearFileLogic holds and leaves
// the range check of "确定" to it.
#pragma once

#include <QDialog>

#include "gateway/dialogs/clear_file_logic.h"

class QAbstractSpinBox;

class CClearFileDlg : public QDialog {
 public:
  CClearFileDlg(QWidget* parent, const CleanupValues& current, ui::MessageBoxPort& messages);

  // After "确定": the two day counts, with the last clean-up unchanged.
  const CleanupValues& values() const { return logic_.values(); }

 private:
  void Confirm();

  ClearFileLogic logic_;
  QAbstractSpinBox* interDay_;
  QAbstractSpinBox* deadLineDay_;
};
