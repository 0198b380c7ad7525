// Reads an RTF document into a QTextDocument: text, character and paragraph formats, lists,
// tables, links, pictures and embedded objects.
#include "rtfreader.h"

#include "codepages.h"
#include "fontnames.h"
#include "listmarkers.h"
#include "picturedecoder.h"
#include "richtextproperties.h"

#include <QHash>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace velkora::richedit {

namespace {

// Whether the control word is the literal: its length is known when compiled (comparing with a
// QByteArrayView of a literal measures the literal each time, and every control word meets
// dozens of these).
template <size_t N>
bool is(QByteArrayView word, const char (&literal)[N])
{
    return word.size() == qsizetype(N - 1) && std::memcmp(word.data(), literal, N - 1) == 0;
}

} // namespace

namespace {

// Where the text of a group goes.
enum class Destination {
    Normal,      // the body
    Skip,        // ignored, with everything inside it
    FontTable,
    FontAlternate, // {\*\fname …} or {\*\falt …} inside a font's entry
    ColorTable,
    Picture,
    ObjectData,  // \objdata: kept as part of the object's head
    Object,      // the \object group around data and result
    FieldInstruction,
    ListTable,
    ListLevel,
    ListLevelText,
    ListOverrideTable,
    ListOverride,
    ParagraphNumbering, // {\*\pn …}
    NumberingText,      // {\pntxtb …} / {\pntxta …}
    ShownNumber,        // {\pntext …}: the number or bullet as the writer showed it
};

struct CharState
{
    int font = -1;
    int halfPoints = 24;
    bool bold = false, italic = false, strike = false, caps = false, hidden = false;
    int underline = 0; // QTextCharFormat::UnderlineStyle + 1, 0 for none
    int vertical = 0;  // 1 super, 2 sub
    int raise = 0;     // half-points, \up positive, \dn negative
    int foreground = 0, background = 0;
    bool highlight = false;
    int language = 0;
    QString href;
};

struct ParaState
{
    Qt::Alignment alignment = Qt::AlignLeft;
    int li = 0, ri = 0, fi = 0, sb = 0, sa = 0, sl = 0;
    bool slMult = false;
    QList<QTextOption::Tab> tabs;
    QTextOption::TabType nextTabType = QTextOption::LeftTab;
    bool inTable = false;
    int nesting = 0; // \itap
    int shading = 0; // colour index of \cbpat
    // Numbering: the control's \pn form and Word's \ls form.
    int pnStyle = 0; // QTextListFormat::Style, 0 for none
    bool pnContinue = false; // \pnlvlcont: indented like the list, but no item
    int pnLevel = 0;
    int pnStart = 1;
    int ls = 0;
    int ilvl = 0;
    bool pageBreakBefore = false;
};

struct PictureState
{
    PictureSource source;
    bool haveKind = false;
    int nibble = -1;
    bool tooLarge = false;
};

struct GroupState
{
    Destination destination = Destination::Normal;
    CharState chr;
    ParaState para;
    int uc = 1;
    int codePage = 0; // 0: the document's
    bool deep = false; // beyond MaxGroupDepth
};

struct Font
{
    QString name;
    QString alternate; // the name without the code page's tag ({\*\fname}), else {\*\falt}
    bool nameGiven = false; // the alternate came from \fname, which \falt does not replace
    int codePage = 0;
};

struct ListLevelDef
{
    int nfc = 0; // \levelnfc
    int start = 1;
};

struct TableContext
{
    QTextTable *table = nullptr;
    int row = 0;
    int column = 0;
    bool rowEnded = false;    // the next content starts a new row
    bool cellPending = false; // the next content starts cell `column`
};

QTextListFormat::Style styleForNfc(int nfc)
{
    switch (nfc) {
    case 0: return QTextListFormat::ListDecimal;
    case 1: return QTextListFormat::ListUpperRoman;
    case 2: return QTextListFormat::ListLowerRoman;
    case 3: return QTextListFormat::ListUpperAlpha;
    case 4: return QTextListFormat::ListLowerAlpha;
    default: return QTextListFormat::ListDisc;
    }
}

bool isDoubleByteCodePage(int cp)
{
    return cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 1361 || cp == 10001 || cp == 10002
           || cp == 10003 || cp == 10008;
}

class Reader
{
public:
    Reader(QByteArrayView input, QTextDocument *document, QStringList *warnings)
        : m_in(input), m_doc(document), m_warnings(warnings), m_cursor(document)
    {
    }
    // Text alone: the characters a reader sees, a line break after each paragraph and each table
    // cell; no document is built, nothing is decoded of pictures.
    Reader(QByteArrayView input, QString *text) : m_in(input), m_doc(nullptr), m_warnings(nullptr), m_plain(text) {}

    void run();

private:
    // Input.
    bool atEnd() const { return m_pos >= m_in.size(); }
    char peek() const { return m_in[m_pos]; }

    void groupStart();
    void groupEnd();
    void controlWord(QByteArrayView word, bool hasParam, int param);
    void controlSymbol(char symbol);
    void textByte(char byte);
    void hexByte(unsigned char byte);
    void binary(qint64 length);
    bool skipping(); // consumes one unit of a \uN fallback; true while skipping

    // Destinations.
    GroupState &state() { return m_stack.back(); }
    void setDestination(Destination d) { state().destination = d; }
    bool inBody() const { return m_stack.back().destination == Destination::Normal; }

    // Text.
    int currentCodePage() const;
    void appendByte(char byte);
    void appendText(QStringView text);
    void appendChar(char16_t c) { appendText(QStringView(&c, 1)); }
    void flushBytes();
    void flushRun();
    QTextCharFormat charFormat(const CharState &c) const;
    void endParagraph(bool cellEnd = false);
    QTextBlockFormat blockFormat(const ParaState &p) const;
    void applyList(const ParaState &p);
    void enterTables();
    void closeTablesTo(int depth);
    void endCell();
    void endRow();

    // Tables of the header.
    void fontTableText();
    void flushFontName();
    void colorTableWord(QByteArrayView word, int param);

    // Pictures and objects.
    void pictureWord(QByteArrayView word, bool hasParam, int param);
    void finishPicture();
    void insertImage(const PictureSource &source);
    int m_footnoteDepth = -1; // the group of the footnote being read, -1 outside one

    void warn(const QString &w)
    {
        if (m_warnings && m_warnings->size() < 100)
            m_warnings->append(w);
    }

    QByteArrayView m_in;
    qsizetype m_pos = 0;
    QTextDocument *m_doc;
    QStringList *m_warnings;
    QTextCursor m_cursor;
    QString *m_plain = nullptr; // reading text alone

    std::vector<GroupState> m_stack;
    qint64 m_groups = 0;
    int m_deepLevels = 0;
    int m_skipCount = 0; // \uN fallback characters still to skip
    bool m_done = false;

    int m_documentCodePage = 1252;
    int m_defaultFont = 0;
    std::map<int, Font> m_fonts;
    int m_currentFontIndex = 0;
    QByteArray m_fontNameBytes; // bytes of the name not yet decoded
    QByteArray m_fontAlternateBytes;
    bool m_fontAlternateIsName = false;
    QString m_fontName;
    std::vector<QColor> m_colors; // invalid: the automatic colour
    int m_red = -1, m_green = -1, m_blue = -1;

    std::map<int, std::unique_ptr<CodePageDecoder>> m_decoders;
    QByteArray m_pendingBytes;
    QString m_decoded; // text on its way to appendText, its room kept
    int m_pendingCodePage = 0;
    QString m_run;
    CharState m_runFormat;
    bool m_runFormatSet = false;
    qint64 m_length = 0;
    bool m_truncated = false;
    bool m_paragraphHasContent = false;

