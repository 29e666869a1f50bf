// CContactsAndPhone: the widget of one contact. It shows what ContactLogic
// holds and leaves the checks of "确定" to it.
#pragma once

#include <QDialog>

#include "monitor/dialogs/contact_logic.h"
#include "monitor/dialogs/phone_num_mgr_logic.h"

class QLineEdit;

class CContactsAndPhone : public QDialog {
 public:
  CContactsAndPhone(QWidget* parent, ContactLogic logic);
  // After "确定": the trimmed name and number.
  const ContactLogic& logic() const { return logic_; }

 private:
  void Confirm();

  ContactLogic logic_;
  QLineEdit* name_;
  QLineEdit* phone_;
};

// Opens CContactsAndPhone modally for "添加" and "修改".
class QtContactEditor final : public ContactEditor {
 public:
  QtContactEditor(QWidget* parent, ui::MessageBoxPort& messages) : parent_(parent), messages_(messages) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<Contact> AskNew() override;
  std::optional<Contact> AskEdit(const Contact& current) override;

 private:
  std::optional<Contact> Run(ContactLogic logic);
  QWidget* parent_;
  ui::MessageBoxPort& messages_;
};
