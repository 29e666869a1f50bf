#include "platform/ui/qt/dialog_widgets.h"

#include <QBoxLayout>
#include <QPushButton>

#include "platform/codepage/codepage.h"

QString FromGbk(const std::string& gbk) { return QString::fromStdString(codepage::GbkToUtf8(gbk)); }

std::string ToGbk(const QString& text) { return codepage::Utf8ToGbk(text.toStdString()); }

RuleValidator::RuleValidator(std::function<bool(const std::string&)> accepts, QObject* parent)
    : QValidator(parent), accepts_(std::move(accepts)) {}

QValidator::State RuleValidator::validate(QString& input, int&) const {
  return accepts_(ToGbk(input)) ? Acceptable : Invalid;
}

QPushButton* CommandButton(QWidget* parent, const QString& objectName, const QString& text) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(objectName);
  button->setAutoDefault(false);
  return button;
}

std::pair<QPushButton*, QPushButton*> AddOkCancel(QBoxLayout& layout, QWidget* parent) {
  auto* ok = new QPushButton(QStringLiteral("确定"), parent);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  auto* cancel = CommandButton(parent, QStringLiteral("cancel"), QStringLiteral("取消"));
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  layout.addLayout(row);
  return {ok, cancel};
}
