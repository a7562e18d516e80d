// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace talvesk {

// Undoes the character references a serialised attribute or text can hold, in one pass:
// &amp; &quot; &#39; &apos; &lt; &gt; &nbsp; and decimal or hex numeric references, each with
// its semicolon. A reference that is unknown, unterminated or names no usable character (0,
// a surrogate, above U+10FFFF, a control character) stays as written.
QString decodeCharacterReferences(const QString &text);

} // namespace talvesk
