#include "app/AppIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace talvesk {

namespace {

constexpr int kToolbarSize = 24;

const QColor kInk(0x2f, 0x5d, 0x8c);
const QColor kStopRed(0xc8, 0x32, 0x2d);
const QColor kAccent(0xf0, 0x8a, 0x24);

QPixmap canvas(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// An arrow across the picture, pointing left or right.
void drawArrow(QPainter &p, bool right)
{
    QPainterPath arrow;
    arrow.moveTo(3, 12);
    arrow.lineTo(11, 4);
    arrow.lineTo(11, 8.5);
    arrow.lineTo(21, 8.5);
    arrow.lineTo(21, 15.5);
    arrow.lineTo(11, 15.5);
    arrow.lineTo(11, 20);
    arrow.closeSubpath();
    if (right) {
        p.translate(kToolbarSize, 0);
        p.scale(-1, 1);
    }
    p.setPen(QPen(kInk.darker(130), 1));
    p.setBrush(kInk);
    p.drawPath(arrow);
}

void drawStop(QPainter &p)
{
    p.setPen(QPen(kStopRed.darker(130), 1));
    p.setBrush(kStopRed);
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(16, 16));
    p.drawLine(QPointF(16, 8), QPointF(8, 16));
}

void drawRefresh(QPainter &p)
{
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 4.5, 15, 15), 100 * 16, 280 * 16);
    QPainterPath head;
    head.moveTo(10, 1);
    head.lineTo(16, 5);
    head.lineTo(10, 9);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawPath(head);
}

void drawHome(QPainter &p)
{
    QPainterPath roof;
    roof.moveTo(12, 2);
    roof.lineTo(22, 11);
    roof.lineTo(2, 11);
    roof.closeSubpath();
    p.setPen(QPen(kStopRed.darker(130), 1));
    p.setBrush(kStopRed);
    p.drawPath(roof);
    p.setPen(QPen(kInk.darker(130), 1));
    p.setBrush(QColor(0xf4, 0xe9, 0xd2));
    p.drawRect(QRectF(5, 11, 14, 10));
    p.setBrush(kInk);
    p.drawRect(QRectF(10, 14, 4, 7));
}

void drawSearch(QPainter &p)
{
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
    p.setPen(QPen(kInk, 2.5));
    p.setBrush(QColor(0xdd, 0xec, 0xf8));
    p.drawEllipse(QRectF(3, 3, 12, 12));
}

// A picture frame with a downward arrow: pictures taken from a page.
QPixmap drawWindowPicture(int size)
{
    QPixmap pixmap = canvas(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(kInk.darker(140), 1.5));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(2, 4, 28, 22), 3, 3);
    QPainterPath hills;
    hills.moveTo(5, 23);
    hills.lineTo(12, 13);
    hills.lineTo(17, 19);
    hills.lineTo(21, 15);
    hills.lineTo(27, 23);
    hills.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawPath(hills);
    p.setBrush(kAccent);
    p.drawEllipse(QRectF(21, 7, 5, 5));
    QPainterPath arrow;
    arrow.moveTo(13, 21);
    arrow.lineTo(19, 21);
    arrow.lineTo(19, 26);
    arrow.lineTo(23, 26);
    arrow.lineTo(16, 31.5);
    arrow.lineTo(9, 26);
    arrow.lineTo(13, 26);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(kAccent.darker(115));
    p.drawPath(arrow);
    return pixmap;
}

} // namespace

QIcon toolbarPicture(int number)
{
    QPixmap pixmap = canvas(kToolbarSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (number) {
    case 1:
        drawArrow(p, false);
        break;
    case 2:
        drawArrow(p, true);
        break;
    case 3:
        drawStop(p);
        break;
    case 4:
        drawRefresh(p);
        break;
    case 5:
        drawHome(p);
        break;
    case 6:
        drawSearch(p);
        break;
    default:
        return {};
    }
    p.end();
    return QIcon(pixmap);
}

QIcon windowPicture()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(drawWindowPicture(size));
    return icon;
}

} // namespace talvesk
