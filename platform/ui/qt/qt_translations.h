// Qt's own dialogs (file choosers, spin boxes' menus) in Chinese, as every
// text a person sees is: Qt's zh_CN translation from Debian's
// qt6-translations-l10n, when it is installed.
#pragma once

class QCoreApplication;

// True when the translation was found and installed.
bool InstallChineseQtTranslation(QCoreApplication& app);
