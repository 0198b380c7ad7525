// Writes a QTextDocument as one RTF document in the form the rich-edit control writes bodies.
#include "rtfwriter.h"

#include "fontnames.h"
#include "richtextproperties.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <cmath>
#include <utility>

namespace velkora::richedit {

namespace {

// Turkish is the body's language and code page.
constexpr int DefaultLanguage = 1055;

// Byte of code page 1254 for each character up to U+2122 (the highest the code page holds); 0 for
// characters it lacks. Built once through Qt's ICU decoder.
constexpr char16_t CodePageTableSize = 0x2123;

const unsigned char *codePage1254()
{
    static const auto table = [] {
        static unsigned char t[CodePageTableSize] = {};
        QStringDecoder decoder("windows-1254");
        for (int b = 0x80; b <= 0xFF; ++b) {
            const char byte = static_cast<char>(b);
            const QString decoded = decoder.decode(QByteArrayView(&byte, 1));
            if (decoded.size() == 1 && decoded.at(0).unicode() >= 0x80 && decoded.at(0).unicode() < CodePageTableSize)
                t[decoded.at(0).unicode()] = static_cast<unsigned char>(b);
        }
        return t;
    }();
    return table;
}

int twips(double pixels)
{
    return static_cast<int>(std::lround(pixels * 15.0));
}

QByteArray number(qint64 n)
{
    return QByteArray::number(n);
}

// The character properties RTF carries, resolved against the document's default font.
struct CharProps
{
    int font = 0;
    int halfPoints = 20;
    bool bold = false, italic = false, strike = false, caps = false, hidden = false;
    int underline = 0; // UnderlineStyle + 1
    int vertical = 0;  // 1 super, 2 sub
    int raise = 0;
    int foreground = 0, background = 0;
    bool highlight = false;
    int language = DefaultLanguage;

    bool operator==(const CharProps &) const = default;
};

class Writer
{
public:
    Writer(const QTextDocument &doc, const QTextDocument *resources)
        : m_doc(doc), m_resources(resources ? resources : &doc)
    {
        const QString family = doc.defaultFont().family();
        m_defaultFamily = family.isEmpty() ? QStringLiteral("Arial") : family;
        m_defaultHalfPoints = doc.defaultFont().pointSizeF() > 0
                                  ? static_cast<int>(std::lround(doc.defaultFont().pointSizeF() * 2)) : 20;
    }

    QByteArray run();
    QByteArray text(const QString &text)
    {
        writeText(text);
        return std::exchange(m_out, QByteArray());
    }

private:
    void collect(QTextFrame *frame);
    void collectBlock(const QTextBlock &block);
    // A font table entry: a name, and the alternate written after it ({\*\fname}, or {\*\falt})
    // when there is one.
    struct FontEntry
    {
        QString name, alternate;
        bool falt = false;
        bool operator==(const FontEntry &) const = default;
    };
    int fontIndex(const FontEntry &entry);
    int fontIndex(const QString &family) { return fontIndex(FontEntry{family, QString(), false}); }
    int colorIndex(const QColor &color);
    CharProps propsOf(const QTextCharFormat &f);
    const CharProps &propsOf(const QTextFragment &fragment);

    void writeFrame(QTextFrame *frame, int level);
    void writeTable(QTextTable *table, int level);
    void writeBlock(const QTextBlock &block, int level, const char *ending);
    void writeParagraphProps(const QTextBlock &block, int level);
    void writeCharChange(const CharProps &to);
    void writeText(const QString &text);
    void writeImage(const QTextImageFormat &f);
    QByteArray pictureGroup(const QTextImageFormat &f);

