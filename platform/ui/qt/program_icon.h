// A program's icon for its windows and its tray: one character on a
// coloured tile, drawn at start so that no image file has to be installed.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

QIcon ProgramIcon(const QColor& tile, const QString& character);
