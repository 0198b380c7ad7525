// The control's operations as the editor's commands use them.
#include "platform/richedit/richeditcontrol.h"
#include "platform/richedit/rtfreader.h"

#include <QApplication>
#include <QClipboard>
#include <QGlyphRun>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QTest>
#include <QAbstractTextDocumentLayout>
#include <QTextLayout>
#include <QTextBlock>
#include <QTextList>

#include <gtest/gtest.h>

using namespace velkora::richedit;

namespace {

struct Control
{
    Control()
    {
        edit.resize(400, 300);
        edit.show();
    }
    void rtf(const QByteArray &body) { ASSERT_TRUE(edit.streamInRtf(body)); }
    void select(int start, int end) { edit.setSelection(start, end); }
    // Where the text of the paragraph's first line begins, in the editor's pixels.
    double firstLineTextX(int paragraph)
    {
        const QTextBlock b = edit.document()->findBlockByNumber(paragraph);
        edit.document()->documentLayout()->blockBoundingRect(b); // lays it out
        return b.layout()->position().x() + b.layout()->lineAt(0).naturalTextRect().left();
    }
    RichEditControl edit;
};

// The leftmost and rightmost columns with ink left of x in the band of a paragraph's first line,
// as the editor shows it; -1, -1 when there is none.
std::pair<int, int> inkLeftOf(RichEditControl &edit, int paragraph, double x)
{
    const QTextBlock b = edit.document()->findBlockByNumber(paragraph);
    const QRectF box = edit.document()->documentLayout()->blockBoundingRect(b);
    const QTextLine line = b.layout()->lineAt(0);
    const QImage shown = edit.viewport()->grab().toImage();
    int left = -1, right = -1;
    for (int y = int(box.top() + line.y()); y < int(box.top() + line.y() + line.height()) && y < shown.height(); ++y) {
        for (int px = 0; px < int(x) && px < shown.width(); ++px) {
            if (qGray(shown.pixel(px, y)) < 160) {
                left = left < 0 ? px : std::min(left, px);
                right = std::max(right, px);
            }
        }
    }
    return {left, right};
}

} // namespace

TEST(RichEditControl, StreamsBodiesInAndOut)
{
    Control c;
    c.edit.streamInText(QStringLiteral("a\r\nb\rc\nd\n\re"));
    EXPECT_EQ(c.edit.document()->blockCount(), 5);
    EXPECT_EQ(c.edit.document()->toPlainText(), QStringLiteral("a\nb\nc\nd\ne"));
    EXPECT_EQ(c.edit.currentCharFormat().font().family(), QStringLiteral("Arial")); // plain text: Arial 10
    EXPECT_FALSE(c.edit.modified());
    EXPECT_FALSE(c.edit.canUndo());

    EXPECT_FALSE(c.edit.streamInRtf("not rtf"));
    EXPECT_EQ(c.edit.document()->toPlainText(), QStringLiteral("a\nb\nc\nd\ne")); // refused: unchanged
    c.rtf("{\\RTF1\\ansi\\ansicpg1254 \\b kal\\'fdn\\b0  d\\'fcz}");
    EXPECT_EQ(c.edit.toPlainText(), QStringLiteral("kalın düz"));
    EXPECT_EQ(c.edit.textCursor().position(), 0);
    EXPECT_EQ(c.edit.textLength(), 9);
    EXPECT_TRUE(c.edit.streamOutRtf().startsWith("{\\rtf1\\ansi\\ansicpg1254\\deff0"));
    EXPECT_EQ(RichEditControl::Version, 3);
}

