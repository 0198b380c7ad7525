// Find and replace in the body: the commands "Bul", "Sonrakini Bul" and "Bul Değiştir", the search
// through the rich-edit control, replacing one occurrence or all of them.
#pragma once

#include "editor/findreplacedialog.h"
#include "editor/tjvdbrichedit.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace velkora::editor {

// Whether the replace command takes the selection as an occurrence of the find text:
// whole word and match case: equal; whole word alone: equal in Turkish lower case; match case
// alone: the selection holds the find text; neither: the find text, in Turkish lower case, holds
// the selection. An empty selection never matches a non-empty find text.
bool selectionMatches(const QString &selection, const QString &find, bool wholeWord, bool matchCase);

// Owns the two dialogs of one editor (made on first use, living as long as the editor) and
// remembers the last search. The search never wraps around; every replacement starts editing first
// and none is made when editing cannot start.
class FindReplace : public QObject
{
    Q_OBJECT
public:
    explicit FindReplace(TJvDBRichEdit *editor);

    void Bul1Click();          // the find dialog, seeded with the selection
    void BulDegistir1Click();  // the replace dialog, seeded with the selection
    void SonrakiniBul1Click(); // the last search again; a beep when there is none or it finds nothing
    // Selects the first occurrence of text in the body as a whole word (letter case ignored the
    // Turkish way) and makes it the last search, so "Sonrakini Bul" and the find dialog go on with
    // it. False, leaving the selection, when the body does not hold it.
    bool selectFirst(const QString &text);

    // Searches with the dialog's settings from the selection; selects and shows the occurrence.
    // move: move the dialog off the occurrence; report: show the not-found message.
    bool search(FindReplaceDialog *dialog, bool move, bool report);
    void replace();
    // Replaces every occurrence after the selection; the number of replacements.
    int replaceAll();
    // Moves the dialog vertically when it covers the selected occurrence.
    void moveOffSelection(FindReplaceDialog *dialog);

    void YaziTextNotFound(const QString &text);

    FindReplaceDialog *findDialog() const { return m_find; }
    FindReplaceDialog *replaceDialog() const { return m_replace; }
    FindReplaceDialog *lastSearch() const { return m_last; }

    // Shows a warning titled "Dikkat !" with one button; the main window sets it, tests replace it.
    std::function<void(const QString &message)> showWarning;
    std::function<void()> beep;               // the system beep
    std::function<void()> OnCloseFindDialog;  // a dialog was closed (EditFindDialogClose)
    std::function<void()> SelectionChange;    // the refresh after a replace-all that replaced something

private:
    FindReplaceDialog *dialog(FindReplaceDialog::Kind kind);
    void openDialog(FindReplaceDialog::Kind kind);

    TJvDBRichEdit *m_editor;
    QPointer<FindReplaceDialog> m_find;
    QPointer<FindReplaceDialog> m_replace;
    QPointer<FindReplaceDialog> m_last;
};

} // namespace velkora::editor
