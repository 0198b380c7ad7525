// A whole-number box with up and down buttons whose text is checked on every change: a number
// outside the limits is replaced by the nearest limit at once, a text that is no number counts as
// the lower limit (and is replaced by it when the box loses the focus).
#pragma once

#include <QAbstractSpinBox>

namespace velkora::editor {

class TSpinEdit : public QAbstractSpinBox
{
    Q_OBJECT
    // Read-only mode finds the box by this name: typing and stepping are refused.
    Q_PROPERTY(bool ReadOnly READ isReadOnly WRITE setReadOnly)
public:
    explicit TSpinEdit(QWidget *parent = nullptr);

    // Equal limits mean no limits at all (negative numbers allowed).
    void setRange(int minValue, int maxValue);
    int minValue() const { return m_min; }
    int maxValue() const { return m_max; }
    void setIncrement(int increment) { m_increment = increment; }

    int value() const { return m_value; }
    // Takes the value through the limits and shows it.
    void setValue(int value);

    void stepBy(int steps) override;
    // The box's text field (a person types there).
    using QAbstractSpinBox::lineEdit;

Q_SIGNALS:
    // Only when the number changes, whoever changed it.
    void valueChanged(int value);

protected:
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool bounded() const { return m_min != m_max; }
    int checked(qint64 value) const;
    // The number a text stands for, and whether it is a number at all.
    int interpret(const QString &text, bool *isNumber) const;
    void textChanged(const QString &text);
    void show(int value);
    void take(int value);

    int m_min = 0, m_max = 0;
    int m_increment = 1;
    int m_value = 0;
    bool m_showing = false;
};

} // namespace velkora::editor
