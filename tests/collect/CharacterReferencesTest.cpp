// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect/CharacterReferences.h"

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

using talvesk::decodeCharacterReferences;

// References are undone once ("&amp;amp;" is "&amp;"); astral ones as a surrogate pair.
TEST(CharacterReferences, DecodeInOnePass)
{
    const struct
    {
        QString written;
        QString decoded;
    } cases[] = {
        {QStringLiteral("a.jpg?x=1&amp;y=2"), QStringLiteral("a.jpg?x=1&y=2")},
        {QStringLiteral("&quot;&#39;&apos;&lt;&gt;&nbsp;"), QStringLiteral("\"''<>\u00A0")},
        {QStringLiteral("&amp;amp;&amp;quot;&&amp;"), QStringLiteral("&amp;&quot;&&")},
        {QStringLiteral("&#38;&#x26;&#X26;&#00038;&#x0026;"), QStringLiteral("&&&&&")},
        {QStringLiteral("&#x1F600;&#128512;"), QStringLiteral("😀😀")},
        {QStringLiteral("&#x10FFFF;"), QString(QChar(0xDBFF)) + QChar(0xDFFF)},
        {QStringLiteral("&#x4E2D;文&#25991;"), QStringLiteral("中文文")},
        {QStringLiteral("&amp;"), QStringLiteral("&")},
        {QString(), QString()},
        {QStringLiteral("no reference"), QStringLiteral("no reference")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(decodeCharacterReferences(c.written), c.decoded) << qPrintable(c.written);
}

// A reference that gives no usable character stays as written; the text around it is still decoded.
TEST(CharacterReferences, KeepWhatIsNoUsableReference)
{
    for (const QString &kept :
         {QStringLiteral("&amp"),          QStringLiteral("&AMP;"),      QStringLiteral("&Amp;"),
          QStringLiteral("&bogus;"),       QStringLiteral("&#;"),        QStringLiteral("&#x;"),
          QStringLiteral("&#x26"),         QStringLiteral("&#38a;"),     QStringLiteral("&#xG;"),
          QStringLiteral("& amp;"),        QStringLiteral("&"),          QStringLiteral("&#"),
          QStringLiteral("&#0;"),          QStringLiteral("&#x0;"),      QStringLiteral("&#xD800;"),
          QStringLiteral("&#56320;"),      QStringLiteral("&#x110000;"), QStringLiteral("&#4294967334;"),
          QStringLiteral("&#x100000026;"), QStringLiteral("&#9;"),       QStringLiteral("&#10;"),
          QStringLiteral("&#x7F;"),        QStringLiteral("&#x85;")}) {
        EXPECT_EQ(decodeCharacterReferences(kept), kept);
        EXPECT_EQ(decodeCharacterReferences(QStringLiteral("&lt;") + kept + QStringLiteral("&gt;")),
                  QStringLiteral("<") + kept + QStringLiteral(">"))
            << qPrintable(kept);
    }
}
