// For benchmarks: the store benchmark's books (200 subtopics a topic, 20 KB RTF bodies of Turkish
// grammar words, some bold), made the same way by every benchmark that uses them.
#pragma once

#include "platform/database/database.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <iterator>
#include <utility>

namespace velkora::bench {

inline constexpr int SubtopicsPerTopic = 200;
inline constexpr int BodyBytes = 20 * 1024;
inline const char *const Words[] = {"cümle", "sözcük", "ek", "yüklem", "özne", "nesne", "tümleç", "isim", "sıfat",
                             "zamir", "zarf", "edat", "bağlaç", "ünlem", "fiil", "çatı", "kip", "şahıs",
                             "ıslak", "ağaç", "İstanbul", "Iğdır", "yapı", "anlam", "ses", "hece"};

inline QString randomTitle(QRandomGenerator &rng)
{
    QStringList parts;
    const int n = 2 + static_cast<int>(rng.bounded(3));
    for (int i = 0; i < n; ++i)
        parts.append(QString::fromUtf8(Words[rng.bounded(static_cast<int>(std::size(Words)))]));
    parts[0][0] = parts[0][0].toUpper();
    return parts.join(u' ');
}

// A word as an RTF writer in code page 1254 writes it: its Turkish letters as \'hh escapes.
inline QByteArray rtfWord(const char *utf8)
{
    static const std::pair<char16_t, const char *> Escapes[] = {
        {u'ç', "\\'e7"}, {u'ğ', "\\'f0"}, {u'ı', "\\'fd"}, {u'ö', "\\'f6"}, {u'ş', "\\'fe"}, {u'ü', "\\'fc"},
        {u'Ç', "\\'c7"}, {u'Ğ', "\\'d0"}, {u'İ', "\\'dd"}, {u'Ö', "\\'d6"}, {u'Ş', "\\'de"}, {u'Ü', "\\'dc"}};
    QByteArray out;
    for (const QChar c : QString::fromUtf8(utf8)) {
        const auto e = std::find_if(std::begin(Escapes), std::end(Escapes), [c](const auto &p) { return p.first == c.unicode(); });
        if (e != std::end(Escapes))
            out += e->second;
        else
            out += char(c.unicode());
    }
    return out;
}

inline QByteArray randomBody(QRandomGenerator &rng)
{
    QByteArray body = "{\\rtf1\\ansi\\ansicpg1254\\deff0{\\fonttbl{\\f0\\fnil\\fcharset162 Arial;}}\\f0\\fs20 ";
    while (body.size() < BodyBytes) {
        body += rtfWord(Words[rng.bounded(static_cast<int>(std::size(Words)))]);
        // The control word \b0 takes the blank after it: a second one parts "kalın" from the next word.
        body += rng.bounded(8) == 0 ? " \\b kal\\'fdn\\b0  " : " ";
    }
    return body + "}";
}

// Makes the book of `subtopics` subtopics at path (its password is the program's).
inline void buildStoreBook(const QString &path, int subtopics)
{
    const QString password = QStringLiteral("*.417305");
    velkora::database::Database::create(path, password);
    auto db = velkora::database::Database::open(path, password);
    sqlite3 *h = db->handle();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *topic = nullptr, *sub = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO master (Baslik) VALUES (?1)", -1, &topic, nullptr);
    sqlite3_prepare_v2(h, "INSERT INTO detail (Sira, Altkonu, Aciklama) VALUES (?1, ?2, ?3)", -1, &sub, nullptr);
    QRandomGenerator rng(42);
    const int topics = std::max(1, subtopics / SubtopicsPerTopic);
    for (int t = 0; t < topics; ++t) {
        const QByteArray title = QStringLiteral("Konu %1").arg(t + 1).toUtf8();
        sqlite3_bind_text(topic, 1, title.constData(), static_cast<int>(title.size()), SQLITE_TRANSIENT);
        sqlite3_step(topic);
        sqlite3_reset(topic);
        const qint64 sira = sqlite3_last_insert_rowid(h);
        for (int s = 0; s < SubtopicsPerTopic && t * SubtopicsPerTopic + s < subtopics; ++s) {
            const QByteArray st = randomTitle(rng).toUtf8();
            const QByteArray body = randomBody(rng);
            sqlite3_bind_int64(sub, 1, sira);
            sqlite3_bind_text(sub, 2, st.constData(), static_cast<int>(st.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(sub, 3, body.constData(), static_cast<int>(body.size()), SQLITE_TRANSIENT);
            sqlite3_step(sub);
            sqlite3_reset(sub);
        }
        if (t % 50 == 49) {
            sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
        }
    }
    sqlite3_finalize(topic);
    sqlite3_finalize(sub);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_exec(h, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
}

} // namespace velkora::bench
