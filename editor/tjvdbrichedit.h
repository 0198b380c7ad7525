// The editor of the body: a rich-edit control joined to the subtopic's Aciklama field.
#pragma once

#include "platform/richedit/richeditcontrol.h"
#include "store/datalink.h"

#include <functional>

namespace velkora::store {
class DataSource;
}

namespace velkora::editor {

// Loads the body whenever its record becomes current (RTF when it begins "{\rtf" in any case,
// plain text otherwise, each refused form tried the other way), puts the record into edit state
// before any change the control would make, and writes the whole content back as RTF whenever the
// record takes the controls' content (a post, leaving the record, leaving the editor).
class TJvDBRichEdit : public richedit::RichEditControl
{
    Q_OBJECT
    // The field link's read-only flag, under the name read-only mode looks for.
    Q_PROPERTY(bool ReadOnly READ readOnly WRITE setReadOnly)
public:
    explicit TJvDBRichEdit(QWidget *parent = nullptr);
    ~TJvDBRichEdit() override;

    void setDataSource(store::DataSource *source);
    void setDataField(const QString &field);

    bool readOnly() const { return m_link.readOnly(); }
    void setReadOnly(bool readOnly);
    bool loaded() const { return m_loaded; }
    // Counts the bodies read in (another subtopic, a cancelled edit, a closed query): whoever
    // remembered a place in the content can tell that content is gone.
    int bodyGeneration() const { return m_bodyGeneration; }

    // Puts the subtopic into edit state (an empty query starts an insert); true when it is in edit
    // or insert state afterwards.
    bool startEditing();

    // A change of the content: the field link is told the record changed, then OnChange runs. The
    // control's own changes come here; a command that changed the content with the notifications
    // off (replace all) raises its one change through it.
    void contentChanged();

    // The text shown when a body can be read in neither form.
    static QString failedToLoad() { return QStringLiteral("(Failed to Load Stream)"); }

    std::function<void()> OnChange;   // the content changed (YaziChange)
    std::function<void(const QString &)> onError; // a failed write-back on leaving the editor
    // Runs f from a slot or an event handler, where no error may escape: one is shown through
    // onError instead. True when f ran through.
    bool reportErrors(const std::function<void()> &f);
    // A double-click left one object selected: its default verb (the object commands).
    std::function<void()> onObjectDoubleClick;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void dataChanged();
    void loadBody();
    void followContent();
    void updateData();
    bool allowEdit(richedit::EditTrigger trigger);
    bool filterKey(QKeyEvent *event);

    store::FieldDataLink m_link;
    bool m_loaded = false;
    int m_bodyGeneration = 0;
    bool m_startEditGuard = false;
    QString m_savedCopy;
    bool m_loadGuard = false;
    bool m_focus = false;
    QString m_written;     // the RTF last written into the record
    bool m_unchangedSinceWrite = false;
    // The record and body last read in, while the screen still shows it unchanged: the same body
    // of the same record read again (the list refreshed after someone else's save) is left as it
    // is, caret and scroll position included.
    qint64 m_loadedKey = 0;
    QString m_loadedValue;
    qint64 currentKey() const;
};

} // namespace velkora::editor
