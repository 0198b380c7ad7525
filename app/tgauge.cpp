// The progress gauge of the splash window: a horizontal bar with the percentage written over it.
#include "tgauge.h"

#include <QPainter>

#include <algorithm>

namespace velkora::app {

TGauge::TGauge(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ProgressBar"));
}

int TGauge::percentDone() const
{
    if (m_max == m_min)
        return 0;
    return static_cast<int>(double(m_progress - m_min) * 100 / double(m_max - m_min));
}

void TGauge::setProgress(int value)
{
    const int before = percentDone();
    value = std::clamp(value, m_min, m_max);
    if (value == m_progress)
        return;
    m_progress = value;
    if (percentDone() != before) {
        ++m_repaints;
        repaint(); // at once: the message loop does not run during start-up
    }
}

void TGauge::setMaxValue(int value)
{
    if (value == m_max)
        return;
    m_max = std::max(value, m_min);
    m_progress = std::min(m_progress, m_max);
    update();
}

void TGauge::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().color(QPalette::Button));
    const int filled = std::min(r.width(), static_cast<int>(r.width() * (percentDone() * 0.01)));
    if (filled >= 1)
        p.fillRect(QRect(0, 0, filled, r.height()), QColor(0, 0, 255));
    // The percentage in the inverse of what lies beneath it.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, QStringLiteral("%1%").arg(percentDone()));
}

} // namespace velkora::app