    const QTextDocument &m_doc;
    const QTextDocument *m_resources;
    QString m_defaultFamily;
    int m_defaultHalfPoints = 20;
    QList<FontEntry> m_fonts;
    QList<QColor> m_colors;
    bool m_needSymbol = false;
    int m_symbolFont = -1;
    CharProps m_current;
    QByteArray m_out;
    QHash<int, CharProps> m_propsByFormat; // formats are shared: each is resolved once
};

const CharProps &Writer::propsOf(const QTextFragment &fragment)
{
    const int index = fragment.charFormatIndex();
    auto it = m_propsByFormat.find(index);
    if (it == m_propsByFormat.end())
        it = m_propsByFormat.insert(index, propsOf(fragment.charFormat()));
    return *it;
}

int Writer::fontIndex(const FontEntry &entry)
{
    const qsizetype i = m_fonts.indexOf(entry);
    if (i >= 0)
        return static_cast<int>(i);
    m_fonts.append(entry);
    return static_cast<int>(m_fonts.size() - 1);
}

int Writer::colorIndex(const QColor &color)
{
    const QColor c = QColor(color.red(), color.green(), color.blue());
    const qsizetype i = m_colors.indexOf(c);
    if (i >= 0)
        return static_cast<int>(i) + 1;
    m_colors.append(c);
    return static_cast<int>(m_colors.size());
}

CharProps Writer::propsOf(const QTextCharFormat &f)
{
    CharProps p;
    const QStringList families = f.fontFamilies().toStringList();
    const QString family = families.isEmpty() || families.first().isEmpty() ? m_defaultFamily : families.first();
    // A run still in the family its stored name ("Arial TUR") stands for is written with that name.
    const QString stored = f.stringProperty(property::FontTableName);
    const QString alternate = f.stringProperty(property::FontAlternateName);
    if (!stored.isEmpty() && fontFamilyFor(stored, alternate) == family)
        p.font = fontIndex(FontEntry{stored, alternate, f.boolProperty(property::FontAlternateIsFalt)});
    else
        p.font = fontIndex(family);
    if (f.hasProperty(property::Hidden)) {
        p.hidden = true;
        p.halfPoints = m_defaultHalfPoints;
    } else {
        p.halfPoints = f.hasProperty(QTextFormat::FontPointSize)
                           ? std::clamp(static_cast<int>(std::lround(f.fontPointSize() * 2)), 2, 3276)
                           : m_defaultHalfPoints;
    }
    p.bold = f.fontWeight() >= QFont::DemiBold;
    p.italic = f.fontItalic();
    p.strike = f.fontStrikeOut();
    p.caps = f.fontCapitalization() == QFont::AllUppercase;
    if (f.hasProperty(QTextFormat::TextUnderlineStyle))
        p.underline = f.underlineStyle() == QTextCharFormat::NoUnderline ? 0 : f.underlineStyle() + 1;
    else if (f.fontUnderline())
        p.underline = QTextCharFormat::SingleUnderline + 1;
    p.raise = f.intProperty(property::RaiseHalfPoints);
    if (!p.raise) {
        if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
            p.vertical = 1;
        else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
            p.vertical = 2;
    }
    if (!p.hidden && f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        p.foreground = colorIndex(f.foreground().color());
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush) {
        p.background = colorIndex(f.background().color());
        p.highlight = f.boolProperty(property::Highlight);
    }
    if (f.hasProperty(property::Language))
        p.language = f.intProperty(property::Language);
    return p;
}

void Writer::collectBlock(const QTextBlock &block)
{
    if (block.textList())
        m_needSymbol = true;
    if (block.blockFormat().hasProperty(QTextFormat::BackgroundBrush))
        colorIndex(block.blockFormat().background().color());
    for (auto it = block.begin(); !it.atEnd(); ++it)
        propsOf(it.fragment());
}

void Writer::collect(QTextFrame *frame)
{
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame *child = it.currentFrame())
            collect(child);
        else
            collectBlock(it.currentBlock());
    }
}

