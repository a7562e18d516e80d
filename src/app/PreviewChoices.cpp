// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PreviewChoices.h"

#include "app/PictureChoiceModel.h"
#include "platform/qt/QtPageBrowser.h"

#include <QFile>
#include <QPointer>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace talvesk {

namespace {

// The preview's pictures come in list order, main, colour, description, then its main videos;
// its headings are the third to sixth font elements, after the title and the address. Everything is built
// with DOM calls, never from markup. A click is reported and cancelled: the box changes only when the model
// says so.
const char kDrawChoices[] = R"js(
(function (sizes, ticks) {
  if (!window.talveskSend) {
    var bridge = null, waiting = [];
    window.talveskSend = function (call) { if (bridge) call(bridge); else waiting.push(call); };
    new QWebChannel(qt.webChannelTransport, function (channel) {
      bridge = channel.objects.choices;
      waiting.splice(0).forEach(function (call) { call(bridge); });
    });
  }
  var send = window.talveskSend;
  var boxes = Array.prototype.slice.call(document.querySelectorAll('input[data-talvesk-choice]'));
  window.talveskShowTicks = function (ticks) {
    boxes.forEach(function (box, index) { box.checked = !!ticks[index]; });
  };
  if (boxes.length) {
    window.talveskShowTicks(ticks);
    return true;
  }
  var images = Array.prototype.slice.call(document.images);
  var videos = Array.prototype.slice.call(document.getElementsByTagName('video'));
  var total = sizes[0] + sizes[1] + sizes[2];
  if (images.length < total || videos.length < (sizes[3] || 0))
    return false;
  var fonts = document.getElementsByTagName('font');
  function button(text, lists, ticked) {
    var b = document.createElement('button');
    b.type = 'button';
    b.textContent = text;
    b.addEventListener('click', function (event) {
      event.preventDefault();
      send(function (bridge) { bridge.setLists(lists, ticked); });
    });
    return b;
  }
  function placeAfter(anchor, nodes) {
    nodes.forEach(function (node) {
      anchor.parentNode.insertBefore(node, anchor.nextSibling);
      anchor = node;
    });
  }
  var index = 0;
  for (var list = 0; list < sizes.length; ++list) {
    for (var slot = 0; slot < sizes[list]; ++slot, ++index) {
      var picture = list < 3 ? images[index] : videos[index - total];
      var holder = document.createElement('span');
      holder.style.cssText = 'position:relative;display:inline-block;user-select:none;cursor:pointer';
      holder.setAttribute('data-talvesk-index', String(index));
      picture.parentNode.insertBefore(holder, picture);
      holder.appendChild(picture);
      var label = document.createElement('label');
      label.style.cssText = 'position:absolute;left:4px;top:4px;padding:1px 4px;' +
          'background:rgba(255,255,255,0.85);font:12px sans-serif';
      var box = document.createElement('input');
      box.type = 'checkbox';
      box.checked = !!ticks[index];
      box.setAttribute('data-talvesk-choice', list + ':' + slot);
      var size = document.createElement('span');
      size.className = 'talvesk-size';
      label.appendChild(box);
      label.appendChild(size);
      holder.appendChild(label);
      boxes.push(box);
      (function (picture, size, index) {
        function show() {
          if (picture.naturalWidth)
            size.textContent = ' ' + picture.naturalWidth + '\u00d7' + picture.naturalHeight;
        }
        if (picture.complete)
          show();
        else
          picture.addEventListener('load', show);
        holder.addEventListener('click', function (event) {
          event.preventDefault();
          var extend = event.shiftKey;
          send(function (bridge) { bridge.click(index, extend); });
        });
      })(picture, size, index);
    }
  }
  for (var heading = 0; heading < sizes.length; ++heading) {
    if (fonts[2 + heading] && sizes[heading])
      placeAfter(fonts[2 + heading], [document.createTextNode(' '), button('全选', [heading], true),
                                      button('全不选', [heading], false)]);
  }
  if (fonts[1])
    placeAfter(fonts[1], [document.createTextNode(' '), button('全部选中', [0, 1, 2, 3], true),
                          button('全部不选', [0, 1, 2, 3], false)]);
  return true;
})(%1, %2)
)js";

const char kShowTicks[] = "window.talveskShowTicks && window.talveskShowTicks(%1)";

const char kPictureAt[] = R"js(
(function (x, y) {
  var element = document.elementFromPoint(x, y);
  while (element && !element.hasAttribute('data-talvesk-index'))
    element = element.parentElement;
  return element ? Number(element.getAttribute('data-talvesk-index')) : -1;
})(%1, %2)
)js";

QString jsArray(const QList<bool> &values)
{
    QStringList items;
    for (const bool value : values)
        items.append(value ? QStringLiteral("1") : QStringLiteral("0"));
    return u'[' + items.join(u',') + u']';
}

QString jsArray(const QList<int> &values)
{
    QStringList items;
    for (const int value : values)
        items.append(QString::number(value));
    while (items.size() < 3)
        items.append(QStringLiteral("0"));
    return u'[' + items.join(u',') + u']';
}

// Qt's own client side of the web channel, run in our world before our script.
QString channelScript()
{
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

PreviewChoices::PreviewChoices(QtPageBrowser &preview, PictureChoiceModel &model, QObject *parent)
    : QObject(parent), m_preview(preview), m_model(model), m_channel(new QWebChannel(this))
{
    m_channel->registerObject(QStringLiteral("choices"), this);
    preview.view()->page()->setWebChannel(m_channel, QWebEngineScript::ApplicationWorld);
    connect(&model, &PictureChoiceModel::changed, this, &PreviewChoices::showTicks);
}

PreviewChoices::~PreviewChoices()
{
    if (QWebEngineView *view = m_preview.view())
        view->page()->setWebChannel(nullptr, QWebEngineScript::ApplicationWorld);
}

void PreviewChoices::draw(std::function<void()> failed)
{
    static const QString channel = channelScript();
    const QString script =
        channel + QString::fromUtf8(kDrawChoices).arg(jsArray(m_model.listSizes()), jsArray(m_model.ticks()));
    // A preview that went (another one, the window closing) has nothing to say.
    m_preview.evaluate(
        script, m_preview.loadGeneration(),
        [self = QPointer(this), failed = std::move(failed)](const PageAnswer<QVariant> &answer) {
            if (self && (answer ? !answer->toBool() : answer.failure() != ReadFailure::Gone))
                failed();
        });
}

void PreviewChoices::pictureAt(QPoint point, std::function<void(int)> reply)
{
    m_preview.evaluate(QString::fromUtf8(kPictureAt).arg(point.x()).arg(point.y()),
                       m_preview.loadGeneration(),
                       [reply = std::move(reply)](const PageAnswer<QVariant> &answer) {
                           reply(answer ? answer->toInt() : -1);
                       });
}

void PreviewChoices::click(int index, bool extendRange)
{
    m_model.click(index, extendRange);
}

void PreviewChoices::setLists(const QVariantList &lists, bool ticked)
{
    QList<int> chosen;
    for (const QVariant &list : lists)
        chosen.append(list.toInt());
    m_model.setLists(chosen, ticked);
}

void PreviewChoices::showTicks()
{
    m_preview.evaluate(QString::fromUtf8(kShowTicks).arg(jsArray(m_model.ticks())),
                       m_preview.loadGeneration(), [](const PageAnswer<QVariant> &) {});
}

} // namespace talvesk
