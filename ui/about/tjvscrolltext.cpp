// A block of text that scrolls by a few pixels at a fixed interval, driven by a worker thread.
#include "tjvscrolltext.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

namespace velkora::ui {

void ScrollThread::run()
{
    while (!m_ending.loadAcquire()) {
        // The delay in short slices, so an ending thread is not kept waiting for a long one.
        for (int slept = 0; slept < m_control->delay() && !m_ending.loadAcquire(); slept += 10)
            msleep(static_cast<unsigned long>(std::min(10, m_control->delay() - slept)));
        m_control->m_pauseLock.lock(); // waits here while the control is inactive
        const bool ending = m_ending.loadAcquire();
        m_control->m_pauseLock.unlock();
        if (ending)
            break;
        QMetaObject::invokeMethod(m_control, "step", Qt::QueuedConnection);
        while (!m_ending.loadAcquire() && !m_stepDone.tryAcquire(1, 20)) {
        }
    }
}

void ScrollThread::end()
{
    m_ending.storeRelease(1);
    m_stepDone.release();
    wait();
}

TJvScrollText::TJvScrollText(QWidget *parent) : QWidget(parent)
{
    resize(200, 150);
    setAutoFillBackground(true);
    m_text = new QLabel(this);
    m_text->setFocusPolicy(Qt::NoFocus);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->installEventFilter(this);
    setBackgroundColor(m_background);
    // Inactive from the start: the worker would wait at the pause lock.
    m_pauseLock.lock();
    m_holdsPause = true;
}

TJvScrollText::~TJvScrollText()
{
    // The step is unhooked first, then the worker is told to end, released from a pause, and
    // waited for.
    m_destroying = true;
    if (m_thread) {
        m_thread->m_ending.storeRelease(1);
        if (m_holdsPause) {
            m_pauseLock.unlock();
            m_holdsPause = false;
        }
        m_thread->end();
        delete m_thread;
    } else if (m_holdsPause) {
        m_pauseLock.unlock();
    }
}

void TJvScrollText::setItems(const QStringList &lines)
{
    m_items = lines;
    m_text->setText(lines.join(u'\n'));
    layOut();
}

void TJvScrollText::setTextFont(const QFont &font)
{
    setFont(font);
    m_text->setFont(font);
    layOut();
}

void TJvScrollText::setWordWrap(bool wrap)
{
    m_text->setWordWrap(wrap);
    layOut();
}

void TJvScrollText::setBackgroundColor(const QColor &color)
{
    m_background = color;
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
    QPalette t = m_text->palette();
    t.setColor(QPalette::Window, color);
    m_text->setPalette(t);
}

void TJvScrollText::setScrollDirection(Direction direction)
{
    m_direction = direction;
    Reset();
}

void TJvScrollText::pauseWorker(bool pause)
{
    if (pause && !m_holdsPause) {
        m_pauseLock.lock();
        m_holdsPause = true;
    } else if (!pause && m_holdsPause) {
        m_pauseLock.unlock();
        m_holdsPause = false;
    }
}

void TJvScrollText::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    pauseWorker(!active);
    if (active && !m_thread) {
        // Laid out and started from its place when it first becomes active; later a pause and an
        // unpause stop and go on where the text stands.
        layOut();
        m_thread = new ScrollThread(this);
        m_thread->start();
    }
}

void TJvScrollText::layOut()
{
    // The widest line gives the width; each line is as high as the lines it wraps into, an empty
    // one a full cell.
    const QFontMetrics metrics(m_text->font());
    int width = 0, height = 0;
    for (const QString &line : std::as_const(m_items)) {
        const int w = metrics.horizontalAdvance(line);
        width = std::max(width, w);
        if (line.isEmpty())
            height += metrics.height();
        else
            height += metrics.height() * (w / std::max(1, this->width()) + 1);
    }
    if (width <= 0)
        width = this->width();
    if (height <= 0)
        height = this->height();
    m_text->resize(width, height);
    Reset();
}

int TJvScrollText::startPosition() const
{
    // Just outside the side the text comes in from.
    switch (m_direction) {
    case drFromBottom: return height();
    case drFromTop: return -m_text->height();
    case drFromRight: return width();
    case drFromLeft: return -m_text->width();
    }
    return 0;
}