TEST(RichEditControl, CharacterFormatOfSelectionWordAndDefault)
{
    Control c;
    c.rtf("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 iki {\\i kelime}ler burada}");
    // Caret inside a word: the word view formats the whole word.
    c.select(1, 1);
    CharFormat bold;
    bold.mask = CharFormat::MaskBold;
    bold.effects = CharFormat::Bold;
    c.edit.setCharFormat(FormatTarget::Word, bold);
    c.select(0, 3);
    EXPECT_TRUE(c.edit.charFormat(FormatTarget::Selection).effects & CharFormat::Bold);
    EXPECT_TRUE(c.edit.charFormat(FormatTarget::Selection).mask & CharFormat::MaskBold);

    // A selection that is partly italic: the field is reported as not uniform.
    c.select(4, 12);
    const CharFormat mixed = c.edit.charFormat(FormatTarget::Selection);
    EXPECT_FALSE(mixed.mask & CharFormat::MaskItalic);
    EXPECT_TRUE(mixed.mask & CharFormat::MaskSize);
    EXPECT_EQ(mixed.heightTwips, 200);
    EXPECT_TRUE(mixed.effects & CharFormat::AutoColor);

    CharFormat change;
    change.mask = CharFormat::MaskSize | CharFormat::MaskColor | CharFormat::MaskFace | CharFormat::MaskSuperscript;
    change.heightTwips = 480;
    change.color = 0x000000FF; // red
    change.faceName = QStringLiteral("Times New Roman");
    change.effects = CharFormat::Superscript;
    c.edit.setCharFormat(FormatTarget::Selection, change);
    const CharFormat after = c.edit.charFormat(FormatTarget::Selection);
    EXPECT_EQ(after.heightTwips, 480);
    EXPECT_EQ(after.color, 0x000000FFu);
    EXPECT_EQ(after.faceName, QStringLiteral("Times New Roman"));
    EXPECT_TRUE(after.effects & CharFormat::Superscript);
    EXPECT_FALSE(after.mask & CharFormat::MaskItalic); // fields not named stay as they were

    change.mask = CharFormat::MaskColor;
    change.effects = CharFormat::AutoColor;
    c.edit.setCharFormat(FormatTarget::Selection, change);
    EXPECT_TRUE(c.edit.charFormat(FormatTarget::Selection).effects & CharFormat::AutoColor);

    // Between words the format goes to the caret, for what is typed next.
    c.select(3, 3);
    c.edit.setCharFormat(FormatTarget::Word, bold);
    EXPECT_FALSE(c.edit.document()->findBlock(0).begin().fragment().charFormat().fontItalic());
    EXPECT_TRUE(c.edit.charFormat(FormatTarget::Selection).effects & CharFormat::Bold);
}

