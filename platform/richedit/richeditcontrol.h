// The rich-edit control: a QTextEdit offering the operations the editor, the formatting commands,
// find and replace, insertion and printing use on a body.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QSet>
#include <QTextEdit>

#include <functional>
#include <vector>

class QPainter;
class QTextBlock;
class QTextCharFormat;

namespace velkora::richedit {

// Character format as the commands see it. mask says which fields are valid (on reading: which
// are the same over the whole selection; on writing: which to change).
struct CharFormat
{
    enum Mask : quint32 {
        MaskBold = 0x1, MaskItalic = 0x2, MaskUnderline = 0x4, MaskStrikeOut = 0x8,
        MaskSubscript = 0x10000, MaskSuperscript = 0x20000, // together: the sub/superscript field
        MaskCharset = 0x08000000, MaskFace = 0x20000000, MaskColor = 0x40000000, MaskSize = 0x80000000,
    };
    enum Effect : quint32 {
        Bold = 0x1, Italic = 0x2, Underline = 0x4, StrikeOut = 0x8,
        Subscript = 0x10000, Superscript = 0x20000, AutoColor = 0x40000000,
    };
    static constexpr int MaxFaceName = 31;

    quint32 mask = 0;
    quint32 effects = 0;
    int heightTwips = 0;
    QString faceName;
    quint32 color = 0; // 0x00BBGGRR
    int charset = 162;
};

enum class FormatTarget { Default, Selection, Word };

// Paragraph format: lengths in twips; alignment 1 left, 2 right, 3 centre, 4 justified; numbering
// 0 none, 1 bullet, 2 arabic, 3 lower letters, 4 upper letters, 5 lower roman, 6 upper roman.
// The first line starts startIndent from the margin, the others startIndent + offset.
// lineSpacingRule: 0 single, 1 one and a half, 2 double, 3 at least lineSpacing, 4 exactly
// lineSpacing, 5 lineSpacing / 20 lines.
struct ParaFormat
{
    enum Mask : quint32 {
        MaskStartIndent = 0x1, MaskRightIndent = 0x2, MaskOffset = 0x4, MaskAlignment = 0x8,
        MaskNumbering = 0x20, MaskSpaceBefore = 0x40, MaskSpaceAfter = 0x80, MaskLineSpacing = 0x100,
    };
    quint32 mask = 0;
    int alignment = 1;
    int numbering = 0;
    int startIndent = 0, offset = 0, rightIndent = 0;
    int spaceBefore = 0, spaceAfter = 0;
    int lineSpacing = 0, lineSpacingRule = 0;
};

enum FindFlag { FindDown = 0x1, FindWholeWord = 0x2, FindMatchCase = 0x4 };
enum SelectionTypeFlag { SelectionEmpty = 0, SelectionText = 0x1, SelectionObject = 0x2,
                         SelectionMultiChar = 0x4, SelectionMultiObject = 0x8 };
// What the next undo or redo would reverse.
enum UndoKind { UndoUnknown = 0, UndoTyping = 1, UndoDelete = 2, UndoDragDrop = 3, UndoCut = 4, UndoPaste = 5 };

// Actions that change the content, asked about through beforeEdit before the control acts.
enum class EditTrigger { Key, Cut, Paste, Drop, CharFormat, ParaFormat, Undo, Redo, Replace };

class RichEditControl : public QTextEdit
{
    Q_OBJECT
    // Published under the name the main window's read-only mode looks for.
    Q_PROPERTY(bool ReadOnly READ isReadOnly WRITE setReadOnly)
public:
    static constexpr int Version = 3;             // the rich-edit version the program sees
    static constexpr int TextLimit = 16'777'215;  // characters
    static constexpr int UndoLimit = 100;         // steps
    static constexpr int MaxParagraphLength = 31'680; // twips, for indents and spacing

    explicit RichEditControl(QWidget *parent = nullptr);
    ~RichEditControl() override;

    // The font a body is laid out with by default: letters stand one by one, as bodies have always
    // looked; no ligature joins "fi", which would swallow the dot that tells a Turkish i from ı. It
    // is also what keeps a whole-body relayout fast. A body that holds a script that must be joined
    // (Arabic, Hebrew with points, the Indic scripts, combining marks) is laid out with the font's
    // joining rules instead, from the moment such text comes in until another body is read in,
    // even if that text is deleted. The control keeps this through font changes.
    static QFont bodyFont(QFont font);

    // Whole-content transfers. streamInRtf refuses bytes that are not RTF (returns false and leaves
    // the content as it was); streamInText takes any text, each line break (CR, LF, CR LF, LF CR)
    // starting a paragraph, in the default format. Both clear undo and the modified flag and put the
    // caret at 0.
    bool streamInRtf(const QByteArray &rtf, QString *error = nullptr);
    void streamInText(const QString &text);
    QByteArray streamOutRtf() const;

