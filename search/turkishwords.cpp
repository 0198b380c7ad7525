// Splitting, Turkish folding, mark removal and stemming of the words the search indexes and asks for.
#include "turkishwords.h"

#include "platform/database/turkishtext.h"

#include <QHash>

#include <libstemmer.h>

#include <bitset>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velkora::search {

namespace {

bool isWordCategory(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return (category >= QChar::Letter_Uppercase && category <= QChar::Letter_Other)
           || (category >= QChar::Number_DecimalDigit && category <= QChar::Number_Other)
           || category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining;
}

} // namespace

bool isWordCharacterBeyondAscii(char32_t c)
{
    // Latin with its marks, Greek and Cyrillic from a table: every letter of a Turkish text.
    static const std::bitset<0x800> below800 = [] {
        std::bitset<0x800> b;
        for (char32_t x = 0x80; x < 0x800; ++x)
            b[x] = isWordCategory(x);
        return b;
    }();
    return c < 0x800 ? below800[c] : isWordCategory(c);
}

namespace {

// Letters with marks that Turkish and its neighbours use, to their plain letter.
char32_t plainLetter(char32_t c)
{
    switch (c) {
    case U'ç': return U'c';
    case U'ğ': return U'g';
    case U'ı': return U'i';
    case U'ö': return U'o';
    case U'ş': return U's';
    case U'ü': return U'u';
    case U'â': case U'à': case U'á': case U'ä': case U'ã': case U'å': return U'a';
    case U'î': case U'ì': case U'í': case U'ï': return U'i';
    case U'û': case U'ù': case U'ú': return U'u';
    case U'ê': case U'è': case U'é': case U'ë': return U'e';
    case U'ô': case U'ò': case U'ó': case U'õ': return U'o';
    case U'ñ': return U'n';
    default: break;
    }
    if (c < 0x300)
        return c;
    // Other letters: their decomposition's base letter, a combining mark nothing.
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining)
        return 0;
    const QString decomposed = QChar::decomposition(c);
    if (!decomposed.isEmpty() && QChar::decompositionTag(c) == QChar::Canonical) {
        const char32_t base = decomposed.at(0).unicode();
        if (base < 0x300 || QChar::category(base) <= QChar::Letter_Other)
            return plainLetter(base);
    }
    return c;
}

class Stemmer
{
public:
    Stemmer() : m_stemmer(sb_stemmer_new("turkish", "UTF_8")) {}
    ~Stemmer() { sb_stemmer_delete(m_stemmer); }
    QString stem(const QString &folded)
    {
        if (!m_stemmer || folded.size() < 3)
            return folded;
        auto cached = m_cache.constFind(folded);
        if (cached != m_cache.constEnd())
            return *cached;
        const QByteArray utf8 = folded.toUtf8();
        const sb_symbol *out = sb_stemmer_stem(m_stemmer, reinterpret_cast<const sb_symbol *>(utf8.constData()), int(utf8.size()));
        QString stem = out ? QString::fromUtf8(reinterpret_cast<const char *>(out), sb_stemmer_length(m_stemmer)) : folded;
        if (stem.isEmpty())
            stem = folded;
        if (m_cache.size() > 200'000)
            m_cache.clear();
        m_cache.insert(folded, stem);
        return stem;
    }

private:
    sb_stemmer *m_stemmer;
    QHash<QString, QString> m_cache;
};

} // namespace

namespace {

// The forms of a word as written, remembered per thread.
const Word &formsOf(QStringView written)
{
    thread_local std::unordered_map<std::u16string, Word, U16ViewHash, std::equal_to<>> known;
    const std::u16string_view key(reinterpret_cast<const char16_t *>(written.utf16()), size_t(written.size()));
    const auto found = known.find(key);
    if (found != known.end())
        return found->second;
    if (known.size() > 200'000)
        known.clear();
    Word w;
    w.folded = foldTurkish(written);
    w.markless = withoutMarks(w.folded);
    w.stem = stemOf(w.folded);
    w.marklessStem = withoutMarks(w.stem);
    return known.emplace(std::u16string(key), std::move(w)).first->second;
}

} // namespace

namespace {

// Whether the word, folded and without its marks, begins with one of the prefixes (folded, markless).
bool beginsWithOneOf(QStringView word, const QStringList &prefixes)
{
    for (const QString &prefix : prefixes) {
        qsizetype k = 0;
        for (qsizetype i = 0; i < word.size() && k < prefix.size(); ++i) {
            const char32_t p = plainLetter(database::foldCharacter(word[i].unicode()));
            if (p == 0)
                continue; // a combining mark
            if (p != prefix[k].unicode())
                break;
            ++k;
        }
        if (k == prefix.size())
            return true;
    }
    return false;
}

} // namespace

std::vector<Word> splitWords(QStringView text)
{
    std::vector<Word> words;
    splitWords(text, {QString()}, words);
    return words;
}

void splitWords(QStringView text, const QStringList &prefixes, std::vector<Word> &words)
{
    words.clear();
    const bool all = prefixes.contains(QString());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        char32_t c = text[i].unicode();
        qsizetype width = 1;
        if (text[i].isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            width = 2;
        }
        if (!isWordCharacter(c)) {
            i += width;
            continue;
        }
        Word w;
        w.start = i;
        while (i < n) {
            char32_t d = text[i].unicode();
            qsizetype dw = 1;
            if (text[i].isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
                d = QChar::surrogateToUcs4(text[i], text[i + 1]);
                dw = 2;
            }
            if (!isWordCharacter(d))
                break;
            i += dw;
        }
        w.end = i;
        const QStringView written = text.sliced(w.start, std::min<qsizetype>(w.end - w.start, MaxWordLength));
        if (all || beginsWithOneOf(written, prefixes)) {
            const Word &forms = formsOf(written);
            w.folded = forms.folded;
            w.markless = forms.markless;
            w.stem = forms.stem;
            w.marklessStem = forms.marklessStem;
        }
        words.push_back(std::move(w));
    }
}

QString foldTurkish(QStringView word)
{
    QString out;
    out.reserve(word.size());
    for (qsizetype i = 0; i < word.size(); ++i) {
        char32_t c = word[i].unicode();
        if (word[i].isHighSurrogate() && i + 1 < word.size() && word[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(word[i], word[i + 1]);
            ++i;
        }
        const char32_t f = database::foldCharacter(c);
        out.append(QString::fromUcs4(&f, 1));
    }
    return out;
}

QString withoutMarks(QStringView folded)
{
    QString out;
    out.reserve(folded.size());
    for (qsizetype i = 0; i < folded.size(); ++i) {
        char32_t c = folded[i].unicode();
        if (folded[i].isHighSurrogate() && i + 1 < folded.size() && folded[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(folded[i], folded[i + 1]);
            ++i;
        }
        const char32_t p = plainLetter(c);
        if (p)
            out.append(QString::fromUcs4(&p, 1));
    }
    return out;
}

bool hasMarks(QStringView folded)
{
    return withoutMarks(folded) != folded;
}

QString stemOf(const QString &folded)
{
    thread_local Stemmer stemmer;
    return stemmer.stem(folded);
}

void termsOf(const Word &word, QString *stem, QString *surface)
{
    *surface = word.markless;
    *stem = word.marklessStem.isNull() ? withoutMarks(stemOf(word.folded)) : word.marklessStem;
}

} // namespace velkora::search
