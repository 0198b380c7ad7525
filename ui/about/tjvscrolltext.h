// A block of text that scrolls by a few pixels at a fixed interval, driven by a worker thread, and
// comes back from the far side once it has left the visible area.
#pragma once

#include <QAtomicInt>
#include <QColor>
#include <QLabel>
#include <QMutex>
#include <QSemaphore>
#include <QStringList>
#include <QThread>
#include <QWidget>

namespace velkora::ui {

class TJvScrollText;

// Sleeps Delay milliseconds, then hands one step to the user-interface thread and waits until it
// has run. While the control is inactive the user-interface thread holds the pause lock, so the
// worker waits before its next step. The lock is never held while a step is waited for: a
// control paused from the user-interface thread cannot wait on a worker that waits on it.
class ScrollThread : public QThread
{
public:
    explicit ScrollThread(TJvScrollText *control) : m_control(control) {}
    void end(); // on the user-interface thread: the loop stops, and the thread is waited for

protected:
    void run() override;

private:
    friend class TJvScrollText;
    TJvScrollText *m_control;
    QAtomicInt m_ending = 0;
    QSemaphore m_stepDone;
};

class TJvScrollText : public QWidget
{
    Q_OBJECT
public:
    enum Direction { drFromLeft, drFromRight, drFromTop, drFromBottom };

    explicit TJvScrollText(QWidget *parent = nullptr);
    ~TJvScrollText() override;

    QStringList items() const { return m_items; }
    void setItems(const QStringList &lines);
    bool active() const { return m_active; }
    void setActive(bool active);
    int delay() const { return m_delay.loadRelaxed(); }
    void setDelay(int milliseconds) { m_delay.storeRelaxed(std::max(1, milliseconds)); }
    int scrollPixels() const { return m_scrollPixels; }
    void setScrollPixels(int pixels) { m_scrollPixels = std::max(1, pixels); }
    Direction scrollDirection() const { return m_direction; }
    void setScrollDirection(Direction direction);
    QColor backgroundColor() const { return m_background; }
    void setBackgroundColor(const QColor &color);
    Qt::Alignment alignment() const { return m_text->alignment(); }
    void setAlignment(Qt::Alignment alignment) { m_text->setAlignment(alignment); }
    bool wordWrap() const { return m_text->wordWrap(); }
    void setWordWrap(bool wrap);
    void setTextFont(const QFont &font);

    // Glides to a stop and becomes inactive; starts again, gathering speed; back to the start.
    void Pause();
    void Unpause();
    void Reset();

    // The text's place along the scroll axis and its size, and one step (run on the user-interface
    // thread; the worker asks for it, a test may call it).
    int position() const { return m_position; }
    QSize textSize() const { return m_text->size(); }
    QLabel *textLabel() const { return m_text; }
    Q_INVOKABLE void step();
    int steps() const { return m_steps; }

Q_SIGNALS:
    void scrollEnd();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Mode { Steady, SlowingDown, SpeedingUp };
    bool vertical() const { return m_direction == drFromTop || m_direction == drFromBottom; }
    void layOut();
    int startPosition() const;
    void place();
    void pauseWorker(bool pause);

    QLabel *m_text;
    QStringList m_items;
    bool m_active = false;
    QAtomicInt m_delay = 50;
    int m_scrollPixels = 1;
    Direction m_direction = drFromBottom;
    QColor m_background = Qt::black;
    int m_position = 0;
    Mode m_mode = Mode::Steady;
    int m_stepSize = 0;
    bool m_dragging = false;
    int m_dragFrom = 0;
    int m_steps = 0;
    bool m_destroying = false;
    QMutex m_pauseLock;     // held by the user-interface thread while inactive
    bool m_holdsPause = false;
    ScrollThread *m_thread = nullptr;
    friend class ScrollThread;
};

} // namespace velkora::ui
