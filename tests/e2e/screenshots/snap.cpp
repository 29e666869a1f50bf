#include "tests/e2e/screenshots/snap.h"

#include <cstdio>

#include <QDir>
#include <QProcess>
#include <QTest>
#include <QWidget>

namespace {
QString outputDir;
}

void SetScreenshotFolder(const QString& folder) {
  // Absolute: a program may make its own directory the current one.
  outputDir = QDir(folder).absolutePath();
}

bool Snap(QWidget* widget, const char* name, bool frame) {
  widget->show();
  widget->raise();
  widget->activateWindow();
  if (!QTest::qWaitForWindowExposed(widget, 5000)) return false;
  QTest::qWait(400);
  QStringList args{"-silent"};
  if (frame) args << "-frame";
  args << "-window" << QString::number(widget->winId()) << outputDir + "/" + name;
  bool done = QProcess::execute("import", args) == 0;
  std::printf("%s %s\n", done ? "wrote" : "FAILED", (outputDir + "/" + name).toLocal8Bit().constData());
  return done;
}
