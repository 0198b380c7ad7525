// Find and replace in the body: the commands "Bul", "Sonrakini Bul" and "Bul Değiştir", the search
// through the rich-edit control, replacing one occurrence or all of them.
#include "findreplace.h"

#include "editor/textsearch.h"
#include "editor/turkishcase.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>

namespace velkora::editor {



bool selectionMatches(const QString &selection, const QString &find, bool wholeWord, bool matchCase)
{
    if (selection.isEmpty())
        return find.isEmpty();
    if (wholeWord)
        return matchCase ? selection == find : turkishLower(selection) == turkishLower(find);
    return matchCase ? selection.contains(find) : turkishLower(find).contains(turkishLower(selection));
}

FindReplace::FindReplace(TJvDBRichEdit *editor) : QObject(editor), m_editor(editor)
{
    beep = [] { QApplication::beep(); };
    showWarning = [this](const QString &message) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Dikkat !"), message, QMessageBox::NoButton, m_editor);
        box.addButton(QStringLiteral("TAMAM"), QMessageBox::AcceptRole);
        box.exec();
    };
}

FindReplaceDialog *FindReplace::dialog(FindReplaceDialog::Kind kind)
{
    const bool replacing = kind == FindReplaceDialog::Kind::Replace;
    QPointer<FindReplaceDialog> &d = replacing ? m_replace : m_find;
    if (d)
        return d;
    d = new FindReplaceDialog(kind, m_editor);
    // A new dialog takes the other dialog's find text.
    if (const FindReplaceDialog *other = replacing ? m_find.data() : m_replace.data())
        d->setFindText(other->findText());
    FindReplaceDialog *made = d;
    connect(made, &FindReplaceDialog::findNext, this, [this, made] { m_editor->reportErrors([&] { search(made, true, true); }); });
    connect(made, &FindReplaceDialog::replace, this, [this](bool all) {
        m_editor->reportErrors([&] {
            if (all)
                replaceAll();
            else
                replace();
        });
    });
    connect(made, &FindReplaceDialog::closed, this, [this] {
        if (OnCloseFindDialog)
            OnCloseFindDialog();
    });
    return d;
}

void FindReplace::openDialog(FindReplaceDialog::Kind kind)
{
    FindReplaceDialog *d = dialog(kind);
    const QString selected = m_editor->textCursor().selectedText();
    if (!selected.isEmpty())
        d->setFindText(selected); // cut to 255 characters
    d->showDialog();
}

void FindReplace::Bul1Click()
{
    openDialog(FindReplaceDialog::Kind::Find);
}

void FindReplace::BulDegistir1Click()
{
    openDialog(FindReplaceDialog::Kind::Replace);
}

bool FindReplace::search(FindReplaceDialog *d, bool move, bool report)
{
    int start = 0, end = 0;
    m_editor->selection(&start, &end);
    int flags = 0;
    if (d->down())
        flags |= richedit::FindDown;
    if (d->matchCase())
        flags |= richedit::FindMatchCase;
    if (d->wholeWord())
        flags |= richedit::FindWholeWord;
    const QString text = d->findText();
    int matchEnd = -1;
    // The control's search, with letter case compared the Turkish way.
    const int found = d->down() ? findText(m_editor->document(), text, end, -1, flags, &matchEnd)
                                : findText(m_editor->document(), text, start, 0, flags, &matchEnd);
    if (found >= 0) {
        m_editor->setSelection(found, matchEnd);
        m_editor->scrollCaret();
    }
    if (!text.isEmpty())
        m_last = d;
    if (found >= 0 && move)
        moveOffSelection(d);
    if (found < 0 && report)
        YaziTextNotFound(text);
    return found >= 0;
}

void FindReplace::moveOffSelection(FindReplaceDialog *d)
{
    if (!d->isVisible())
        return;
    int start = 0, end = 0;
    m_editor->selection(&start, &end);
    QTextCursor c = m_editor->textCursor();
    c.setPosition(start);
    const QPoint first = m_editor->viewport()->mapToGlobal(m_editor->cursorRect(c).topLeft());
    c.setPosition(end);
    const QPoint last = m_editor->viewport()->mapToGlobal(m_editor->cursorRect(c).topLeft()) + QPoint(0, 20);
    const QRect window = d->frameGeometry();
    if (!window.contains(first) && !window.contains(last))
        return;
    const QScreen *screen = d->screen() ? d->screen() : QGuiApplication::primaryScreen();
    const int screenHeight = screen ? screen->geometry().height() : 0;
    if (window.height() + 20 < first.y())
        d->move(window.x(), first.y() - 20 - window.height());
    else if (first.y() + window.height() < screenHeight)
        d->move(window.x(), first.y() + 40);
}

