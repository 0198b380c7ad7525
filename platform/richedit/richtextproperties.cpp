// What a body's document carries beyond Qt's own formats, so that RTF read and written again keeps it.
#include "richtextproperties.h"

#include <QCryptographicHash>
#include <QTextDocument>
#include <QTextFormat>

#include <algorithm>

namespace velkora::richedit {

QUrl addBytesResource(QTextDocument *document, const QString &prefix, const QByteArray &bytes)
{
    // Named by content: the same picture twice is stored once, and a document read twice
    // gets the same names.
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16);
    const QUrl name(QStringLiteral("velkora-%1:%2").arg(prefix, QString::fromLatin1(digest)));
    document->addResource(OriginalBytesResource, name, QVariant(bytes));
    return name;
}

double firstLineIndent(const QTextBlockFormat &format)
{
    return format.hasProperty(property::FirstLineIndent) ? format.doubleProperty(property::FirstLineIndent)
                                                         : format.textIndent();
}

void setFirstLineIndent(QTextBlockFormat &format, double pixels, bool listed)
{
    if (!listed) {
        format.clearProperty(property::FirstLineIndent);
        if (pixels != 0 || format.hasProperty(QTextFormat::TextIndent))
            format.setTextIndent(pixels);
        return;
    }
    constexpr double bulletRoom = 200 / 15.0; // 10 points
    format.setProperty(property::FirstLineIndent, pixels);
    format.setTextIndent(std::max(0.0, pixels + bulletRoom));
}

int listLevel(const QTextListFormat &format)
{
    return format.hasProperty(property::ListLevel) ? format.intProperty(property::ListLevel)
                                                   : std::max(1, format.indent());
}

QByteArray bytesResource(const QTextDocument *document, const QUrl &name)
{
    return document->resource(OriginalBytesResource, name).toByteArray();
}

} // namespace velkora::richedit
