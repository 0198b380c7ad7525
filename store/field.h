// One column of a record set as bound controls and commands see it.
#pragma once

#include <QString>
#include <QVariant>

namespace velkora::store {

class DataSet;

enum class FieldType { Integer, String, Memo };

// A field reads and writes the current record of its record set: the stored row while browsing,
// the edit buffer while editing or inserting. Fields live from the opening of their record set to
// its closing; after that a control must look them up again.
class Field
{
public:
    Field(DataSet *dataSet, int index, QString name, FieldType type, int size, bool readOnly);

    DataSet *dataSet() const { return m_dataSet; }
    int index() const { return m_index; }
    const QString &fieldName() const { return m_name; }
    FieldType dataType() const { return m_type; }
    int size() const { return m_size; } // characters of a String field, 0 for the others
    bool isBlob() const { return m_type == FieldType::Memo; }
    bool readOnly() const { return m_readOnly; }
    bool canModify() const;

    QVariant value() const;
    bool isNull() const;
    QString asString() const;
    QString displayText() const { return asString(); }

    // Throws DataSetError when the record set is not editing or the field is read-only.
    void setValue(const QVariant &value);
    void setAsString(const QString &text);
    void clear() { setValue(QVariant()); }

    // Whether a typed character may go into this field (digits and signs for numbers).
    bool isValidChar(QChar c) const;

    // Width in characters a list shows the field with when nothing else is set.
    int displayWidth() const;

private:
    DataSet *m_dataSet;
    int m_index;
    QString m_name;
    FieldType m_type;
    int m_size;
    bool m_readOnly;
};

} // namespace velkora::store
