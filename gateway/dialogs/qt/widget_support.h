// What the dialog widgets share: the GBK boundary, edit boxes that ask the
// logic which texts they take, and the report lists.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include <QString>
#include <QValidator>

#include "gateway/broadcast/bc_agent.h"

class QBoxLayout;
class QPushButton;
class QTreeWidget;
class QWidget;

QString FromGbk(const std::string& gbk);
std::string ToGbk(const QString& text);

// Lets an edit box take a text only when the dialog's logic accepts it.
class RuleValidator final : public QValidator {
 public:
  RuleValidator(std::function<bool(const std::string&)> accepts, QObject* parent);
  State validate(QString& input, int& pos) const override;

 private:
  std::function<bool(const std::string&)> accepts_;
};

// A report list: headers with their widths in pixels, whole rows selected.
QTreeWidget* NewReportList(QWidget* parent, const QString& objectName,
                           std::initializer_list<std::pair<QString, int>> columns);
// The lowest selected row, the one the dialogs act on; nothing without a selection.
std::optional<size_t> FirstSelectedRow(const QTreeWidget& list);
// A terminal's row: its name and IP address, with its id as the row's data.
void AppendTerminalRow(QTreeWidget& list, const TermInfo& terminal);

// "确定" (the default button) and "取消", right-aligned, added to `layout`.
std::pair<QPushButton*, QPushButton*> AddOkCancel(QBoxLayout& layout, QWidget* parent);