void FindReplace::SonrakiniBul1Click()
{
    const auto focus = qScopeGuard([this] {
        if (m_editor->isVisible() && m_editor->isEnabled())
            m_editor->setFocus();
    });
    if (!m_last || m_last->findText().isEmpty()) {
        beep();
        return;
    }
    if (!search(m_last, false, true))
        beep();
}

bool FindReplace::selectFirst(const QString &text)
{
    if (text.isEmpty())
        return false;
    FindReplaceDialog *d = dialog(FindReplaceDialog::Kind::Find);
    d->setFindText(text);
    d->setWholeWord(true);
    d->setMatchCase(false);
    d->setDown(true);
    m_last = d;
    int matchEnd = -1;
    const int found = findText(m_editor->document(), text, 0, -1, richedit::FindDown | richedit::FindWholeWord, &matchEnd);
    if (found < 0)
        return false;
    m_editor->setSelection(found, matchEnd);
    m_editor->scrollCaret();
    return true;
}

void FindReplace::replace()
{
    FindReplaceDialog *d = m_replace;
    if (!d)
        return;
    const QString selected = m_editor->textCursor().selectedText();
    if (selectionMatches(selected, d->findText(), d->wholeWord(), d->matchCase()) && m_editor->startEditing())
        m_editor->replaceSelection(d->replaceText());
    search(d, true, true);
}

int FindReplace::replaceAll()
{
    FindReplaceDialog *d = m_replace;
    if (!d)
        return 0;
    int count = 0;
    bool refused = false;
    {
        // No change or selection notice while replacing; one change at the end, after the
        // notices are back on.
        const auto after = qScopeGuard([&] {
            if (count > 0) {
                m_editor->contentChanged();
                if (SelectionChange)
                    SelectionChange();
            }
        });
        const QSignalBlocker quiet(m_editor);
        const QString replacement = d->replaceText();
        const QString text = d->findText();
        int flags = richedit::FindDown;
        if (d->matchCase())
            flags |= richedit::FindMatchCase;
        if (d->wholeWord())
            flags |= richedit::FindWholeWord;
        // The search and the replacements go through a cursor of the document, each replacement its
        // own undo step; the editor's caret and view follow once, at the end.
        int from = 0;
        m_editor->selection(nullptr, &from);
        int last = -1;
        {
            QTextCursor cursor(m_editor->document());
            // Without a page the layout only forgets the paragraphs a replacement reaches instead of
            // laying the body out again after each one; given the page back it lays out once.
            QTextDocument *doc = m_editor->document();
            const QSizeF page = doc->pageSize();
            const int scroll = m_editor->verticalScrollBar()->value();
            doc->setPageSize(QSizeF(0, 0));
            const auto layOut = qScopeGuard([&] {
                doc->setPageSize(page);
                m_editor->verticalScrollBar()->setValue(scroll);
            });
            int matchEnd = -1;
            for (int found; (found = findText(m_editor->document(), text, from, -1, flags, &matchEnd)) >= 0;) {
                // Editing that cannot start (read-only, no record) stops here with nothing replaced.
                if (!m_editor->startEditing()) {
                    refused = true;
                    break;
                }
                if (m_editor->textLength() - (matchEnd - found) + replacement.size() > richedit::RichEditControl::TextLimit) {
                    refused = true; // the control's length limit
                    break;
                }
                cursor.setPosition(found);
                cursor.setPosition(matchEnd, QTextCursor::KeepAnchor);
                cursor.insertText(replacement);
                from = last = cursor.position();
                ++count;
            }
        }
        if (!text.isEmpty())
            m_last = d;
        if (last >= 0) {
            m_editor->setSelection(last, last);
            m_editor->scrollCaret();
        }
    }
    if (refused && count == 0) {
        beep();
        return 0;
    }
    if (count == 0)
        YaziTextNotFound(d->findText());
    else
        moveOffSelection(d);
    return count;
}

void FindReplace::YaziTextNotFound(const QString &text)
{
    if (showWarning)
        showWarning(QStringLiteral("Arama tamamlandı. \"%1\" adlı öğe bulunamadı.").arg(text));
}

} // namespace velkora::editor
