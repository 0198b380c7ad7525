// Controls bound to a field of the topic query: the title box DBEdit1 and the hidden label DBText1.
#pragma once

#include "store/datalink.h"

#include <QLabel>
#include <QLineEdit>

namespace velkora::store {
class DataSource;
}

namespace velkora::ui {

// An edit box bound to a field: shows the current record's value, puts the record into edit state
// on typing, Backspace, paste or cut, writes its text into the record when it loses the focus,
// and undoes the typing on Esc. It takes at most as many characters as a text column holds; a
// character the field refuses is refused with a beep.
class TDBEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(bool ReadOnly READ readOnly WRITE setReadOnly)
public:
    explicit TDBEdit(QWidget *parent = nullptr);
    void setDataSource(store::DataSource *source) { m_link.setDataSource(source); }
    void setDataField(const QString &field) { m_link.setFieldName(field); }
    bool readOnly() const { return m_link.readOnly(); }
    void setReadOnly(bool readOnly);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool startEditing();
    void showField();
    store::FieldDataLink m_link;
    bool m_startingEdit = false;
};

// A label showing a field of the current record.
class TDBText : public QLabel
{
    Q_OBJECT
public:
    explicit TDBText(QWidget *parent = nullptr);
    void setDataSource(store::DataSource *source) { m_link.setDataSource(source); }
    void setDataField(const QString &field) { m_link.setFieldName(field); }

private:
    store::FieldDataLink m_link;
};

} // namespace velkora::ui
