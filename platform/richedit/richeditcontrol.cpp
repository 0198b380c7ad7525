// The rich-edit control: a QTextEdit offering the operations the editor, the formatting commands,
// find and replace, insertion and printing use on a body.
#include "richeditcontrol.h"

#include "picturedecoder.h"
#include "listmarkers.h"
#include "richtextproperties.h"
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSet>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextList>

#include <cmath>
#include <tuple>

namespace velkora::richedit {

namespace {

const QStringList &rtfMimeTypes()
{
    static const QStringList types = {QStringLiteral("text/rtf"), QStringLiteral("text/richtext"),
                                      QStringLiteral("application/rtf")};
    return types;
}

quint32 colorRef(const QColor &c)
{
    return static_cast<quint32>(c.red()) | (static_cast<quint32>(c.green()) << 8) | (static_cast<quint32>(c.blue()) << 16);
}

QColor fromColorRef(quint32 v)
{
    return QColor(v & 0xff, (v >> 8) & 0xff, (v >> 16) & 0xff);
}

int twips(double pixels)
{
    return static_cast<int>(std::lround(pixels * 15.0));
}

// Calls fn(fragment, from, to) for each run of one format that reaches into [start, end), with the
// part of it inside the range. Positions are counted along the walk: asking every run for its own
// position is a search each, and a whole body has many runs.
template <typename Fn>
void forEachRun(const QTextDocument *doc, int start, int end, Fn fn)
{
    for (QTextBlock b = doc->findBlock(start); b.isValid(); b = b.next()) {
        auto it = b.begin();
        if (it.atEnd()) {
            if (b.position() >= end)
                return;
            continue;
        }
        int position = it.fragment().position(); // one search a block; the runs after are counted
        if (position >= end)
            return;
        for (; !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const int length = f.length();
            const int from = std::max(start, position), to = std::min(end, position + length);
            if (from < to)
                fn(f, from, to);
            position += length;
        }
    }
}

// Whether a character is written letter by letter (Latin, Greek, Cyrillic, punctuation, signs,
// symbols, pictographs) or needs the font's joining and placing rules: combining marks, Arabic,
// Hebrew, the Indic scripts, and anything else not known to be plain.
bool writtenLetterByLetter(char32_t ch)
{
    return ch < 0x300 || (ch >= 0x370 && ch < 0x530)
        || (ch >= 0x5d0 && ch < 0x600)     // Hebrew letters without points
        || (ch >= 0x1e00 && ch < 0x20d0) || (ch >= 0x2100 && ch < 0x2c00) || (ch >= 0x2c60 && ch < 0x2c80)
        || (ch >= 0x2e80 && ch < 0xa4d0)   // Chinese, Japanese, Yi
        || (ch >= 0xa720 && ch < 0xa800) || (ch >= 0xac00 && ch < 0xd7b0) // Korean syllables
        || (ch >= 0xf900 && ch < 0xfb07) || (ch >= 0xfe00 && ch < 0xfe10) // variation selectors
        || (ch >= 0xff00 && ch < 0xfff0) || ch == 0xfffc || ch == 0xfffd
        || (ch >= 0x1d400 && ch < 0x1d800)  // mathematical letters
        || (ch >= 0x1f000 && ch < 0x1fb00); // pictographs and emoji
}

// Watches the paragraphs a change reaches, before they are laid out:
// - addresses in the text are shown as links while they are there (the paragraph layout's
//   additional formats); nothing of it is stored;
// - a paragraph in a script that must be joined is reported, so the body is laid out with the
//   font's joining rules from then on.
// A paragraph of plain text costs one pass over its text: a format change over a whole body
// reaches every paragraph.
class ParagraphWatcher : public QObject
{
public:
    ParagraphWatcher(QTextDocument *document, std::function<bool()> joining, std::function<void()> needsJoining)
        : QObject(document), m_document(document), m_joining(std::move(joining)), m_needsJoining(std::move(needsJoining))
    {
        connect(document, &QTextDocument::contentsChange, this, [this](int from, int, int added) {
            for (QTextBlock b = m_document->findBlock(from); b.isValid() && b.position() <= from + added; b = b.next())
                watch(b);
        });
    }

private:
    void watch(const QTextBlock &block)
    {
        static const QRegularExpression url(QStringLiteral(
            "\\b(?:(?:https?|ftp|file)://|www\\.|mailto:)[^\\s<>\"]+[^\\s<>\".,;:!?)\\]]"),
                                            QRegularExpression::CaseInsensitiveOption);
        const QString text = block.text();
        bool address = false, joined = false;
        const bool lookForJoined = !m_joining();
        for (qsizetype i = 0; i < text.size() && !(address && (joined || !lookForJoined)); ++i) {
            const char16_t ch = text[i].unicode();
            if (ch == u':'
                || ((ch | 0x20) == u'w' && i + 3 < text.size() && (text[i + 1].unicode() | 0x20) == u'w'
                    && (text[i + 2].unicode() | 0x20) == u'w' && text[i + 3] == u'.'))
                address = true;
            else if (lookForJoined && ch >= 0x300) {
                char32_t full = ch;
                if (QChar::isHighSurrogate(ch) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                    full = QChar::surrogateToUcs4(ch, text[++i].unicode());
                if (!writtenLetterByLetter(full))
                    joined = true;
            }
        }
        if (joined)
            m_needsJoining();
        QList<QTextLayout::FormatRange> links;
        if (address) {
            QTextCharFormat f;
            f.setForeground(QColor(0, 0, 255));
            f.setFontUnderline(true);
            for (auto it = url.globalMatch(text); it.hasNext();) {
                const QRegularExpressionMatch m = it.next();
                links.append({static_cast<int>(m.capturedStart()), static_cast<int>(m.capturedLength()), f});
            }
        }
        QTextLayout *layout = block.layout();
        if (layout->formats() == links)
            return;
        layout->setFormats(links);
        m_document->markContentsDirty(block.position(), block.length());
    }

    QTextDocument *m_document;
    std::function<bool()> m_joining;
    std::function<void()> m_needsJoining;
};

CharFormat toCharFormat(const QTextCharFormat &f, const QFont &defaultFont)
{
    CharFormat c;
    if (f.fontWeight() >= QFont::DemiBold)
        c.effects |= CharFormat::Bold;
    if (f.fontItalic())
        c.effects |= CharFormat::Italic;
    if (f.fontUnderline() || (f.hasProperty(QTextFormat::TextUnderlineStyle) && f.underlineStyle() != QTextCharFormat::NoUnderline))
        c.effects |= CharFormat::Underline;
    if (f.fontStrikeOut())
        c.effects |= CharFormat::StrikeOut;
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        c.effects |= CharFormat::Superscript;
    else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
        c.effects |= CharFormat::Subscript;
    const double points = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : defaultFont.pointSizeF();
    c.heightTwips = static_cast<int>(std::lround(points * 20));
    const QStringList families = f.fontFamilies().toStringList();
    c.faceName = (families.isEmpty() ? defaultFont.family() : families.first()).left(CharFormat::MaxFaceName);
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        c.color = colorRef(f.foreground().color());
    else
        c.effects |= CharFormat::AutoColor;
    c.charset = f.hasProperty(property::Charset) ? f.intProperty(property::Charset) : 162;
    return c;
}

// Which fields two formats share, as the mask bits.
quint32 sameFields(const CharFormat &a, const CharFormat &b)
{
    quint32 m = 0;
    for (const quint32 bit : {CharFormat::MaskBold, CharFormat::MaskItalic, CharFormat::MaskUnderline, CharFormat::MaskStrikeOut}) {
        if ((a.effects & bit) == (b.effects & bit))
            m |= bit;
    }
    if ((a.effects & (CharFormat::Subscript | CharFormat::Superscript)) == (b.effects & (CharFormat::Subscript | CharFormat::Superscript)))
        m |= CharFormat::MaskSubscript | CharFormat::MaskSuperscript;
    if (a.heightTwips == b.heightTwips)
        m |= CharFormat::MaskSize;
    if (a.faceName == b.faceName)
        m |= CharFormat::MaskFace;
    if (a.color == b.color && (a.effects & CharFormat::AutoColor) == (b.effects & CharFormat::AutoColor))
        m |= CharFormat::MaskColor;
    if (a.charset == b.charset)
        m |= CharFormat::MaskCharset;
    return m;
}

constexpr quint32 AllCharFields = CharFormat::MaskBold | CharFormat::MaskItalic | CharFormat::MaskUnderline |
                                  CharFormat::MaskStrikeOut | CharFormat::MaskSubscript | CharFormat::MaskSuperscript |
                                  CharFormat::MaskSize | CharFormat::MaskFace | CharFormat::MaskColor | CharFormat::MaskCharset;

ParaFormat toParaFormat(const QTextBlock &block)
{
    const QTextBlockFormat f = block.blockFormat();
    ParaFormat p;
    const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
    p.alignment = (a & Qt::AlignHCenter) ? 3 : (a & Qt::AlignRight) ? 2 : (a & Qt::AlignJustify) ? 4 : 1;
    if (QTextList *list = block.textList()) {
        switch (list->format().style()) {
        case QTextListFormat::ListDecimal: p.numbering = 2; break;
        case QTextListFormat::ListLowerAlpha: p.numbering = 3; break;
        case QTextListFormat::ListUpperAlpha: p.numbering = 4; break;
        case QTextListFormat::ListLowerRoman: p.numbering = 5; break;
        case QTextListFormat::ListUpperRoman: p.numbering = 6; break;
        default: p.numbering = 1; break;
        }
    }
    p.offset = -twips(firstLineIndent(f));
    p.startIndent = twips(f.leftMargin()) - p.offset;
    p.rightIndent = twips(f.rightMargin());
    p.spaceBefore = twips(f.topMargin());
    p.spaceAfter = twips(f.bottomMargin());
    switch (f.hasProperty(QTextFormat::LineHeightType) ? f.lineHeightType() : QTextBlockFormat::SingleHeight) {
    case QTextBlockFormat::ProportionalHeight: {
        const double percent = f.lineHeight();
        if (std::abs(percent - 150) < 0.5) {
            p.lineSpacingRule = 1;
        } else if (std::abs(percent - 200) < 0.5) {
            p.lineSpacingRule = 2;
        } else {
            p.lineSpacingRule = 5;
            p.lineSpacing = static_cast<int>(std::lround(percent * 20 / 100));
        }
        break;
    }
    case QTextBlockFormat::MinimumHeight:
        p.lineSpacingRule = 3;
        p.lineSpacing = twips(f.lineHeight());
        break;
    case QTextBlockFormat::FixedHeight:
        p.lineSpacingRule = 4;
        p.lineSpacing = twips(f.lineHeight());
        break;
    default:
        break;
    }
    return p;
}

QTextListFormat::Style listStyleFor(int numbering)
{
    switch (numbering) {
    case 2: return QTextListFormat::ListDecimal;
    case 3: return QTextListFormat::ListLowerAlpha;
    case 4: return QTextListFormat::ListUpperAlpha;
    case 5: return QTextListFormat::ListLowerRoman;
    case 6: return QTextListFormat::ListUpperRoman;
    default: return QTextListFormat::ListDisc;
    }
}

} // namespace

RichEditControl::RichEditControl(QWidget *parent) : QTextEdit(parent)
{
    QFont body(QStringLiteral("Arial"));
    body.setPointSizeF(10);
    document()->setDefaultFont(bodyFont(body));
    setAcceptRichText(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setTabChangesFocus(false);
    document()->setDocumentMargin(8); // the left part is the selection bar
    // The selection stays visible when the control loses the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    new ParagraphWatcher(
        document(), [this] { return m_joinedScripts; },
        [this] {
            m_joinedScripts = true;
            applyBodyFont(document()->defaultFont());
        });

    connect(document(), &QTextDocument::undoCommandAdded, this, [this] {
        if (m_undoing)
            return;
        m_undoKinds.push_back(m_pendingKind);
        if (m_undoKinds.size() > static_cast<size_t>(UndoLimit))
            m_undoKinds.erase(m_undoKinds.begin());
        m_redoKinds.clear();
    });
    connect(this, &QTextEdit::textChanged, this, [this] {
        if (!m_quietChange)
            Q_EMIT changed();
    });
    const auto selectionMoved = [this] {
        const QTextCursor c = textCursor();
        if (c.anchor() == m_lastAnchor && c.position() == m_lastPosition)
            return;
        m_lastAnchor = c.anchor();
        m_lastPosition = c.position();
        Q_EMIT selectionChange();
    };
    connect(this, &QTextEdit::cursorPositionChanged, this, selectionMoved);
    connect(this, &QTextEdit::selectionChanged, this, selectionMoved);
}

RichEditControl::~RichEditControl() = default;

QFont RichEditControl::bodyFont(QFont font)
{
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    return font;
}

void RichEditControl::applyBodyFont(QFont font)
{
    // Letter by letter until the body holds a script that must be joined; then with the font's
    // rules for the whole body, until another body is read in.
    font = bodyFont(font);
    if (m_joinedScripts)
        font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() & ~QFont::PreferNoShaping));
    const QFont now = document()->defaultFont();
    if (now != font || now.styleStrategy() != font.styleStrategy())
        document()->setDefaultFont(font);
}

