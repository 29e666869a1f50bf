#include "platform/ui/qt/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/codepage/codepage.h"

namespace {

QString FromGbk(const std::string& gbk) { return QString::fromStdString(codepage::GbkToUtf8(gbk)); }

QMessageBox::Icon ToQt(ui::MessageIcon icon) {
  switch (icon) {
    case ui::MessageIcon::None: return QMessageBox::NoIcon;
    case ui::MessageIcon::Information: return QMessageBox::Information;
    case ui::MessageIcon::Warning: return QMessageBox::Warning;
    case ui::MessageIcon::Error: return QMessageBox::Critical;
    case ui::MessageIcon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// A box that comes up inside a busy stretch (a reload that failed) waits
// for the operator, so the pointer over it is the ordinary arrow.
class ArrowWhileShown {
 public:
  ArrowWhileShown() : busy_(QApplication::overrideCursor() != nullptr) {
    if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~ArrowWhileShown() {
    if (busy_) QApplication::restoreOverrideCursor();
  }
  ArrowWhileShown(const ArrowWhileShown&) = delete;
  ArrowWhileShown& operator=(const ArrowWhileShown&) = delete;

 private:
  bool busy_;
};

}  // namespace

int QtMessageBox::Show(const std::string& text, const std::string& caption, ui::MessageIcon icon, int buttons) {
  ArrowWhileShown arrow;
  QMessageBox box(ToQt(icon), FromGbk(caption), FromGbk(text), QMessageBox::NoButton, parent_);
  // The buttons read as the system's always have, whatever the locale.
  if (buttons == ui::MB_YESNO) {
    QPushButton* yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes ? ui::IDYES : ui::IDNO;
  }
  QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
  QPushButton* cancel = nullptr;
  if (buttons == ui::MB_OKCANCEL) cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
  box.setDefaultButton(ok);
  box.exec();
  return cancel && box.clickedButton() == cancel ? ui::IDCANCEL : ui::IDOK;
}
