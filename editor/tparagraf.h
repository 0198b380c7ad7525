// The paragraph settings dialog: indents, alignment and spacing of the paragraphs the editor's
// selection touches, in whole points.
#pragma once

#include "editor/tspinedit.h"
#include "platform/richedit/richeditcontrol.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QGroupBox;
class QPushButton;

namespace velkora::editor {

class TParagraf : public QDialog
{
    Q_OBJECT
public:
    // spacing: whether the control knows paragraph spacing (rich-edit version above 1).
    explicit TParagraf(bool spacing, QWidget *parent = nullptr);

    // Fills the fields from a paragraph format.
    void fill(const richedit::ParaFormat &format);
    // Writes the fields to the paragraphs of the editor's selection, one change per field.
    void write(richedit::RichEditControl &editor) const;

    int alignmentIndex() const;
    void setAlignmentIndex(int index); // limited to the three items

    QGroupBox *IndentBox = nullptr;
    TSpinEdit *LeftIndent = nullptr, *RightIndent = nullptr, *FirstIndent = nullptr;
    QGroupBox *Alignment = nullptr;
    QGroupBox *SpacingBox = nullptr;
    TSpinEdit *SpaceBefore = nullptr, *SpaceAfter = nullptr, *LineSpacing = nullptr;
    QPushButton *OkBtn = nullptr, *CancelBtn = nullptr;

private:
    QButtonGroup *m_alignment = nullptr;
    bool m_spacing = true;
};

// Runs the dialog on the editor's paragraph format: created for this use, shown modally (through
// exec, which a test replaces), written on "Tamam", and gone afterwards; the editor gets the focus
// back if it can take it. Returns whether the user confirmed.
bool editParagraph(richedit::RichEditControl &editor, QWidget *parent,
                   const std::function<int(TParagraf &)> &exec = {});

} // namespace velkora::editor