TEST(RichEditControl, ParagraphFormatWritesOnlyTheMaskedFields)
{
    Control c;
    c.rtf("{\\rtf1\\ansi one\\par two\\par three}");
    c.select(0, 5); // touches the first two paragraphs
    ParaFormat p;
    p.mask = ParaFormat::MaskAlignment | ParaFormat::MaskStartIndent | ParaFormat::MaskOffset;
    p.alignment = 3;
    p.startIndent = 400; // the first line 20 points in
    p.offset = -200;     // the others 10 points
    c.edit.setParaFormat(p);
    const QTextBlock first = c.edit.document()->begin();
    EXPECT_EQ(first.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(first.next().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(c.edit.document()->lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_DOUBLE_EQ(first.blockFormat().leftMargin(), 200 / 15.0);
    EXPECT_DOUBLE_EQ(first.blockFormat().textIndent(), 200 / 15.0);
    const ParaFormat read = c.edit.paraFormat();
    EXPECT_EQ(read.startIndent, 400);
    EXPECT_EQ(read.offset, -200);
    EXPECT_EQ(read.alignment, 3);

    // Only the offset: the first line's indent stays.
    p.mask = ParaFormat::MaskOffset;
    p.offset = 0;
    c.edit.setParaFormat(p);
    EXPECT_EQ(c.edit.paraFormat().startIndent, 400);
    EXPECT_EQ(c.edit.paraFormat().alignment, 3);

    p.mask = ParaFormat::MaskNumbering | ParaFormat::MaskLineSpacing | ParaFormat::MaskSpaceBefore;
    p.numbering = 1;
    p.lineSpacingRule = 3;
    p.lineSpacing = 240;
    p.spaceBefore = 120;
    c.edit.setParaFormat(p);
    EXPECT_TRUE(first.textList());
    EXPECT_EQ(first.textList(), first.next().textList());
    const ParaFormat listed = c.edit.paraFormat();
    EXPECT_EQ(listed.numbering, 1);
    EXPECT_EQ(listed.lineSpacingRule, 3);
    EXPECT_EQ(listed.lineSpacing, 240);
    EXPECT_EQ(listed.spaceBefore, 120);
    p.mask = ParaFormat::MaskNumbering;
    p.numbering = 0;
    c.edit.setParaFormat(p);
    EXPECT_FALSE(c.edit.document()->begin().textList());

    // Paragraphs that differ leave the field out of the mask.
    c.select(0, c.edit.textLength());
    EXPECT_FALSE(c.edit.paraFormat().mask & ParaFormat::MaskAlignment);
}

TEST(RichEditControl, FindsTextForwardBackwardAndAsWholeWords)
{
    Control c;
    c.edit.streamInText(QStringLiteral("Kitap kitaplık KİTAP kitap"));
    int end = 0;
    EXPECT_EQ(c.edit.findText(QStringLiteral("kitap"), 0, -1, FindDown, &end), 0);
    EXPECT_EQ(end, 5);
    EXPECT_EQ(c.edit.findText(QStringLiteral("kitap"), 1, -1, FindDown | FindMatchCase), 6);
    EXPECT_EQ(c.edit.findText(QStringLiteral("kitap"), 1, -1, FindDown | FindMatchCase | FindWholeWord), 21);
    EXPECT_EQ(c.edit.findText(QStringLiteral("kitap"), 1, 10, FindDown | FindMatchCase | FindWholeWord), -1); // range
    EXPECT_EQ(c.edit.findText(QStringLiteral("kitap"), 21, 0, FindMatchCase), 6); // backward from 21
    EXPECT_EQ(c.edit.findText(QStringLiteral("kitap"), 21, 7, FindMatchCase), -1);
    EXPECT_EQ(c.edit.findText(QString(), 0, -1, FindDown), -1);
}

TEST(RichEditControl, SelectionReplaceLinesAndSelectionType)
{
    Control c;
    c.edit.setLineWrapMode(QTextEdit::FixedPixelWidth);
    c.edit.setLineWrapColumnOrWidth(120);
    c.edit.streamInText(QStringLiteral("bir iki üç dört beş altı yedi sekiz dokuz on\nikinci paragraf"));
    c.select(0, -1);
    int s = -1, e = -1;
    c.edit.selection(&s, &e);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(e, c.edit.textLength());
    const int second = c.edit.toPlainText().indexOf(QStringLiteral("ikinci"));
    const int wrappedLines = c.edit.lineFromChar(second);
    EXPECT_GE(wrappedLines, 2); // the first paragraph wraps
    EXPECT_EQ(c.edit.lineIndex(wrappedLines), second);
    EXPECT_EQ(c.edit.lineFromChar(0), 0);
    // The caret's line (-1), anywhere in the wrapped paragraph, is the line that holds the caret.
    for (int caret = 0; caret <= second + 3; ++caret) {
        c.select(caret, caret);
        EXPECT_EQ(c.edit.lineIndex(-1), c.edit.lineIndex(c.edit.lineFromChar(caret))) << caret;
        EXPECT_LE(c.edit.lineIndex(-1), caret);
    }
    c.select(0, -1);

    c.select(0, 3);
    EXPECT_EQ(c.edit.selectionType(), SelectionText | SelectionMultiChar);
    c.edit.replaceSelection(QStringLiteral("BİR"));
    EXPECT_TRUE(c.edit.toPlainText().startsWith(QStringLiteral("BİR iki")));
    EXPECT_TRUE(c.edit.canUndo());
    c.edit.undo();
    EXPECT_TRUE(c.edit.toPlainText().startsWith(QStringLiteral("bir iki")));

    // A picture is an object of the body.
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QApplication::clipboard()->setImage(image);
    c.select(0, 0);
    c.edit.paste();
    c.select(0, 1);
    EXPECT_EQ(c.edit.selectionType(), SelectionObject);
    c.select(0, 2);
    EXPECT_EQ(c.edit.selectionType(), SelectionObject | SelectionText);
    c.select(2, 2);
    EXPECT_EQ(c.edit.selectionType(), SelectionEmpty);
    // The same picture twice in a row, and one in the second paragraph.
    c.select(0, 0);
    c.edit.paste();
    c.select(0, 3);
    EXPECT_EQ(c.edit.selectionType(), SelectionObject | SelectionMultiObject | SelectionText);
    c.select(1, 2);
    EXPECT_EQ(c.edit.selectionType(), SelectionObject);
    c.select(c.edit.textLength(), c.edit.textLength());
    c.edit.paste();
    c.select(c.edit.textLength() - 3, c.edit.textLength());
    EXPECT_EQ(c.edit.selectionType(), SelectionObject | SelectionText | SelectionMultiChar);
    c.select(0, -1);
    EXPECT_EQ(c.edit.selectionType(), SelectionObject | SelectionMultiObject | SelectionText | SelectionMultiChar);
}

TEST(RichEditControl, UndoAndRedoNameWhatTheyReverse)
{
    Control c;
    c.edit.streamInText(QString());
    c.edit.setFocus();
    QTest::keyClicks(&c.edit, "kelime");
    EXPECT_TRUE(c.edit.modified());
    EXPECT_EQ(c.edit.undoKind(), UndoTyping);
    EXPECT_FALSE(c.edit.canRedo());
    c.edit.undo();
    EXPECT_EQ(c.edit.redoKind(), UndoTyping);
    EXPECT_TRUE(c.edit.canRedo());
    c.edit.redo();
    EXPECT_EQ(c.edit.toPlainText(), QStringLiteral("kelime"));

    QTest::keyClick(&c.edit, Qt::Key_Backspace);
    EXPECT_EQ(c.edit.undoKind(), UndoDelete);
    c.select(0, 3);
    c.edit.cut();
    EXPECT_EQ(c.edit.undoKind(), UndoCut);
    c.edit.paste();
    EXPECT_EQ(c.edit.undoKind(), UndoPaste);
    EXPECT_EQ(c.edit.toPlainText(), QStringLiteral("kelim"));
    c.select(0, 2);
    CharFormat bold;
    bold.mask = CharFormat::MaskBold;
    bold.effects = CharFormat::Bold;
    c.edit.setCharFormat(FormatTarget::Selection, bold);
    EXPECT_EQ(c.edit.undoKind(), UndoUnknown); // a format change has no name

    // At most 100 steps are kept.
    for (int i = 0; i < 130; ++i) {
        c.select(0, 0);
        c.edit.replaceSelection(QStringLiteral("x"));
    }
    int undone = 0;
    while (c.edit.canUndo()) {
        c.edit.undo();
        ++undone;
    }
    EXPECT_EQ(undone, RichEditControl::UndoLimit);
}

TEST(RichEditControl, GuardStopsChangesAndLimitsHold)
{
    Control c;
    c.edit.streamInText(QStringLiteral("sabit"));
    c.edit.setFocus();
    int asked = 0;
    c.edit.beforeEdit = [&](EditTrigger) {
        ++asked;
        return false;
    };
    QTest::keyClicks(&c.edit, "abc");
    QTest::keyClick(&c.edit, Qt::Key_Backspace);
    c.select(0, 2);
    c.edit.cut();
    c.edit.replaceSelection(QStringLiteral("x"));
    EXPECT_EQ(c.edit.toPlainText(), QStringLiteral("sabit"));
    EXPECT_GE(asked, 5);

    // A format change is still applied.
    CharFormat italic;
    italic.mask = CharFormat::MaskItalic;
    italic.effects = CharFormat::Italic;
    c.edit.setCharFormat(FormatTarget::Selection, italic);
    EXPECT_TRUE(c.edit.charFormat(FormatTarget::Selection).effects & CharFormat::Italic);
}

// Alt with a letter is a command key for the window: it neither types nor starts editing. A key
// that writes a sign through AltGr comes without Alt and is typed.
TEST(RichEditControl, AltWithALetterIsNoTyping)
{
    Control c;
    c.edit.streamInText(QStringLiteral("sabit"));
    int asked = 0, filtered = 0;
    c.edit.beforeEdit = [&](EditTrigger) { return ++asked > 0; };
    c.edit.keyFilter = [&](QKeyEvent *) { return ++filtered < 0; };
    for (const auto &[key, text] : {std::pair{Qt::Key_K, "k"}, std::pair{Qt::Key_D, "d"}, std::pair{Qt::Key_1, "1"}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::AltModifier, QString::fromLatin1(text));
        QApplication::sendEvent(&c.edit, &press);
        EXPECT_FALSE(press.isAccepted());
    }
    EXPECT_EQ(c.edit.toPlainText(), QStringLiteral("sabit"));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(filtered, 0);
    EXPECT_FALSE(c.edit.modified());

    QKeyEvent at(QEvent::KeyPress, Qt::Key_At, Qt::NoModifier, QStringLiteral("@"));
    QApplication::sendEvent(&c.edit, &at);
    EXPECT_EQ(c.edit.toPlainText(), QStringLiteral("@sabit"));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(filtered, 1);
}

TEST(RichEditControl, CopiesAndPastesRichTextThroughTheClipboard)
{
    Control from, to;
    from.rtf("{\\rtf1\\ansi\\ansicpg1254 d\\'fcz {\\b kal\\'fdn} son}");
    from.select(4, 9);
    from.edit.copy();
    const QMimeData *data = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(data && data->hasFormat(QStringLiteral("text/rtf")));
    EXPECT_TRUE(data->data(QStringLiteral("text/rtf")).contains("\\b "));
    to.edit.streamInText(QStringLiteral("[]"));
    to.select(1, 1);
    to.edit.paste();
    EXPECT_EQ(to.edit.toPlainText(), QStringLiteral("[kalın]"));
    to.select(1, 6);
    EXPECT_TRUE(to.edit.charFormat(FormatTarget::Selection).effects & CharFormat::Bold);
    EXPECT_EQ(to.edit.undoKind(), UndoPaste);
}

TEST(RichEditControl, FormatRangeDrawsWholeLinesAndReportsTheRest)
{
    Control c;
    QString text;
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("Satır %1\n").arg(i);
    c.edit.streamInText(text);
    QImage page(600, 800, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    const QFontMetricsF metrics(QFont(QStringLiteral("Arial"), 10), &page);
    const double height = metrics.lineSpacing() * 5.5; // room for five lines, not six
    const int next = c.edit.formatRange(&painter, QRectF(10, 10, 400, height), 0, -1, true);
    painter.end();
    EXPECT_EQ(next, c.edit.toPlainText().indexOf(QStringLiteral("Satır 5")));
    // Something was drawn inside the rectangle, nothing below it.
    bool inked = false, below = false;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (page.pixel(x, y) != qRgb(255, 255, 255))
                (y <= 10 + height ? inked : below) = true;
        }
    }
    EXPECT_TRUE(inked);
    EXPECT_FALSE(below);
    // Measuring only gives the same answer and continues where it stopped.
    EXPECT_EQ(c.edit.formatRange(nullptr, QRectF(0, 0, 400, height), 0, -1, false), next);
    EXPECT_EQ(c.edit.formatRange(nullptr, QRectF(0, 0, 400, 10000), next, -1, false), c.edit.textLength());
}

TEST(RichEditControl, FormatOverAWholeBodyOfManyRunsReachesEveryCharacter)
{
    Control c;
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}\\f0\\fs20 ";
    for (int i = 0; i < 300; ++i)
        rtf += "{\\b kal\\'fdn} d\\'fcz {\\i e\\u287?ik} {\\f1\\fs28 ba\\'feka}\\par ";
    rtf += "}";
    c.rtf(rtf);
    c.edit.selectAll();
    CharFormat bold;
    bold.mask = CharFormat::MaskBold | CharFormat::MaskItalic | CharFormat::MaskUnderline | CharFormat::MaskStrikeOut;
    bold.effects = CharFormat::Bold;
    c.edit.setCharFormat(FormatTarget::Selection, bold);
    int plain = 0, italic = 0;
    for (QTextBlock b = c.edit.document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().fontWeight() < QFont::Bold)
                plain += it.fragment().length();
            if (it.fragment().charFormat().fontItalic())
                italic += it.fragment().length();
        }
    }
    EXPECT_EQ(plain, 0);
    EXPECT_EQ(italic, 0); // all four style bits were written
    c.edit.undo();
    c.select(5, 6); // "d" of "düz": not bold again
    EXPECT_FALSE(c.edit.charFormat(FormatTarget::Selection).effects & CharFormat::Bold);
}