void RichEditControl::changeEvent(QEvent *event)
{
    // A new font of the control becomes the default font of the body, as a body's font (the base
    // class would set it as it is, and the body would be laid out twice).
    if (event->type() == QEvent::FontChange || event->type() == QEvent::ApplicationFontChange) {
        QAbstractScrollArea::changeEvent(event);
        applyBodyFont(font());
        return;
    }
    QTextEdit::changeEvent(event);
}

bool RichEditControl::allowed(EditTrigger trigger)
{
    return !beforeEdit || beforeEdit(trigger);
}

void RichEditControl::clearUndoKinds()
{
    m_undoKinds.clear();
    m_redoKinds.clear();
}

bool RichEditControl::streamInRtf(const QByteArray &rtf, QString *error)
{
    if (!RtfReader::looksLikeRtf(rtf)) {
        if (error)
            *error = QStringLiteral("not an RTF document");
        return false;
    }
    const QFont body = document()->defaultFont();
    releaseFonts();
    m_joinedScripts = false;
    RtfReader::read(rtf, document(), error);
    applyBodyFont(body);
    clearUndoKinds();
    document()->clearUndoRedoStacks();
    document()->setModified(false);
    QTextCursor c(document());
    setTextCursor(c);
    ensureCursorVisible();
    return true;
}

