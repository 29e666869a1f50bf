// "文本广播": the widget, and the pipeline's text broadcast dialog that
// opens it modally.
#pragma once

#include <string>
#include <vector>

#include <QDialog>

#include "gateway/dialogs/message_preview.h"
#include "gateway/dialogs/text_broadcast_logic.h"
#include "gateway/pipeline/pipeline_ports.h"

class QComboBox;
class QPlainTextEdit;

class CTextBroadcast : public QDialog {
 public:
  // With a `preview`, a "试听" button speaks the content on this computer.
  CTextBroadcast(QWidget* parent, std::vector<std::string> numbersOffered, ui::MessageBoxPort& messages,
                 MessagePreview* preview = nullptr);

  // After "确定": the number and the trimmed content.
  const TextBroadcastLogic& logic() const { return logic_; }

 private:
  void Confirm();
  void Listen(MessagePreview& preview);

  TextBroadcastLogic logic_;
  QComboBox* number_;
  QPlainTextEdit* content_;
};

class QtTextBroadcastDialog final : public TextBroadcastDialog {
 public:
  QtTextBroadcastDialog(QWidget* parent, ui::MessageBoxPort& messages) : parent_(parent), messages_(messages) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  // The "试听" button's sound; none, no button. Not owned.
  void SetPreview(MessagePreview* preview) { preview_ = preview; }
  // Offers the table's numbers; the number and trimmed text, or nothing.
  std::optional<TextBroadcastRequest> Ask(const PatTable& numbers) override;

 private:
  QWidget* parent_;
  ui::MessageBoxPort& messages_;
  MessagePreview* preview_ = nullptr;
};
