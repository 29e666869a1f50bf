#include "monitor/dialogs/qt/time_point_dialog.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

#include "platform/ui/qt/dialog_widgets.h"

CTimePointDlg::CTimePointDlg(QWidget* parent, TimePointLogic logic) : QDialog(parent), logic_(std::move(logic)) {
  setWindowTitle(FromGbk(logic_.caption()));
  name_ = new QLineEdit(FromGbk(logic_.point().name), this);
  name_->setObjectName(QStringLiteral("name"));
  const TimeOfDay& time = logic_.point().time;
  time_ = new QTimeEdit(QTime(time.hour, time.minute, time.second), this);
  time_->setObjectName(QStringLiteral("time"));
  time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("名称："), name_);
  fields->addRow(QStringLiteral("时间点："), time_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  auto [ok, cancel] = AddOkCancel(*layout, this);
  connect(ok, &QPushButton::clicked, this, &CTimePointDlg::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CTimePointDlg::Confirm() {
  QTime picked = time_->time();
  if (logic_.Confirm(ToGbk(name_->text()), {picked.hour(), picked.minute(), picked.second()})) accept();
}

std::optional<ReportTimePoint> QtTimePointEditor::Run(TimePointLogic logic) {
  CTimePointDlg dialog(parent_, std::move(logic));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.logic().point();
}

std::optional<ReportTimePoint> QtTimePointEditor::AskNew() {
  QTime now = QTime::currentTime();
  return Run(TimePointLogic(true, {"", {now.hour(), now.minute(), now.second()}}, messages_));
}

std::optional<ReportTimePoint> QtTimePointEditor::AskEdit(const ReportTimePoint& current) {
  return Run(TimePointLogic(false, current, messages_));
}
