// The editor's formatting, paragraph and undo commands and the handlers that follow the editor.
#include "editorcommands.h"

#include <QAbstractButton>
#include <QAction>
#include <QColor>
#include <QLabel>
#include <QScopeGuard>
#include <QWidget>

namespace velkora::editor {

using richedit::CharFormat;
using richedit::FormatTarget;
using richedit::ParaFormat;
using richedit::RichEditControl;

QString undoName(int kind)
{
    static const QString names[] = {QString(), QStringLiteral("Yazılan"), QStringLiteral("Silinen"),
                                    QStringLiteral("Düzenlenen"), QStringLiteral("Kesilen"), QStringLiteral("Yapıştırılan")};
    return kind >= 0 && kind < 6 ? names[kind] : QString();
}

void setColorValue(CharFormat &format, quint32 value)
{
    format.mask |= CharFormat::MaskColor;
    if (value == EditorCommands::WindowTextColor || value == EditorCommands::DefaultColor) {
        format.effects |= CharFormat::AutoColor;
        return;
    }
    format.effects &= ~CharFormat::AutoColor;
    format.color = value & 0x00FFFFFF;
    if (value & 0xFF000000) {
        // Another system colour: the colour it stands for now, from the window's palette.
        static const QPalette::ColorRole roles[] = {
            QPalette::Window /*scroll bar*/, QPalette::Window /*desktop*/, QPalette::Highlight /*active caption*/,
            QPalette::Window /*inactive caption*/, QPalette::Window /*menu*/, QPalette::Base /*window*/,
            QPalette::Shadow /*window frame*/, QPalette::WindowText /*menu text*/, QPalette::Text /*window text*/,
            QPalette::HighlightedText /*caption text*/, QPalette::Window, QPalette::Window, QPalette::Dark,
            QPalette::Highlight, QPalette::HighlightedText, QPalette::Button, QPalette::Mid, QPalette::PlaceholderText,
            QPalette::ButtonText, QPalette::WindowText, QPalette::Light, QPalette::Shadow, QPalette::Midlight,
            QPalette::ToolTipText, QPalette::ToolTipBase};
        const quint32 index = value & 0xFF;
        const QColor c = QPalette().color(index < std::size(roles) ? roles[index] : QPalette::WindowText);
        format.color = static_cast<quint32>(c.red()) | (static_cast<quint32>(c.green()) << 8)
                       | (static_cast<quint32>(c.blue()) << 16);
    }
}

EditorCommands::EditorCommands(const EditorControls &controls, QObject *parent) : QObject(parent), c(controls)
{
}

FormatTarget EditorCommands::target() const
{
    int start = 0, end = 0;
    c.editor->selection(&start, &end);
    return end > start ? FormatTarget::Selection : FormatTarget::Word;
}

void EditorCommands::styleCommand(quint32 bit, bool down)
{
    if (m_refreshing)
        return;
    const CharFormat now = c.editor->charFormat(target());
    CharFormat change;
    // All four style bits are written: the three this command does not own take the values just
    // read, which makes them uniform over a selection whose characters differed.
    change.mask = CharFormat::MaskBold | CharFormat::MaskItalic | CharFormat::MaskUnderline | CharFormat::MaskStrikeOut;
    change.effects = now.effects & (CharFormat::Bold | CharFormat::Italic | CharFormat::Underline | CharFormat::StrikeOut);
    if (down)
        change.effects |= bit;
    else
        change.effects &= ~bit;
    c.editor->setCharFormat(target(), change);
}

void EditorCommands::BtnKalinClick()
{
    styleCommand(CharFormat::Bold, c.BtnKalin->isChecked());
}

void EditorCommands::BtnItalicClick()
{
    styleCommand(CharFormat::Italic, c.BtnItalic->isChecked());
}

void EditorCommands::BtnCizgiClick()
{
    styleCommand(CharFormat::Underline, c.BtnCizgi->isChecked());
}

void EditorCommands::subSuperscript()
{
    if (m_refreshing || RichEditControl::Version < 2)
        return;
    CharFormat change;
    change.mask = CharFormat::MaskSubscript | CharFormat::MaskSuperscript;
    // With both buttons down superscript wins.
    change.effects = c.BtnUst->isChecked() ? quint32(CharFormat::Superscript) : c.BtnAlt->isChecked() ? CharFormat::Subscript : quint32(0);
    c.editor->setCharFormat(target(), change);
}

void EditorCommands::BtnUstClick()
{
    subSuperscript();
}

void EditorCommands::BtnAltClick()
{
    subSuperscript();
}

void EditorCommands::BtnRenkClick()
{
    if (m_refreshing || !chooseColor)
        return;
    QColor chosen;
    if (!chooseColor(chosen))
        return;
    CharFormat change;
    setColorValue(change, static_cast<quint32>(chosen.red()) | (static_cast<quint32>(chosen.green()) << 8)
                              | (static_cast<quint32>(chosen.blue()) << 16));
    c.editor->setCharFormat(target(), change);
}

void EditorCommands::ComboBox1Change()
{
    if (m_refreshing)
        return;
    const QString name = c.ComboBox1->fontName();
    if (name.isEmpty())
        return;
    CharFormat change;
    change.mask = CharFormat::MaskFace; // the character set stays
    change.faceName = name.left(CharFormat::MaxFaceName);
    c.editor->setCharFormat(target(), change);
}

void EditorCommands::Edit1Change()
{
    if (m_refreshing)
        return;
    const int points = c.Edit1->value();
    if (points < 1)
        return;
    CharFormat change;
    change.mask = CharFormat::MaskSize;
    change.heightTwips = points * 20;
    c.editor->setCharFormat(target(), change);
}

void EditorCommands::setAlignment(int alignment)
{
    if (alignment == 3 && RichEditControl::Version >= 3 && c.editor->autoAdvancedTypography())
        c.editor->setAdvancedTypography(true);
    ParaFormat change;
    change.mask = ParaFormat::MaskAlignment;
    change.alignment = alignment + 1;
    c.editor->setParaFormat(change);
}

void EditorCommands::BtnMaddeClick()
{
    if (m_refreshing)
        return;
    setNumbering(c.BtnMadde->isChecked() ? 1 : 0);
}

void EditorCommands::setNumbering(int numbering)
{
    if (RichEditControl::Version < 2 && numbering != 0)
        numbering = 1;
    ParaFormat change = c.editor->paraFormat();
    change.mask = ParaFormat::MaskOffset | ParaFormat::MaskNumbering;
    if (numbering == 0)
        change.offset = 0;
    else if (change.offset < 10 * 20)
        change.offset = 10 * 20;
    change.numbering = numbering;
    c.editor->setParaFormat(change);
}

void EditorCommands::Paragraf1Click()
{
    editParagraph(*c.editor, c.editor->window(), showParagraphDialog);
}

void EditorCommands::Geri1Click()
{
    if (c.editor->startEditing())
        c.editor->undo();
    YaziChange();
    SelectionChange();
}

void EditorCommands::Ileri1Click()
{
    if (c.editor->startEditing())
        c.editor->redo();
    YaziChange();
    SelectionChange();
}

void EditorCommands::showAlignment(int alignment, bool checkMarks)
{
    c.BtnSol->setChecked(alignment == 1);
    c.BtnOrta->setChecked(alignment == 3);
    c.BtnSag->setChecked(alignment == 2);
    c.BtnYasla->setChecked(alignment == 4);
    if (!checkMarks)
        return;
    c.SolaHizala1->setChecked(alignment == 1);
    c.Ortala1->setChecked(alignment == 3);
    c.SagaHizala1->setChecked(alignment == 2);
}

void EditorCommands::SelectionChange()
{
    m_refreshing = true;
    const auto clear = qScopeGuard([this] { m_refreshing = false; });
    // Nothing changes between the reads of the steps, so the target's format is read once.
    const CharFormat format = c.editor->charFormat(target());
    const ParaFormat paragraph = c.editor->paraFormat();
    c.BtnKalin->setChecked(format.effects & CharFormat::Bold);
    c.BtnItalic->setChecked(format.effects & CharFormat::Italic);
    c.BtnCizgi->setChecked(format.effects & CharFormat::Underline);
    c.BtnMadde->setChecked(paragraph.numbering != 0);
    const bool scripts = RichEditControl::Version >= 2;
    c.BtnUst->setChecked(scripts && (format.effects & CharFormat::Superscript));
    c.BtnAlt->setChecked(scripts && (format.effects & CharFormat::Subscript));
    c.Edit1->setValue(format.heightTwips / 20);
    c.ComboBox1->setFontName(format.faceName);
    showAlignment(paragraph.alignment, false);
    writeCaretPosition();
    if (updateCommands)
        updateCommands();
}

void EditorCommands::YaziChange()
{
    writeModifiedMark();
    m_undoEnabled = c.editor->canUndo();
    c.Geri1->setEnabled(m_undoEnabled);
    c.Geri1->setText(QStringLiteral("Geri ") + undoName(c.editor->undoKind()));
    m_redoEnabled = RichEditControl::Version >= 2 && c.editor->canRedo();
    c.Ileri1->setEnabled(m_redoEnabled);
    c.Ileri1->setText(QStringLiteral("İleri ") + undoName(RichEditControl::Version >= 2 ? c.editor->redoKind() : 0));
    showAlignment(c.editor->paraFormat().alignment, true);
    if (updateCommands)
        updateCommands();
}

void EditorCommands::writeCaretPosition()
{
    int start = 0, end = 0;
    c.editor->selection(&start, &end);
    const int line = c.editor->lineFromChar(end) + 1;
    const int column = end - c.editor->lineIndex(-1) + 1;
    c.messagePanel->setText(QStringLiteral("  ") + QString::asprintf("Satır: %3d  Karakter: %3d", line, column));
}

void EditorCommands::writeModifiedMark()
{
    c.messagePanel->setText(c.editor->modified() ? QStringLiteral("  V E L K O R A") : QString());
}

} // namespace velkora::editor
