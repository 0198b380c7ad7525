// Writing a body's document as XHTML.
#include "xhtmlbody.h"

#include "platform/metafile/emfplayer.h"
#include "platform/metafile/wmfplayer.h"
#include "platform/richedit/richtextproperties.h"
#include "platform/richedit/rtfreader.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace velkora::bookexport {

namespace {

using richedit::PictureKind;
namespace property = richedit::property;

constexpr int MaxDrawnSide = 4096;

QString px(double v)
{
    return QString::number(std::round(v * 10) / 10) + QStringLiteral("px");
}

QString colour(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A metafile drawn on white at twice its shown size (at most MaxDrawnSide pixels a side).
QImage drawnMetafile(PictureKind kind, const QByteArray &bytes, QSizeF shown)
{
    double scale = 2;
    if (std::max(shown.width(), shown.height()) * scale > MaxDrawnSide)
        scale = MaxDrawnSide / std::max(shown.width(), shown.height());
    const QSize size(std::max(1, int(std::lround(shown.width() * scale))), std::max(1, int(std::lround(shown.height() * scale))));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    bool played = false;
    if (kind == PictureKind::Emf) {
        metafile::EmfPlayer player;
        played = player.load(bytes) && player.play(&painter, QRectF(image.rect()));
    } else {
        metafile::WmfPlayer player;
        played = player.load(bytes) && player.play(&painter, QRectF(image.rect()));
    }
    painter.end();
    return played ? image : QImage();
}

Picture pictureOf(const QTextDocument &document, const QTextImageFormat &format)
{
    Picture p;
    p.shownSize = QSizeF(format.width(), format.height());
    const auto kind = PictureKind(format.property(property::PictureKind).toInt());
    const QByteArray original = format.hasProperty(property::PictureData)
                                    ? richedit::bytesResource(&document, format.property(property::PictureData).toUrl())
                                    : QByteArray();
    if (kind == PictureKind::Jpeg && original.startsWith("\xFF\xD8\xFF")) {
        p.bytes = original;
        p.mediaType = "image/jpeg";
        p.extension = QStringLiteral("jpg");
        return p;
    }
    p.mediaType = "image/png";
    p.extension = QStringLiteral("png");
    if (kind == PictureKind::Png && original.startsWith("\x89PNG\r\n\x1a\n")) {
        p.bytes = original;
        return p;
    }
    QImage image;
    if ((kind == PictureKind::Emf || kind == PictureKind::Wmf) && !original.isEmpty())
        image = drawnMetafile(kind, original, p.shownSize);
    if (image.isNull())
        image = document.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
    if (image.isNull() || (p.bytes = png(image)).isEmpty()) {
        // Nothing to show: a grey frame of its size (within bounds) stands for it.
        const auto side = [](double v) { return std::clamp(int(std::isfinite(v) ? v : 1), 1, MaxDrawnSide); };
        image = QImage(side(p.shownSize.width()), side(p.shownSize.height()), QImage::Format_RGB32);
        image.fill(Qt::lightGray);
        p.bytes = png(image);
    }
    return p;
}

QString blockStyle(const QTextBlockFormat &f, bool listed)
{
    QStringList s;
    switch (f.alignment() & Qt::AlignHorizontal_Mask) {
    case Qt::AlignRight: s << QStringLiteral("text-align:right"); break;
    case Qt::AlignHCenter: s << QStringLiteral("text-align:center"); break;
    case Qt::AlignJustify: s << QStringLiteral("text-align:justify"); break;
    default: break;
    }
    if (f.leftMargin() > 0 && !listed)
        s << QStringLiteral("margin-left:") + px(f.leftMargin());
    if (f.rightMargin() > 0)
        s << QStringLiteral("margin-right:") + px(f.rightMargin());
    const double indent = f.hasProperty(property::FirstLineIndent) ? richedit::firstLineIndent(f) : f.textIndent();
    if (indent != 0 && !listed)
        s << QStringLiteral("text-indent:") + px(indent);
    if (f.topMargin() > 0)
        s << QStringLiteral("margin-top:") + px(f.topMargin());
    if (f.bottomMargin() > 0)
        s << QStringLiteral("margin-bottom:") + px(f.bottomMargin());
    return s.join(u';');
}

// A font's name as a CSS string in an attribute holds it: letters, digits, blanks, '-' and '_' only
// (a name from a damaged font table may hold anything, control characters included).
QString cssName(const QString &family)
{
    QString name;
    for (const QChar c : family)
        if (c.isLetterOrNumber() || c == u' ' || c == u'-' || c == u'_')
            name += c;
    return name.trimmed();
}

QString charStyle(const QTextCharFormat &f, const QTextCharFormat &base)
{
    QStringList s;
    // (fontFamily() is not asked: it fails on an empty list of families.)
    const QString family = f.fontFamilies().toStringList().value(0);
    if (!family.isEmpty() && family != base.fontFamilies().toStringList().value(0)) {
        s << QStringLiteral("font-family:'%1',sans-serif").arg(cssName(family));
    }
    if (f.fontPointSize() > 0 && !qFuzzyCompare(f.fontPointSize(), base.fontPointSize()))
        s << QStringLiteral("font-size:%1pt").arg(f.fontPointSize());
    if (f.fontWeight() >= QFont::DemiBold)
        s << QStringLiteral("font-weight:bold");
    if (f.fontItalic())
        s << QStringLiteral("font-style:italic");
    QStringList lines;
    if (f.fontUnderline())
        lines << QStringLiteral("underline");
    if (f.fontStrikeOut())
        lines << QStringLiteral("line-through");
    if (!lines.isEmpty())
        s << QStringLiteral("text-decoration:") + lines.join(u' ');
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        s << QStringLiteral("color:") + colour(f.foreground().color());
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
        s << QStringLiteral("background-color:") + colour(f.background().color());
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        s << QStringLiteral("vertical-align:super;font-size:smaller");
    else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
        s << QStringLiteral("vertical-align:sub;font-size:smaller");
    return s.join(u';');
}

// A web address a reader can follow, written as a valid address; empty for anything else (a file
// or program link, an address that is not valid).
QString webLink(const QString &href)
{
    const QUrl url(href.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https" && scheme != u"mailto" && scheme != u"ftp"))
        return QString();
    return QString::fromLatin1(url.toEncoded(QUrl::FullyEncoded));
}

QString listStyle(QTextListFormat::Style style)
{
    switch (style) {
    case QTextListFormat::ListCircle: return QStringLiteral("circle");
    case QTextListFormat::ListSquare: return QStringLiteral("square");
    case QTextListFormat::ListDecimal: return QStringLiteral("decimal");
    case QTextListFormat::ListLowerAlpha: return QStringLiteral("lower-alpha");
    case QTextListFormat::ListUpperAlpha: return QStringLiteral("upper-alpha");
    case QTextListFormat::ListLowerRoman: return QStringLiteral("lower-roman");
    case QTextListFormat::ListUpperRoman: return QStringLiteral("upper-roman");
    default: return QStringLiteral("disc");
    }
}

bool ordered(QTextListFormat::Style style)
{
    return style == QTextListFormat::ListDecimal || style == QTextListFormat::ListLowerAlpha || style == QTextListFormat::ListUpperAlpha
           || style == QTextListFormat::ListLowerRoman || style == QTextListFormat::ListUpperRoman;
}

class Writer
{
public:
    Writer(const QTextDocument &document, const std::function<QString(const Picture &)> &picture)
        : m_document(document), m_picture(picture)
    {
        // The body's own font, that of its first letter, is said once around it; the runs say
        // only where they differ from it.
        m_base.setFont(document.defaultFont());
        for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
            if (b.length() > 1) {
                const QTextCharFormat first = b.begin().fragment().charFormat();
                const QString family = first.fontFamilies().toStringList().value(0);
                if (!family.isEmpty())
                    m_base.setFontFamilies({family});
                if (first.fontPointSize() > 0)
                    m_base.setFontPointSize(first.fontPointSize());
                break;
            }
        }
    }

    QString run()
    {
        writeFrame(m_document.rootFrame());
        closeList();
        QStringList style;
        const QString family = m_base.fontFamilies().toStringList().value(0);
        if (!family.isEmpty())
            style << QStringLiteral("font-family:'%1',sans-serif").arg(cssName(family));
        if (m_base.fontPointSize() > 0)
            style << QStringLiteral("font-size:%1pt").arg(m_base.fontPointSize());
        return QStringLiteral("<div class=\"body\" style=\"%1\">\n%2</div>\n").arg(style.join(u';'), m_out);
    }

private:
    void writeFrame(QTextFrame *frame) { writeItems(frame->begin()); }

    // A frame's or a table cell's paragraphs, tables and inner frames, in order.
    void writeItems(QTextFrame::iterator it)
    {
        for (; !it.atEnd(); ++it) {
            if (QTextFrame *child = it.currentFrame()) {
                closeList();
                if (auto *table = qobject_cast<QTextTable *>(child))
                    writeTable(table);
                else
                    writeFrame(child);
            } else {
                writeBlock(it.currentBlock());
            }
        }
    }

    void writeTable(QTextTable *table)
    {
        m_out += QStringLiteral("<table>");
        for (int r = 0; r < table->rows(); ++r) {
            m_out += QStringLiteral("<tr>");
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue; // covered by a spanning cell
                m_out += QStringLiteral("<td");
                if (cell.rowSpan() > 1)
                    m_out += QStringLiteral(" rowspan=\"%1\"").arg(cell.rowSpan());
                if (cell.columnSpan() > 1)
                    m_out += QStringLiteral(" colspan=\"%1\"").arg(cell.columnSpan());
                const QTextCharFormat cf = cell.format();
                if (cf.hasProperty(QTextFormat::BackgroundBrush) && cf.background().style() != Qt::NoBrush)
                    m_out += QStringLiteral(" style=\"background-color:%1\"").arg(colour(cf.background().color()));
                m_out += u'>';
                writeItems(cell.begin());
                closeList();
                m_out += QStringLiteral("</td>");
            }
            m_out += QStringLiteral("</tr>");
        }
        m_out += QStringLiteral("</table>\n");
    }

    void closeList()
    {
        if (m_list) {
            m_out += m_listOrdered ? QStringLiteral("</ol>\n") : QStringLiteral("</ul>\n");
            m_list = nullptr;
        }
    }

    void writeBlock(const QTextBlock &block)
    {
        QTextList *list = block.textList();
        if (list != m_list) {
            closeList();
            if (list) {
                const QTextListFormat lf = list->format();
                m_list = list;
                m_listOrdered = ordered(lf.style());
                const double indent = block.blockFormat().leftMargin();
                m_out += QStringLiteral("<%1 style=\"list-style-type:%2;margin-left:%3\">")
                             .arg(m_listOrdered ? QStringLiteral("ol") : QStringLiteral("ul"), listStyle(lf.style()),
                                  px(std::max(indent, 24.0)));
            }
        }
        const QString tag = list ? QStringLiteral("li") : QStringLiteral("p");
        const QString style = blockStyle(block.blockFormat(), list != nullptr);
        m_out += u'<' + tag;
        if (!style.isEmpty())
            m_out += QStringLiteral(" style=\"%1\"").arg(style);
        m_out += u'>';
        bool any = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat f = fragment.charFormat();
            if (f.boolProperty(property::Hidden))
                continue;
            if (f.isImageFormat()) {
                for (int i = 0; i < fragment.length(); ++i)
                    writePicture(f.toImageFormat());
                any = true;
                continue;
            }
            QString text = fragment.text();
            text.remove(QChar::ObjectReplacementCharacter);
            if (text.isEmpty())
                continue;
            any = true;
            const QString href = f.isAnchor() ? webLink(f.anchorHref()) : QString();
            const bool link = !href.isEmpty();
            if (link)
                m_out += QStringLiteral("<a href=\"%1\">").arg(xmlText(href));
            const QString cs = charStyle(f, m_base);
            if (!cs.isEmpty())
                m_out += QStringLiteral("<span style=\"%1\">").arg(cs);
            m_out += xmlText(text).replace(QChar::LineSeparator, QStringLiteral("<br/>"));
            if (!cs.isEmpty())
                m_out += QStringLiteral("</span>");
            if (link)
                m_out += QStringLiteral("</a>");
        }
        if (!any)
            m_out += QStringLiteral("<br/>");
        m_out += QStringLiteral("</%1>\n").arg(tag);
    }

