// What a body's document carries beyond Qt's own formats, so that RTF read and written again keeps it.
#include "richtextproperties.h"

#include <QCryptographicHash>
#include <QTextDocument>

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

QByteArray bytesResource(const QTextDocument *document, const QUrl &name)
{
    return document->resource(OriginalBytesResource, name).toByteArray();
}

} // namespace velkora::richedit
