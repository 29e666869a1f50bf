#include "gateway/dialogs/qt/comm_settings_dialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/ui/qt/dialog_widgets.h"

namespace {

QComboBox* DropDownList(QWidget* parent, const QString& objectName, const std::vector<std::string>& items,
                        std::optional<size_t> current) {
  auto* box = new QComboBox(parent);
  box->setObjectName(objectName);
  for (const std::string& item : items) box->addItem(FromGbk(item));
  box->setCurrentIndex(current ? static_cast<int>(*current) : -1);
  return box;
}

std::optional<size_t> Choice(const QComboBox& box) {
  if (box.currentIndex() < 0) return std::nullopt;
  return static_cast<size_t>(box.currentIndex());
}

}  // namespace

CCommSettingsDlg::CCommSettingsDlg(QWidget* parent, const CommSettingsValues& current, ui::MessageBoxPort& messages)
    : QDialog(parent), logic_(current, messages) {
  setWindowTitle(QStringLiteral("通讯设置"));

  port_ = DropDownList(this, QStringLiteral("port"), CommSettingsLogic::Ports(), logic_.portIndex());
  rate_ = DropDownList(this, QStringLiteral("rate"), CommSettingsLogic::Rates(), logic_.rateIndex());
  serverAddress_ = new QLineEdit(FromGbk(logic_.serverAddress()), this);
  serverAddress_->setObjectName(QStringLiteral("serverAddress"));
  delay_ = new QLineEdit(FromGbk(logic_.delayText()), this);
  delay_->setObjectName(QStringLiteral("delay"));
  delay_->setValidator(new RuleValidator(&CommSettingsLogic::AcceptsDelayText, delay_));

  auto* delayRow = new QHBoxLayout;
  delayRow->addWidget(delay_, 1);
  delayRow->addWidget(new QLabel(QStringLiteral("秒"), this));

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("串口："), port_);
  fields->addRow(QStringLiteral("比特率："), rate_);
  fields->addRow(QStringLiteral("服务器地址："), serverAddress_);
  fields->addRow(QStringLiteral("预开电源时间："), delayRow);

  replyConfirm_ = new QCheckBox(QStringLiteral("播放后短信告知发送者结果"), this);
  replyConfirm_->setObjectName(QStringLiteral("replyConfirm"));
  replyConfirm_->setChecked(logic_.replyConfirm());
  replyRefused_ = new QCheckBox(QStringLiteral("告知无权广播的号码（每号码每小时一次）"), this);
  replyRefused_->setObjectName(QStringLiteral("replyRefused"));
  replyRefused_->setChecked(logic_.replyRefused());
  replyCentre_ = new QLineEdit(FromGbk(logic_.replyCentre()), this);
  replyCentre_->setObjectName(QStringLiteral("replyCentre"));
  replyCentre_->setValidator(new RuleValidator(&CommSettingsLogic::AcceptsCentreText, replyCentre_));
  replyCentre_->setPlaceholderText(QStringLiteral("如 8613800100500"));
  auto* replies = new QGroupBox(QStringLiteral("短信回复（需重新启动程序生效）"), this);
  auto* replyFields = new QFormLayout(replies);
  replyFields->addRow(replyConfirm_);
  replyFields->addRow(replyRefused_);
  replyFields->addRow(QStringLiteral("短信中心号码："), replyCentre_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(replies);
  auto [ok, cancel] = AddOkCancel(*layout, this);
  connect(ok, &QPushButton::clicked, this, &CCommSettingsDlg::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CCommSettingsDlg::Confirm() {
  CommSettingsEntry entry{Choice(*port_),
                          Choice(*rate_),
                          ToGbk(serverAddress_->text()),
                          ToGbk(delay_->text()),
                          replyConfirm_->isChecked(),
                          replyRefused_->isChecked(),
                          ToGbk(replyCentre_->text())};
  if (logic_.Confirm(entry)) accept();
}
