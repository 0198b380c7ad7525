// The editor's commands: character and paragraph formatting, the paragraph dialog, undo and redo,
// and the two handlers that keep the formatting toolbar, the "Düzen" and "Paragraf" menus and the
// status bar's message panel in step with the editor (SelectionChange, YaziChange).
#pragma once

#include "editor/tfontcombobox.h"
#include "editor/tjvdbrichedit.h"
#include "editor/tparagraf.h"
#include "editor/tspinedit.h"

#include <QObject>

#include <functional>

class QAbstractButton;
class QAction;
class QColor;
class QLabel;

namespace velkora::editor {

// The controls the commands read and set; all owned by the main window.
struct EditorControls
{
    TJvDBRichEdit *editor = nullptr;
    QAbstractButton *BtnKalin = nullptr, *BtnItalic = nullptr, *BtnCizgi = nullptr, *BtnUst = nullptr, *BtnAlt = nullptr,
                    *BtnMadde = nullptr, *BtnSol = nullptr, *BtnOrta = nullptr, *BtnSag = nullptr, *BtnYasla = nullptr;
    TFontComboBox *ComboBox1 = nullptr;
    TSpinEdit *Edit1 = nullptr;
    QAction *Geri1 = nullptr, *Ileri1 = nullptr, *SolaHizala1 = nullptr, *Ortala1 = nullptr, *SagaHizala1 = nullptr;
    QLabel *messagePanel = nullptr; // the status bar's shared message panel
};

// What the next undo or redo reverses, by the kind the control reports; empty for other kinds.
QString undoName(int kind);

// A colour value (0x00BBGGRR, or a system colour with the high byte set) as the character format's
// colour: the window-text and the default colour become the control's automatic colour.
void setColorValue(richedit::CharFormat &format, quint32 value);

class EditorCommands : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 WindowTextColor = 0xFF000008;
    static constexpr quint32 DefaultColor = 0x20000000;

    EditorCommands(const EditorControls &controls, QObject *parent = nullptr);

    // The view a character command reads and writes: the selection, or for an empty one the word
    // holding the caret.
    richedit::FormatTarget target() const;
    bool refreshing() const { return m_refreshing; }

    // Character commands; the guarded ones do nothing while the refresh runs.
    void BtnKalinClick();
    void BtnItalicClick();
    void BtnCizgiClick();
    void BtnUstClick();
    void BtnAltClick();
    void BtnRenkClick();
    void ComboBox1Change();
    void Edit1Change();

    // Paragraph commands. Alignment: 0 left, 1 right, 2 centre, 3 justified.
    void setAlignment(int alignment);
    void BtnMaddeClick();
    // Numbering 0 none, 1 bullet: the following lines' indent is 0 without, at least 10 points with.
    void setNumbering(int numbering);
    void Paragraf1Click();

    // Undo and redo start editing first; in read-only mode nothing is undone or redone.
    void Geri1Click();
    void Ileri1Click();

    // The refresh after every move of the selection: toolbar states, caret position, the commands
    // that need a selection.
    void SelectionChange();
    // After every change of the content: modified mark, undo and redo, alignment controls.
    void YaziChange();

    void writeCaretPosition();
    void writeModifiedMark();

    // The enabled states YaziChange keeps (both enabled until it first runs).
    bool undoEnabled() const { return m_undoEnabled; }
    bool redoEnabled() const { return m_redoEnabled; }

    // The colour dialog shared with the topic list; false when cancelled.
    std::function<bool(QColor &color)> chooseColor;
    // Brings the commands' enabled states up to date (the window's command table).
    std::function<void()> updateCommands;
    // Shows the paragraph dialog modally; a test replaces it.
    std::function<int(TParagraf &)> showParagraphDialog;

private:
    void styleCommand(quint32 bit, bool down);
    void subSuperscript();
    void showAlignment(int alignment, bool checkMarks);

    EditorControls c;
    bool m_refreshing = false;
    bool m_undoEnabled = true;
    bool m_redoEnabled = true;
};

} // namespace velkora::editor