TEST(RichEditControl, ABulletStandsInsideTheEditorAndItsTextAtTheLeftIndent)
{
    Control c;
    c.edit.streamInText(QStringLiteral("madde bir\ndüz"));
    const double margin = c.edit.document()->documentMargin();
    c.select(0, 0);
    ParaFormat bullet; // as the bullet button sets it: the lines after the first 10 points in
    bullet.mask = ParaFormat::MaskNumbering | ParaFormat::MaskOffset;
    bullet.numbering = 1;
    bullet.offset = 200;
    c.edit.setParaFormat(bullet);
    EXPECT_EQ(c.edit.paraFormat().startIndent, 0);
    EXPECT_EQ(c.edit.paraFormat().offset, 200);
    // The text at the left indent, 10 points in; the bullet between the paragraph's start and it,
    // not in the margin left of the text.
    const double textX = c.firstLineTextX(0);
    EXPECT_NEAR(textX, margin + 200 / 15.0, 0.5);
    EXPECT_NEAR(c.firstLineTextX(1), margin, 0.5); // the paragraph without a bullet
    const auto [left, right] = inkLeftOf(c.edit, 0, textX);
    ASSERT_GE(left, 0) << "no bullet drawn";
    EXPECT_GE(left, int(margin));
    EXPECT_LT(right, int(textX));

    // Backspace at the paragraph's start takes the bullet away; the indents stay, the first line
    // starting at the paragraph's start again.
    QTest::keyClick(&c.edit, Qt::Key_Backspace);
    EXPECT_EQ(c.edit.paraFormat().numbering, 0);
    EXPECT_EQ(c.edit.paraFormat().offset, 200);
    EXPECT_NEAR(c.firstLineTextX(0), margin, 0.5);
    const QByteArray rtf = c.edit.streamOutRtf();
    EXPECT_TRUE(rtf.contains("\\pard\\li200\\fi-200 ")) << rtf.constData();
    EXPECT_FALSE(rtf.contains("\\pntext")) << rtf.constData();
    EXPECT_EQ(c.edit.undoKind(), UndoDelete);
}

