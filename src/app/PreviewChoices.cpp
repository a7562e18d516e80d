// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PreviewChoices.h"

#include "collect/PreviewPage.h"
#include "download/DownloadCommand.h"
#include "platform/qt/QtPageBrowser.h"

#include <QVariant>

namespace talvesk {

namespace {

// The preview's pictures come in list order, main, colour, description, then its main videos;
// its headings are the third to sixth font elements, after the title and the address.
// Everything is built with DOM calls, never from markup.
const char kAddChoices[] = R"js(
(function (counts) {
  if (document.querySelector('input[data-talvesk-choice]'))
    return true;
  var images = Array.prototype.slice.call(document.images);
  var fonts = document.getElementsByTagName('font');
  var boxes = [[], [], [], []];
  function button(text, lists, ticked) {
    var b = document.createElement('button');
    b.type = 'button';
    b.textContent = text;
    b.addEventListener('click', function () {
      lists.forEach(function (list) {
        boxes[list].forEach(function (box) { box.checked = ticked; });
      });
    });
    return b;
  }
  function placeAfter(anchor, nodes) {
    nodes.forEach(function (node) {
      anchor.parentNode.insertBefore(node, anchor.nextSibling);
      anchor = node;
    });
  }
  var videos = Array.prototype.slice.call(document.getElementsByTagName('video'));
  var index = 0;
  for (var list = 0; list < 4; ++list) {
    var shown = list < 3 ? images : videos;
    if (list == 3)
      index = 0;
    for (var slot = 0; slot < counts[list] && index < shown.length; ++slot, ++index) {
      var picture = shown[index];
      var holder = document.createElement('span');
      holder.style.cssText = 'position:relative;display:inline-block';
      picture.parentNode.insertBefore(holder, picture);
      holder.appendChild(picture);
      var label = document.createElement('label');
      label.style.cssText = 'position:absolute;left:4px;top:4px;padding:1px 4px;' +
          'background:rgba(255,255,255,0.85);font:12px sans-serif';
      var box = document.createElement('input');
      box.type = 'checkbox';
      box.checked = true;
      box.setAttribute('data-talvesk-choice', list + ':' + slot);
      var size = document.createElement('span');
      size.className = 'talvesk-size';
      label.appendChild(box);
      label.appendChild(size);
      holder.appendChild(label);
      boxes[list].push(box);
      (function (picture, size) {
        function show() {
          if (picture.naturalWidth)
            size.textContent = ' ' + picture.naturalWidth + '\u00d7' + picture.naturalHeight;
        }
        if (picture.tagName == 'VIDEO')
          return;
        if (picture.complete)
          show();
        else
          picture.addEventListener('load', show);
      })(picture, size);
    }
  }
  for (var heading = 0; heading < 4; ++heading) {
    if (fonts[2 + heading] && boxes[heading].length)
      placeAfter(fonts[2 + heading], [document.createTextNode(' '), button('全选', [heading], true),
                                      button('全不选', [heading], false)]);
  }
  if (fonts[1])
    placeAfter(fonts[1], [document.createTextNode(' '), button('全部选中', [0, 1, 2, 3], true),
                          button('全部不选', [0, 1, 2, 3], false)]);
  return true;
})(%1)
)js";

const char kReadChoice[] = R"js(
(function () {
  var boxes = document.querySelectorAll('input[data-talvesk-choice]');
  if (!boxes.length)
    return null;
  var chosen = [[], [], [], []];
  boxes.forEach(function (box) {
    if (!box.checked)
      return;
    var place = box.getAttribute('data-talvesk-choice').split(':');
    chosen[Number(place[0])].push(Number(place[1]));
  });
  return chosen;
})()
)js";

QList<int> slotsOf(const QVariant &list)
{
    QList<int> chosen;
    for (const QVariant &slot : list.toList())
        chosen.append(slot.toInt());
    return chosen;
}

} // namespace

void addPictureChoices(QtPageBrowser &preview, const PreviewCounts &counts)
{
    const QString script = QString::fromUtf8(kAddChoices)
                               .arg(QStringLiteral("[%1, %2, %3, %4]")
                                        .arg(counts.main)
                                        .arg(counts.colour)
                                        .arg(counts.description)
                                        .arg(counts.video));
    preview.evaluate(script, preview.loadGeneration(), [](const PageAnswer<QVariant> &) {});
}

void readPictureChoice(QtPageBrowser &preview, std::function<void(std::optional<PictureChoice>)> reply)
{
    preview.evaluate(
        QString::fromUtf8(kReadChoice), preview.loadGeneration(),
        [reply = std::move(reply)](const PageAnswer<QVariant> &answer) {
            const QVariantList lists = answer ? answer->toList() : QVariantList();
            if (lists.size() != 4) {
                reply(std::nullopt);
                return;
            }
            reply(PictureChoice{slotsOf(lists[0]), slotsOf(lists[1]), slotsOf(lists[2]), slotsOf(lists[3])});
        });
}

} // namespace talvesk