void RichEditControl::streamInText(const QString &text)
{
    QString normal = text;
    normal.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normal.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    normal.replace(u'\r', u'\n');
    document()->setUndoRedoEnabled(false);
    releaseFonts();
    document()->clear();
    clearDeferredPictures(document());
    m_joinedScripts = false;
    applyBodyFont(document()->defaultFont());
    QTextCursor c(document());
    c.insertText(normal.left(TextLimit));
    document()->setUndoRedoEnabled(true);
    clearUndoKinds();
    document()->setModified(false);
    setTextCursor(QTextCursor(document()));
    ensureCursorVisible();
}

QByteArray RichEditControl::streamOutRtf() const
{
    return RtfWriter::write(*document());
}

CharFormat RichEditControl::charFormat(FormatTarget target) const
{
    const QFont defaultFont = document()->defaultFont();
    if (target == FormatTarget::Default) {
        CharFormat c = toCharFormat(QTextCharFormat(), defaultFont);
        c.mask = AllCharFields;
        return c;
    }
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection()) {
        CharFormat c = toCharFormat(currentCharFormat(), defaultFont);
        c.mask = AllCharFields;
        return c;
    }
    // The first character's format, with the fields that differ somewhere left out of the mask.
    const int start = cursor.selectionStart(), end = cursor.selectionEnd();
    CharFormat first;
    quint32 mask = AllCharFields;
    bool haveFirst = false;
    // A body has many runs but few formats: each format is compared once.
    QSet<int> seen;
    forEachRun(document(), start, end, [&](const QTextFragment &frag, int, int) {
        if (seen.contains(frag.charFormatIndex()))
            return;
        seen.insert(frag.charFormatIndex());
        const CharFormat c = toCharFormat(frag.charFormat(), defaultFont);
        if (!haveFirst) {
            first = c;
            haveFirst = true;
        } else {
            mask &= sameFields(first, c);
        }
    });
    if (!haveFirst)
        first = toCharFormat(cursor.charFormat(), defaultFont);
    first.mask = mask;
    return first;
}