QByteArray Writer::run()
{
    fontIndex(m_defaultFamily);
    collect(m_doc.rootFrame());
    if (m_needSymbol)
        m_symbolFont = fontIndex(QStringLiteral("Symbol"));

    m_out.reserve(m_doc.characterCount() * 2 + 512);
    m_out += "{\\rtf1\\ansi\\ansicpg1254\\deff0\\deflang" + number(DefaultLanguage) + "{\\fonttbl";
    for (int i = 0; i < m_fonts.size(); ++i) {
        const auto &[name, alternate, falt] = m_fonts[i];
        const bool symbol = name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0
                            || name.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive);
        m_out += "{\\f" + number(i) + "\\fnil\\fcharset" + (symbol ? "2" : "162") + ' ';
        writeText(name);
        if (!alternate.isEmpty()) {
            m_out += falt ? "{\\*\\falt " : "{\\*\\fname ";
            writeText(alternate);
            m_out += falt ? "}" : ";}";
        }
        m_out += ";}";
    }
    m_out += "}\n";
    if (!m_colors.isEmpty()) {
        m_out += "{\\colortbl ;";
        for (const QColor &c : std::as_const(m_colors))
            m_out += "\\red" + number(c.red()) + "\\green" + number(c.green()) + "\\blue" + number(c.blue()) + ';';
        m_out += "}\n";
    }
    m_out += "\\viewkind4\\uc1";
    m_current = CharProps();
    m_current.halfPoints = 24; // RTF's own default before any \fs
    m_current.language = -1;   // forces the first \lang
    writeFrame(m_doc.rootFrame(), 0);
    m_out += "}\n";
    return m_out;
}

// Qt keeps an empty block in front of a table that opens the document or a cell; the reader
// makes it again, so it is not written.
bool isBlockBeforeTable(const QTextFrame::iterator &it)
{
    if (it.currentFrame() || it.currentBlock().length() != 1)
        return false;
    const QTextFrame *frame = it.parentFrame();
    if (!frame || it.currentBlock().position() != frame->firstPosition())
        return false;
    QTextFrame::iterator next = it;
    ++next;
    return !next.atEnd() && qobject_cast<QTextTable *>(next.currentFrame());
}

void Writer::writeFrame(QTextFrame *frame, int level)
{
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (isBlockBeforeTable(it))
            continue;
        if (QTextFrame *child = it.currentFrame()) {
            if (auto *table = qobject_cast<QTextTable *>(child))
                writeTable(table, level + 1);
            else
                writeFrame(child, level);
        } else {
            writeBlock(it.currentBlock(), level, "\\par");
        }
    }
}

void Writer::writeTable(QTextTable *table, int level)
{
    const QTextTableFormat format = table->format();
    const QList<QTextLength> widths = format.columnWidthConstraints();
    QByteArray rowDefinition = "\\trowd\\trgaph108\\trleft0";
    int right = 0;
    for (int c = 0; c < table->columns(); ++c) {
        int w = 9000 / std::max(1, table->columns());
        if (c < widths.size() && widths[c].type() == QTextLength::FixedLength)
            w = std::max(1, twips(widths[c].rawValue()));
        right += w;
        rowDefinition += "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10"
                         "\\clbrdrr\\brdrs\\brdrw10\\cellx" + number(right);
    }
    for (int r = 0; r < table->rows(); ++r) {
        if (level == 1)
            m_out += '\n' + rowDefinition;
        for (int c = 0; c < table->columns(); ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (cell.row() != r || cell.column() != c)
                continue; // covered by a merged cell
            // The cell's last block ends with the cell mark; the others with \par.
            for (auto it = cell.begin(); !it.atEnd(); ++it) {
                if (isBlockBeforeTable(it))
                    continue;
                if (auto *inner = qobject_cast<QTextTable *>(it.currentFrame())) {
                    writeTable(inner, level + 1);
                } else if (!it.currentFrame()) {
                    const QTextBlock b = it.currentBlock();
                    QTextFrame::iterator next = it;
                    ++next;
                    const bool last = next.atEnd();
                    writeBlock(b, level, last ? (level == 1 ? "\\cell" : "\\nestcell") : "\\par");
                }
            }
        }
        if (level == 1) {
            m_out += "\\row\n";
        } else {
            m_out += "{\\*\\nesttableprops" + rowDefinition + "\\nestrow}{\\nonesttables\\par}\n";
        }
    }
}