TEST(RichEditControl, ABulletParagraphIsDrawnWhereItWasAfterSavingAndReading)
{
    // The bullet as the button sets it (\li200\fi-200) and one whose first line starts right of
    // the others (\li200\fi200): formatted in the editor, written, read into another editor.
    for (const auto &[start, offset] : {std::pair{0, 200}, std::pair{400, -200}}) {
        Control formatted;
        formatted.edit.streamInText(QStringLiteral("önce\nmadde bir iki üç\nsonra"));
        formatted.select(6, 6);
        ParaFormat p;
        p.mask = ParaFormat::MaskNumbering | ParaFormat::MaskStartIndent | ParaFormat::MaskOffset;
        p.numbering = 1;
        p.startIndent = start;
        p.offset = offset;
        formatted.edit.setParaFormat(p);
        const QByteArray rtf = formatted.edit.streamOutRtf();
        const QByteArray indents = "{\\pntxtb\\'B7}}\\li200\\fi" + QByteArray::number(-offset) + " madde";
        EXPECT_TRUE(rtf.contains(indents)) << rtf.constData();

        Control read;
        read.rtf(rtf);
        ASSERT_TRUE(read.edit.document()->findBlockByNumber(1).textList());
        for (int paragraph : {0, 1, 2})
            EXPECT_NEAR(read.firstLineTextX(paragraph), formatted.firstLineTextX(paragraph), 0.01) << paragraph;
        read.select(6, 6);
        EXPECT_EQ(read.edit.paraFormat().startIndent, start);
        EXPECT_EQ(read.edit.paraFormat().offset, offset);
        EXPECT_EQ(read.edit.streamOutRtf(), rtf); // and the same indents written again
        // The bullet of the paragraph read is where the formatted one's is.
        EXPECT_EQ(inkLeftOf(read.edit, 1, read.firstLineTextX(1)), inkLeftOf(formatted.edit, 1, formatted.firstLineTextX(1)));
        EXPECT_GE(inkLeftOf(read.edit, 1, read.firstLineTextX(1)).first, int(read.edit.document()->documentMargin()));
    }
}

