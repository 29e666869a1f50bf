#include "gateway/dialogs/qt/clear_file_dialog.h"

#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/ui/qt/dialog_widgets.h"

namespace {

// A day count with an up-down control. Unlike QSpinBox it lets any digits
// be typed, so that "确定" can refuse 0 or 1000 with the range message,
// while its arrows step within 1..999.
class DayCountBox final : public QAbstractSpinBox {
 public:
  DayCountBox(QWidget* parent, const QString& objectName, const std::string& text) : QAbstractSpinBox(parent) {
    setObjectName(objectName);
    lineEdit()->setText(FromGbk(text));
    setMinimumWidth(70);
  }

  void stepBy(int steps) override {
    lineEdit()->setText(FromGbk(ClearFileLogic::StepDays(ToGbk(text()), steps)));
    lineEdit()->selectAll();
  }

  QValidator::State validate(QString& input, int&) const override {
    return ClearFileLogic::AcceptsDayText(ToGbk(input)) ? QValidator::Acceptable : QValidator::Invalid;
  }

 protected:
  StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

}  // namespace

CClearFileDlg::CClearFileDlg(QWidget* parent, const CleanupValues& current, ui::MessageBoxPort& messages)
    : QDialog(parent), logic_(current, messages) {
  setWindowTitle(QStringLiteral("文件清理设置"));

  // The caller's text ends with a line break; a label needs none.
  QString lastClear = FromGbk(logic_.lastClearTime()).trimmed();
  auto* lastClearLabel = new QLabel(lastClear, this);
  lastClearLabel->setObjectName(QStringLiteral("lastClearTime"));
  interDay_ = new DayCountBox(this, QStringLiteral("interDay"), logic_.interDayText());
  deadLineDay_ = new DayCountBox(this, QStringLiteral("deadLineDay"), logic_.deadLineDayText());

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("上次清理时间："), this), 0, 0);
  grid->addWidget(lastClearLabel, 0, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("每"), this), 1, 0, Qt::AlignRight);
  grid->addWidget(interDay_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("天清理一次文件"), this), 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("每次清理"), this), 2, 0, Qt::AlignRight);
  grid->addWidget(deadLineDay_, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("天以前的文件"), this), 2, 2);
  grid->setColumnStretch(2, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  auto [ok, cancel] = AddOkCancel(*layout, this);
  connect(ok, &QPushButton::clicked, this, &CClearFileDlg::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CClearFileDlg::Confirm() {
  if (logic_.Confirm(ToGbk(interDay_->text()), ToGbk(deadLineDay_->text()))) accept();
}
