// The progress gauge of the splash window: a horizontal bar with the percentage written over it.
#pragma once

#include <QWidget>

namespace velkora::app {

// MinValue ≤ Progress ≤ MaxValue after every change through the setters. The percentage is
// (Progress − MinValue) × 100 / (MaxValue − MinValue) truncated, 0 when the two bounds are equal.
// Setting the progress repaints at once, and only when the whole percentage changed.
class TGauge : public QWidget
{
    Q_OBJECT
public:
    explicit TGauge(QWidget *parent = nullptr);

    int progress() const { return m_progress; }
    void setProgress(int value);
    int minValue() const { return m_min; }
    int maxValue() const { return m_max; }
    void setMaxValue(int value);
    int percentDone() const;
    int repaints() const { return m_repaints; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_min = 0, m_max = 100, m_progress = 0;
    int m_repaints = 0;
};

} // namespace velkora::app
