#include "monitor/dialogs/qt/sys_cfg_dialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "monitor/dialogs/dialog_texts.h"
#include "monitor/dialogs/qt/table_rows.h"
#include "platform/ui/qt/dialog_widgets.h"
#include "platform/ui/qt/report_lists.h"

namespace {

QComboBox* DropDownList(QWidget* parent, const QString& objectName, const std::vector<std::string>& items,
                        int current) {
  auto* box = new QComboBox(parent);
  box->setObjectName(objectName);
  for (const std::string& item : items) box->addItem(FromGbk(item));
  box->setCurrentIndex(current);
  return box;
}

QLineEdit* DigitsEdit(QWidget* parent, const QString& objectName, const std::string& text) {
  auto* edit = new QLineEdit(FromGbk(text), parent);
  edit->setObjectName(objectName);
  edit->setValidator(new RuleValidator([](const std::string& t) { return IsDigitsOnly(t); }, edit));
  return edit;
}

QHBoxLayout* WithUnit(QWidget* edit, const QString& unit, QWidget* parent) {
  auto* row = new QHBoxLayout;
  row->addWidget(edit, 1);
  row->addWidget(new QLabel(unit, parent));
  return row;
}

}  // namespace

CSysCfgDlg::CSysCfgDlg(QWidget* parent, MonitorSettings& settings, TimePointEditor& timePoints,
                       ui::MessageBoxPort& messages)
    : QDialog(parent), settings_(settings), logic_(settings, timePoints, messages) {
  setWindowTitle(QStringLiteral("参数设置"));

  QGroupBox* modem = ModemGroup();
  interval_ = DigitsEdit(this, QStringLiteral("interval"), logic_.intervalText());
  auto* intervalRow = new QFormLayout;
  intervalRow->addRow(QStringLiteral("自动监控终端状态时间间隔(>=10)："),
                      WithUnit(interval_, QStringLiteral("秒"), this));

  QPushButton* add = nullptr;
  QGroupBox* report = ReportGroup(add);

  threshold_ = DigitsEdit(this, QStringLiteral("threshold"), logic_.thresholdText());
  auto* offline = new QGroupBox(QStringLiteral("终端大面积离线提醒条件"), this);
  auto* offlineFields = new QFormLayout(offline);
  offlineFields->addRow(QStringLiteral("离线终端所占百分比阀值："), WithUnit(threshold_, QStringLiteral("%"), this));
  confirmPolls_ = DigitsEdit(this, QStringLiteral("confirmPolls"), logic_.confirmPollsText());
  confirmPolls_->setToolTip(QStringLiteral("离线增加须连续出现的轮询次数，1为立即提醒"));
  offlineFields->addRow(QStringLiteral("连续确认次数(1-100)："), WithUnit(confirmPolls_, QStringLiteral("次"), this));
  escalate_ = DigitsEdit(this, QStringLiteral("escalateMinutes"), logic_.escalateText());
  escalate_->setToolTip(QStringLiteral("区域告警后持续超过阀值的时间，到时另通知大面积离线联系人；0为不通知"));
  offlineFields->addRow(QStringLiteral("持续超限升级通知(0为不通知)："),
                        WithUnit(escalate_, QStringLiteral("分钟"), this));
  recovery_ = new QCheckBox(QStringLiteral("离线终端恢复过半时发送恢复短信"), this);
  recovery_->setObjectName(QStringLiteral("recovery"));
  recovery_->setChecked(logic_.recovery());
  offlineFields->addRow(recovery_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(modem);
  layout->addLayout(intervalRow);
  layout->addWidget(report, 1);
  layout->addWidget(offline);
  auto [ok, cancel] = AddOkCancel(*layout, this);

  connect(timePoints_, &QTableWidget::itemSelectionChanged, this, &CSysCfgDlg::SelectionChanged);
  connect(add, &QPushButton::clicked, this, &CSysCfgDlg::Add);
  connect(modify_, &QPushButton::clicked, this, &CSysCfgDlg::Modify);
  connect(delete_, &QPushButton::clicked, this, &CSysCfgDlg::Delete);
  connect(ok, &QPushButton::clicked, this, &CSysCfgDlg::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  FillTimePoints();
}

QGroupBox* CSysCfgDlg::ModemGroup() {
  port_ = DropDownList(this, QStringLiteral("port"), SysCfgLogic::Ports(), logic_.portIndex());
  rate_ = DropDownList(this, QStringLiteral("rate"), SysCfgLogic::Rates(), logic_.rateIndex());
  smsCentre_ = new QLineEdit(FromGbk(logic_.smsCentre()), this);
  smsCentre_->setObjectName(QStringLiteral("smsCentre"));
  auto* modem = new QGroupBox(QStringLiteral("短信猫设置"), this);
  auto* modemFields = new QFormLayout(modem);
  modemFields->addRow(QStringLiteral("串口："), port_);
  modemFields->addRow(QStringLiteral("波特率："), rate_);
  modemFields->addRow(QStringLiteral("短信中心号码："), smsCentre_);
  return modem;
}

QGroupBox* CSysCfgDlg::ReportGroup(QPushButton*& add) {
  timePoints_ = NewReportTable(this, QStringLiteral("timePoints"),
                               {{QStringLiteral("名称"), 200}, {QStringLiteral("时间点"), 100}});
  add = CommandButton(this, QStringLiteral("add"), QStringLiteral("添加"));
  modify_ = CommandButton(this, QStringLiteral("modify"), QStringLiteral("修改"));
  delete_ = CommandButton(this, QStringLiteral("delete"), QStringLiteral("删除"));
  // Kept for the settings file; the option is not offered to the operator.
  sendWhenAllNormal_ = new QCheckBox(QStringLiteral("所有终端正常时发送短信"), this);
  sendWhenAllNormal_->setObjectName(QStringLiteral("sendWhenAllNormal"));
  sendWhenAllNormal_->setChecked(logic_.sendWhenAllNormal());
  sendWhenAllNormal_->setVisible(false);
  auto* report = new QGroupBox(QStringLiteral("定点短信通知设置"), this);
  auto* reportButtons = new QVBoxLayout;
  for (QPushButton* button : {add, modify_, delete_}) reportButtons->addWidget(button);
  reportButtons->addStretch();
  auto* reportLayout = new QHBoxLayout(report);
  reportLayout->addWidget(timePoints_, 1);
  reportLayout->addLayout(reportButtons);
  return report;
}

void CSysCfgDlg::FillTimePoints() {
  std::vector<std::pair<std::string, std::string>> rows;
  for (const TimePointRow& row : logic_.rows()) rows.emplace_back(row.name, row.time);
  FillRows(*timePoints_, rows, logic_.selectedRow());
  UpdateButtons();
}

void CSysCfgDlg::SelectionChanged() {
  logic_.Select(SelectedRow(*timePoints_));
  UpdateButtons();
}

void CSysCfgDlg::UpdateButtons() {
  modify_->setEnabled(logic_.canModifyOrDelete());
  delete_->setEnabled(logic_.canModifyOrDelete());
}

void CSysCfgDlg::Add() {
  if (logic_.Add()) FillTimePoints();
}

void CSysCfgDlg::Modify() {
  if (logic_.Modify()) FillTimePoints();
}

void CSysCfgDlg::Delete() {
  if (logic_.Delete()) FillTimePoints();
}

void CSysCfgDlg::Confirm() {
  SysCfgEntry entry{port_->currentIndex(),        rate_->currentIndex(),     ToGbk(smsCentre_->text()),
                    ToGbk(interval_->text()),     ToGbk(threshold_->text()), sendWhenAllNormal_->isChecked(),
                    ToGbk(confirmPolls_->text()), recovery_->isChecked(),    ToGbk(escalate_->text())};
  if (logic_.Confirm(entry, settings_)) accept();
}
