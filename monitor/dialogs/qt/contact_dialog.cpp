#include "monitor/dialogs/qt/contact_dialog.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "platform/ui/qt/dialog_widgets.h"

CContactsAndPhone::CContactsAndPhone(QWidget* parent, ContactLogic logic) : QDialog(parent), logic_(std::move(logic)) {
  setWindowTitle(FromGbk(logic_.caption()));
  name_ = new QLineEdit(FromGbk(logic_.contact().name), this);
  name_->setObjectName(QStringLiteral("name"));
  phone_ = new QLineEdit(FromGbk(logic_.contact().phone), this);
  phone_->setObjectName(QStringLiteral("phone"));
  phone_->setValidator(new RuleValidator(&ContactLogic::AcceptsPhoneText, phone_));

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("姓名："), name_);
  fields->addRow(QStringLiteral("电话号码："), phone_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  auto [ok, cancel] = AddOkCancel(*layout, this);
  connect(ok, &QPushButton::clicked, this, &CContactsAndPhone::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CContactsAndPhone::Confirm() {
  if (logic_.Confirm(ToGbk(name_->text()), ToGbk(phone_->text()))) accept();
}

std::optional<Contact> QtContactEditor::Run(ContactLogic logic) {
  CContactsAndPhone dialog(parent_, std::move(logic));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.logic().contact();
}

std::optional<Contact> QtContactEditor::AskNew() { return Run(ContactLogic(true, {}, messages_)); }

std::optional<Contact> QtContactEditor::AskEdit(const Contact& current) {
  return Run(ContactLogic(false, current, messages_));
}
