// The print preview's toolbar glyphs, drawn with a painter on a 16 × 16 transparent pixmap.
#include "previewglyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace velkora::print {

namespace {

void page(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
}

void lens(QPainter &p)
{
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(200, 225, 255));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(120, 70, 20), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
}

void triangle(QPainter &p, bool right, double x)
{
    const QPolygonF t = right ? QPolygonF({QPointF(x, 3), QPointF(x + 6, 8), QPointF(x, 13)})
                              : QPolygonF({QPointF(x + 6, 3), QPointF(x, 8), QPointF(x + 6, 13)});
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 64, 160));
    p.drawPolygon(t);
}

void bar(QPainter &p, double x)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 64, 160));
    p.drawRect(QRectF(x, 3, 2, 10));
}

void printer(QPainter &p)
{
    page(p, QRectF(4.5, 1.5, 7, 5));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(QRectF(1.5, 6.5, 13, 6));
    page(p, QRectF(4.5, 10.5, 7, 4));
    p.setPen(QColor(0, 160, 0));
    p.drawPoint(12, 8);
}

} // namespace

QIcon previewGlyph(int index)
{
    if (index < 0 || index >= PreviewGlyphCount)
        return QIcon();
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0: // zoom to fit: the whole page under the lens
        page(p, QRectF(3.5, 0.5, 9, 12));
        lens(p);
        break;
    case 1: { // 100 %
        lens(p);
        QFont f(QStringLiteral("Sans"));
        f.setPixelSize(6);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(QRectF(1.5, 1.5, 9, 9), Qt::AlignCenter, QStringLiteral("1:1"));
        break;
    }
    case 2: // zoom to width: arrows across a page
        page(p, QRectF(2.5, 0.5, 11, 15));
        p.setPen(QPen(QColor(0, 64, 160), 1.5));
        p.drawLine(QPointF(4, 8), QPointF(12, 8));
        triangle(p, false, 3);
        break;
    case 3: bar(p, 3); triangle(p, false, 6); break;
    case 4: triangle(p, false, 5); break;
    case 5: triangle(p, true, 5); break;
    case 6: triangle(p, true, 4); bar(p, 11); break;
    case 7: // printer setup: a printer with a spanner-like hook
        printer(p);
        p.setPen(QPen(QColor(160, 0, 0), 1.5));
        p.drawArc(QRectF(9, 0.5, 6, 6), 0, 270 * 16);
        break;
    case 8: printer(p); break;
    case 9: { // load: an open folder
        p.setPen(QPen(QColor(120, 90, 0), 1));
        p.setBrush(QColor(240, 200, 80));
        p.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(6, 3.5), QPointF(7.5, 5.5), QPointF(13.5, 5.5),
                                 QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
        p.setBrush(QColor(255, 225, 120));
        p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
        break;
    }
    case 10: // save: a diskette
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(40, 70, 140));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        break;
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace velkora::print