void RichEditControl::applyCharFormat(QTextCursor cursor, const CharFormat &c)
{
    // Every character in the range keeps its own format but for the fields being set: one merge for
    // the fields that take a value, then, only where a character has it, the removal of a property
    // (the automatic colour, a raise that super- or subscript replaces), which a merge cannot do.
    QTextCharFormat set;
    if (c.mask & CharFormat::MaskBold)
        set.setFontWeight((c.effects & CharFormat::Bold) ? QFont::Bold : QFont::Normal);
    if (c.mask & CharFormat::MaskItalic)
        set.setFontItalic(c.effects & CharFormat::Italic);
    if (c.mask & CharFormat::MaskUnderline)
        set.setFontUnderline(c.effects & CharFormat::Underline);
    if (c.mask & CharFormat::MaskStrikeOut)
        set.setFontStrikeOut(c.effects & CharFormat::StrikeOut);
    const bool scripts = c.mask & (CharFormat::MaskSubscript | CharFormat::MaskSuperscript);
    if (scripts)
        set.setVerticalAlignment((c.effects & CharFormat::Superscript) ? QTextCharFormat::AlignSuperScript
                                 : (c.effects & CharFormat::Subscript) ? QTextCharFormat::AlignSubScript
                                                                       : QTextCharFormat::AlignNormal);
    if ((c.mask & CharFormat::MaskSize) && c.heightTwips > 0)
        set.setFontPointSize(c.heightTwips / 20.0);
    if ((c.mask & CharFormat::MaskFace) && !c.faceName.isEmpty())
        set.setFontFamilies({c.faceName.left(CharFormat::MaxFaceName)});
    const bool autoColor = (c.mask & CharFormat::MaskColor) && (c.effects & CharFormat::AutoColor);
    if ((c.mask & CharFormat::MaskColor) && !autoColor)
        set.setForeground(fromColorRef(c.color));
    if (c.mask & CharFormat::MaskCharset)
        set.setProperty(property::Charset, c.charset);
    const auto removeFrom = [&](QTextCharFormat &f) {
        bool removed = false;
        if (autoColor && f.hasProperty(QTextFormat::ForegroundBrush)) {
            f.clearForeground();
            removed = true;
        }
        if (scripts && f.hasProperty(property::RaiseHalfPoints)) {
            f.clearProperty(property::RaiseHalfPoints);
            removed = true;
        }
        return removed;
    };
    if (!cursor.hasSelection()) {
        QTextCharFormat f = currentCharFormat();
        f.merge(set);
        removeFrom(f);
        setCurrentCharFormat(f);
        return;
    }
    const int start = cursor.selectionStart(), end = cursor.selectionEnd();
    holdFonts(start, end, set);
    cursor.beginEditBlock();
    if (!set.properties().isEmpty())
        cursor.mergeCharFormat(set);
    if (autoColor || scripts) {
        // Formats are changed after the walk: changing them during it would merge the fragments.
        std::vector<std::tuple<int, int, QTextCharFormat>> changes;
        forEachRun(document(), start, end, [&](const QTextFragment &frag, int from, int to) {
            QTextCharFormat f = frag.charFormat();
            if (removeFrom(f))
                changes.emplace_back(from, to, f);
        });
        for (const auto &[from, to, f] : changes) {
            QTextCursor part(document());
            part.setPosition(from);
            part.setPosition(to, QTextCursor::KeepAnchor);
            part.setCharFormat(f);
        }
    }
    cursor.endEditBlock();
}

void RichEditControl::setCharFormat(FormatTarget target, const CharFormat &format)
{
    // The change is applied whatever the answer; refused, it is no change of the content to report.
    const QScopedValueRollback quiet(m_quietChange, !allowed(EditTrigger::CharFormat));
    m_pendingKind = UndoUnknown;
    if (target == FormatTarget::Default) {
        QFont f = document()->defaultFont();
        if ((format.mask & CharFormat::MaskFace) && !format.faceName.isEmpty())
            f.setFamily(format.faceName.left(CharFormat::MaxFaceName));
        if ((format.mask & CharFormat::MaskSize) && format.heightTwips > 0)
            f.setPointSizeF(format.heightTwips / 20.0);
        if (format.mask & CharFormat::MaskBold)
            f.setBold(format.effects & CharFormat::Bold);
        if (format.mask & CharFormat::MaskItalic)
            f.setItalic(format.effects & CharFormat::Italic);
        document()->setDefaultFont(f);
        return;
    }
    QTextCursor cursor = textCursor();
    if (target == FormatTarget::Word && !cursor.hasSelection()) {
        // The word holding the caret; between words the format applies at the caret.
        QTextCursor word = cursor;
        word.select(QTextCursor::WordUnderCursor);
        const QString text = word.selectedText();
        const int caret = cursor.position();
        if (word.hasSelection() && caret > word.selectionStart() && caret < word.selectionEnd()
            && text.front().isLetterOrNumber()) {
            applyCharFormat(word, format);
            return;
        }
    }
    applyCharFormat(cursor, format);
}

ParaFormat RichEditControl::paraFormat() const
{
    const QTextCursor cursor = textCursor();
    const QTextBlock first = document()->findBlock(cursor.selectionStart());
    ParaFormat p = toParaFormat(first);
    p.mask = ParaFormat::MaskStartIndent | ParaFormat::MaskRightIndent | ParaFormat::MaskOffset | ParaFormat::MaskAlignment |
             ParaFormat::MaskNumbering | ParaFormat::MaskSpaceBefore | ParaFormat::MaskSpaceAfter | ParaFormat::MaskLineSpacing;
    const QTextBlock last = document()->findBlock(cursor.selectionEnd());
    // Paragraphs of the same format (its list included) read the same: each format is read once.
    QSet<int> seen{first.blockFormatIndex()};
    for (QTextBlock b = first.next(); b.isValid() && b.position() <= last.position(); b = b.next()) {
        if (seen.contains(b.blockFormatIndex()))
            continue;
        seen.insert(b.blockFormatIndex());
        const ParaFormat q = toParaFormat(b);
        if (q.startIndent != p.startIndent) p.mask &= ~ParaFormat::MaskStartIndent;
        if (q.rightIndent != p.rightIndent) p.mask &= ~ParaFormat::MaskRightIndent;
        if (q.offset != p.offset) p.mask &= ~ParaFormat::MaskOffset;
        if (q.alignment != p.alignment) p.mask &= ~ParaFormat::MaskAlignment;
        if (q.numbering != p.numbering) p.mask &= ~ParaFormat::MaskNumbering;
        if (q.spaceBefore != p.spaceBefore) p.mask &= ~ParaFormat::MaskSpaceBefore;
        if (q.spaceAfter != p.spaceAfter) p.mask &= ~ParaFormat::MaskSpaceAfter;
        if (q.lineSpacing != p.lineSpacing || q.lineSpacingRule != p.lineSpacingRule) p.mask &= ~ParaFormat::MaskLineSpacing;
    }
    return p;
}