// Bodies are laid out letter by letter as they always looked: no "fi" ligature, which would swallow the
// dot that tells a Turkish i from ı, whether the text is typed, read from RTF in a font that has the
// ligature, or the control's own font changes.
TEST(RichEditControl, LettersAreNotJoinedIntoLigatures)
{
    const auto glyphsOfFirstLine = [](RichEditControl &edit) {
        const QTextBlock b = edit.document()->begin();
        edit.document()->documentLayout()->blockBoundingRect(b);
        qsizetype glyphs = 0;
        for (const QGlyphRun &run : b.layout()->glyphRuns(0, b.length()))
            glyphs += run.glyphIndexes().size();
        return glyphs;
    };
    const QString text = QStringLiteral("fiil fıkra fikir");
    Control typed;
    typed.edit.setFont(QFont(QStringLiteral("DejaVu Sans"), 12)); // a font that has the "fi" ligature
    typed.edit.streamInText(text);
    EXPECT_EQ(glyphsOfFirstLine(typed.edit), text.size());

    Control read;
    read.rtf("{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0\\fswiss DejaVu Sans;}}\\f0\\fs24 fiil f\\'fdkra fikir\\par}");
    ASSERT_EQ(read.edit.document()->begin().text(), text);
    EXPECT_EQ(glyphsOfFirstLine(read.edit), text.size());

    QWidget parent;
    RichEditControl child(&parent);
    child.resize(400, 300);
    parent.show();
    parent.setFont(QFont(QStringLiteral("DejaVu Sans"), 14));
    child.streamInText(text);
    EXPECT_EQ(glyphsOfFirstLine(child), text.size());

    // A script that cannot be written letter by letter is still joined: the letters of an Arabic
    // word take other shapes than the same letters standing alone.
    const auto glyphIds = [](RichEditControl &edit) {
        const QTextBlock b = edit.document()->begin();
        edit.document()->documentLayout()->blockBoundingRect(b);
        QList<quint32> ids;
        for (const QGlyphRun &run : b.layout()->glyphRuns(0, b.length()))
            ids += run.glyphIndexes();
        return ids;
    };
    Control joined, alone;
    joined.rtf("{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}\\f0 \\u1587?\\u1604?\\u1575?\\u1605?\\par}");
    alone.rtf("{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}\\f0 \\u1587? \\u1604? \\u1575? \\u1605?\\par}");
    const QList<quint32> word = glyphIds(joined.edit), letters = glyphIds(alone.edit);
    ASSERT_FALSE(word.isEmpty());
    QList<quint32> lettersOnly;
    for (int i = 0; i < letters.size(); i += 2)
        lettersOnly << letters[i];
    EXPECT_NE(QSet<quint32>(word.begin(), word.end()), QSet<quint32>(lettersOnly.begin(), lettersOnly.end()));

    // Typed into a body that had none, the word is joined too; the next body read in, without
    // such a script, is laid out letter by letter again.
    Control typedLater;
    typedLater.edit.streamInText(QString());
    typedLater.edit.replaceSelection(QString::fromUtf16(u"\u0633\u0644\u0627\u0645"));
    EXPECT_EQ(glyphIds(typedLater.edit), word);
    typedLater.rtf("{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}\\f0 fiil f\\'fdkra fikir\\par}");
    EXPECT_EQ(glyphsOfFirstLine(typedLater.edit), text.size());
    joined.edit.streamInText(text);
    EXPECT_EQ(glyphsOfFirstLine(joined.edit), text.size());
    // Greek, Hebrew letters without points, Chinese, signs and a pictograph do not need joining.
    const QString signs = text + QString::fromUtf16(u" \u03b1\u03b2 \u20ac \u2192 \u2713 \u05e9\u05dc\u05d5\u05dd \u6f22\u5b57 ")
                          + QString::fromUcs4(U"\U0001F600");
    joined.edit.setFont(QFont(QStringLiteral("DejaVu Sans"), 12)); // a font that has the "fi" ligature
    joined.edit.streamInText(signs);
    EXPECT_EQ(glyphsOfFirstLine(joined.edit), signs.size() - 1); // the pictograph is one glyph of two units
}