void Writer::writeParagraphProps(const QTextBlock &block, int level)
{
    const QTextBlockFormat f = block.blockFormat();
    m_out += "\\pard";
    if (level > 0) {
        m_out += "\\intbl";
        if (level > 1)
            m_out += "\\itap" + number(level);
    }
    if (f.hasProperty(QTextFormat::PageBreakPolicy) && (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore))
        m_out += "\\pagebb";
    const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignHCenter)
        m_out += "\\qc";
    else if (a & Qt::AlignRight)
        m_out += "\\qr";
    else if (a & Qt::AlignJustify)
        m_out += "\\qj";
    if (QTextList *list = block.textList()) {
        const QTextListFormat lf = list->format();
        const int style = lf.style();
        const int lvl = listLevel(lf);
        if (style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle
            || style == QTextListFormat::ListSquare || style == QTextListFormat::ListStyleUndefined) {
            m_out += "{\\pntext\\f" + number(m_symbolFont) + "\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf" + number(m_symbolFont) +
                     "\\pnindent0";
            if (lvl > 1)
                m_out += "\\pnlvl" + number(lvl);
            m_out += "{\\pntxtb\\'B7}}";
        } else {
            const char *kind = style == QTextListFormat::ListLowerAlpha   ? "\\pnlcltr"
                               : style == QTextListFormat::ListUpperAlpha ? "\\pnucltr"
                               : style == QTextListFormat::ListLowerRoman ? "\\pnlcrm"
                               : style == QTextListFormat::ListUpperRoman ? "\\pnucrm"
                                                                          : "\\pndec";
            m_out += "{\\pntext\\f0 ";
            writeText(list->itemText(block));
            m_out += "\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1" + QByteArray(kind);
            if (lvl > 1)
                m_out += "\\pnlvl" + number(lvl);
            m_out += "{\\pntxta.}}";
        }
    }
    const auto margin = [&](int prop, const char *word) {
        if (f.hasProperty(prop)) {
            const int t = twips(f.doubleProperty(prop));
            if (t != 0)
                m_out += word + number(t);
        }
    };
    margin(QTextFormat::BlockLeftMargin, "\\li");
    margin(QTextFormat::BlockRightMargin, "\\ri");
    if (const int fi = twips(firstLineIndent(f)); fi != 0)
        m_out += "\\fi" + number(fi);
    margin(QTextFormat::BlockTopMargin, "\\sb");
    margin(QTextFormat::BlockBottomMargin, "\\sa");
    if (f.hasProperty(QTextFormat::LineHeightType)) {
        switch (f.lineHeightType()) {
        case QTextBlockFormat::ProportionalHeight:
            m_out += "\\sl" + number(std::lround(f.lineHeight() * 240.0 / 100.0)) + "\\slmult1";
            break;
        case QTextBlockFormat::MinimumHeight:
            m_out += "\\sl" + number(twips(f.lineHeight())) + "\\slmult0";
            break;
        case QTextBlockFormat::FixedHeight:
            m_out += "\\sl-" + number(twips(f.lineHeight())) + "\\slmult0";
            break;
        default:
            break;
        }
    }
    for (const QTextOption::Tab &tab : f.tabPositions()) {
        if (tab.type == QTextOption::RightTab)
            m_out += "\\tqr";
        else if (tab.type == QTextOption::CenterTab)
            m_out += "\\tqc";
        else if (tab.type == QTextOption::DelimiterTab)
            m_out += "\\tqdec";
        m_out += "\\tx" + number(twips(tab.position));
    }
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
        m_out += "\\cbpat" + number(colorIndex(f.background().color()));
    if (!m_out.endsWith('}'))
        m_out += ' '; // ends the last control word; after a group a blank would be text
}