void RichEditControl::setParaFormat(const ParaFormat &format)
{
    const QScopedValueRollback quiet(m_quietChange, !allowed(EditTrigger::ParaFormat));
    m_pendingKind = UndoUnknown;
    // Lengths are held within 1584 points either way (22 inches, beyond any page): a larger indent
    // or space would only push the text out of sight and overflow the layout's arithmetic.
    ParaFormat p = format;
    for (int *length : {&p.startIndent, &p.offset, &p.rightIndent, &p.spaceBefore, &p.spaceAfter, &p.lineSpacing})
        *length = std::clamp(*length, -MaxParagraphLength, MaxParagraphLength);
    QTextCursor cursor = textCursor();
    const QTextBlock first = document()->findBlock(cursor.selectionStart());
    const QTextBlock last = document()->findBlock(cursor.selectionEnd());
    QTextCursor edit(document());
    edit.beginEditBlock();
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        const ParaFormat now = toParaFormat(b);
        const bool wasListed = b.textList() != nullptr;
        if (p.mask & ParaFormat::MaskNumbering)
            setListing(b, p.numbering);
        QTextBlockFormat f = b.blockFormat();
        const bool listed = b.textList() != nullptr;
        if (p.mask & (ParaFormat::MaskStartIndent | ParaFormat::MaskOffset)) {
            const int start = (p.mask & ParaFormat::MaskStartIndent) ? p.startIndent : now.startIndent;
            const int offset = (p.mask & ParaFormat::MaskOffset) ? p.offset : now.offset;
            f.setLeftMargin((start + offset) / 15.0);
            setFirstLineIndent(f, -offset / 15.0, listed);
        } else if (listed != wasListed) {
            // A paragraph entering or leaving a list has its first line placed anew.
            setFirstLineIndent(f, firstLineIndent(f), listed);
        }
        if (p.mask & ParaFormat::MaskRightIndent)
            f.setRightMargin(p.rightIndent / 15.0);
        if (p.mask & ParaFormat::MaskAlignment)
            f.setAlignment(p.alignment == 2 ? Qt::AlignRight : p.alignment == 3 ? Qt::AlignHCenter
                           : p.alignment == 4 ? Qt::AlignJustify : Qt::AlignLeft);
        if (p.mask & ParaFormat::MaskSpaceBefore)
            f.setTopMargin(std::max(0, p.spaceBefore) / 15.0);
        if (p.mask & ParaFormat::MaskSpaceAfter)
            f.setBottomMargin(std::max(0, p.spaceAfter) / 15.0);
        if (p.mask & ParaFormat::MaskLineSpacing) {
            switch (p.lineSpacingRule) {
            case 1: f.setLineHeight(150, QTextBlockFormat::ProportionalHeight); break;
            case 2: f.setLineHeight(200, QTextBlockFormat::ProportionalHeight); break;
            case 3: f.setLineHeight(std::max(0, p.lineSpacing) / 15.0, QTextBlockFormat::MinimumHeight); break;
            case 4: f.setLineHeight(std::max(0, p.lineSpacing) / 15.0, QTextBlockFormat::FixedHeight); break;
            case 5: f.setLineHeight(std::max(1, p.lineSpacing) * 100.0 / 20.0, QTextBlockFormat::ProportionalHeight); break;
            default: f.setLineHeight(0, QTextBlockFormat::SingleHeight); break;
            }
        }
        QTextCursor(b).setBlockFormat(f);
        if (b == last)
            break;
    }
    edit.endEditBlock();
}

void RichEditControl::setListing(const QTextBlock &b, int numbering)
{
    QTextList *list = b.textList();
    // A bullet is drawn by the program, at the paragraph's start (see listmarkers.h).
    QTextBlockFormat own = b.blockFormat();
    setOwnBullet(own, numbering == 1);
    if (own != b.blockFormat())
        QTextCursor(b).setBlockFormat(own);
    if (numbering == 0) {
        if (list)
            list->remove(b);
        return;
    }
    if (list && list->format().style() == listStyleFor(numbering))
        return;
    if (list)
        list->remove(b);
    QTextList *previous = b.previous().isValid() ? b.previous().textList() : nullptr;
    if (previous && previous->format().style() == listStyleFor(numbering)) {
        previous->add(b);
    } else {
        QTextListFormat lf;
        lf.setStyle(listStyleFor(numbering));
        lf.setIndent(0); // the paragraph's own indents place it
        QTextCursor(b).createList(lf);
    }
}

int RichEditControl::findText(const QString &text, int min, int max, int flags, int *matchEnd) const
{
    if (text.isEmpty())
        return -1;
    QTextDocument::FindFlags f;
    if (flags & FindWholeWord)
        f |= QTextDocument::FindWholeWords;
    if (flags & FindMatchCase)
        f |= QTextDocument::FindCaseSensitively;
    const int length = textLength();
    QTextCursor from(document());
    if (flags & FindDown) {
        const int limit = max < 0 ? length : std::min(max, length);
        from.setPosition(std::clamp(min, 0, length));
        const QTextCursor found = document()->find(text, from, f);
        if (found.isNull() || found.selectionEnd() > limit)
            return -1;
        if (matchEnd)
            *matchEnd = found.selectionEnd();
        return found.selectionStart();
    }
    f |= QTextDocument::FindBackward;
    const int limit = std::max(0, max);
    from.setPosition(std::clamp(min, 0, length));
    const QTextCursor found = document()->find(text, from, f);
    if (found.isNull() || found.selectionStart() < limit)
        return -1;
    if (matchEnd)
        *matchEnd = found.selectionEnd();
    return found.selectionStart();
}