    // Lists: Word's list table and overrides, and the list the previous paragraph belonged to.
    std::map<int, std::vector<ListLevelDef>> m_listDefs; // by \listid
    int m_currentListId = 0;
    std::map<int, int> m_overrides; // \ls → \listid
    int m_currentOverrideListId = 0;
    QTextList *m_lastList = nullptr;
    QString m_lastListKey;
    QString m_shownNumber; // of the paragraph being read

    std::vector<TableContext> m_tables;
    QVector<int> m_cellx; // right edges of the cells of the row being defined (twips)

    // Pictures and objects.
    PictureState m_picture;
    int m_pictureDepth = -1;
    QString m_fieldInstruction;
    int m_fieldDepth = -1;
    int m_objectDepth = -1;
    qsizetype m_objectStart = 0;
    QByteArray m_objectHead;
    bool m_objectHasResult = false;
    int m_resultDepth = -1;
};

void Reader::run()
{
    if (m_doc) {
        m_doc->setUndoRedoEnabled(false);
        m_doc->clear();
        clearDeferredPictures(m_doc); // the pictures of the body read before
        m_cursor = QTextCursor(m_doc);
        m_cursor.beginEditBlock();
    }
    m_stack.reserve(64);
    m_stack.push_back(GroupState());

    while (!atEnd() && !m_done) {
        const char c = m_in[m_pos];
        if (c == '{') {
            ++m_pos;
            groupStart();
        } else if (c == '}') {
            ++m_pos;
            groupEnd();
        } else if (c == '\\') {
            ++m_pos;
            if (atEnd())
                break;
            const char d = m_in[m_pos];
            if ((d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z')) {
                const qsizetype start = m_pos;
                while (!atEnd() && m_pos - start < 32
                       && ((m_in[m_pos] >= 'a' && m_in[m_pos] <= 'z') || (m_in[m_pos] >= 'A' && m_in[m_pos] <= 'Z')))
                    ++m_pos;
                const QByteArrayView word = m_in.sliced(start, m_pos - start);
                bool hasParam = false, negative = false;
                qint64 value = 0;
                if (!atEnd() && m_in[m_pos] == '-') {
                    negative = true;
                    ++m_pos;
                }
                int digits = 0;
                while (!atEnd() && m_in[m_pos] >= '0' && m_in[m_pos] <= '9') {
                    if (digits < 10)
                        value = value * 10 + (m_in[m_pos] - '0');
                    ++digits;
                    ++m_pos;
                }
                hasParam = digits > 0;
                if (!hasParam && negative)
                    --m_pos; // a lone '-' is text
                if (!atEnd() && m_in[m_pos] == ' ')
                    ++m_pos;
                value = std::clamp<qint64>(negative ? -value : value, -2147483647, 2147483647);
                if (is(word, "bin") && hasParam) {
                    skipping(); // inside a \uN fallback the data counts as one character
                    binary(value);
                    continue;
                }
                controlWord(word, hasParam, static_cast<int>(value));
            } else if (d == '\'') {
                ++m_pos;
                int v = 0, n = 0;
                while (n < 2 && !atEnd()) {
                    const char h = m_in[m_pos];
                    const int x = (h >= '0' && h <= '9') ? h - '0' : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                                                               : (h >= 'A' && h <= 'F') ? h - 'A' + 10 : -1;
                    if (x < 0)
                        break;
                    v = v * 16 + x;
                    ++n;
                    ++m_pos;
                }
                hexByte(static_cast<unsigned char>(v));
            } else {
                ++m_pos;
                controlSymbol(d);
            }
        } else if (c == '\r' || c == '\n') {
            ++m_pos;
        } else {
            // A run of plain bytes up to the next special character.
            const qsizetype start = m_pos;
            while (!atEnd() && m_in[m_pos] != '{' && m_in[m_pos] != '}' && m_in[m_pos] != '\\'
                   && m_in[m_pos] != '\r' && m_in[m_pos] != '\n')
                ++m_pos;
            const QByteArrayView run = m_in.sliced(start, m_pos - start);
            const Destination dest = state().destination;
            if (dest == Destination::Normal && m_skipCount == 0 && !isDoubleByteCodePage(currentCodePage())) {
                bool ascii = true;
                for (const char b : run)
                    ascii = ascii && static_cast<unsigned char>(b) >= 0x20 && static_cast<unsigned char>(b) < 0x80;
                if (ascii) {
                    flushBytes();
                    m_decoded.resize(0);
                    m_decoded.append(QLatin1StringView(run.data(), run.size()));
                    appendText(m_decoded);
                    continue;
                }
            }
            for (const char b : run)
                textByte(b);
        }
    }

    flushBytes();
    const bool lastHasContent = m_paragraphHasContent || !m_run.isEmpty();
    flushRun();
    if (m_plain) {
        if (lastHasContent || m_plain->isEmpty())
            m_plain->append(u'\n');
        return;
    }
    closeTablesTo(0);
    if (lastHasContent || m_doc->blockCount() == 1) {
        m_cursor.setBlockFormat(blockFormat(m_stack.back().para));
    } else {
        // "text\par}" is one paragraph: the mark of the last one ends the document, so the empty
        // block it opened goes again.
        QTextCursor last(m_doc);
        last.movePosition(QTextCursor::End);
        if (last.block().length() == 1 && !last.currentTable() && last.block().previous().isValid()
            && !QTextCursor(last.block().previous()).currentTable())
            last.deletePreviousChar();
    }
    m_cursor.endEditBlock();
    if (m_truncated)
        warn(QStringLiteral("the document was cut at %1 characters").arg(RtfReader::MaxTextLength));
    m_doc->setUndoRedoEnabled(true);
    m_doc->setModified(false);
}

bool Reader::skipping()
{
    if (m_skipCount > 0) {
        --m_skipCount;
        return true;
    }
    return false;
}

void Reader::groupStart()
{
    flushBytes();
    m_skipCount = 0;
    if (++m_groups > RtfReader::MaxGroups) {
        warn(QStringLiteral("too many groups; the document was cut"));
        m_done = true;
        return;
    }
    if (m_stack.size() >= static_cast<size_t>(RtfReader::MaxGroupDepth)) {
        ++m_deepLevels;
        return;
    }
    GroupState copy = m_stack.back();
    m_stack.push_back(std::move(copy));
}

void Reader::groupEnd()
{
    flushBytes();
    m_skipCount = 0;
    if (m_deepLevels > 0) {
        --m_deepLevels;
        return;
    }
    if (m_stack.size() <= 2) {
        // The document's own group closed. Whatever follows that is only blanks, braces or
        // non-RTF bytes is garbage after the document; more RTF means the brace was a stray one.
        qsizetype p = m_pos;
        while (p < m_in.size() && (m_in[p] == '}' || m_in[p] == ' ' || m_in[p] == '\r' || m_in[p] == '\n'
                                   || m_in[p] == '\t' || m_in[p] == '\0'))
            ++p;
        bool more = false;
        for (qsizetype q = p; q < m_in.size() && q < p + 4096 && !more; ++q)
            more = m_in[q] == '\\' || m_in[q] == '{';
        if (!more)
            m_done = true;
        return;
    }
    const int depth = static_cast<int>(m_stack.size()) - 1;
    const Destination ending = m_stack.back().destination;
    if (depth == m_footnoteDepth) {
        flushBytes();
        appendText(QStringLiteral("]"));
        m_footnoteDepth = -1;
    }
    flushRun();
    m_stack.pop_back();
    // What the group was for is finished in the group around it.
    if (depth == m_pictureDepth) {
        m_pictureDepth = -1;
        finishPicture();
    }
    if (ending == Destination::FontAlternate && m_stack.size() >= 2 && m_stack[m_stack.size() - 2].destination == Destination::FontTable) {
        Font &font = m_fonts[m_currentFontIndex];
        const QString alternate = CodePageDecoder(font.codePage ? font.codePage : m_documentCodePage)
                                      .decode(m_fontAlternateBytes).trimmed().left(31);
        if (!alternate.isEmpty() && (m_fontAlternateIsName || !font.nameGiven)) {
            font.alternate = alternate;
            font.nameGiven = m_fontAlternateIsName;
        }
        m_fontAlternateBytes.clear();
    }
    if (ending == Destination::FontTable && (!m_fontNameBytes.isEmpty() || !m_fontName.isEmpty())) {
        m_fontNameBytes.append(';');
        fontTableText();
    }
    if (depth == m_fieldDepth && ending == Destination::FieldInstruction) {
        // HYPERLINK "url", or HYPERLINK url, with \l before a bookmark name.
        const QString instruction = m_fieldInstruction.trimmed();
        QString href;
        if (instruction.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive)) {
            const QStringList parts = instruction.mid(9).trimmed().split(u'"');
            if (parts.size() >= 2)
                href = parts[0].contains(QLatin1String("\\l")) ? u'#' + parts[1] : parts[1];
            else
                href = instruction.mid(9).trimmed().section(u' ', 0, 0);
        }
        state().chr.href = href; // the field's result, a sibling group, inherits it
        m_fieldDepth = -1;
    }
    if (depth == m_resultDepth)
        m_resultDepth = -1;
    if (depth == m_objectDepth) {
        if (!m_objectHasResult) {
            // An object without a picture of its own is shown as a frame; its data is kept.
            m_objectHead = m_in.sliced(m_objectStart, m_pos - m_objectStart).toByteArray();
            PictureSource frame;
            frame.kind = PictureKind::Bitmap;
            frame.picw = frame.pich = 64;
            insertImage(frame);
        }
        m_objectDepth = -1;
        m_objectHead.clear();
    }
}

int Reader::currentCodePage() const
{
    const GroupState &g = m_stack.back();
    if (g.codePage)
        return g.codePage;
    const auto it = m_fonts.find(g.chr.font >= 0 ? g.chr.font : m_defaultFont);
    if (it != m_fonts.end() && it->second.codePage)
        return it->second.codePage;
    return m_documentCodePage;
}

void Reader::textByte(char byte)
{
    if (skipping())
        return;
    switch (state().destination) {
    case Destination::Normal:
    case Destination::FieldInstruction:
    case Destination::ShownNumber:
        if (static_cast<unsigned char>(byte) < 0x20 && byte != '\t')
            return;
        appendByte(byte);
        break;
    case Destination::FontTable:
        m_fontNameBytes.append(byte);
        if (byte == ';')
            fontTableText();
        break;
    case Destination::FontAlternate:
        if (byte != ';' && m_fontAlternateBytes.size() < 256)
            m_fontAlternateBytes.append(byte);
        break;
    case Destination::ColorTable:
        if (byte == ';')
            colorTableWord("end", 0);
        break;
    case Destination::Picture: {
        if (m_picture.tooLarge)
            return;
        const int x = (byte >= '0' && byte <= '9') ? byte - '0' : (byte >= 'a' && byte <= 'f') ? byte - 'a' + 10
                                                   : (byte >= 'A' && byte <= 'F') ? byte - 'A' + 10 : -1;
        if (x < 0)
            return;
        if (m_picture.nibble < 0) {
            m_picture.nibble = x;
        } else {
            m_picture.source.bytes.append(static_cast<char>(m_picture.nibble * 16 + x));
            m_picture.nibble = -1;
            if (m_picture.source.bytes.size() > MaxPictureBytes) {
                m_picture.tooLarge = true;
                m_picture.source.bytes.clear();
            }
        }
        break;
    }
    default:
        break;
    }
}

void Reader::hexByte(unsigned char byte)
{
    if (skipping())
        return;
    const Destination d = state().destination;
    if (d == Destination::FontTable) {
        m_fontNameBytes.append(static_cast<char>(byte));
        return;
    }
    if (d == Destination::FontAlternate) {
        if (m_fontAlternateBytes.size() < 256)
            m_fontAlternateBytes.append(static_cast<char>(byte));
        return;
    }
    if (d == Destination::Normal || d == Destination::FieldInstruction || d == Destination::ShownNumber)
        appendByte(static_cast<char>(byte));
}

void Reader::binary(qint64 length)
{
    const qint64 available = m_in.size() - m_pos;
    const qint64 n = std::clamp<qint64>(length, 0, available);
    if (state().destination == Destination::Picture && !m_picture.tooLarge) {
        if (m_picture.source.bytes.size() + n > MaxPictureBytes) {
            m_picture.tooLarge = true;
            m_picture.source.bytes.clear();
        } else {
            m_picture.source.bytes.append(m_in.sliced(m_pos, n).toByteArray());
        }
    }
    m_pos += n;
}

void Reader::appendByte(char byte)
{
    const int cp = currentCodePage();
    if (!m_pendingBytes.isEmpty() && cp != m_pendingCodePage)
        flushBytes();
    m_pendingCodePage = cp;
    m_pendingBytes.append(byte);
}

void Reader::flushBytes()
{
    if (m_pendingBytes.isEmpty())
        return;
    auto &decoder = m_decoders[m_pendingCodePage];
    if (!decoder)
        decoder = std::make_unique<CodePageDecoder>(m_pendingCodePage);
    m_decoded.resize(0);
    decoder->decodeInto(m_pendingBytes, m_decoded);
    m_pendingBytes.resize(0); // its room kept for the next escapes
    appendText(m_decoded);
}

void Reader::appendText(QStringView text)
{
    if (text.isEmpty())
        return;
    if (state().destination == Destination::FieldInstruction) {
        if (m_fieldInstruction.size() < 4096)
            m_fieldInstruction += text;
        return;
    }
    if (state().destination == Destination::ShownNumber) {
        if (m_shownNumber.size() < 64)
            m_shownNumber += text;
        return;
    }
    if (state().destination != Destination::Normal)
        return;
    if (m_length + text.size() > RtfReader::MaxTextLength) {
        m_truncated = true;
        return;
    }
    const CharState &c = state().chr;
    const bool same = m_runFormatSet && c.font == m_runFormat.font && c.halfPoints == m_runFormat.halfPoints
                      && c.bold == m_runFormat.bold && c.italic == m_runFormat.italic && c.strike == m_runFormat.strike
                      && c.caps == m_runFormat.caps && c.hidden == m_runFormat.hidden
                      && c.underline == m_runFormat.underline && c.vertical == m_runFormat.vertical
                      && c.raise == m_runFormat.raise && c.foreground == m_runFormat.foreground
                      && c.background == m_runFormat.background && c.highlight == m_runFormat.highlight
                      && c.language == m_runFormat.language && c.href == m_runFormat.href;
    if (!same) {
        flushRun();
        m_runFormat = c;
        m_runFormatSet = true;
    }
    enterTables();
    m_run += text;
    m_length += text.size();
    m_paragraphHasContent = true;
}

void Reader::flushRun()
{
    if (m_run.isEmpty())
        return;
    if (m_plain) {
        if (!m_runFormat.hidden)
            m_plain->append(m_run);
        m_run.resize(0);
        return;
    }
    m_cursor.insertText(m_run, charFormat(m_runFormat));
    m_run.clear();
}

QTextCharFormat Reader::charFormat(const CharState &c) const
{
    QTextCharFormat f;
    const auto font = m_fonts.find(c.font >= 0 ? c.font : m_defaultFont);
    if (font != m_fonts.end() && !font->second.name.isEmpty()) {
        // A name tagged with its code page ("Arial TUR") is drawn and shown as its family; the
        // name and its alternate are kept for writing the body again.
        const QString family = fontFamilyFor(font->second.name, font->second.alternate);
        f.setFontFamilies({family});
        if (family != font->second.name) {
            f.setProperty(property::FontTableName, font->second.name);
            if (!font->second.alternate.isEmpty()) {
                f.setProperty(property::FontAlternateName, font->second.alternate);
                if (!font->second.nameGiven)
                    f.setProperty(property::FontAlternateIsFalt, true);
            }
        }
    }
    f.setFontPointSize(c.halfPoints / 2.0);
    if (c.bold)
        f.setFontWeight(QFont::Bold);
    if (c.italic)
        f.setFontItalic(true);
    if (c.underline)
        f.setUnderlineStyle(static_cast<QTextCharFormat::UnderlineStyle>(c.underline - 1));
    if (c.strike)
        f.setFontStrikeOut(true);
    if (c.caps)
        f.setFontCapitalization(QFont::AllUppercase);
    if (c.vertical == 1 || c.raise > 0)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (c.vertical == 2 || c.raise < 0)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (c.raise)
        f.setProperty(property::RaiseHalfPoints, c.raise);
    if (c.foreground > 0 && c.foreground < static_cast<int>(m_colors.size()) && m_colors[c.foreground].isValid())
        f.setForeground(m_colors[c.foreground]);
    if (c.background > 0 && c.background < static_cast<int>(m_colors.size()) && m_colors[c.background].isValid()) {
        f.setBackground(m_colors[c.background]);
        if (c.highlight)
            f.setProperty(property::Highlight, true);
    }
    if (c.hidden) {
        // Kept for writing back, drawn as nothing.
        f.setProperty(property::Hidden, true);
        f.setForeground(Qt::transparent);
        f.setFontPointSize(1);
    }
    if (c.language)
        f.setProperty(property::Language, c.language);
    if (!c.href.isEmpty()) {
        f.setAnchor(true);
        f.setAnchorHref(c.href);
    }
    return f;
}

QTextBlockFormat Reader::blockFormat(const ParaState &p) const
{
    QTextBlockFormat f;
    f.setAlignment(p.alignment);
    if (p.li)
        f.setLeftMargin(p.li / 15.0);
    if (p.ri)
        f.setRightMargin(p.ri / 15.0);
    if (p.fi)
        f.setTextIndent(p.fi / 15.0);
    if (p.sb)
        f.setTopMargin(p.sb / 15.0);
    if (p.sa)
        f.setBottomMargin(p.sa / 15.0);
    if (p.sl != 0) {
        if (p.slMult)
            f.setLineHeight(p.sl * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
        else if (p.sl > 0)
            f.setLineHeight(p.sl / 15.0, QTextBlockFormat::MinimumHeight);
        else
            f.setLineHeight(-p.sl / 15.0, QTextBlockFormat::FixedHeight);
    }
    if (!p.tabs.isEmpty())
        f.setTabPositions(p.tabs);
    if (p.shading > 0 && p.shading < static_cast<int>(m_colors.size()) && m_colors[p.shading].isValid())
        f.setBackground(m_colors[p.shading]);
    if (p.pageBreakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    return f;
}

void Reader::applyList(const ParaState &p)
{
    QTextListFormat::Style style = QTextListFormat::ListStyleUndefined;
    int level = 0;
    int start = 1;
    QString key;
    if (p.ls > 0) {
        const auto o = m_overrides.find(p.ls);
        const int listId = o != m_overrides.end() ? o->second : 0;
        const auto def = m_listDefs.find(listId);
        const int lvl = std::clamp(p.ilvl, 0, 8);
        int nfc = 23;
        if (def != m_listDefs.end() && lvl < static_cast<int>(def->second.size())) {
            nfc = def->second[lvl].nfc;
            start = def->second[lvl].start;
        }
        if (nfc == 255) { // a level without a number
            m_lastList = nullptr;
            return;
        }
        style = styleForNfc(nfc);
        level = lvl;
        key = QStringLiteral("ls%1.%2").arg(p.ls).arg(lvl);
    } else if (p.pnStyle != 0 && !p.pnContinue) {
        style = static_cast<QTextListFormat::Style>(p.pnStyle);
        level = p.pnLevel;
        start = p.pnStart;
        key = QStringLiteral("pn%1.%2").arg(p.pnStyle).arg(p.pnLevel);
    }
    if (style == QTextListFormat::ListStyleUndefined) {
        m_lastList = nullptr;
        m_lastListKey.clear();
        return;
    }
    QTextBlock block = m_cursor.block();
    const QTextBlock previous = block.previous();
    // A numbered paragraph whose shown number does not follow the list's last one starts a list of
    // its own (two lists in a row that both count from 1).
    bool follows = true;
    if (style <= QTextListFormat::ListDecimal && m_lastList) {
        static const QRegularExpression digits(QStringLiteral("\\d+"));
        const QRegularExpressionMatch m = digits.match(m_shownNumber);
        if (m.hasMatch())
            follows = m.captured().toInt() == m_lastList->count() + 1;
    }
    // A bullet is drawn by the program, at the paragraph's start (see listmarkers.h).
    QTextBlockFormat own = m_cursor.blockFormat();
    setOwnBullet(own, style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle
                          || style == QTextListFormat::ListSquare);
    m_cursor.setBlockFormat(own);
    if (m_lastList && follows && key == m_lastListKey && previous.isValid() && previous.textList() == m_lastList) {
        m_lastList->add(block);
        return;
    }
    QTextListFormat format;
    format.setStyle(style);
    format.setIndent(0); // the paragraph's own indents place it, as they do in the editor
    format.setProperty(property::ListLevel, level + 1);
    (void)start; // Qt's lists always count from 1
    m_lastList = m_cursor.createList(format);
    m_lastListKey = key;
}

void Reader::endParagraph(bool cellEnd)
{
    flushBytes();
    enterTables();
    flushRun();
    if (m_plain) {
        m_shownNumber.clear();
        m_paragraphHasContent = false;
        if (m_length + 1 > RtfReader::MaxTextLength) {
            m_truncated = true;
            return;
        }
        m_plain->append(u'\n');
        ++m_length;
        return;
    }
    const ParaState &p = state().para;
    m_cursor.setBlockFormat(blockFormat(p));
    applyList(p);
    if (m_cursor.block().textList()) {
        // A list paragraph's first line is placed as the editor places it.
        QTextBlockFormat listed = m_cursor.blockFormat(); // with the list's index
        setFirstLineIndent(listed, p.fi / 15.0, true);
        m_cursor.setBlockFormat(listed);
    }
    m_shownNumber.clear();
    m_paragraphHasContent = false;
    if (cellEnd)
        return;
    if (m_length + 1 > RtfReader::MaxTextLength) {
        m_truncated = true;
        return;
    }
    m_cursor.insertBlock(QTextBlockFormat(), charFormat(state().chr));
    ++m_length;
}

void Reader::enterTables()
{
    if (m_plain)
        return; // text alone has no tables: a cell's end ends a line
    const ParaState &p = state().para;
    const int wanted = p.inTable ? std::clamp(std::max(1, p.nesting), 1, RtfReader::MaxTableDepth) : 0;
    if (static_cast<int>(m_tables.size()) > wanted) {
        flushRun();
        closeTablesTo(wanted);
    }
    while (static_cast<int>(m_tables.size()) < wanted) {
        flushRun();
        // A table follows the paragraph before it directly: the empty block the last paragraph
        // mark opened goes, so the document has no paragraph there that the RTF does not have.
        // At the start of the document or of a cell the empty block stays; Qt needs it there.
        const QTextBlock here = m_cursor.block();
        const QTextBlock before = here.previous();
        if (here.length() == 1 && before.isValid() && !m_cursor.currentTable() == !QTextCursor(before).currentTable()
            && QTextCursor(before).currentFrame() == m_cursor.currentFrame()) {
            const QTextBlockFormat keep = before.blockFormat();
            m_cursor.deletePreviousChar();
            m_cursor.setBlockFormat(keep);
        }
        QTextTableFormat format;
        format.setBorder(1);
        format.setCellPadding(2);
        format.setCellSpacing(0);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        TableContext t;
        t.table = m_cursor.insertTable(1, 1, format);
        m_tables.push_back(t);
        m_lastList = nullptr;
    }
    if (m_tables.empty())
        return;
    TableContext &t = m_tables.back();
    if (t.rowEnded) {
        flushRun();
        t.table->appendRows(1);
        ++t.row;
        t.column = 0;
        t.rowEnded = false;
        t.cellPending = false;
        m_cursor = t.table->cellAt(t.row, 0).firstCursorPosition();
    }
    if (t.cellPending) {
        flushRun();
        if (t.column >= t.table->columns())
            t.table->appendColumns(t.column - t.table->columns() + 1);
        t.cellPending = false;
        m_cursor = t.table->cellAt(t.row, t.column).firstCursorPosition();
    }
}

void Reader::closeTablesTo(int depth)
{
    while (static_cast<int>(m_tables.size()) > depth) {
        QTextTable *table = m_tables.back().table;
        m_tables.pop_back();
        m_cursor.setPosition(table->lastPosition() + 1);
        m_lastList = nullptr;
    }
}

void Reader::endCell()
{
    endParagraph(true);
    if (m_tables.empty())
        return;
    TableContext &t = m_tables.back();
    ++t.column;
    t.cellPending = true;
}

void Reader::endRow()
{
    flushBytes();
    flushRun();
    if (m_tables.empty())
        return;
    TableContext &t = m_tables.back();
    if (t.row == 0 && !m_cellx.isEmpty()) {
        QTextTableFormat format = t.table->format();
        QVector<QTextLength> widths;
        int left = 0;
        for (const int x : std::as_const(m_cellx)) {
            widths.append(QTextLength(QTextLength::FixedLength, std::max(15, x - left) / 15.0));
            left = x;
        }
        widths.resize(t.table->columns(), QTextLength(QTextLength::VariableLength, 0));
        format.setColumnWidthConstraints(widths);
        t.table->setFormat(format);
    }
    t.rowEnded = true;
    t.cellPending = false;
    t.column = 0;
}

void Reader::flushFontName()
{
    if (m_fontNameBytes.isEmpty())
        return;
    const Font &font = m_fonts[m_currentFontIndex];
    CodePageDecoder decoder(font.codePage ? font.codePage : m_documentCodePage);
    m_fontName += decoder.decode(m_fontNameBytes);
    m_fontNameBytes.clear();
}

void Reader::fontTableText()
{
    if (!m_fontNameBytes.contains(';'))
        return;
    const QByteArray rest = m_fontNameBytes.mid(m_fontNameBytes.indexOf(';') + 1);
    m_fontNameBytes.truncate(m_fontNameBytes.indexOf(';'));
    flushFontName();
    m_fonts[m_currentFontIndex].name = m_fontName.trimmed().left(31);
    m_fontName.clear();
    m_fontNameBytes = rest;
}

void Reader::colorTableWord(QByteArrayView word, int param)
{
    if (is(word, "red"))
        m_red = std::clamp(param, 0, 255);
    else if (is(word, "green"))
        m_green = std::clamp(param, 0, 255);
    else if (is(word, "blue"))
        m_blue = std::clamp(param, 0, 255);
    else if (is(word, "end")) {
        if (m_colors.size() < 32768)
            m_colors.push_back(m_red < 0 && m_green < 0 && m_blue < 0
                                   ? QColor()
                                   : QColor(std::max(0, m_red), std::max(0, m_green), std::max(0, m_blue)));
        m_red = m_green = m_blue = -1;
    }
}

void Reader::pictureWord(QByteArrayView w, bool hasParam, int param)
{
    PictureSource &s = m_picture.source;
    if (is(w, "pngblip")) {
        s.kind = PictureKind::Png;
        m_picture.haveKind = true;
    } else if (is(w, "jpegblip")) {
        s.kind = PictureKind::Jpeg;
        m_picture.haveKind = true;
    } else if (is(w, "emfblip")) {
        s.kind = PictureKind::Emf;
        m_picture.haveKind = true;
    } else if (is(w, "wmetafile")) {
        s.kind = PictureKind::Wmf;
        m_picture.haveKind = true;
    } else if (is(w, "dibitmap")) {
        s.kind = PictureKind::Dib;
        m_picture.haveKind = true;
    } else if (is(w, "wbitmap")) {
        s.kind = PictureKind::Bitmap;
        m_picture.haveKind = true;
    } else if (is(w, "picw") && hasParam) {
        s.picw = param;
    } else if (is(w, "pich") && hasParam) {
        s.pich = param;
    } else if (is(w, "picwgoal") && hasParam) {
        s.goalw = param;
    } else if (is(w, "pichgoal") && hasParam) {
        s.goalh = param;
    } else if (is(w, "picscalex") && hasParam) {
        s.scalex = param;
    } else if (is(w, "picscaley") && hasParam) {
        s.scaley = param;
    } else if (is(w, "wbmbitspixel") && hasParam) {
        s.bitsPerPixel = param;
    } else if (is(w, "wbmplanes") && hasParam) {
        s.planes = param;
    } else if (is(w, "wbmwidthbytes") && hasParam) {
        s.widthBytes = param;
    }
}

void Reader::finishPicture()
{
    PictureState picture = std::move(m_picture);
    m_picture = PictureState();
    if (!picture.haveKind) {
        warn(QStringLiteral("a picture of an unknown kind was left out"));
        return;
    }
    if (picture.tooLarge)
        warn(QStringLiteral("a picture larger than %1 bytes was left out").arg(MaxPictureBytes));
    insertImage(picture.source);
}

void Reader::insertImage(const PictureSource &source)
{
    if (m_plain)
        return;
    if (state().destination != Destination::Normal)
        return;
    flushBytes();
    enterTables();
    flushRun();
    QTextImageFormat f;
    f.merge(charFormat(state().chr));
    // The picture is decoded when it is first drawn; its name says which bytes and sizes it shows.
    const QSizeF size = pictureDisplaySize(source);
    const QUrl original = addBytesResource(m_doc, QStringLiteral("pict"), source.bytes);
    const QUrl name(QStringLiteral("velkora-image:%1-%2x%3").arg(original.path()).arg(size.width()).arg(size.height()));
    if (source.bytes.isEmpty())
        m_doc->addResource(QTextDocument::ImageResource, name, QVariant(placeholderImage(size.toSize())));
    else
        addDeferredPicture(m_doc, name, source);
    f.setName(name.toString());
    f.setWidth(size.width());
    f.setHeight(size.height());
    if (!source.bytes.isEmpty()) {
        f.setProperty(property::PictureKind, static_cast<int>(source.kind));
        f.setProperty(property::PictureData, original);
        f.setProperty(property::PictureExtent, QSizeF(source.picw, source.pich));
    }
    if (m_objectDepth >= 0 && !m_objectHead.isEmpty()) {
        f.setProperty(property::ObjectData, addBytesResource(m_doc, QStringLiteral("object"), m_objectHead));
        m_objectHasResult = true;
    }
    if (m_length + 1 > RtfReader::MaxTextLength) {
        m_truncated = true;
        return;
    }
    m_cursor.insertImage(f);
    ++m_length;
    m_paragraphHasContent = true;
}

void Reader::controlSymbol(char s)
{
    if (s == '*') {
        // The next control word names a destination this reader may not know: skipped unless known.
        if (state().destination == Destination::Normal || state().destination == Destination::Object
            || state().destination == Destination::Picture || state().destination == Destination::ListTable
            || state().destination == Destination::ListOverrideTable || state().destination == Destination::ListLevel
            || state().destination == Destination::ListOverride || state().destination == Destination::FontTable) {
            // Look ahead at the destination word.
            qsizetype p = m_pos;
            while (p < m_in.size() && (m_in[p] == ' ' || m_in[p] == '\r' || m_in[p] == '\n'))
                ++p;
            QByteArray word;
            if (p < m_in.size() && m_in[p] == '\\') {
                ++p;
                while (p < m_in.size() && ((m_in[p] >= 'a' && m_in[p] <= 'z') || (m_in[p] >= 'A' && m_in[p] <= 'Z')))
                    word += m_in[p++];
            }
            static const QByteArrayList known = {"pn", "fldinst", "shppict", "listtable", "listoverridetable"};
            const bool fontAlternate = state().destination == Destination::FontTable && (is(word, "fname") || is(word, "falt"));
            if (!known.contains(word) && !fontAlternate)
                setDestination(Destination::Skip);
        } else {
            setDestination(Destination::Skip);
        }
        return;
    }
    if (skipping())
        return;
    const Destination d = state().destination;
    if (s == '\\' || s == '{' || s == '}') {
        if (d == Destination::FontTable)
            m_fontNameBytes.append(s);
        else
            appendByte(s);
        return;
    }
    if (d != Destination::Normal)
        return;
    switch (s) {
    case '~': flushBytes(); appendChar(0x00A0); break;
    case '_': flushBytes(); appendChar(0x2011); break;
    case '-': flushBytes(); appendChar(0x00AD); break;
    case '\t': flushBytes(); appendChar(u'\t'); break;
    case '\r':
    case '\n': endParagraph(); break; // backslash and line end: a paragraph mark
    default: break;
    }
}

void Reader::controlWord(QByteArrayView w, bool hasParam, int param)
{
    GroupState &g = state();
    const Destination d = g.destination;
    if (d == Destination::Skip)
        return;
    // Bytes read so far belong to the formats in force before this word.
    if (d != Destination::FontTable)
        flushBytes();
    const bool on = !hasParam || param != 0;

    // \uN comes first: it is text and counts for the fallback characters that follow.
    if (is(w, "u") && hasParam) {
        if (skipping())
            return;
        flushBytes();
        const char16_t unit = static_cast<char16_t>(param < 0 ? param + 65536 : param);
        if (d == Destination::FontTable) {
            flushFontName();
            m_fontName += QChar(unit);
        } else if (d == Destination::FontAlternate) {
            if (m_fontAlternateBytes.size() < 256)
                m_fontAlternateBytes += QString(QChar(unit)).toLatin1();
        } else {
            appendChar(unit);
        }
        m_skipCount = g.uc;
        return;
    }
    if (is(w, "uc") && hasParam) {
        g.uc = std::clamp(param, 0, 16);
        return;
    }
    if (m_skipCount > 0) {
        // A control word inside a \uN fallback counts as one character.
        --m_skipCount;
        return;
    }

    // Destinations, wherever they start.
    // Looked up by hash: every control word of a body passes here.
    static const std::unordered_set<std::string_view> skipped = {
        "stylesheet", "info", "header", "footer", "headerl", "headerr", "headerf", "footerl", "footerr",
        "footerf", "annotation", "atnid", "atnauthor", "atnref", "atntime", "xe", "tc", "rxe",
        "bkmkstart", "bkmkend", "txe", "pgdsctbl", "listpicture", "themedata", "colorschememapping",
        "datastore", "latentstyles", "xmlnstbl", "rsidtbl", "generator", "fldtype", "objname", "objtime",
        "shpinst", "picprop", "nonshppict", "wgrffmtfilter", "private", "pnseclvl", "filetbl", "revtbl",
        "protusertbl", "mmathPr", "userprops", "docvar", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc",
        "aftncn", "template", "comment", "doccomm", "listtext", "blipuid", "panose",
        "objclass", "leveltext", "levelnumbers", "listname", "liststylename", "mhtmltag", "htmltag",
        "fchars", "lchars", "pgptbl", "defchp", "defpap", "upr", "ud", "passwordhash", "rsid",
        "nonesttables"};
    if (is(w, "footnote")) {
        // Footnotes and endnotes are kept where their mark stands, smaller and in brackets, so a
        // body read from such a file loses none of its words when it is saved again.
        if (d == Destination::Normal && m_footnoteDepth < 0) {
            m_footnoteDepth = static_cast<int>(m_stack.size()) - 1;
            flushBytes();
            appendText(QStringLiteral(" ["));
            state().chr.halfPoints = std::max(2, state().chr.halfPoints * 3 / 4);
        } else {
            setDestination(Destination::Skip); // a note inside a note
        }
        return;
    }
    if (skipped.count(std::string_view(w.data(), size_t(w.size()))) != 0) {
        if (d == Destination::ListLevel && is(w, "leveltext")) {
            setDestination(Destination::ListLevelText);
            return;
        }
        setDestination(Destination::Skip);
        return;
    }
    if (is(w, "fonttbl")) {
        setDestination(Destination::FontTable);
        return;
    }
    if (is(w, "pntext")) {
        setDestination(Destination::ShownNumber);
        m_shownNumber.clear();
        return;
    }
    if (is(w, "colortbl")) {
        setDestination(Destination::ColorTable);
        return;
    }
    if (is(w, "pict")) {
        flushBytes();
        flushRun();
        setDestination(Destination::Picture);
        m_picture = PictureState();
        m_pictureDepth = static_cast<int>(m_stack.size()) - 1;
        return;
    }
    if (is(w, "shppict"))
        return; // its \pict is the one to show
    if (is(w, "object")) {
        flushBytes();
        flushRun();
        setDestination(Destination::Object);
        m_objectDepth = static_cast<int>(m_stack.size()) - 1;
        // The head of the object: from its opening brace on. The reader is just past "\object".
        qsizetype start = m_pos - 1;
        while (start > 0 && m_in[start] != '{')
            --start;
        m_objectStart = start;
        m_objectHead.clear();
        m_objectHasResult = false;
        return;
    }
    if (is(w, "objdata")) {
        setDestination(Destination::Skip);
        return;
    }
    if (is(w, "result") && m_objectDepth >= 0) {
        // Everything of the object before its result is its head, kept to be written back.
        qsizetype start = m_pos - 1;
        while (start > m_objectStart && m_in[start] != '{')
            --start;
        m_objectHead = m_in.sliced(m_objectStart, start - m_objectStart).toByteArray();
        m_objectHead.append('}');
        m_resultDepth = static_cast<int>(m_stack.size()) - 1;
        setDestination(Destination::Normal);
        return;
    }
    if (is(w, "field")) {
        flushBytes();
        return;
    }
    if (is(w, "fldinst")) {
        flushBytes();
        setDestination(Destination::FieldInstruction);
        m_fieldInstruction.clear();
        m_fieldDepth = static_cast<int>(m_stack.size()) - 1;
        return;
    }
    if (is(w, "fldrslt")) {
        flushBytes();
        setDestination(Destination::Normal);
        return;
    }
    if (is(w, "listtable")) {
        setDestination(Destination::ListTable);
        return;
    }
    if (is(w, "listoverridetable")) {
        setDestination(Destination::ListOverrideTable);
        return;
    }
    if (d == Destination::ListTable || d == Destination::ListLevel) {
        if (is(w, "list")) {
            m_listDefs[0].clear();
        } else if (is(w, "listid") && hasParam) {
            m_currentListId = param;
            m_listDefs[param] = m_listDefs[0];
            m_listDefs[0].clear();
        } else if (is(w, "listlevel")) {
            setDestination(Destination::ListLevel);
            m_listDefs[0].push_back(ListLevelDef());
        } else if (is(w, "levelnfc") && hasParam && !m_listDefs[0].empty()) {
            m_listDefs[0].back().nfc = param;
        } else if (is(w, "levelnfcn") && hasParam && !m_listDefs[0].empty()) {
            m_listDefs[0].back().nfc = param;
        } else if (is(w, "levelstartat") && hasParam && !m_listDefs[0].empty()) {
            m_listDefs[0].back().start = param;
        }
        return;
    }
    if (d == Destination::ListOverrideTable || d == Destination::ListOverride) {
        if (is(w, "listoverride")) {
            setDestination(Destination::ListOverride);
            m_currentOverrideListId = 0;
        } else if (is(w, "listid") && hasParam) {
            m_currentOverrideListId = param;
        } else if (is(w, "ls") && hasParam) {
            m_overrides[param] = m_currentOverrideListId;
        }
        return;
    }
    if (d == Destination::FontTable && (is(w, "fname") || is(w, "falt"))) {
        setDestination(Destination::FontAlternate);
        m_fontAlternateBytes.clear();
        m_fontAlternateIsName = is(w, "fname");
        return;
    }
    if (d == Destination::FontTable) {
        if (is(w, "f") && hasParam) {
            flushBytes();
            m_fontNameBytes.clear();
            m_fontName.clear();
            m_currentFontIndex = param;
            if (m_fonts.size() < 32768)
                m_fonts[param];
        } else if (is(w, "fcharset") && hasParam) {
            if (const int cp = codePageForCharset(param))
                m_fonts[m_currentFontIndex].codePage = cp;
        } else if (is(w, "cpg") && hasParam && param > 0) {
            m_fonts[m_currentFontIndex].codePage = param;
        }
        return;
    }
    if (d == Destination::ColorTable) {
        colorTableWord(w, param);
        return;
    }
    if (d == Destination::Picture) {
        pictureWord(w, hasParam, param);
        return;
    }
    if (d == Destination::ParagraphNumbering || is(w, "pn")) {
        // The numbering words belong to the paragraph of the group around {\*\pn …}.
        ParaState &p = m_stack.size() >= 2 ? m_stack[m_stack.size() - 2].para : m_stack.back().para;
        if (is(w, "pn")) {
            setDestination(Destination::ParagraphNumbering);
            p.pnStyle = QTextListFormat::ListDisc;
            p.pnStart = 1;
            return;
        }
        if (is(w, "pnlvlblt"))
            p.pnStyle = QTextListFormat::ListDisc;
        else if (is(w, "pndec"))
            p.pnStyle = QTextListFormat::ListDecimal;
        else if (is(w, "pnlcltr"))
            p.pnStyle = QTextListFormat::ListLowerAlpha;
        else if (is(w, "pnucltr"))
            p.pnStyle = QTextListFormat::ListUpperAlpha;
        else if (is(w, "pnlcrm"))
            p.pnStyle = QTextListFormat::ListLowerRoman;
        else if (is(w, "pnucrm"))
            p.pnStyle = QTextListFormat::ListUpperRoman;
        else if (is(w, "pnlvlcont"))
            p.pnContinue = true;
        else if (is(w, "pnlvl") && hasParam)
            p.pnLevel = std::clamp(param - 1, 0, 8);
        else if (is(w, "pnstart") && hasParam)
            p.pnStart = std::clamp(param, 0, 32767);
        else if (is(w, "pntxtb") || is(w, "pntxta"))
            setDestination(Destination::Skip);
        return;
    }
    if (d == Destination::FieldInstruction || d == Destination::Object || d == Destination::ListLevelText)
        return;

    // Document properties.
    if (is(w, "ansicpg")) {
        if (hasParam && !codecNameForCodePage(param).isEmpty())
            m_documentCodePage = param;
        return;
    }
    if (is(w, "mac")) {
        m_documentCodePage = 10000;
        return;
    }
    if (is(w, "pc")) {
        m_documentCodePage = 437;
        return;
    }
    if (is(w, "pca")) {
        m_documentCodePage = 850;
        return;
    }
    if (is(w, "deff") && hasParam) {
        m_defaultFont = param;
        return;
    }

    // Inside a footnote kept in the text, the note's own paragraph and table words would break
    // the paragraph (or the table cell) its mark stands in: they are passed over.
    if (m_footnoteDepth >= 0 && d == Destination::Normal) {
        static const QByteArrayList paragraphWords = {"pard", "intbl", "itap", "trowd", "cell", "nestcell", "row", "nestrow",
                                                      "nesttableprops", "page", "sect", "sectd"};
        if (paragraphWords.contains(w.toByteArray()))
            return;
    }

    // Character formatting.
    CharState &c = g.chr;
    if (is(w, "plain")) {
        flushBytes();
        const int lang = c.language;
        const QString href = c.href;
        c = CharState();
        c.language = lang;
        c.href = href;
        if (m_footnoteDepth >= 0)
            c.halfPoints = std::max(2, c.halfPoints * 3 / 4); // the note stays smaller
    } else if (is(w, "f") && hasParam) {
        flushBytes();
        c.font = param;
    } else if (is(w, "fs") && hasParam) {
        c.halfPoints = std::clamp(param, 2, 3276);
    } else if (is(w, "b")) {
        c.bold = on;
    } else if (is(w, "i")) {
        c.italic = on;
    } else if (is(w, "ul") || is(w, "ulw") || is(w, "uldb") || is(w, "ulth")) {
        c.underline = on ? QTextCharFormat::SingleUnderline + 1 : 0;
    } else if (is(w, "uld") || is(w, "ulthd")) {
        c.underline = on ? QTextCharFormat::DotLine + 1 : 0;
    } else if (is(w, "uldash") || is(w, "ulldash") || is(w, "ulthdash")) {
        c.underline = on ? QTextCharFormat::DashUnderline + 1 : 0;
    } else if (is(w, "uldashd") || is(w, "ulthdashd")) {
        c.underline = on ? QTextCharFormat::DashDotLine + 1 : 0;
    } else if (is(w, "uldashdd") || is(w, "ulthdashdd")) {
        c.underline = on ? QTextCharFormat::DashDotDotLine + 1 : 0;
    } else if (is(w, "ulwave") || is(w, "ulhwave") || is(w, "ululdbwave")) {
        c.underline = on ? QTextCharFormat::WaveUnderline + 1 : 0;
    } else if (is(w, "ulnone")) {
        c.underline = 0;
    } else if (is(w, "strike") || is(w, "striked")) {
        c.strike = on;
    } else if (is(w, "super")) {
        c.vertical = on ? 1 : 0;
    } else if (is(w, "sub")) {
        c.vertical = on ? 2 : 0;
    } else if (is(w, "nosupersub")) {
        c.vertical = 0;
    } else if (is(w, "up")) {
        c.raise = hasParam ? std::clamp(param, 0, 3276) : 6;
    } else if (is(w, "dn")) {
        c.raise = -(hasParam ? std::clamp(param, 0, 3276) : 6);
    } else if (is(w, "cf") && hasParam) {
        c.foreground = param;
    } else if (is(w, "cb") && hasParam) {
        c.background = param;
        c.highlight = false;
    } else if (is(w, "highlight") && hasParam) {
        c.background = param;
        c.highlight = true;
    } else if (is(w, "caps")) {
        c.caps = on;
    } else if (is(w, "v")) {
        c.hidden = on;
    } else if (is(w, "lang") && hasParam) {
        c.language = param;
    }
    // Paragraph formatting.
    else if (is(w, "pard")) {
        g.para = ParaState();
    } else if (is(w, "ql")) {
        g.para.alignment = Qt::AlignLeft;
    } else if (is(w, "qr")) {
        g.para.alignment = Qt::AlignRight;
    } else if (is(w, "qc")) {
        g.para.alignment = Qt::AlignHCenter;
    } else if (is(w, "qj") || is(w, "qd")) {
        g.para.alignment = Qt::AlignJustify;
    } else if (is(w, "li") && hasParam) {
        g.para.li = std::clamp(param, -31680, 31680);
    } else if (is(w, "ri") && hasParam) {
        g.para.ri = std::clamp(param, -31680, 31680);
    } else if (is(w, "fi") && hasParam) {
        g.para.fi = std::clamp(param, -31680, 31680);
    } else if (is(w, "sb") && hasParam) {
        g.para.sb = std::clamp(param, 0, 31680);
    } else if (is(w, "sa") && hasParam) {
        g.para.sa = std::clamp(param, 0, 31680);
    } else if (is(w, "sl") && hasParam) {
        g.para.sl = std::clamp(param, -31680, 31680);
    } else if (is(w, "slmult") && hasParam) {
        g.para.slMult = param != 0;
    } else if (is(w, "tqr")) {
        g.para.nextTabType = QTextOption::RightTab;
    } else if (is(w, "tqc")) {
        g.para.nextTabType = QTextOption::CenterTab;
    } else if (is(w, "tqdec")) {
        g.para.nextTabType = QTextOption::DelimiterTab;
    } else if ((is(w, "tx") || is(w, "tb")) && hasParam) {
        if (g.para.tabs.size() < 64) {
            QTextOption::Tab tab(std::clamp(param, 0, 31680) / 15.0, g.para.nextTabType);
            if (g.para.nextTabType == QTextOption::DelimiterTab)
                tab.delimiter = u'.';
            g.para.tabs.append(tab);
        }
        g.para.nextTabType = QTextOption::LeftTab;
    } else if (is(w, "cbpat") && hasParam) {
        g.para.shading = param;
    } else if (is(w, "ls") && hasParam) {
        g.para.ls = param;
    } else if (is(w, "ilvl") && hasParam) {
        g.para.ilvl = param;
    } else if (is(w, "intbl")) {
        g.para.inTable = true;
        if (g.para.nesting == 0)
            g.para.nesting = 1;
    } else if (is(w, "itap") && hasParam) {
        g.para.nesting = std::clamp(param, 0, RtfReader::MaxTableDepth);
        g.para.inTable = g.para.nesting > 0;
    } else if (is(w, "pagebb")) {
        g.para.pageBreakBefore = true;
    }
    // Tables.
    else if (is(w, "trowd")) {
        m_cellx.clear();
    } else if (is(w, "cellx") && hasParam) {
        if (m_cellx.size() < 64)
            m_cellx.append(std::clamp(param, 0, 2000000));
    } else if (is(w, "cell") || is(w, "nestcell")) {
        flushBytes();
        if (!g.para.inTable) {
            g.para.inTable = true;
            g.para.nesting = std::max(1, g.para.nesting);
        }
        endCell();
    } else if (is(w, "row") || is(w, "nestrow")) {
        endRow();
    } else if (is(w, "nesttableprops")) {
        // The row definition of a nested row comes after its cells; its words are read as usual.
    }
    // Special characters and breaks.
    else if (d == Destination::Normal) {
        if (is(w, "par") && m_footnoteDepth >= 0) {
            flushBytes();
            appendChar(u' '); // the note's paragraphs run on inside its brackets
        } else if (is(w, "par")) {
            endParagraph();
        } else if (is(w, "line")) {
            flushBytes();
            appendChar(0x2028);
        } else if (is(w, "page")) {
            endParagraph();
            g.para.pageBreakBefore = true;
        } else if (is(w, "sect")) {
            endParagraph();
        } else if (is(w, "tab")) {
            flushBytes();
            appendChar(u'\t');
        } else if (is(w, "emdash")) {
            flushBytes();
            appendChar(0x2014);
        } else if (is(w, "endash")) {
            flushBytes();
            appendChar(0x2013);
        } else if (is(w, "emspace")) {
            flushBytes();
            appendChar(0x2003);
        } else if (is(w, "enspace")) {
            flushBytes();
            appendChar(0x2002);
        } else if (is(w, "qmspace")) {
            flushBytes();
            appendChar(0x2005);
        } else if (is(w, "bullet")) {
            flushBytes();
            appendChar(0x2022);
        } else if (is(w, "lquote")) {
            flushBytes();
            appendChar(0x2018);
        } else if (is(w, "rquote")) {
            flushBytes();
            appendChar(0x2019);
        } else if (is(w, "ldblquote")) {
            flushBytes();
            appendChar(0x201C);
        } else if (is(w, "rdblquote")) {
            flushBytes();
            appendChar(0x201D);
        } else if (is(w, "zwj")) {
            flushBytes();
            appendChar(0x200D);
        } else if (is(w, "zwnj")) {
            flushBytes();
            appendChar(0x200C);
        } else if (is(w, "zwbo")) {
            flushBytes();
            appendChar(0x200B);
        } else if (is(w, "ltrmark")) {
            flushBytes();
            appendChar(0x200E);
        } else if (is(w, "rtlmark")) {
            flushBytes();
            appendChar(0x200F);
        }
    }
}

} // namespace

bool RtfReader::looksLikeRtf(QByteArrayView bytes)
{
    qsizetype i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\t'))
        ++i;
    if (bytes.size() - i < 5)
        return false;
    return bytes[i] == '{' && bytes[i + 1] == '\\' && (bytes[i + 2] | 0x20) == 'r' && (bytes[i + 3] | 0x20) == 't'
           && (bytes[i + 4] | 0x20) == 'f';
}

bool RtfReader::read(QByteArrayView rtf, QTextDocument *document, QString *error, QStringList *warnings)
{
    if (!looksLikeRtf(rtf)) {
        if (error)
            *error = rtf.isEmpty() ? QStringLiteral("the document is empty")
                                   : QStringLiteral("the document does not begin with {\\rtf");
        return false;
    }
    Reader reader(rtf, document, warnings);
    reader.run();
    return true;
}

bool RtfReader::readText(QByteArrayView rtf, QString *text)
{
    text->clear();
    if (!looksLikeRtf(rtf))
        return false;
    // Room for the text at once: a long body's text grown step by step is copied each time.
    text->reserve(rtf.size() * 2 / 3);
    Reader reader(rtf, text);
    reader.run();
    return true;
}

} // namespace velkora::richedit