    void writePicture(const QTextImageFormat &format)
    {
        const Picture p = pictureOf(m_document, format);
        m_out += QStringLiteral("<img src=\"%1\" alt=\"\" style=\"width:%2\"/>")
                     .arg(xmlText(m_picture(p)), px(p.shownSize.width()));
    }

    const QTextDocument &m_document;
    const std::function<QString(const Picture &)> &m_picture;
    QTextCharFormat m_base;
    QString m_out;
    QTextList *m_list = nullptr;
    bool m_listOrdered = false;
};

} // namespace

void readBody(const QString &stored, QTextDocument *document)
{
    const QByteArray bytes = stored.toLatin1();
    if (richedit::RtfReader::looksLikeRtf(bytes) && richedit::RtfReader::read(bytes, document))
        return;
    document->setPlainText(stored);
}

QString xmlText(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
            continue;
        }
        if (c.isSurrogate() || u == 0xFFFE || u == 0xFFFF || (u < 0x20 && u != u'\t' && u != u'\n'))
            continue;
        switch (u) {
        case u'&': out += QStringLiteral("&amp;"); break;
        case u'<': out += QStringLiteral("&lt;"); break;
        case u'>': out += QStringLiteral("&gt;"); break;
        case u'"': out += QStringLiteral("&quot;"); break;
        default: out += c;
        }
    }
    return out;
}

QString bodyXhtml(const QTextDocument &document, const std::function<QString(const Picture &)> &picture)
{
    return Writer(document, picture).run();
}

QString bodyStyleSheet()
{
    return QStringLiteral(
        "body { font-family: 'Liberation Sans', Arial, sans-serif; font-size: 10pt; line-height: 1.25; }\n"
        "p, li { margin: 0; white-space: pre-wrap; }\n"
        "h1 { font-size: 14pt; text-align: center; margin: 1em 0 0.6em 0; }\n"
        "h2 { font-size: 11pt; margin: 1em 0 0.5em 0; }\n"
        "table { border-collapse: collapse; margin: 0.3em 0; }\n"
        "td { border: 1px solid #808080; padding: 2px 4px; vertical-align: top; }\n"
        "img { vertical-align: bottom; max-width: 100%; height: auto; }\n"
        "nav ol { list-style-type: none; }\n");
}

} // namespace velkora::bookexport
