// One column of a record set as bound controls and commands see it.
#include "field.h"

#include "dataset.h"

namespace velkora::store {

Field::Field(DataSet *dataSet, int index, QString name, FieldType type, int size, bool readOnly)
    : m_dataSet(dataSet), m_index(index), m_name(std::move(name)), m_type(type), m_size(size), m_readOnly(readOnly)
{
}

bool Field::canModify() const
{
    return !m_readOnly && m_dataSet->canModify();
}

QVariant Field::value() const
{
    return m_dataSet->currentValue(m_index);
}

bool Field::isNull() const
{
    const QVariant v = value();
    return !v.isValid() || v.isNull();
}

QString Field::asString() const
{
    const QVariant v = value();
    return v.isNull() ? QString() : v.toString();
}

void Field::setValue(const QVariant &value)
{
    m_dataSet->setCurrentValue(m_index, value);
}

void Field::setAsString(const QString &text)
{
    if (m_type == FieldType::Integer && text.trimmed().isEmpty())
        setValue(QVariant());
    else
        setValue(text);
}

bool Field::isValidChar(QChar c) const
{
    if (m_type == FieldType::Integer)
        return c.isDigit() || c == u'+' || c == u'-';
    return c.unicode() >= 32 || c == u'\t';
}

int Field::displayWidth() const
{
    switch (m_type) {
    case FieldType::Integer:
        return 10;
    case FieldType::String:
        return m_size > 0 ? m_size : 20;
    case FieldType::Memo:
        return 10;
    }
    return 10;
}

} // namespace velkora::store
