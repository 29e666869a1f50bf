#include "gateway/dialogs/qt/text_broadcast_dialog.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "platform/ui/qt/dialog_widgets.h"

CTextBroadcast::CTextBroadcast(QWidget* parent, std::vector<std::string> numbersOffered, ui::MessageBoxPort& messages,
                               MessagePreview* preview)
    : QDialog(parent), logic_(std::move(numbersOffered), messages) {
  setWindowTitle(QStringLiteral("文本广播"));

  number_ = new QComboBox(this);
  number_->setObjectName(QStringLiteral("number"));
  number_->setEditable(true);
  number_->setInsertPolicy(QComboBox::NoInsert);
  number_->setValidator(new RuleValidator(&TextBroadcastLogic::AcceptsNumberText, number_));
  for (const std::string& number : logic_.numbersOffered()) number_->addItem(FromGbk(number));
  // The box starts empty: the operator picks or types the sending number.
  number_->setCurrentIndex(-1);
  number_->setEditText(QString());

  content_ = new QPlainTextEdit(this);
  content_->setObjectName(QStringLiteral("content"));
  content_->setMinimumSize(360, 160);

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("号码："), number_);
  fields->addRow(QStringLiteral("内容："), content_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  if (preview) {
    auto* listen = new QPushButton(QStringLiteral("试听"), this);
    listen->setObjectName(QStringLiteral("preview"));
    listen->setAutoDefault(false);
    listen->setToolTip(QStringLiteral("在本机播放这段内容，听一听广播时的声音"));
    connect(listen, &QPushButton::clicked, this, [this, preview] { Listen(*preview); });
    auto* row = new QHBoxLayout;
    row->addWidget(listen);
    row->addStretch();
    layout->addLayout(row);
  }
  auto [ok, cancel] = AddOkCancel(*layout, this);
  connect(ok, &QPushButton::clicked, this, &CTextBroadcast::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CTextBroadcast::Confirm() {
  if (logic_.Confirm(ToGbk(number_->currentText()), ToGbk(content_->toPlainText()))) accept();
}

// Speaking takes a fraction of a second before the sound starts, so the
// window simply waits for it.
void CTextBroadcast::Listen(MessagePreview& preview) { logic_.Preview(ToGbk(content_->toPlainText()), preview); }

std::optional<TextBroadcastRequest> QtTextBroadcastDialog::Ask(const PatTable& numbers) {
  std::vector<std::string> offered;
  for (const auto& entry : numbers) offered.push_back(entry.first);
  CTextBroadcast dialog(parent_, std::move(offered), messages_, preview_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return TextBroadcastRequest{dialog.logic().number(), dialog.logic().content()};
}