// An address in a body is shown as a link (blue, underlined) while it is there, also after a format
// change over the whole body and its undo, and nothing of it is written out.
TEST(RichEditControl, AddressesAreShownAsLinksAndNotStored)
{
    const auto links = [](RichEditControl &edit, int paragraph) {
        const QTextBlock b = edit.document()->findBlockByNumber(paragraph);
        edit.document()->documentLayout()->blockBoundingRect(b);
        QStringList shown;
        for (const QTextLayout::FormatRange &r : b.layout()->formats()) {
            if (r.format.fontUnderline() && r.format.foreground().color() == QColor(0, 0, 255))
                shown << b.text().mid(r.start, r.length);
        }
        return shown;
    };
    const auto blueShown = [](RichEditControl &edit) {
        const QImage shown = edit.viewport()->grab().toImage();
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QColor c = shown.pixelColor(x, y);
                if (c.blue() > 200 && c.red() < 80 && c.green() < 80)
                    return true;
            }
        }
        return false;
    };
    Control c;
    c.edit.streamInText(QStringLiteral("Bak: https://example.org/yol. Son\nyok burada\nwww.örnek.com.tr ve mailto:a@b.c"));
    EXPECT_EQ(links(c.edit, 0), QStringList{QStringLiteral("https://example.org/yol")});
    EXPECT_TRUE(links(c.edit, 1).isEmpty());
    EXPECT_EQ(links(c.edit, 2), (QStringList{QStringLiteral("www.örnek.com.tr"), QStringLiteral("mailto:a@b.c")}));
    EXPECT_TRUE(blueShown(c.edit));

    c.select(0, -1);
    CharFormat bold;
    bold.mask = CharFormat::MaskBold;
    bold.effects = CharFormat::Bold;
    c.edit.setCharFormat(FormatTarget::Selection, bold);
    EXPECT_EQ(links(c.edit, 0), QStringList{QStringLiteral("https://example.org/yol")});
    c.edit.undo();
    EXPECT_EQ(links(c.edit, 2).size(), 2);

    // Typing into the address and breaking it.
    const int colon = c.edit.toPlainText().indexOf(QStringLiteral("//example"));
    c.select(colon, colon + 2);
    c.edit.replaceSelection(QStringLiteral(" "));
    EXPECT_TRUE(links(c.edit, 0).isEmpty());
    c.select(0, 0);
    c.edit.replaceSelection(QStringLiteral("WWW.a.org "));
    EXPECT_EQ(links(c.edit, 0), QStringList{QStringLiteral("WWW.a.org")});

    const QByteArray rtf = c.edit.streamOutRtf();
    EXPECT_FALSE(rtf.contains("\\ul")) << rtf.constData();
    EXPECT_FALSE(rtf.contains("\\cf")) << rtf.constData();
}

