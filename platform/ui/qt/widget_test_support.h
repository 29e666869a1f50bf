// How the widget tests drive a dialog as an operator would: find a child
// by its object name, type into a box, press "确定".
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

template <typename T>
T& Child(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return *child;
}

inline void Retype(QLineEdit& edit, const char* text) {
  edit.selectAll();
  QTest::keyClick(&edit, Qt::Key_Delete);
  QTest::keyClicks(&edit, text);
}

// Clicks "确定" and answers whether the dialog closed with OK.
inline bool ClickOk(QDialog& dialog) {
  Child<QPushButton>(dialog, "ok").click();
  return dialog.result() == QDialog::Accepted && !dialog.isVisible();
}
