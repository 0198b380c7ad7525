// Turkish-aware text comparison for the book: case folding, LIKE patterns and sort order.
#include "turkishtext.h"

#include "databaseerror.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>

#include <vector>

namespace velkora::database {

namespace {

// Folds of the first 0x250 code points (ASCII, Latin-1 and Latin Extended, which hold every
// Turkish letter), computed once so that scanning titles needs no ICU call per character.
constexpr char32_t TableSize = 0x250;

char32_t computeFold(char32_t c)
{
    if (c == U'I')
        return U'\u0131'; // dotless ı
    if (c == 0x0130) // İ
        return U'i';
    return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
}

const char32_t *foldTable()
{
    static const auto table = [] {
        static char32_t t[TableSize];
        for (char32_t c = 0; c < TableSize; ++c)
            t[c] = computeFold(c);
        return t;
    }();
    return table;
}

} // namespace

char32_t foldCharacter(char32_t c)
{
    return c < TableSize ? foldTable()[c] : computeFold(c);
}

std::u32string foldText(QStringView text)
{
    std::u32string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        out.push_back(foldCharacter(c));
    }
    return out;
}

std::u32string foldUtf8(std::string_view s)
{
    std::u32string out;
    foldUtf8Into(s, out);
    return out;
}

void foldUtf8Into(std::string_view s, std::u32string &out)
{
    out.resize(s.size()); // never more characters than bytes
    const char32_t *table = foldTable();
    size_t o = 0;
    size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            out[o++] = table[b0];
            ++i;
            continue;
        }
        char32_t c;
        size_t n;
        if ((b0 & 0xE0) == 0xC0) {
            c = b0 & 0x1F;
            n = 2;
        } else if ((b0 & 0xF0) == 0xE0) {
            c = b0 & 0x0F;
            n = 3;
        } else if ((b0 & 0xF8) == 0xF0) {
            c = b0 & 0x07;
            n = 4;
        } else {
            c = 0xFFFD;
            n = 1;
        }
        if (n > 1) {
            if (i + n > s.size()) {
                c = 0xFFFD;
                n = s.size() - i;
            } else {
                for (size_t k = 1; k < n; ++k) {
                    const auto b = static_cast<unsigned char>(s[i + k]);
                    if ((b & 0xC0) != 0x80) {
                        c = 0xFFFD;
                        n = k;
                        break;
                    }
                    c = (c << 6) | (b & 0x3F);
                }
            }
        }
        out[o++] = c < TableSize ? table[c] : computeFold(c);
        i += n;
    }
    out.resize(o);
}

bool equalsIgnoringCase(QStringView a, QStringView b)
{
    return foldText(a) == foldText(b);
}

bool startsWithIgnoringCase(QStringView text, QStringView prefix)
{
    const std::u32string t = foldText(text);
    const std::u32string p = foldText(prefix);
    return t.size() >= p.size() && std::u32string_view(t).substr(0, p.size()) == p;
}

bool likeMatches(std::u32string_view pattern, std::u32string_view text)
{
    // Iterative wildcard match: on a mismatch, go back to the last '%' and let it take one
    // more character. Each '%' restarts the backtracking, which keeps it polynomial.
    size_t p = 0, t = 0;
    size_t starP = std::u32string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == U'%') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == U'_' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starP != std::u32string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'%')
        ++p;
    return p == pattern.size();
}

LikePattern::LikePattern(std::u32string folded) : m_pattern(std::move(folded))
{
    if (m_pattern.size() >= 2 && m_pattern.front() == U'%' && m_pattern.back() == U'%') {
        const std::u32string_view inner = std::u32string_view(m_pattern).substr(1, m_pattern.size() - 2);
        if (inner.find_first_of(U"%_") == std::u32string_view::npos) {
            m_literal = std::u32string(inner);
            m_contains = true;
        }
    }
}

bool LikePattern::matches(std::u32string_view text) const
{
    if (m_contains)
        return text.find(m_literal) != std::u32string_view::npos;
    return likeMatches(m_pattern, text);
}

TurkishCollator::TurkishCollator()
{
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open("tr", &status);
    if (U_FAILURE(status) || !m_collator)
        throw DatabaseError(QStringLiteral("The Turkish sort order is not available (ICU: %1).")
                                .arg(QString::fromLatin1(u_errorName(status))));
    ucol_setStrength(m_collator, UCOL_SECONDARY);
}

TurkishCollator::~TurkishCollator()
{
    if (m_collator)
        ucol_close(m_collator);
}

int TurkishCollator::compare(QStringView a, QStringView b) const
{
    const UCollationResult r = ucol_strcoll(m_collator, reinterpret_cast<const UChar *>(a.utf16()),
                                            static_cast<int32_t>(a.size()),
                                            reinterpret_cast<const UChar *>(b.utf16()),
                                            static_cast<int32_t>(b.size()));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

int TurkishCollator::compareUtf8(std::string_view a, std::string_view b) const
{
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = ucol_strcollUTF8(m_collator, a.data(), static_cast<int32_t>(a.size()),
                                                b.data(), static_cast<int32_t>(b.size()), &status);
    if (U_FAILURE(status))
        return a < b ? -1 : (a > b ? 1 : 0);
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

} // namespace velkora::database