void RichEditControl::selection(int *start, int *end) const
{
    const QTextCursor c = textCursor();
    if (start)
        *start = c.selectionStart();
    if (end)
        *end = c.selectionEnd();
}

void RichEditControl::setSelection(int start, int end)
{
    const int length = textLength();
    QTextCursor c = textCursor();
    if (start < 0) {
        c.clearSelection();
    } else if (start == 0 && end < 0) {
        c.setPosition(0);
        c.setPosition(length, QTextCursor::KeepAnchor);
    } else {
        c.setPosition(std::clamp(start, 0, length));
        c.setPosition(std::clamp(end < 0 ? length : end, 0, length), QTextCursor::KeepAnchor);
    }
    setTextCursor(c);
}

void RichEditControl::replaceSelection(const QString &text)
{
    if (!allowed(EditTrigger::Replace))
        return;
    QTextCursor c = textCursor();
    if (textLength() - (c.selectionEnd() - c.selectionStart()) + text.size() > TextLimit) {
        QApplication::beep();
        return;
    }
    m_pendingKind = UndoUnknown;
    c.insertText(text);
    setTextCursor(c);
}

int RichEditControl::lineFromChar(int position) const
{
    const QTextBlock block = document()->findBlock(std::clamp(position, 0, textLength()));
    if (!block.isValid())
        return 0;
    document()->documentLayout()->blockBoundingRect(block); // lays the document out up to here
    int line = 0;
    for (QTextBlock b = document()->begin(); b.isValid() && b != block; b = b.next())
        line += std::max(1, b.layout() ? b.layout()->lineCount() : 1);
    if (QTextLayout *layout = block.layout()) {
        const QTextLine l = layout->lineForTextPosition(position - block.position());
        if (l.isValid())
            line += l.lineNumber();
    }
    return line;
}

int RichEditControl::lineIndex(int line) const
{
    if (line < 0) {
        // The caret's line is found in its own paragraph, without counting the lines above.
        const int caret = textCursor().position();
        const QTextBlock block = document()->findBlock(caret);
        if (!block.isValid())
            return -1;
        document()->documentLayout()->blockBoundingRect(block);
        const QTextLine l = block.layout() ? block.layout()->lineForTextPosition(caret - block.position()) : QTextLine();
        return block.position() + (l.isValid() ? l.textStart() : 0);
    }
    int first = 0;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        document()->documentLayout()->blockBoundingRect(b);
        const int count = std::max(1, b.layout() ? b.layout()->lineCount() : 1);
        if (line < first + count) {
            const QTextLine l = b.layout() ? b.layout()->lineAt(line - first) : QTextLine();
            return b.position() + (l.isValid() ? l.textStart() : 0);
        }
        first += count;
    }
    return -1;
}

int RichEditControl::selectionType() const
{
    const QTextCursor c = textCursor();
    if (!c.hasSelection())
        return SelectionEmpty;
    // Counted by runs, not by copying the text out: a whole body may be selected.
    const int start = c.selectionStart(), end = c.selectionEnd();
    int objects = 0;
    forEachRun(document(), start, end, [&](const QTextFragment &f, int from, int to) {
        if (f.charFormat().objectType() != QTextFormat::NoObject)
            objects += to - from;
    });
    const int chars = end - start - objects;
    int type = 0;
    if (chars > 0)
        type |= SelectionText;
    if (chars > 1)
        type |= SelectionMultiChar;
    if (objects > 0)
        type |= SelectionObject;
    if (objects > 1)
        type |= SelectionMultiObject;
    return type;
}

int RichEditControl::textLength() const
{
    return std::max(0, document()->characterCount() - 1);
}

void RichEditControl::undo()
{
    if (m_undoKinds.empty() || !allowed(EditTrigger::Undo))
        return;
    m_undoing = true;
    document()->undo(nullptr);
    m_undoing = false;
    m_redoKinds.push_back(m_undoKinds.back());
    m_undoKinds.pop_back();
    Q_EMIT changed(); // again, now that the names of the next undo and redo are known
}

void RichEditControl::redo()
{
    if (m_redoKinds.empty() || !allowed(EditTrigger::Redo))
        return;
    m_undoing = true;
    document()->redo(nullptr);
    m_undoing = false;
    m_undoKinds.push_back(m_redoKinds.back());
    m_redoKinds.pop_back();
    Q_EMIT changed();
}

void RichEditControl::cut()
{
    if (!textCursor().hasSelection() || isReadOnly() || !allowed(EditTrigger::Cut))
        return;
    m_pendingKind = UndoCut;
    QTextEdit::cut();
    m_pendingKind = UndoUnknown;
}

void RichEditControl::paste()
{
    if (isReadOnly())
        return;
    QTextEdit::paste();
}

