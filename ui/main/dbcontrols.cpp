// Controls bound to a field of the topic query: the title box DBEdit1 and the hidden label DBText1.
#include "dbcontrols.h"

#include "messagedialogs.h"
#include "store/dataset.h"
#include "store/field.h"

#include <QApplication>
#include <QKeyEvent>

namespace velkora::ui {

TDBEdit::TDBEdit(QWidget *parent) : QLineEdit(parent)
{
    m_link.onDataChange = [this] { showField(); };
    m_link.onActiveChange = [this] { showField(); };
    m_link.onUpdateData = [this] {
        if (store::Field *f = m_link.field())
            f->setAsString(text());
    };
    connect(this, &QLineEdit::textEdited, this, [this] { m_link.modified(); });
}

void TDBEdit::setReadOnly(bool readOnly)
{
    m_link.setReadOnly(readOnly);
    QLineEdit::setReadOnly(readOnly);
}

void TDBEdit::showField()
{
    store::Field *f = m_link.field();
    const QString value = f ? f->asString() : QString();
    // Entering edit state for the key being typed keeps the box as it is, selection included.
    if (!(m_startingEdit && value == text()))
        setText(value);
    const int limit = f && f->dataType() == store::FieldType::String && f->size() > 0 ? f->size() : 32767;
    if (maxLength() != limit)
        setMaxLength(limit); // setting it anew would clear the selection
}

bool TDBEdit::startEditing()
{
    bool editing = false;
    m_startingEdit = true;
    guarded([&] { editing = m_link.edit(); }, this);
    m_startingEdit = false;
    return editing;
}

void TDBEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        m_link.reset(); // the typing since the last save goes
        selectAll();
        return;
    }
    const bool changes = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete ||
                         event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
                         (!event->text().isEmpty() && event->text().at(0).isPrint() &&
                          !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
    if (changes && !isReadOnly()) {
        store::Field *f = m_link.field();
        const bool typed = !event->text().isEmpty() && event->text().at(0).isPrint();
        if (!f || (typed && !f->isValidChar(event->text().at(0))) || !startEditing()) {
            QApplication::beep();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::focusOutEvent(QFocusEvent *event)
{
    if (m_link.isModified() && m_link.fieldEditing())
        guarded([this] { m_link.updateRecord(); }, this);
    QLineEdit::focusOutEvent(event);
}

TDBText::TDBText(QWidget *parent) : QLabel(parent)
{
    m_link.onDataChange = [this] { setText(m_link.field() ? m_link.field()->asString() : QString()); };
    m_link.onActiveChange = m_link.onDataChange;
}

} // namespace velkora::ui