void Writer::writeCharChange(const CharProps &to)
{
    CharProps &c = m_current;
    QByteArray w;
    if (to.language != c.language)
        w += "\\lang" + number(to.language);
    if (to.font != c.font)
        w += "\\f" + number(to.font);
    if (to.halfPoints != c.halfPoints)
        w += "\\fs" + number(to.halfPoints);
    if (to.bold != c.bold)
        w += to.bold ? "\\b" : "\\b0";
    if (to.italic != c.italic)
        w += to.italic ? "\\i" : "\\i0";
    if (to.underline != c.underline) {
        switch (to.underline - 1) {
        case -1: w += "\\ulnone"; break;
        case QTextCharFormat::DotLine: w += "\\uld"; break;
        case QTextCharFormat::DashUnderline: w += "\\uldash"; break;
        case QTextCharFormat::DashDotLine: w += "\\uldashd"; break;
        case QTextCharFormat::DashDotDotLine: w += "\\uldashdd"; break;
        case QTextCharFormat::WaveUnderline:
        case QTextCharFormat::SpellCheckUnderline: w += "\\ulwave"; break;
        default: w += "\\ul"; break;
        }
    }
    if (to.strike != c.strike)
        w += to.strike ? "\\strike" : "\\strike0";
    if (to.vertical != c.vertical)
        w += to.vertical == 1 ? "\\super" : to.vertical == 2 ? "\\sub" : "\\nosupersub";
    if (to.raise != c.raise)
        w += to.raise >= 0 ? "\\up" + number(to.raise) : "\\dn" + number(-to.raise);
    if (to.foreground != c.foreground)
        w += "\\cf" + number(to.foreground);
    if (to.background != c.background || to.highlight != c.highlight) {
        if (to.highlight)
            w += "\\highlight" + number(to.background);
        else
            w += (c.highlight ? "\\highlight0\\cb" : "\\cb") + number(to.background);
    }
    if (to.caps != c.caps)
        w += to.caps ? "\\caps" : "\\caps0";
    if (to.hidden != c.hidden)
        w += to.hidden ? "\\v" : "\\v0";
    if (!w.isEmpty())
        m_out += w + ' ';
    c = to;
}

void Writer::writeText(const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    const unsigned char *table = codePage1254();
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // Plain ASCII goes out as it is, a run at a time.
        qsizetype j = i;
        while (j < n && p[j] >= 0x20 && p[j] < 0x80 && p[j] != u'\\' && p[j] != u'{' && p[j] != u'}')
            ++j;
        if (j > i) {
            const qsizetype at = m_out.size();
            m_out.resize(at + (j - i));
            char *out = m_out.data() + at;
            for (qsizetype k = i; k < j; ++k)
                *out++ = static_cast<char>(p[k]);
            i = j;
            continue;
        }
        const char16_t u = p[i++];
        switch (u) {
        case u'\\': m_out += "\\\\"; continue;
        case u'{': m_out += "\\{"; continue;
        case u'}': m_out += "\\}"; continue;
        case u'\t': m_out += "\\tab "; continue;
        case 0x2028: m_out += "\\line "; continue;
        case 0x00A0: m_out += "\\~"; continue;
        case 0x00AD: m_out += "\\-"; continue;
        case 0x2011: m_out += "\\_"; continue;
        case u'\n':
        case u'\r': m_out += "\\line "; continue;
        default: break;
        }
        if (u < 0x20)
            continue;
        const unsigned char b = u < CodePageTableSize ? table[u] : 0;
        if (b) {
            const char escaped[4] = {'\\', '\'', hex[b >> 4], hex[b & 15]};
            m_out.append(escaped, 4);
        } else {
            m_out += "\\u" + number(static_cast<qint16>(u)) + '?';
        }
    }
}

