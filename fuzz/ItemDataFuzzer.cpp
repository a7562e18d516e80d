// SPDX-License-Identifier: GPL-3.0-or-later
// The page's data as any page may write it: scripts (the input's fields) are read without
// crashing, a description address taken is always a web address with a host, and a record's
// gallery and variants are never made up.

#include "FuzzInput.h"

#include "collect/ItemData.h"

#include <cstddef>
#include <cstdint>

using talvesk::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QStringList scripts = talvesk::fuzz::fields(talvesk::fuzz::utf16Text(data, size));
    const QUrl page(QStringLiteral("https://item.example/item.htm?id=1"));
    const talvesk::ItemData item = talvesk::readItemData(scripts, page);

    const QUrl &url = item.description.url;
    check(url.isEmpty() ||
              ((url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
               !url.host().isEmpty()),
          "a description address is a web address with a host", url.toString());
    check(url.isEmpty() || item.description.named, "an address is taken only where one is named",
          url.toString());
    check(item.found || (item.gallery.isEmpty() && item.variants.isEmpty() && item.videos.isEmpty()),
          "only a record names a gallery, variants or videos", scripts.join(u'|'));
    const QString all = scripts.join(QString());
    for (const QString &picture : item.gallery)
        check(!picture.isEmpty(), "no empty gallery picture", all);
    return 0;
}
