// Message boxes of a windowed program: QMessageBox with the system's
// Chinese buttons, parented to the program's main window.
#pragma once

#include "platform/ui/message_box.h"

class QWidget;

class QtMessageBox final : public ui::MessageBoxPort {
 public:
  explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  int Show(const std::string& text, const std::string& caption, ui::MessageIcon icon, int buttons) override;

 private:
  QWidget* parent_;
};