QByteArray Writer::pictureGroup(const QTextImageFormat &f)
{
    const auto kind = static_cast<PictureKind>(f.intProperty(property::PictureKind));
    QByteArray bytes;
    if (f.hasProperty(property::PictureData))
        bytes = bytesResource(m_resources, f.property(property::PictureData).toUrl());
    const QImage image = m_resources->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
    QByteArray word;
    int picw = 0, pich = 0;
    const QSizeF extent = f.property(property::PictureExtent).toSizeF();
    switch (bytes.isEmpty() ? PictureKind::Bitmap : kind) {
    case PictureKind::Emf:
        word = "\\emfblip";
        picw = qRound(extent.width());
        pich = qRound(extent.height());
        break;
    case PictureKind::Wmf:
        word = "\\wmetafile8";
        picw = qRound(extent.width());
        pich = qRound(extent.height());
        break;
    case PictureKind::Jpeg:
        word = "\\jpegblip";
        break;
    case PictureKind::Png:
        word = "\\pngblip";
        break;
    case PictureKind::Dib:
    case PictureKind::Bitmap:
    default: {
        // Everything else is written as PNG from the picture shown.
        word = "\\pngblip";
        QBuffer buffer(&bytes);
        bytes.clear();
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        break;
    }
    }
    if (picw <= 0 || pich <= 0) {
        picw = image.width();
        pich = image.height();
    }
    const int goalw = twips(f.width() > 0 ? f.width() : image.width());
    const int goalh = twips(f.height() > 0 ? f.height() : image.height());
    QByteArray out = "{\\pict" + word + "\\picw" + number(picw) + "\\pich" + number(pich) + "\\picwgoal" + number(goalw) +
                     "\\pichgoal" + number(goalh) + '\n';
    const QByteArray hex = bytes.toHex();
    for (qsizetype i = 0; i < hex.size(); i += 128)
        out += hex.mid(i, 128) + '\n';
    out += '}';
    return out;
}

void Writer::writeImage(const QTextImageFormat &f)
{
    if (f.hasProperty(property::ObjectData)) {
        QByteArray head = bytesResource(m_resources, f.property(property::ObjectData).toUrl());
        if (head.endsWith('}')) {
            head.chop(1);
            m_out += head + "{\\result " + pictureGroup(f) + "}}";
            return;
        }
    }
    m_out += pictureGroup(f);
}

void Writer::writeBlock(const QTextBlock &block, int level, const char *ending)
{
    writeParagraphProps(block, level);
    QString href;
    CharProps outside; // the state around an open link field
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat f = fragment.charFormat();
        const QString fragmentHref = f.isAnchor() ? f.anchorHref() : QString();
        if (fragmentHref != href) {
            if (!href.isEmpty()) {
                m_out += "}}}";
                m_current = outside;
            }
            href = fragmentHref;
            if (!href.isEmpty()) {
                outside = m_current;
                m_out += "{\\field{\\*\\fldinst{HYPERLINK \"";
                writeText(href);
                m_out += "\"}}{\\fldrslt{";
            }
        }
        writeCharChange(propsOf(fragment));
        if (f.isImageFormat()) {
            for (qsizetype i = 0; i < fragment.length(); ++i)
                writeImage(f.toImageFormat());
        } else {
            writeText(fragment.text());
        }
    }
    if (!href.isEmpty()) {
        m_out += "}}}";
        m_current = outside;
    }
    m_out += ending;
    m_out += '\n';
}

} // namespace

QByteArray RtfWriter::write(const QTextDocument &document, const QTextDocument *resources)
{
    return Writer(document, resources).run();
}

QByteArray RtfWriter::escapedText(const QString &text)
{
    QTextDocument empty;
    Writer writer(empty, nullptr);
    return writer.text(text);
}

} // namespace velkora::richedit
