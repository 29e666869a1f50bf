// Takes a picture of one window for the README, with ImageMagick's import,
// on the X server the screenshot programs run on.
#pragma once

#include <QString>

class QWidget;

// Where the pictures go; set once from the command line.
void SetScreenshotFolder(const QString& folder);
// Shows the widget, waits until it is drawn, and writes `name` (with the
// window manager's title bar when `frame`). Prints what it wrote.
bool Snap(QWidget* widget, const char* name, bool frame = true);
