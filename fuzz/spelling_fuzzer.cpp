// Fuzz target: any text is split into words that lie inside it, in order and apart, and each word
// is analysed for Turkish endings quickly (an endless or exponential search would hang the check of
// a body), with a dictionary of a few stems and their forms standing in for Hunspell's.
#include "editor/turkishcase.h"
#include "spelling/turkishsuffixes.h"
#include "spelling/wordscanner.h"

#include <QElapsedTimer>
#include <QSet>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QSet<QString> &dictionary()
{
    static const QSet<QString> words = [] {
        QSet<QString> w;
        for (const char *stem : {"kitap", "kitaplar", "kitabı", "ev", "evler", "ses", "sesler", "bilgi", "bilgiler", "gel",
                                 "gelmek", "oku", "okumak", "yaz", "yazmak", "bil", "bilmek", "git", "gitmek", "gid",
                                 "çek", "çekmek", "çekim", "çekimler", "eylem", "eylemler", "biçim", "biçimler", "güzel",
                                 "güzeller", "a", "e", "ı", "i", "la", "le", "lar", "ler"})
            w.insert(QString::fromUtf8(stem));
        return w;
    }();
    return words;
}

[[noreturn]] void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "spelling_fuzzer: %s %s\n", what, qPrintable(detail));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    int previousEnd = 0, words = 0;
    velkora::spelling::scanWords(text, 0, [&](int start, int length) {
        if (start < previousEnd || length < 2 || start + length > text.size())
            fail("a word outside the text or overlapping the one before:", text.mid(start, length));
        previousEnd = start + length;
        const QString word = velkora::editor::turkishLower(text.mid(start, length));
        QElapsedTimer clock;
        clock.start();
        int asked = 0;
        velkora::spelling::acceptedBySuffixes(word, [&](const QString &w) {
            ++asked;
            return dictionary().contains(w);
        });
        if (clock.elapsed() > 200 || asked > 4 * word.size() + 16)
            fail("the analysis of a word took too long:", word);
        return ++words < 2000;
    });
    return 0;
}
