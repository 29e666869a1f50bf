// What the monitor's dialog widgets share: the GBK boundary, edit boxes
// that ask the logic which texts they take, and the report lists.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include <QString>
#include <QValidator>

class QBoxLayout;
class QPushButton;
class QTableWidget;
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

// A report list: one row selected at a time, whole rows, grid lines, and
// the given headers with their widths in pixels.
QTableWidget* NewReportList(QWidget* parent, const QString& objectName,
                            std::initializer_list<std::pair<QString, int>> columns);
// The selected row, -1 for none.
int SelectedRow(const QTableWidget& list);
// Replaces the list's rows without telling the dialog, then selects `selected` (-1: none).
void FillRows(QTableWidget& list, const std::vector<std::pair<std::string, std::string>>& rows, int selected);
// A button that does not take Enter from the dialog's default button.
QPushButton* CommandButton(QWidget* parent, const QString& objectName, const QString& text);
// "确定" (the default button) and "取消", right-aligned, added to `layout`.
std::pair<QPushButton*, QPushButton*> AddOkCancel(QBoxLayout& layout, QWidget* parent);