void TJvScrollText::Reset()
{
    m_position = startPosition();
    place();
}

void TJvScrollText::place()
{
    if (vertical())
        m_text->move(m_text->x(), m_position);
    else
        m_text->move(m_position, m_text->y());
}

void TJvScrollText::Pause()
{
    if (!m_active)
        return;
    m_mode = Mode::SlowingDown;
    m_stepSize = m_scrollPixels;
}

void TJvScrollText::Unpause()
{
    if (m_active)
        return;
    m_mode = Mode::SpeedingUp;
    m_stepSize = 0;
    setActive(true);
}

void TJvScrollText::step()
{
    if (m_thread && QThread::currentThread() != m_thread)
        m_thread->m_stepDone.release();
    if (m_destroying || !m_active || m_dragging)
        return;
    int size = m_scrollPixels;
    if (m_mode == Mode::SlowingDown) {
        size = m_stepSize--;
        if (size <= 0) {
            m_mode = Mode::Steady;
            setActive(false);
            return;
        }
    } else if (m_mode == Mode::SpeedingUp) {
        size = m_stepSize++;
        if (m_stepSize >= m_scrollPixels)
            m_mode = Mode::Steady;
    }
    // The text moves towards lower positions from the bottom or the right, towards higher ones
    // from the top or the left; once it has wholly left the area it starts again from its start.
    const bool backwards = m_direction == drFromBottom || m_direction == drFromRight;
    const int extent = vertical() ? height() : width();
    const int length = vertical() ? m_text->height() : m_text->width();
    const bool passEnded = backwards ? length < -m_position : m_position > extent;
    if (passEnded)
        m_position = startPosition();
    else
        m_position += backwards ? -size : size;
    ++m_steps;
    place();
    if (passEnded)
        Q_EMIT scrollEnd();
}

void TJvScrollText::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layOut();
}

bool TJvScrollText::eventFilter(QObject *watched, QEvent *event)
{
    // Dragging the text: a press stops the stepping, moving moves the text along the scroll axis
    // (wrapping to the far side), releasing lets it scroll on from where it stands.
    if (watched == m_text && event->type() == QEvent::Paint && !m_text->wordWrap()) {
        // The lines one text height apart, as the child's height counts them: the label's own
        // spacing adds the font's leading to each line and cut the last one off at the bottom.
        QPainter painter(m_text);
        painter.setFont(m_text->font());
        painter.setPen(m_text->palette().color(QPalette::WindowText));
        const QFontMetrics metrics(m_text->font());
        int y = 0;
        for (const QString &line : std::as_const(m_items)) {
            const int w = metrics.horizontalAdvance(line);
            int x = 0;
            if (m_text->alignment() & Qt::AlignRight)
                x = m_text->width() - w;
            else if (m_text->alignment() & Qt::AlignHCenter)
                x = (m_text->width() - w) / 2;
            painter.drawText(QPoint(x, y + metrics.ascent()), line);
            y += line.isEmpty() ? metrics.height() : metrics.height() * (w / std::max(1, width()) + 1);
        }
        return true;
    }
    if (watched == m_text) {
        const auto along = [this](const QMouseEvent *e) {
            const QPointF p = m_text->mapToParent(e->position());
            return static_cast<int>(vertical() ? p.y() : p.x());
        };
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            m_dragging = true;
            m_dragFrom = along(static_cast<QMouseEvent *>(event));
            return true;
        case QEvent::MouseMove:
            if (m_dragging) {
                const int at = along(static_cast<QMouseEvent *>(event));
                if (at != m_dragFrom) {
                    m_position += at - m_dragFrom;
                    m_dragFrom = at;
                    // Dragged out of the area on either side, the text comes in at the other.
                    const int extent = vertical() ? height() : width();
                    const int length = vertical() ? m_text->height() : m_text->width();
                    if (m_position > extent)
                        m_position = -length;
                    else if (length < -m_position)
                        m_position = extent;
                    place();
                }
            }
            return true;
        case QEvent::MouseButtonRelease:
            m_dragging = false;
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velkora::ui
