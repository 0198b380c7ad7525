// Visible text of a stored body, through the program's own RTF reader.
#include "bodytext.h"

#include "platform/richedit/rtfreader.h"

#include <QHashFunctions>
#include <QRandomGenerator>

#include <cstring>

#include <list>

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

QByteArray bodyDigest(QByteArrayView stored)
{
    // Two 64-bit hashes with seeds of this run (the caches are in memory, for this run only) and
    // the length: much quicker than a cryptographic digest on a long body, and no text can be made
    // to meet another's without knowing the seeds.
    static const std::pair<size_t, size_t> seeds = [] {
        QRandomGenerator *r = QRandomGenerator::system();
        return std::pair<size_t, size_t>(size_t(r->generate64()), size_t(r->generate64()));
    }();
    QByteArray digest(3 * sizeof(quint64), Qt::Uninitialized);
    const quint64 parts[3] = {quint64(qHashBits(stored.data(), size_t(stored.size()), seeds.first)),
                              quint64(qHashBits(stored.data(), size_t(stored.size()), seeds.second)), quint64(stored.size())};
    std::memcpy(digest.data(), parts, sizeof parts);
    return digest;
}

QString bodyText(QByteArrayView stored)
{
    return bodyText(stored, bodyDigest(stored));
}

QString bodyText(QByteArrayView stored, const QByteArray &digest)
{
    // Remembered by digest, the most recently read first: the same body is often read twice in one
    // save (its title changed), and a search as it is typed looks at the same best subtopics
    // again with each letter.
    struct Read
    {
        QByteArray digest;
        QString text;
    };
    thread_local std::list<Read> recent;
    thread_local qsizetype recentChars = 0;
    constexpr qsizetype MaxChars = 4 << 20; // 8 MB
    constexpr size_t MaxBodies = 256;
    for (auto it = recent.begin(); it != recent.end(); ++it)
        if (it->digest == digest) {
            recent.splice(recent.begin(), recent, it);
            return recent.front().text;
        }
    QString text;
    if (!richedit::RtfReader::readText(stored, &text))
        text = QString::fromUtf8(stored);
    text = cleaned(std::move(text));
    if (text.size() <= MaxChars / 4) {
        recent.push_front({digest, text});
        recentChars += text.size();
        while (recent.size() > MaxBodies || recentChars > MaxChars) {
            recentChars -= recent.back().text.size();
            recent.pop_back();
        }
    }
    return text;
}

} // namespace velkora::search
