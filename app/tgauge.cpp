// The progress gauge of the splash window: a control that draws its progress in one of five ways.
#include "tgauge.h"

#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

namespace velkora::app {

namespace {

// The share of a length that a percentage covers, truncated toward zero.
int share(int length, int percent)
{
    return static_cast<int>(length * (percent * 0.01));
}

int nearest(double x)
{
    return static_cast<int>(std::lround(x));
}

// QPainter's angles: sixteenths of a degree, counter-clockwise from three o'clock.
int angleOf(QPointF centre, QPointF p)
{
    return static_cast<int>(std::lround(std::atan2(-(p.y() - centre.y()), p.x() - centre.x()) * 180 / M_PI * 16));
}

} // namespace

TGauge::TGauge(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ProgressBar"));
    resize(100, 100);
    m_color = palette().color(QPalette::Button);
}

int TGauge::percentDone() const
{
    if (m_max == m_min)
        return 0;
    return static_cast<int>(double(m_progress - m_min) * 100 / double(m_max - m_min));
}

void TGauge::changed()
{
    ++m_repaints;
    repaint(); // at once: the message loop does not run during start-up
}

template <typename T>
void TGauge::assign(T &member, const T &value)
{
    // The other setters store a changed value and repaint; an unchanged one does nothing.
    if (member != value) {
        member = value;
        changed();
    }
}

void TGauge::setProgress(int value)
{
    const int before = percentDone();
    value = std::clamp(value, m_min, m_max);
    if (value == m_progress)
        return;
    m_progress = value;
    if (percentDone() != before)
        changed();
}

void TGauge::setMinValue(int value)
{
    if (value == m_min)
        return;
    if (value > m_max)
        throw TGaugeError(QStringLiteral("Value must be between %1 and %2").arg(-2147483647).arg(qint64(m_max) - 1));
    m_min = value;
    m_progress = std::max(m_progress, m_min);
    changed();
}

void TGauge::setMaxValue(int value)
{
    if (value == m_max)
        return;
    if (value < m_min)
        throw TGaugeError(QStringLiteral("Value must be between %1 and %2").arg(qint64(m_min) + 1).arg(2147483647));
    m_max = value;
    m_progress = std::min(m_progress, m_max);
    changed();
}

void TGauge::setKind(Kind kind)
{
    assign(m_kind, kind);
}

void TGauge::setShowText(bool show)
{
    assign(m_showText, show);
}

void TGauge::setBorderStyle(BorderStyle style)
{
    assign(m_border, style);
}

void TGauge::setForeColor(const QColor &color)
{
    assign(m_fore, color);
}

void TGauge::setBackColor(const QColor &color)
{
    assign(m_back, color);
}

void TGauge::setColor(const QColor &color)
{
    assign(m_color, color);
}

void TGauge::drawKind(QPainter &p, const QRect &paint) const
{
    const int left = paint.left(), top = paint.top(), right = paint.right() + 1, bottom = paint.bottom() + 1;
    const int percent = percentDone();
    const int frame = m_border == bsSingle ? 1 : 0;
    switch (m_kind) {
    case gkText:
        p.fillRect(paint, m_back);
        break;
    case gkHorizontalBar: {
        const int w = right - left + 1, h = bottom - top + 1;
        p.fillRect(paint, m_back);
        const int n = std::min(share(w, percent), w);
        if (n >= 1)
            p.fillRect(QRect(QPoint(left, top), QPoint(n - 1, h - 1)).intersected(paint), m_fore);
        break;
    }
    case gkVerticalBar: {
        const int w = right - left + 1, h = bottom - top + 1;
        p.fillRect(paint, m_back);
        int n = share(h, percent);
        if (n >= h)
            n = h - 1;
        if (n >= 1)
            p.fillRect(QRect(QPoint(left, h - n), QPoint(w - 1, h - 1)).intersected(paint), m_fore);
        break;
    }
    case gkPie: {
        const int w = right - left + frame, h = bottom - top + frame;
        p.fillRect(paint, m_color);
        const QRect ellipse(QPoint(left, top), QPoint(w - 1, h - 1));
        p.setPen(QPen(m_fore, 1));
        p.setBrush(m_back);
        p.drawEllipse(ellipse);
        if (percent > 0) {
            const double a = (percent / 50.0 + 0.5) * M_PI;
            const QPointF centre = QRectF(ellipse).center();
            const QPointF from(nearest((1 - std::cos(a)) * (w / 2)), nearest((1 - std::sin(a)) * (h / 2)));
            const QPointF to(w / 2, 0);
            // Counter-clockwise from the first radial to twelve o'clock: the slice grows clockwise.
            const int start = angleOf(centre, from);
            int span = angleOf(centre, to) - start;
            while (span <= 0)
                span += 360 * 16;
            if (percent >= 100)
                span = 360 * 16;
            p.setBrush(m_fore);
            p.drawPie(ellipse, start, span);
        }
        break;
    }
    case gkNeedle: {
        const int w = right - left + frame, h = bottom - top + frame;
        p.fillRect(paint, m_color);
        const QRect ellipse(QPoint(left, top), QPoint(left + w - 1, top + 2 * h - 2));
        p.setPen(QPen(m_fore, 1));
        p.setBrush(m_back);
        p.drawPie(ellipse, 0, 180 * 16); // the upper half
        p.drawLine(QPoint(left, bottom), QPoint(left + w, bottom)); // the dial's base, on its bottom edge
        if (percent > 0) {
            const int m = width() / 2;
            const double a = percent / 100.0 * M_PI;
            p.drawLine(QPoint(m, bottom - 1), QPoint(nearest((1 - std::cos(a)) * m), nearest((1 - std::sin(a)) * (bottom - 1))));
        }
        break;
    }
    }
}

QImage TGauge::picture() const
{
    const QSize size = this->size().expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QRect paint = QRect(QPoint(0, 0), size);
    if (m_border == bsSingle)
        paint.adjust(1, 1, -1, -1);
    if (paint.isEmpty())
        return image;
    QImage overlay(size, QImage::Format_RGB32);
    overlay.fill(Qt::black);
    {
        QPainter p(&overlay);
        p.setClipRect(paint);
        drawKind(p, paint);
    }
    QPainter p(&image);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.drawImage(0, 0, overlay);
    if (m_showText) {
        QImage text(size, QImage::Format_RGB32);
        text.fill(Qt::black);
        {
            QPainter t(&text);
            t.setClipRect(paint);
            t.setFont(font());
            t.setPen(Qt::white);
            const QString label = QStringLiteral("%1%").arg(percentDone());
            const QFontMetrics metrics(font());
            const int x = (paint.width() - metrics.horizontalAdvance(label)) / 2;
            const int y = (paint.height() - metrics.height()) / 2;
            t.drawText(QPoint(paint.left() + x, paint.top() + y + metrics.ascent()), label);
        }
        p.drawImage(0, 0, text);
    }
    return image;
}

void TGauge::paintEvent(QPaintEvent *)
{
    QPainter(this).drawImage(0, 0, picture());
}

} // namespace velkora::app
