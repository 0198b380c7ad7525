// Visible text of a stored body, through the program's own RTF reader.
#include "bodytext.h"

#include "platform/richedit/rtfreader.h"

#include <QCryptographicHash>

#include <list>
#include <utility>

namespace velkora::search {

namespace {

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
    if (!richedit::RtfReader::readText(stored, &text))
        text = QString::fromUtf8(stored);
    text = cleaned(std::move(text));
    recent.emplace_front(digest, text);
    if (recent.size() > 4)
        recent.pop_back();
    return text;
}

} // namespace velkora::search
