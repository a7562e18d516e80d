// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCoreApplication;

namespace talvesk {

// Qt's own Chinese translations and the Chinese locale, so that standard dialogs and buttons
// (the folder picker with its file kinds and dates, a message box's OK) read like the rest of
// the program. False when Qt's catalogues are not installed; the program then runs with Qt's
// English texts.
bool installQtChineseTranslations(QCoreApplication &app);

} // namespace talvesk