// A bullet stands at its paragraph's start and on the first line's baseline in the first letter's
// size, as the rich-edit control draws it: not beside the text of a centred paragraph nor at the
// top of a line of large letters. So on screen and wherever the body is drawn (formatRange).
TEST(RichEditControl, ABulletOfLargeCentredTextStandsAtTheParagraphsStartOnTheBaseline)
{
    Control c;
    c.edit.resize(600, 200);
    c.rtf("{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0 Arial;}{\\f1 Symbol;}}"
          "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\qc\\fi-200\\li200\\f0\\fs72 Kocaman\\par}");
    const QTextBlock b = c.edit.document()->begin();
    ASSERT_TRUE(b.textList());
    const double margin = c.edit.document()->documentMargin();
    const double textX = c.firstLineTextX(0);
    ASSERT_GT(textX, 150); // centred
    const QRectF box = c.edit.document()->documentLayout()->blockBoundingRect(b);
    const QTextLine line = b.layout()->lineAt(0);
    const double baseline = box.top() + line.y() + line.ascent();

    const auto bulletIn = [&](const QImage &shown, QPointF origin) {
        // Ink between the paragraph's start and 40 pixels on, and how high it stands.
        int top = -1, bottom = -1, right = -1;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = int(origin.x()); x < int(origin.x()) + 40 && x < shown.width(); ++x)
                if (qGray(shown.pixel(x, y)) < 160) {
                    top = top < 0 ? y : top;
                    bottom = y;
                    right = std::max(right, x);
                }
        // Nothing beside the text: the 40 pixels left of it are blank.
        int beside = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = int(origin.x() + textX - margin) - 40; x < int(origin.x() + textX - margin) - 2; ++x)
                beside += qGray(shown.pixel(x, y)) < 160;
        EXPECT_GE(top, 0) << "no bullet at the paragraph's start";
        EXPECT_EQ(beside, 0) << "a bullet beside the centred text";
        // Its middle between the baseline and half the letters' height above it.
        const double middle = (top + bottom) / 2.0 - origin.y();
        const double letters = QFontMetricsF(c.edit.document()->begin().begin().fragment().charFormat().font()).ascent();
        EXPECT_LT(middle, baseline + 1) << middle;
        EXPECT_GT(middle, baseline - letters * 0.6) << middle;
        // Sized by the large letters: more than the 3 pixels of a 10-point bullet.
        EXPECT_GE(bottom - top + 1, 8);
    };
    c.edit.repaint();
    SCOPED_TRACE("screen");
    bulletIn(c.edit.viewport()->grab().toImage(), QPointF(margin, 0));

    QImage page(600, 200, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    c.edit.formatRange(&painter, QRectF(QPointF(margin, margin), QSizeF(600 - 2 * margin, 180)), 0, -1, true);
    painter.end();
    SCOPED_TRACE("formatRange");
    bulletIn(page, QPointF(margin, 0));
}
