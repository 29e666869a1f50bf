#include "monitor/dialogs/qt/phone_num_mgr_dialog.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "monitor/dialogs/qt/table_rows.h"
#include "platform/ui/qt/dialog_widgets.h"
#include "platform/ui/qt/report_lists.h"

CPhoneNumMgrDlg::CPhoneNumMgrDlg(QWidget* parent, MonitorSettings& settings, ServerAreaSource& areas,
                                 ContactEditor& contacts, ui::MessageBoxPort& messages)
    : QDialog(parent), settings_(settings), logic_(settings, areas, contacts, messages) {
  setWindowTitle(QStringLiteral("电话号码管理"));
  areas_ = NewReportTable(this, QStringLiteral("areas"), {{QStringLiteral("区域名称"), 160}});
  contacts_ = NewReportTable(this, QStringLiteral("contacts"),
                             {{QStringLiteral("负责人姓名"), 100}, {QStringLiteral("电话号码"), 160}});
  add_ = CommandButton(this, QStringLiteral("add"), QStringLiteral("添加"));
  modify_ = CommandButton(this, QStringLiteral("modify"), QStringLiteral("修改"));
  delete_ = CommandButton(this, QStringLiteral("delete"), QStringLiteral("删除"));

  auto* lists = new QHBoxLayout;
  lists->addWidget(areas_);
  lists->addWidget(contacts_, 1);
  auto* commands = new QVBoxLayout;
  for (QPushButton* button : {add_, modify_, delete_}) commands->addWidget(button);
  commands->addStretch();
  lists->addLayout(commands);
  quiet_ = new QLineEdit(this);
  quiet_->setObjectName(QStringLiteral("quiet"));
  quiet_->setPlaceholderText(QStringLiteral("如 22:00-07:00，空为不静默"));
  quiet_->setToolTip(QStringLiteral("此时段内该区域的告警暂不发送，时段结束时汇总发送一条；定点报告不受影响"));
  auto* quietRow = new QFormLayout;
  quietRow->addRow(QStringLiteral("告警静默时段："), quiet_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists, 1);
  layout->addLayout(quietRow);
  auto [ok, cancel] = AddOkCancel(*layout, this);
  ok_ = ok;

  std::vector<std::pair<std::string, std::string>> rows;
  for (const AreaRow& row : logic_.areaRows()) rows.emplace_back(row.name, std::string());
  FillRows(*areas_, rows, -1);
  UpdateButtons();

  connect(areas_, &QTableWidget::itemSelectionChanged, this, &CPhoneNumMgrDlg::AreaSelectionChanged);
  connect(contacts_, &QTableWidget::itemSelectionChanged, this, &CPhoneNumMgrDlg::ContactSelectionChanged);
  connect(add_, &QPushButton::clicked, this, &CPhoneNumMgrDlg::Add);
  connect(modify_, &QPushButton::clicked, this, &CPhoneNumMgrDlg::Modify);
  connect(delete_, &QPushButton::clicked, this, &CPhoneNumMgrDlg::Delete);
  connect(quiet_, &QLineEdit::textEdited, this, [this](const QString& text) { logic_.SetQuietText(ToGbk(text)); });
  connect(ok, &QPushButton::clicked, this, &CPhoneNumMgrDlg::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CPhoneNumMgrDlg::AreaSelectionChanged() {
  int row = SelectedRow(*areas_);
  if (row == logic_.selectedArea()) return;
  logic_.SelectArea(row);
  FillContacts();
}

void CPhoneNumMgrDlg::ContactSelectionChanged() {
  logic_.SelectContact(SelectedRow(*contacts_));
  UpdateButtons();
}

void CPhoneNumMgrDlg::FillContacts() {
  std::vector<std::pair<std::string, std::string>> rows;
  for (const Contact& contact : logic_.contactRows()) rows.emplace_back(contact.name, contact.phone);
  FillRows(*contacts_, rows, logic_.selectedContact());
  quiet_->setText(FromGbk(logic_.quietText()));
  UpdateButtons();
}

void CPhoneNumMgrDlg::UpdateButtons() {
  ok_->setEnabled(logic_.canConfirm());
  add_->setEnabled(logic_.canAdd());
  modify_->setEnabled(logic_.canModifyOrDelete());
  delete_->setEnabled(logic_.canModifyOrDelete());
  quiet_->setEnabled(logic_.canEditQuiet());
}

void CPhoneNumMgrDlg::Add() {
  if (logic_.Add()) FillContacts();
}

void CPhoneNumMgrDlg::Modify() {
  if (logic_.Modify()) FillContacts();
}

void CPhoneNumMgrDlg::Delete() {
  if (logic_.Delete()) FillContacts();
}

void CPhoneNumMgrDlg::Confirm() {
  if (logic_.Confirm(settings_)) {
    accept();
    return;
  }
  // A refused row is selected: show it.
  if (SelectedRow(*areas_) != logic_.selectedArea()) areas_->selectRow(logic_.selectedArea());
  FillContacts();
}
