#pragma once

class QCoreApplication;

namespace talvesk {

// Qt's own Chinese translations, so that standard dialogs and buttons (the folder picker, a
// message box's OK) read like the rest of the program. False when they are not installed; the
// program then runs with Qt's English texts.
bool installQtChineseTranslations(QCoreApplication &app);

} // namespace talvesk
