// A program's icon for its windows and its tray: one character on the
// tile colour of its desktop icon, drawn at start: the desktop icon is an
// SVG, which Qt reads only with a plugin the programs do not need otherwise.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

QIcon ProgramIcon(const QColor& tile, const QString& character);
