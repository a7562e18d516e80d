// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QUrl>

namespace talvesk {

// The main videos the page's data names, resolved against the page's address: http(s) ones
// only, each once, in order.
QStringList mainVideos(const QStringList &named, const QUrl &pageAddress);

} // namespace talvesk
