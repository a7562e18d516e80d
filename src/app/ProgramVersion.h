#pragma once

#include <QString>

namespace talvesk {

// The version line of the version box; `talvesk --version` prints it too.
inline QString versionLine()
{
    return QStringLiteral("软件版本:Ver2.3 (Qt 6)");
}

} // namespace talvesk
