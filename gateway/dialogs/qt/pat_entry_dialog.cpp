#include "gateway/dialogs/qt/pat_entry_dialog.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "platform/ui/qt/dialog_widgets.h"
#include "platform/ui/qt/report_lists.h"

namespace {

QPushButton* ArrowButton(QWidget* parent, const QString& objectName, const QString& arrow, const QString& tip) {
  auto* button = new QPushButton(arrow, parent);
  button->setObjectName(objectName);
  button->setToolTip(tip);
  button->setAutoDefault(false);
  button->setFixedWidth(40);
  return button;
}

// A terminal's row: its name and IP address, with its id as the row's data.
void AppendTerminalRow(QTreeWidget& list, const TermInfo& terminal) {
  auto* item = new QTreeWidgetItem(&list, QStringList{FromGbk(terminal.name), FromGbk(terminal.ip)});
  item->setData(0, Qt::UserRole, terminal.id);
}

}  // namespace

CNewMofifyPATDlg::CNewMofifyPATDlg(QWidget* parent, PatEntryLogic logic, TermListSource& terminals)
    : QDialog(parent), logic_(std::move(logic)) {
  setWindowTitle(FromGbk(logic_.caption()));

  number_ = new QLineEdit(this);
  number_->setObjectName(QStringLiteral("number"));
  number_->setValidator(new RuleValidator(&PatEntryLogic::AcceptsNumberText, number_));

  const std::initializer_list<std::pair<QString, int>> columns = {{QStringLiteral("名称"), 85},
                                                                  {QStringLiteral("终端IP地址"), 110}};
  left_ = NewReportTree(this, QStringLiteral("available"), columns);
  right_ = NewReportTree(this, QStringLiteral("chosen"), columns);
  auto* search = new QLineEdit(this);
  search->setObjectName(QStringLiteral("search"));

  auto* moveRight = ArrowButton(this, QStringLiteral("moveRight"), QStringLiteral("＞"), QStringLiteral("选择"));
  auto* moveAllRight =
      ArrowButton(this, QStringLiteral("moveAllRight"), QStringLiteral("》"), QStringLiteral("全部选择"));
  auto* moveLeft = ArrowButton(this, QStringLiteral("moveLeft"), QStringLiteral("＜"), QStringLiteral("取消选择"));
  auto* moveAllLeft =
      ArrowButton(this, QStringLiteral("moveAllLeft"), QStringLiteral("《"), QStringLiteral("全部取消选择"));

  pin_ = new QLineEdit(this);
  pin_->setObjectName(QStringLiteral("pin"));
  pin_->setValidator(new RuleValidator(&PatEntryLogic::AcceptsPinText, pin_));
  pin_->setEchoMode(QLineEdit::Password);
  pin_->setToolTip(
      QStringLiteral("4至8位数字；设置后，短信须以口令加空格开头，口令不会被播放或记录。留空则不需要口令"));

  auto* numberRow = new QHBoxLayout;
  numberRow->addWidget(new QLabel(QStringLiteral("号码:"), this));
  numberRow->addWidget(number_, 1);
  numberRow->addWidget(new QLabel(QStringLiteral("短信口令:"), this));
  numberRow->addWidget(pin_, 1);

  auto* arrows = new QVBoxLayout;
  arrows->addStretch();
  for (QPushButton* button : {moveRight, moveAllRight, moveLeft, moveAllLeft}) arrows->addWidget(button);
  arrows->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(numberRow);
  layout->addLayout(ListsLayout(search, arrows));
  auto [ok, cancel] = AddOkCancel(*layout, this);

  WireUp(search, {moveRight, moveAllRight, moveLeft, moveAllLeft}, ok, cancel);

  logic_.Open(terminals);
  number_->setText(FromGbk(logic_.number()));
  number_->setEnabled(logic_.isNew());
  pin_->setText(FromGbk(logic_.pin()));
  FillLeft();
  for (const TermInfo& t : logic_.rightRows()) AppendTerminalRow(*right_, t);
}