    CharFormat charFormat(FormatTarget target) const;
    void setCharFormat(FormatTarget target, const CharFormat &format);
    ParaFormat paraFormat() const;
    void setParaFormat(const ParaFormat &format);

    // Finds text between min and max (max -1: the end). With FindDown the search runs forward from
    // min, otherwise backward from min down to max. Returns the match's start or -1; matchEnd gets
    // its end.
    int findText(const QString &text, int min, int max, int flags, int *matchEnd = nullptr) const;

    void selection(int *start, int *end) const;
    void setSelection(int start, int end); // (0, -1) selects everything, (-1, …) removes the selection
    void scrollCaret() { ensureCursorVisible(); }
    void replaceSelection(const QString &text);

    int lineFromChar(int position) const; // the display line (from 0) holding position
    int lineIndex(int line = -1) const;   // the first position of a display line; -1: the caret's line
    int selectionType() const;
    int textLength() const;

    bool canUndo() const { return !m_undoKinds.empty(); }
    bool canRedo() const { return !m_redoKinds.empty(); }
    int undoKind() const { return m_undoKinds.empty() ? UndoUnknown : m_undoKinds.back(); }
    int redoKind() const { return m_redoKinds.empty() ? UndoUnknown : m_redoKinds.back(); }
    void undo();
    void redo();
    // Cut and paste ask beforeEdit first and name their undo step; copy is QTextEdit's own.
    void cut();
    void paste();

    bool modified() const;
    void setModified(bool modified);

    // Advanced typography (what justified paragraphs are laid out with); the editor switches it on
    // before the first justification while autoAdvancedTypography is set, as it is by default.
    bool advancedTypography() const { return m_advancedTypography; }
    void setAdvancedTypography(bool on) { m_advancedTypography = on; }
    bool autoAdvancedTypography() const { return m_autoAdvancedTypography; }
    void setAutoAdvancedTypography(bool on) { m_autoAdvancedTypography = on; }

    // Draws (render) or only measures the characters from `from` to `to` (-1: the end) into target,
    // a rectangle in the painter's device pixels, laid out at that width with the device's fonts:
    // whole lines from the top, stopping before the first line that does not fit. Returns the
    // position of the first character not drawn.
    int formatRange(QPainter *painter, const QRectF &target, int from, int to, bool render);

    // Asked before the control changes the content; false stops typing, cut, paste, drop, undo, redo
    // and replacing. A format change is applied in any case, but when refused it does not signal
    // changed. Unset: everything is allowed.
    std::function<bool(EditTrigger)> beforeEdit;
    // Sees every key first; true means the key was handled and the control does not act on it.
    std::function<bool(QKeyEvent *)> keyFilter;
    // Draws over the text on the screen (never into a print or a copy): the painter is in the
    // document's coordinates, clipped to area, the part of the document being repainted.
    std::function<void(QPainter &, const QRectF &area)> paintOver;

Q_SIGNALS:
    void changed();          // the content changed
    void selectionChange();  // the caret or the selection moved

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    bool allowed(EditTrigger trigger);
    void clearUndoKinds();
    void applyCharFormat(QTextCursor cursor, const CharFormat &format);
    // Puts a paragraph into a list of that numbering (joining the paragraph before's list of the
    // same kind) or, for 0, out of its list; its indents are left as they are.
    void setListing(const QTextBlock &block, int numbering);
    // extent: a metafile's size in 0.01 mm, written as its \\picw and \\pich.
    void insertPicture(const QImage &image, const QByteArray &original, int kind, QSizeF extent = QSizeF());
    // Holds the fonts of the range's formats as they are and as the change makes them, each loaded
    // as the layout loads it. Qt's font cache lets fonts go once it holds many; laying out many
    // fonts at once, for a change over a whole body or its undo, would load them again and again.
    // They are held until another body is loaded.
    void holdFonts(int start, int end, const QTextCharFormat &change);
    void releaseFonts();
    // Makes font, as a body's font (bodyFont, joined scripts considered), the default font.
    void applyBodyFont(QFont font);

    std::vector<int> m_undoKinds;
    std::vector<int> m_redoKinds;
    int m_pendingKind = UndoUnknown;
    bool m_undoing = false;
    bool m_dropping = false;
    bool m_quietChange = false; // a format change that editing refused: shown, not reported
    bool m_advancedTypography = false;
    bool m_autoAdvancedTypography = true;
    int m_lastAnchor = -1, m_lastPosition = -1;
    QSet<QFont> m_heldFonts;
    bool m_joinedScripts = false; // the body holds text that must be laid out with joining rules
};

} // namespace velkora::richedit
