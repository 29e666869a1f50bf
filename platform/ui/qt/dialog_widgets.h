// What every dialog of the windowed programs shares: the GBK boundary,
// edit boxes that ask the dialog's logic which texts they take, and the
// "确定"/"取消" buttons.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include <QString>
#include <QValidator>

class QBoxLayout;
class QPushButton;
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

// A button that does not take Enter from the dialog's default button.
QPushButton* CommandButton(QWidget* parent, const QString& objectName, const QString& text);
// "确定" (the default button) and "取消", right-aligned, added to `layout`.
std::pair<QPushButton*, QPushButton*> AddOkCancel(QBoxLayout& layout, QWidget* parent);
