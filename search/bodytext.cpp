// Visible text of a stored body, through the program's own RTF reader.
#include "bodytext.h"

#include "platform/richedit/richtextproperties.h"
#include "platform/richedit/rtfreader.h"

#include <QCryptographicHash>
#include <QTextBlock>
#include <QTextDocument>

#include <list>
#include <utility>

namespace velkora::search {

namespace {

QString visibleText(const QTextDocument &document)
{
    QString out;
    out.reserve(document.characterCount());
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat f = fragment.charFormat();
            if (f.isImageFormat() || f.hasProperty(richedit::property::Hidden))
                continue;
            out += fragment.text();
        }
        out += u'\n';
    }
    return out;
}

QString cleaned(QString text)
{
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\n') || u == 0xFFFC || u == QChar::LineSeparator || u == QChar::ParagraphSeparator)
            c = (u == QChar::ParagraphSeparator || u == QChar::LineSeparator) ? u'\n' : u' ';
    }
    return text;
}

} // namespace

QString bodyText(QByteArrayView stored)
{
    // A small cache by digest: the same body is often read twice in one save (its title changed).
    thread_local std::list<std::pair<QByteArray, QString>> recent;
    const QByteArray digest = QCryptographicHash::hash(stored, QCryptographicHash::Sha1);
    for (auto it = recent.begin(); it != recent.end(); ++it)
        if (it->first == digest) {
            recent.splice(recent.begin(), recent, it);
            return recent.front().second;
        }
    QString text;
    if (richedit::RtfReader::looksLikeRtf(stored)) {
        QTextDocument document;
        if (richedit::RtfReader::read(stored, &document))
            text = visibleText(document);
        else
            text = QString::fromUtf8(stored);
    } else {
        text = QString::fromUtf8(stored);
    }
    text = cleaned(std::move(text));
    recent.emplace_front(digest, text);
    if (recent.size() > 4)
        recent.pop_back();
    return text;
}

} // namespace velkora::search