QGridLayout* CNewMofifyPATDlg::ListsLayout(QLineEdit* search, QLayout* arrows) {
  auto* searchRow = new QHBoxLayout;
  searchRow->addWidget(new QLabel(QStringLiteral("搜索:"), this));
  searchRow->addWidget(search, 1);
  auto* lists = new QGridLayout;
  lists->addWidget(new QLabel(QStringLiteral("可选终端列表:"), this), 0, 0);
  lists->addWidget(new QLabel(QStringLiteral("已选终端列表:"), this), 0, 2);
  lists->addWidget(left_, 1, 0);
  lists->addLayout(arrows, 1, 1);
  lists->addWidget(right_, 1, 2);
  lists->addLayout(searchRow, 2, 0);
  return lists;
}

void CNewMofifyPATDlg::WireUp(QLineEdit* search, std::array<QPushButton*, 4> arrows, QPushButton* ok,
                              QPushButton* cancel) {
  connect(number_, &QLineEdit::textEdited, this, [this](const QString& text) { logic_.SetNumber(ToGbk(text)); });
  connect(pin_, &QLineEdit::textEdited, this, [this](const QString& text) { logic_.SetPin(ToGbk(text)); });
  connect(search, &QLineEdit::textChanged, this, [this](const QString& text) {
    logic_.SetSearch(ToGbk(text));
    FillLeft();
  });
  auto [moveRight, moveAllRight, moveLeft, moveAllLeft] = arrows;
  connect(moveRight, &QPushButton::clicked, this, &CNewMofifyPATDlg::MoveRight);
  connect(moveAllRight, &QPushButton::clicked, this, &CNewMofifyPATDlg::MoveAllRight);
  connect(moveLeft, &QPushButton::clicked, this, &CNewMofifyPATDlg::MoveLeft);
  connect(moveAllLeft, &QPushButton::clicked, this, &CNewMofifyPATDlg::MoveAllLeft);
  connect(left_, &QTreeWidget::itemDoubleClicked, this, &CNewMofifyPATDlg::MoveRight);
  connect(right_, &QTreeWidget::itemDoubleClicked, this, &CNewMofifyPATDlg::MoveLeft);
  connect(ok, &QPushButton::clicked, this, &CNewMofifyPATDlg::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CNewMofifyPATDlg::FillLeft() {
  left_->clear();
  for (const TermInfo& t : logic_.leftRows()) AppendTerminalRow(*left_, t);
}

void CNewMofifyPATDlg::MoveRight() {
  auto row = FirstSelectedRow(*left_);
  if (!row) return;
  if (auto moved = logic_.MoveRight(*row)) {
    delete left_->takeTopLevelItem(static_cast<int>(*row));
    AppendTerminalRow(*right_, *moved);
  }
}

void CNewMofifyPATDlg::MoveAllRight() {
  for (const TermInfo& t : logic_.MoveAllRight()) AppendTerminalRow(*right_, t);
  left_->clear();
}

void CNewMofifyPATDlg::MoveLeft() {
  auto row = FirstSelectedRow(*right_);
  if (!row) return;
  if (auto moved = logic_.MoveLeft(*row)) {
    delete right_->takeTopLevelItem(static_cast<int>(*row));
    AppendTerminalRow(*left_, *moved);
  }
}

void CNewMofifyPATDlg::MoveAllLeft() {
  for (const TermInfo& t : logic_.MoveAllLeft()) AppendTerminalRow(*left_, t);
  right_->clear();
}

void CNewMofifyPATDlg::Confirm() {
  if (logic_.Confirm()) accept();
}

std::optional<PatEntry> QtPatEntryDialog::AskNew() {
  CNewMofifyPATDlg dialog(parent_, PatEntryLogic(messages_), terminals_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return PatEntry{dialog.logic().number(), dialog.logic().ids(), dialog.logic().pin()};
}

std::optional<PatEntry> QtPatEntryDialog::AskModify(const PatEntry& existing) {
  CNewMofifyPATDlg dialog(parent_, PatEntryLogic(existing, messages_), terminals_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return PatEntry{existing.number, dialog.logic().ids(), dialog.logic().pin()};
}
