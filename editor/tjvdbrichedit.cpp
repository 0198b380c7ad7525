// The editor of the body: a rich-edit control joined to the subtopic's Aciklama field.
#include "tjvdbrichedit.h"

#include "platform/richedit/rtfreader.h"
#include "store/dataset.h"
#include "store/field.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTextBlock>

namespace velkora::editor {

TJvDBRichEdit::TJvDBRichEdit(QWidget *parent) : richedit::RichEditControl(parent)
{
    m_link.onDataChange = [this] { dataChanged(); };
    m_link.onUpdateData = [this] { updateData(); };
    beforeEdit = [this](richedit::EditTrigger trigger) { return allowEdit(trigger); };
    keyFilter = [this](QKeyEvent *event) { return filterKey(event); };
    connect(this, &richedit::RichEditControl::changed, this, [this] {
        if (!m_loadGuard)
            contentChanged();
    });
}

qint64 TJvDBRichEdit::currentKey() const
{
    const store::DataSet *set = m_link.dataSet();
    return set && set->active() && set->state() == store::DataSetState::Browse ? set->displayKey(set->currentDisplayRow()) : 0;
}

void TJvDBRichEdit::contentChanged()
{
    m_loadedKey = 0;
    m_loadedValue.clear();
    if (m_loaded)
        m_link.modified();
    m_loaded = true;
    m_unchangedSinceWrite = false;
    if (OnChange)
        OnChange();
}

bool TJvDBRichEdit::reportErrors(const std::function<void()> &f)
{
    try {
        f();
        return true;
    } catch (const std::exception &e) {
        if (onError)
            onError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

TJvDBRichEdit::~TJvDBRichEdit()
{
    m_link.onDataChange = nullptr;
    m_link.onUpdateData = nullptr;
}

void TJvDBRichEdit::setDataSource(store::DataSource *source)
{
    m_link.setDataSource(source);
}

void TJvDBRichEdit::setDataField(const QString &field)
{
    m_link.setFieldName(field);
}

void TJvDBRichEdit::setReadOnly(bool readOnly)
{
    m_link.setReadOnly(readOnly);
}

void TJvDBRichEdit::dataChanged()
{
    store::Field *field = m_link.field();
    if (!field) {
        ++m_bodyGeneration;
        m_loadGuard = true;
        streamInText(QString());
        m_loadGuard = false;
        m_loaded = false;
        followContent();
    } else if (m_loaded && m_loadedKey != 0 && m_loadedKey == currentKey() && field->asString() == m_loadedValue) {
        // The same body of the same subtopic, read again: nothing on the screen changes.
    } else if (m_loaded && m_unchangedSinceWrite && field->asString() == m_written) {
        // The record holds just what the editor wrote (a post): the content on screen is the
        // stored body already, and reading it in again would only cost the time to lay it out.
        setModified(false);
    } else if (!(m_startEditGuard && !m_savedCopy.isEmpty() && m_savedCopy == field->asString())) {
        // Entering edit state through the editor keeps what is on screen; anything else loads the body.
        m_loaded = false;
        loadBody();
    }
    viewport()->update();
}

void TJvDBRichEdit::loadBody()
{
    store::Field *field = m_link.field();
    ++m_bodyGeneration;
    if (m_loaded || !field)
        return;
    m_loadGuard = true;
    m_unchangedSinceWrite = false;
    const QString value = field->asString();
    m_loadedKey = 0;
    m_loadedValue.clear();
    const QByteArray bytes = value.toUtf8();
    bool ok;
    if (richedit::RtfReader::looksLikeRtf(bytes)) {
        ok = streamInRtf(value.toLatin1());
        if (!ok) {
            streamInText(value);
            ok = true;
        }
    } else {
        streamInText(value); // plain text takes the editor's font, Arial 10
        ok = true;
    }
    if (ok) {
        m_loaded = true;
        m_loadedKey = currentKey();
        m_loadedValue = value;
    } else {
        streamInText(failedToLoad());
        m_loaded = false;
    }
    m_loadGuard = false;
    followContent();
}

void TJvDBRichEdit::followContent()
{
    // New content: undo and redo start again, and the toolbar shows the format at the caret even
    // where the caret stays at the start.
    if (OnChange)
        OnChange();
    Q_EMIT selectionChange();
}

bool TJvDBRichEdit::startEditing()
{
    m_startEditGuard = true;
    bool editing = m_link.fieldEditing();
    if (!editing) {
        if (store::Field *field = m_link.field())
            m_savedCopy = field->asString();
        try {
            editing = m_link.edit();
        } catch (...) {
            m_savedCopy.clear();
            m_startEditGuard = false;
            throw;
        }
    }
    m_savedCopy.clear();
    m_startEditGuard = false;
    return editing;
}

bool TJvDBRichEdit::allowEdit(richedit::EditTrigger trigger)
{
    const bool format = trigger == richedit::EditTrigger::CharFormat || trigger == richedit::EditTrigger::ParaFormat;
    if (format && m_loadGuard)
        return true;
    if (!m_loaded)
        return false;
    bool editing = false;
    try {
        editing = startEditing();
    } catch (const std::exception &) {
        editing = false; // the query refused (an error of the book): the change is not made
    }
    if (!editing && !format)
        QApplication::beep();
    return editing;
}

bool TJvDBRichEdit::filterKey(QKeyEvent *event)
{
    if (!m_loaded) {
        // Until a body is loaded keys are swallowed; Enter tries to load it again.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            loadBody();
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        // Drops the changes since the content was last written into the record.
        m_link.reset();
        return true;
    }
    return false;
}

void TJvDBRichEdit::updateData()
{
    store::Field *field = m_link.field();
    if (!field || !field->canModify() || m_link.readOnly())
        return;
    m_written = QString::fromLatin1(streamOutRtf());
    field->setAsString(m_written);
    m_unchangedSinceWrite = true;
}

void TJvDBRichEdit::focusInEvent(QFocusEvent *event)
{
    m_focus = true;
    richedit::RichEditControl::focusInEvent(event);
}

void TJvDBRichEdit::focusOutEvent(QFocusEvent *event)
{
    // Opening a menu (the menu bar's, by mouse or Alt, or a context menu) is not leaving the editor:
    // the typing stays in the editor, so Esc can still drop it. A command chosen from the menu
    // settles the edit itself.
    const bool menu = event->reason() == Qt::PopupFocusReason || event->reason() == Qt::MenuBarFocusReason;
    if (!menu && modified() && m_link.fieldEditing()) {
        try {
            m_link.updateRecord();
        } catch (const std::exception &e) {
            setFocus();
            if (onError)
                onError(QString::fromLocal8Bit(e.what()));
        }
    }
    m_focus = false;
    richedit::RichEditControl::focusOutEvent(event);
}

void TJvDBRichEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!m_loaded) {
        loadBody();
        return;
    }
    if (onObjectDoubleClick) {
        // A double-click on an object selects the object alone and performs its default verb,
        // where on text it would select the word around it.
        const QPoint at = event->position().toPoint();
        const int hit = cursorForPosition(at).position();
        for (const int k : {hit - 1, hit}) {
            if (k < 0 || k >= textLength())
                continue;
            QTextCursor c(document());
            c.setPosition(k + 1);
            if (!c.charFormat().isImageFormat())
                continue;
            c.setPosition(k);
            const QRect left = cursorRect(c);
            c.setPosition(k + 1);
            const QRect right = cursorRect(c);
            if (at.x() >= left.left() && at.x() < right.left() && at.y() >= left.top() && at.y() <= right.bottom()) {
                setSelection(k, k + 1);
                onObjectDoubleClick();
                return;
            }
        }
    }
    richedit::RichEditControl::mouseDoubleClickEvent(event);
}

} // namespace velkora::editor
