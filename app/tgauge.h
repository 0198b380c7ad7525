// The progress gauge of the splash window: a control that draws its progress in one of five ways.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <stdexcept>

namespace velkora::app {

// A bound set outside what the gauge allows: "Value must be between %d and %d".
class TGaugeError : public std::runtime_error
{
public:
    explicit TGaugeError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

// MinValue ≤ Progress ≤ MaxValue after every change through the setters (MinValue = MaxValue is
// allowed). The percentage is (Progress − MinValue) × 100 / (MaxValue − MinValue) truncated, 0 when
// the two bounds are equal. A progress outside the bounds is clamped; bounds that cross fail and
// change nothing. Setting the progress repaints at once (start-up keeps the message loop from
// running), and only when the whole percentage changed. The picture is built off screen: the kind
// drawn into an overlay, the percentage in white combined by exclusive-or, so it shows in the
// inverse of what lies beneath it.
class TGauge : public QWidget
{
    Q_OBJECT
public:
    enum Kind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
    enum BorderStyle { bsNone, bsSingle };

    explicit TGauge(QWidget *parent = nullptr);

    int progress() const { return m_progress; }
    void setProgress(int value);
    int minValue() const { return m_min; }
    void setMinValue(int value);
    int maxValue() const { return m_max; }
    void setMaxValue(int value);
    Kind kind() const { return m_kind; }
    void setKind(Kind kind);
    bool showText() const { return m_showText; }
    void setShowText(bool show);
    BorderStyle borderStyle() const { return m_border; }
    void setBorderStyle(BorderStyle style);
    QColor foreColor() const { return m_fore; }
    void setForeColor(const QColor &color);
    QColor backColor() const { return m_back; }
    void setBackColor(const QColor &color);
    // The control's own colour, around the pie and the needle's dial.
    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    int percentDone() const;
    int repaints() const { return m_repaints; }

    // The whole picture of the gauge as it is painted, for painting and for the tests.
    QImage picture() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawKind(QPainter &p, const QRect &paint) const;
    void changed();
    template <typename T>
    void assign(T &member, const T &value);

    int m_min = 0, m_max = 100, m_progress = 0;
    Kind m_kind = gkHorizontalBar;
    bool m_showText = true;
    BorderStyle m_border = bsSingle;
    QColor m_fore = Qt::black;
    QColor m_back = Qt::white;
    QColor m_color;
    int m_repaints = 0;
};

} // namespace velkora::app
