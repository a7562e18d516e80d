// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

class Dialogs;

// Asks for a folder, starting at initialFolder every time. Returns the chosen path without a
// trailing separator (a root keeps its own), or the empty text when the user cancels.
QString chooseSaveFolder(Dialogs &dialogs, const QString &title, const QString &initialFolder);

} // namespace talvesk