void RichEditControl::holdFonts(int start, int end, const QTextCharFormat &change)
{
    // The formats of the range, each once.
    QSet<int> used;
    forEachRun(document(), start, end, [&](const QTextFragment &frag, int, int) { used.insert(frag.charFormatIndex()); });
    const QList<QTextFormat> formats = document()->allFormats();
    const QFont defaultFont = document()->defaultFont();
    QPaintDevice *device = document()->documentLayout()->paintDevice();
    const auto hold = [&](QFont font) {
        if (m_heldFonts.contains(font))
            return;
        // Loaded through metrics that share the font's data, as the layout loads it: for the
        // letters and for what belongs to no script (spaces, digits, signs).
        const QFontMetricsF metrics(font);
        metrics.horizontalAdvance(QLatin1Char('a'));
        metrics.height();
        m_heldFonts.insert(font);
    };
    const auto holdFormat = [&](const QTextCharFormat &f) {
        QFont font = f.font().resolve(defaultFont);
        if (device)
            font = QFont(font, device);
        hold(font);
        // Super- and subscript are drawn in a font two thirds the size.
        if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript
            || f.verticalAlignment() == QTextCharFormat::AlignSubScript) {
            if (font.pointSize() != -1)
                font.setPointSize(font.pointSize() * 2 / 3);
            else
                font.setPixelSize(font.pixelSize() * 2 / 3);
            hold(font);
        }
    };
    for (const int index : used) {
        if (index < 0 || index >= formats.size() || !formats[index].isCharFormat())
            continue;
        QTextCharFormat f = formats[index].toCharFormat();
        holdFormat(f); // for the undo
        f.merge(change);
        holdFormat(f);
    }
}

void RichEditControl::releaseFonts()
{
    m_heldFonts.clear();
}

bool RichEditControl::modified() const
{
    return document()->isModified();
}

void RichEditControl::setModified(bool modified)
{
    document()->setModified(modified);
}

int RichEditControl::formatRange(QPainter *painter, const QRectF &target, int from, int to, bool render)
{
    const int length = textLength();
    from = std::clamp(from, 0, length);
    to = to < 0 ? length : std::clamp(to, from, length);
    if (from >= to || target.width() <= 0 || target.height() <= 0)
        return from;
    // A copy holding just the range, laid out for the painter's device at the target's width.
    std::unique_ptr<QTextDocument> copy(document()->clone());
    shareDeferredPictures(document(), copy.get());
    QTextCursor cut(copy.get());
    cut.setPosition(to);
    cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    cut.setPosition(0);
    cut.setPosition(from, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    copy->setDocumentMargin(0);
    if (painter && painter->device())
        copy->documentLayout()->setPaintDevice(painter->device());
    copy->setTextWidth(target.width());

    // Whole lines from the top, down to the first that does not fit.
    double fits = 0;
    int firstNotDrawn = to;
    bool stopped = false;
    for (QTextBlock b = copy->begin(); b.isValid() && !stopped; b = b.next()) {
        const QRectF box = copy->documentLayout()->blockBoundingRect(b);
        QTextLayout *layout = b.layout();
        for (int i = 0; layout && i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const double bottom = box.top() + line.y() + line.height();
            if (bottom > target.height() + 0.01) {
                firstNotDrawn = from + b.position() + line.textStart();
                stopped = true;
                break;
            }
            fits = std::max(fits, bottom);
        }
    }
    if (render && painter) {
        painter->save();
        painter->translate(target.topLeft());
        const QRectF clip(0, 0, target.width(), fits);
        painter->setClipRect(clip, Qt::IntersectClip);
        copy->drawContents(painter, clip);
        drawBullets(painter, copy->documentLayout(), copy->begin(), clip);
        painter->restore();
    }
    return std::min(firstNotDrawn, to);
}

void RichEditControl::paintEvent(QPaintEvent *event)
{
    QTextEdit::paintEvent(event);
    // The bullets, which the document leaves to the program, over what Qt drew.
    const QPoint scrolled(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QRectF area = QRectF(event->rect()).translated(scrolled);
    QTextBlock first = cursorForPosition(QPoint(0, 0)).block();
    if (first.previous().isValid())
        first = first.previous();
    QPainter painter(viewport());
    painter.translate(-scrolled);
    painter.setClipRect(area);
    // A paragraph begun above the area may have its bullet inside it: any first line above counts.
    drawBullets(&painter, document()->documentLayout(), first, area.adjusted(0, -1e9, 0, 0));
    if (paintOver)
        paintOver(painter, area);
}

void RichEditControl::keyPressEvent(QKeyEvent *event)
{
    // Alt with a letter or a sign is a command key for the window (menus), never typing; AltGr,
    // which writes @, € and the like on Turkish keyboards, does not come as Alt.
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !event->text().isEmpty()
        && event->text().at(0).isPrint()) {
        event->ignore();
        return;
    }
    if (keyFilter && keyFilter(event))
        return;
    if (event->matches(QKeySequence::Undo)) {
        undo();
        return;
    }
    if (event->matches(QKeySequence::Redo)) {
        redo();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        cut();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        paste();
        return;
    }
    const int key = event->key();
    const bool deleting = key == Qt::Key_Backspace || key == Qt::Key_Delete;
    const bool typing = !event->text().isEmpty() && (event->text().at(0).isPrint() || key == Qt::Key_Tab
                                                     || key == Qt::Key_Return || key == Qt::Key_Enter)
                        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if ((deleting || typing) && !isReadOnly()) {
        if (!allowed(EditTrigger::Key)) {
            QApplication::beep();
            return;
        }
        if (typing && textLength() - (textCursor().selectionEnd() - textCursor().selectionStart()) + 1 > TextLimit) {
            QApplication::beep();
            return;
        }
        m_pendingKind = deleting ? UndoDelete : UndoTyping;
        QTextCursor c = textCursor();
        if (key == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier) && !c.hasSelection()
            && c.atBlockStart() && c.block().textList()) {
            // At the start of a list paragraph the key takes the paragraph out of the list, its
            // indents staying and its first line placed as in any paragraph.
            c.beginEditBlock();
            setListing(c.block(), 0);
            QTextBlockFormat f = c.block().blockFormat();
            setFirstLineIndent(f, firstLineIndent(f), false);
            c.setBlockFormat(f);
            c.endEditBlock();
            m_pendingKind = UndoUnknown;
            return;
        }
    }
    QTextEdit::keyPressEvent(event);
    m_pendingKind = UndoUnknown;
}

