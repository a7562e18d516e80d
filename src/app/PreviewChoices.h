// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPoint>
#include <QVariantList>

#include <functional>

class QWebChannel;

namespace talvesk {

class PictureChoiceModel;
class QtPageBrowser;

// The preview's tick boxes, a view of the window's choice model: each picture gets a box that
// shows whether the model ticks it and a pixel size once it has loaded, each list and the whole
// set buttons that tick or clear them. A click on a picture or its box toggles it in the model,
// a shift-click ticks the range from the last click; the boxes follow the model, never the
// other way round, so nothing the page does can change what 下载 saves.
//
// The boxes are made by a script of ours in an isolated world, after the preview has been
// written: the page's markup stays as written, runs no script of its own, and no address is
// ever parsed as markup. The world talks back through a web channel.
class PreviewChoices final : public QObject
{
    Q_OBJECT

public:
    PreviewChoices(QtPageBrowser &preview, PictureChoiceModel &model, QObject *parent = nullptr);
    ~PreviewChoices() override;

    // Draws the boxes on the preview shown now, as the model ticks them; `failed` runs, from the
    // event loop, when the preview is still there but the boxes are not.
    void draw(std::function<void()> failed);
    // The picture at a point of the preview's view (its index in the model), or -1.
    void pictureAt(QPoint point, std::function<void(int index)> reply);

    // Called from the preview's world.
    Q_INVOKABLE void click(int index, bool extendRange);
    Q_INVOKABLE void setLists(const QVariantList &lists, bool ticked);

private:
    void showTicks();

    QtPageBrowser &m_preview;
    PictureChoiceModel &m_model;
    QWebChannel *m_channel;
};

} // namespace talvesk
