// "新建" / "修改": the widget of one authorisation entry. It shows what
// PatEntryLogic holds and forwards every edit, move and click to it.
#pragma once

#include <array>

#include <QDialog>

#include "gateway/dialogs/pat_dialog_logic.h"
#include "gateway/dialogs/pat_entry_logic.h"

class QGridLayout;
class QLayout;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class CNewMofifyPATDlg : public QDialog {
 public:
  // Fetches the server's terminals from `terminals` while it is built.
  CNewMofifyPATDlg(QWidget* parent, PatEntryLogic logic, TermListSource& terminals);

  // After "确定": the number and the id list.
  const PatEntryLogic& logic() const { return logic_; }

 private:
  // The two lists side by side with the arrows between, the search below.
  QGridLayout* ListsLayout(QLineEdit* search, QLayout* arrows);
  // The arrows are, in order: move right, all right, left, all left.
  void WireUp(QLineEdit* search, std::array<QPushButton*, 4> arrows, QPushButton* ok, QPushButton* cancel);
  void FillLeft();
  void MoveRight();
  void MoveAllRight();
  void MoveLeft();
  void MoveAllLeft();
  void Confirm();

  PatEntryLogic logic_;
  QLineEdit* number_;
  QLineEdit* pin_;
  QTreeWidget* left_;
  QTreeWidget* right_;
};

// Opens the entry dialog modally for "增加" and "修改".
class QtPatEntryDialog final : public PatEntryDialog {
 public:
  QtPatEntryDialog(QWidget* parent, TermListSource& terminals, ui::MessageBoxPort& messages)
      : parent_(parent), terminals_(terminals), messages_(messages) {}
  // The window the entry dialog is modal to: the table dialog, once it exists.
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::optional<PatEntry> AskNew() override;
  std::optional<PatEntry> AskModify(const PatEntry& existing) override;

 private:
  QWidget* parent_;
  TermListSource& terminals_;
  ui::MessageBoxPort& messages_;
};
