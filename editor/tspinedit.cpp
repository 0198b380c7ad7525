// A whole-number box checked on every change of its text.
#include "tspinedit.h"

#include <QLineEdit>

#include <algorithm>
#include <limits>

namespace velkora::editor {

TSpinEdit::TSpinEdit(QWidget *parent) : QAbstractSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(false);
    lineEdit()->setText(QStringLiteral("0"));
    connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEdit::textChanged);
}

void TSpinEdit::setRange(int minValue, int maxValue)
{
    m_min = std::min(minValue, maxValue);
    m_max = std::max(minValue, maxValue);
    setValue(m_value);
}

int TSpinEdit::checked(qint64 value) const
{
    if (!bounded())
        return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    return static_cast<int>(std::clamp<qint64>(value, m_min, m_max));
}

int TSpinEdit::interpret(const QString &text, bool *isNumber) const
{
    const QString t = text.trimmed();
    bool ok = false;
    const qint64 n = t.toLongLong(&ok);
    if (ok) {
        *isNumber = true;
        return checked(n);
    }
    // Digits too many for any whole number still name a side of the limits.
    const bool negative = t.startsWith(u'-');
    const QStringView digits = QStringView(t).mid(negative ? 1 : 0);
    if (!digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); })) {
        *isNumber = true;
        return checked(negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max());
    }
    *isNumber = false;
    return bounded() ? m_min : 0;
}

void TSpinEdit::show(int value)
{
    const QString text = QString::number(value);
    if (lineEdit()->text() == text)
        return;
    m_showing = true;
    lineEdit()->setText(text);
    lineEdit()->setCursorPosition(text.size());
    m_showing = false;
}

void TSpinEdit::take(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    Q_EMIT valueChanged(value);
}

void TSpinEdit::setValue(int value)
{
    const int v = checked(value);
    show(v);
    take(v);
}

void TSpinEdit::textChanged(const QString &text)
{
    if (m_showing)
        return;
    bool isNumber = false;
    const int v = interpret(text, &isNumber);
    // A number beyond a limit gives way to the limit at once; a text that is no number yet (an
    // emptied box, a lone minus sign) is left to be typed on.
    if (isNumber && QString::number(v) != text.trimmed())
        show(v);
    take(v);
}

void TSpinEdit::stepBy(int steps)
{
    if (isReadOnly())
        return;
    setValue(checked(static_cast<qint64>(m_value) + static_cast<qint64>(steps) * m_increment));
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    return StepUpEnabled | StepDownEnabled;
}

QValidator::State TSpinEdit::validate(QString &, int &) const
{
    return QValidator::Acceptable; // every text is taken and checked as it changes
}

void TSpinEdit::fixup(QString &input) const
{
    bool isNumber = false;
    input = QString::number(interpret(input, &isNumber));
}

void TSpinEdit::focusOutEvent(QFocusEvent *event)
{
    show(m_value);
    QAbstractSpinBox::focusOutEvent(event);
}

} // namespace velkora::editor
