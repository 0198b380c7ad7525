// Compares two documents as a reader of the body sees them: text, formats and pictures.
#include "documentcomparison.h"

#include "richtextproperties.h"

#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <cmath>

namespace velkora::richedit {

namespace {

QString describe(const QTextCharFormat &f, const QTextDocument &doc)
{
    const QStringList families = f.fontFamilies().toStringList();
    const QString family = families.isEmpty() ? doc.defaultFont().family() : families.first();
    const double size = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : doc.defaultFont().pointSizeF();
    QStringList parts{family, QString::number(f.hasProperty(property::Hidden) ? 0.0 : std::round(size * 2) / 2)};
    if (f.fontWeight() >= QFont::DemiBold)
        parts << QStringLiteral("bold");
    if (f.fontItalic())
        parts << QStringLiteral("italic");
    const int underline = f.hasProperty(QTextFormat::TextUnderlineStyle) ? f.underlineStyle() : (f.fontUnderline() ? 1 : 0);
    if (underline)
        parts << QStringLiteral("underline%1").arg(underline);
    if (f.fontStrikeOut())
        parts << QStringLiteral("strike");
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        parts << QStringLiteral("super");
    if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
        parts << QStringLiteral("sub");
    if (f.intProperty(property::RaiseHalfPoints))
        parts << QStringLiteral("raise%1").arg(f.intProperty(property::RaiseHalfPoints));
    if (!f.hasProperty(property::Hidden) && f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        parts << QStringLiteral("fg") + f.foreground().color().name();
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
        parts << QStringLiteral("bg") + f.background().color().name();
    if (f.fontCapitalization() == QFont::AllUppercase)
        parts << QStringLiteral("caps");
    if (f.hasProperty(property::Hidden))
        parts << QStringLiteral("hidden");
    if (f.isAnchor())
        parts << QStringLiteral("link:") + f.anchorHref();
    if (f.isImageFormat()) {
        const QTextImageFormat image = f.toImageFormat();
        parts << QStringLiteral("image %1x%2").arg(qRound(image.width())).arg(qRound(image.height()));
        // Metafiles and JPEG pictures keep their bytes; other pictures are the same when they show
        // the same pixels, whatever form they were stored in.
        const int kind = image.intProperty(property::PictureKind);
        if (kind == static_cast<int>(PictureKind::Emf) || kind == static_cast<int>(PictureKind::Wmf)
            || kind == static_cast<int>(PictureKind::Jpeg)) {
            parts << QStringLiteral("kind%1").arg(kind);
            parts << QStringLiteral("bytes%1").arg(qHash(bytesResource(&doc, image.property(property::PictureData).toUrl())));
        } else {
            const QImage pixels = doc.resource(QTextDocument::ImageResource, QUrl(image.name()))
                                      .value<QImage>()
                                      .convertToFormat(QImage::Format_ARGB32);
            parts << QStringLiteral("pixels%1").arg(qHash(QByteArrayView(reinterpret_cast<const char *>(pixels.constBits()),
                                                                          pixels.sizeInBytes())));
        }
        if (image.hasProperty(property::ObjectData))
            parts << QStringLiteral("object%1").arg(qHash(bytesResource(&doc, image.property(property::ObjectData).toUrl())));
    }
    return parts.join(u' ');
}

QString describe(const QTextBlock &block)
{
    const QTextBlockFormat f = block.blockFormat();
    QStringList parts;
    parts << QStringLiteral("align%1").arg(int(f.alignment() & Qt::AlignHorizontal_Mask));
    const auto twips = [](double v) { return QString::number(std::lround(v * 15)); };
    parts << QStringLiteral("li") + twips(f.leftMargin()) << QStringLiteral("ri") + twips(f.rightMargin())
          << QStringLiteral("fi") + twips(firstLineIndent(f)) << QStringLiteral("sb") + twips(f.topMargin())
          << QStringLiteral("sa") + twips(f.bottomMargin());
    if (f.hasProperty(QTextFormat::LineHeightType) && f.lineHeightType() != QTextBlockFormat::SingleHeight)
        parts << QStringLiteral("line%1:%2").arg(f.lineHeightType()).arg(std::lround(f.lineHeight() * 15));
    for (const QTextOption::Tab &t : f.tabPositions())
        parts << QStringLiteral("tab%1:%2").arg(t.type).arg(std::lround(t.position * 15));
    if (f.hasProperty(QTextFormat::BackgroundBrush))
        parts << QStringLiteral("shade") + f.background().color().name();
    if (QTextList *list = block.textList())
        parts << QStringLiteral("list%1.%2").arg(list->format().style()).arg(listLevel(list->format()));
    return parts.join(u' ');
}

} // namespace

QStringList documentDifferences(const QTextDocument &a, const QTextDocument &b, int limit)
{
    QStringList out;
    const auto add = [&](const QString &line) {
        if (out.size() < limit)
            out.append(line);
    };
    const QString ta = a.toRawText(), tb = b.toRawText();
    if (ta != tb) {
        qsizetype i = 0;
        while (i < ta.size() && i < tb.size() && ta[i] == tb[i])
            ++i;
        add(QStringLiteral("text differs at character %1: \"%2\" ≠ \"%3\"")
                .arg(i)
                .arg(ta.mid(i, 20), tb.mid(i, 20)));
        return out;
    }
    QTextBlock ba = a.begin(), bb = b.begin();
    for (int n = 0; ba.isValid() && bb.isValid(); ba = ba.next(), bb = bb.next(), ++n) {
        const QString da = describe(ba), db = describe(bb);
        if (da != db)
            add(QStringLiteral("block %1: %2 ≠ %3").arg(n).arg(da, db));
        // Compare character by character through the fragments, so a run split differently is
        // still the same.
        for (int pos = ba.position(); pos < ba.position() + ba.length() - 1; ++pos) {
            QTextCursor ca(const_cast<QTextDocument *>(&a));
            ca.setPosition(pos + 1);
            QTextCursor cb(const_cast<QTextDocument *>(&b));
            cb.setPosition(pos + 1);
            const QString fa = describe(ca.charFormat(), a), fb = describe(cb.charFormat(), b);
            if (fa != fb) {
                add(QStringLiteral("character %1 (\"%2\"): %3 ≠ %4").arg(pos).arg(ta.mid(pos, 1), fa, fb));
                break;
            }
        }
        if (out.size() >= limit)
            break;
    }
    return out;
}

} // namespace velkora::richedit
