#include "gateway/dialogs/qt/pat_dialog.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "platform/ui/qt/dialog_widgets.h"
#include "platform/ui/qt/report_lists.h"

CPATDlg::CPATDlg(QWidget* parent, const AuthorisationValues& current, PatEntryDialog& entries,
                 ui::MessageBoxPort& messages)
    : QDialog(parent), logic_(current, entries, messages), confirmed_(current) {
  setWindowTitle(QStringLiteral("号码规则设置"));

  list_ =
      NewReportTree(this, QStringLiteral("table"), {{QStringLiteral("号码"), 100}, {QStringLiteral("终端ID"), 250}});

  auto* ruleBox = new QGroupBox(QStringLiteral("授权号码规则"), this);
  auto* listed = new QRadioButton(QStringLiteral("已有号码授权"), ruleBox);
  listed->setObjectName(QStringLiteral("listedNumbers"));
  auto* everyone = new QRadioButton(QStringLiteral("所有号码授权"), ruleBox);
  everyone->setObjectName(QStringLiteral("everyNumber"));
  rule_ = new QButtonGroup(this);
  rule_->addButton(listed, REGULAR_LISTED_NUMBERS);
  rule_->addButton(everyone, REGULAR_EVERY_NUMBER);
  auto* ruleLayout = new QHBoxLayout(ruleBox);
  ruleLayout->addWidget(listed);
  ruleLayout->addWidget(everyone);
  ruleLayout->addStretch();
  maxPerHour_ = new QLineEdit(FromGbk(logic_.maxPerHourText()), ruleBox);
  maxPerHour_->setObjectName(QStringLiteral("maxPerHour"));
  maxPerHour_->setValidator(new RuleValidator(&PatDialogLogic::AcceptsMaxPerHourText, maxPerHour_));
  maxPerHour_->setFixedWidth(50);
  maxPerHour_->setToolTip(QStringLiteral("同一号码一小时内最多广播的短信条数，超出的不播放；0为不限"));
  ruleLayout->addWidget(new QLabel(QStringLiteral("每号码每小时最多:"), ruleBox));
  ruleLayout->addWidget(maxPerHour_);
  ruleLayout->addWidget(new QLabel(QStringLiteral("条（0为不限）"), ruleBox));
  if (QAbstractButton* checked = rule_->button(logic_.regular())) checked->setChecked(true);

  auto* add = CommandButton(this, QStringLiteral("add"), QStringLiteral("增加"));
  auto* modify = CommandButton(this, QStringLiteral("modify"), QStringLiteral("修改"));
  auto* remove = CommandButton(this, QStringLiteral("delete"), QStringLiteral("删除"));
  auto* ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  auto* cancel = CommandButton(this, QStringLiteral("cancel"), QStringLiteral("取消"));

  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {add, modify, remove}) buttons->addWidget(button);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);

  auto* left = new QVBoxLayout;
  left->addWidget(list_, 1);
  left->addWidget(ruleBox);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(buttons);

  connect(add, &QPushButton::clicked, this, &CPATDlg::Add);
  connect(modify, &QPushButton::clicked, this, &CPATDlg::Modify);
  connect(remove, &QPushButton::clicked, this, &CPATDlg::Delete);
  connect(ok, &QPushButton::clicked, this, &CPATDlg::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  FillList();
}

void CPATDlg::FillList() {
  list_->clear();
  for (const PatEntry& row : logic_.Rows())
    new QTreeWidgetItem(list_, QStringList{FromGbk(row.number), FromGbk(row.ids)});
}

void CPATDlg::Add() {
  logic_.Add();
  FillList();
}

void CPATDlg::Modify() {
  auto row = FirstSelectedRow(*list_);
  if (!logic_.Modify(row)) return;
  list_->topLevelItem(static_cast<int>(*row))->setText(1, FromGbk(logic_.Rows()[*row].ids));
}

void CPATDlg::Delete() {
  auto row = FirstSelectedRow(*list_);
  if (logic_.Delete(row)) delete list_->takeTopLevelItem(static_cast<int>(*row));
}

void CPATDlg::Confirm() {
  int checked = rule_->checkedId();
  confirmed_ =
      logic_.Confirm(checked == -1 ? std::nullopt : std::optional<int32_t>(checked), ToGbk(maxPerHour_->text()));
  accept();
}
