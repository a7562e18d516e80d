// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CollectedSetOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using talvesk::CollectedSet;

namespace {

CollectedSet sampleSet()
{
    CollectedSet set;
    set.mainPictures.clear();
    set.colourPictures.clear();
    set.descriptionPictures.clear();
    set.itemTitle = QStringLiteral("连衣裙 \"夏\"");
    set.mainPictures.put(0, QStringLiteral("http://img.example/m0.jpg"));
    set.mainPictures.put(1, QStringLiteral("http://img.example/m1.jpg"));
    set.descriptionPictures.put(0, QStringLiteral("https://img.example/d0.png"));
    set.videos = {QStringLiteral("https://video.example/v.mp4")};
    return set;
}

} // namespace

// The JSON line keeps its keys' order and the lists' slot order, and survives quotes and non-ASCII.
TEST(CollectedSetOutput, JsonLineRoundTrips)
{
    const QString line = talvesk::collectedSetJson(QStringLiteral("http://shop/item?id=1"), sampleSet());
    EXPECT_FALSE(line.contains(QLatin1Char('\n')));
    EXPECT_TRUE(line.startsWith(
        QStringLiteral(R"({"address":"http://shop/item?id=1","title":"连衣裙 \"夏\"","main":[)")))
        << qPrintable(line);
    EXPECT_TRUE(line.endsWith(QStringLiteral(
        R"("colour":[],"colourNames":[],"description":["https://img.example/d0.png"],"video":["https://video.example/v.mp4"]})")))
        << qPrintable(line);
    const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
    EXPECT_EQ(object.value(QStringLiteral("address")).toString(), QStringLiteral("http://shop/item?id=1"));
    EXPECT_EQ(object.value(QStringLiteral("title")).toString(), QStringLiteral("连衣裙 \"夏\""));
    EXPECT_EQ(object.value(QStringLiteral("main")).toArray(),
              QJsonArray({QStringLiteral("http://img.example/m0.jpg"),
                          QStringLiteral("http://img.example/m1.jpg")}));
    EXPECT_EQ(object.value(QStringLiteral("colour")).toArray(), QJsonArray());
    EXPECT_EQ(object.value(QStringLiteral("description")).toArray(),
              QJsonArray({QStringLiteral("https://img.example/d0.png")}));
}

// The listing names every list with its count and every address.
TEST(CollectedSetOutput, ListingNamesCountsAndAddresses)
{
    const QString listing = talvesk::collectedSetListing(QStringLiteral("http://shop/item"), sampleSet());
    EXPECT_TRUE(listing.startsWith(QStringLiteral("http://shop/item\n")));
    EXPECT_TRUE(listing.contains(QStringLiteral("main (2):")));
    EXPECT_TRUE(listing.contains(QStringLiteral("colour (0):")));
    EXPECT_TRUE(listing.contains(QStringLiteral("description (1):")));
    EXPECT_TRUE(listing.contains(QStringLiteral("    http://img.example/m1.jpg\n")));
    EXPECT_TRUE(listing.contains(QStringLiteral("video (1):\n    https://video.example/v.mp4\n")));
}