void RichEditControl::mousePressEvent(QMouseEvent *event)
{
    // A click in the selection bar, left of the text, selects the line there.
    if (event->button() == Qt::LeftButton && event->position().x() < document()->documentMargin() - 2) {
        QTextCursor c = cursorForPosition(QPoint(static_cast<int>(document()->documentMargin()), event->position().toPoint().y()));
        c.movePosition(QTextCursor::StartOfLine);
        c.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
        setTextCursor(c);
        return;
    }
    QTextEdit::mousePressEvent(event);
}

void RichEditControl::dropEvent(QDropEvent *event)
{
    if (!allowed(EditTrigger::Drop)) {
        event->ignore();
        return;
    }
    m_dropping = true;
    m_pendingKind = UndoDragDrop;
    QTextEdit::dropEvent(event);
    m_pendingKind = UndoUnknown;
    m_dropping = false;
}

QMimeData *RichEditControl::createMimeDataFromSelection() const
{
    // Qt's own selection data lists only its own formats; it is copied into plain data that can
    // carry RTF as well.
    std::unique_ptr<QMimeData> qt(QTextEdit::createMimeDataFromSelection());
    auto *data = new QMimeData;
    for (const QString &format : qt->formats())
        data->setData(format, qt->data(format));
    const QTextDocumentFragment fragment = textCursor().selection();
    QTextDocument copy;
    copy.setDefaultFont(document()->defaultFont());
    QTextCursor(&copy).insertFragment(fragment);
    data->setData(QStringLiteral("text/rtf"), RtfWriter::write(copy, document()));
    return data;
}

bool RichEditControl::canInsertFromMimeData(const QMimeData *source) const
{
    for (const QString &type : rtfMimeTypes()) {
        if (source->hasFormat(type))
            return true;
    }
    return source->hasImage() || source->hasFormat(QStringLiteral("image/x-emf"))
           || source->hasFormat(QStringLiteral("image/x-wmf")) || QTextEdit::canInsertFromMimeData(source);
}

void RichEditControl::insertPicture(const QImage &image, const QByteArray &original, int kind, QSizeF extent)
{
    const QUrl data = addBytesResource(document(), QStringLiteral("pict"), original);
    const QUrl name(QStringLiteral("velkora-image:%1").arg(data.path()));
    document()->addResource(QTextDocument::ImageResource, name, QVariant(image));
    QTextImageFormat f;
    f.setName(name.toString());
    f.setWidth(image.width());
    f.setHeight(image.height());
    f.setProperty(property::PictureKind, kind);
    f.setProperty(property::PictureData, data);
    if (extent.isValid() && !extent.isEmpty())
        f.setProperty(property::PictureExtent, extent);
    textCursor().insertImage(f);
}

void RichEditControl::insertFromMimeData(const QMimeData *source)
{
    if (!m_dropping) {
        if (!allowed(EditTrigger::Paste))
            return;
        m_pendingKind = UndoPaste;
    }
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    bool done = false;
    for (const QString &type : rtfMimeTypes()) {
        if (done || !source->hasFormat(type))
            continue;
        QTextDocument pasted;
        pasted.setDefaultFont(document()->defaultFont());
        if (!RtfReader::read(source->data(type), &pasted))
            continue;
        if (textLength() + pasted.characterCount() > TextLimit)
            break;
        // Pictures keep their resources in the document they were read into: bring them over.
        for (QTextBlock b = pasted.begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                if (!f.isImageFormat())
                    continue;
                const QTextImageFormat image = f.toImageFormat();
                document()->addResource(QTextDocument::ImageResource, QUrl(image.name()),
                                        pasted.resource(QTextDocument::ImageResource, QUrl(image.name())));
                for (const int p : {property::PictureData, property::ObjectData}) {
                    if (image.hasProperty(p)) {
                        const QUrl url = image.property(p).toUrl();
                        document()->addResource(OriginalBytesResource, url, QVariant(bytesResource(&pasted, url)));
                    }
                }
            }
        }
        cursor.insertFragment(QTextDocumentFragment(&pasted));
        done = true;
    }
    if (!done && source->hasImage()) {
        const QImage image = qvariant_cast<QImage>(source->imageData());
        const QString jpegType = QStringLiteral("image/jpeg");
        if (!image.isNull() && source->hasFormat(jpegType)) {
            // A photograph keeps its JPEG bytes; the bitmap is what is shown.
            insertPicture(image, source->data(jpegType), static_cast<int>(PictureKind::Jpeg));
            done = true;
        } else if (!image.isNull()) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            insertPicture(image, png, static_cast<int>(PictureKind::Png));
            done = true;
        }
    }
    // Metafiles keep their bytes; until they can be drawn they show as a frame of their size.
    for (const auto &[type, kind] : {std::pair{QStringLiteral("image/x-emf"), PictureKind::Emf},
                                     std::pair{QStringLiteral("image/x-wmf"), PictureKind::Wmf}}) {
        if (done || !source->hasFormat(type))
            continue;
        PictureSource picture;
        picture.kind = kind;
        picture.bytes = source->data(type);
        // At its own size and shape, which its RTF then names in 0.01 mm.
        const DecodedPicture decoded = decodePicture(picture);
        insertPicture(decoded.image, picture.bytes, static_cast<int>(kind), decoded.displaySize * (2540.0 / 96.0));
        done = true;
    }
    if (!done && source->hasText()) {
        QString text = source->text();
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(u'\r', u'\n');
        if (textLength() + text.size() <= TextLimit)
            cursor.insertText(text);
        else
            QApplication::beep();
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    // A drop's step is recorded when the drop's own edit block closes, after this: it keeps its kind.
    if (!m_dropping)
        m_pendingKind = UndoUnknown;
}

} // namespace velkora::richedit
