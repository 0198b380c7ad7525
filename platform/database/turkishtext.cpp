// Turkish-aware text comparison for the book: case folding, LIKE patterns and sort order.
#include "turkishtext.h"

#include "databaseerror.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>

#include <vector>

namespace velkora::database {

char32_t foldCharacter(char32_t c)
{
    if (c < 0x80) {
        if (c == U'I')
            return U'\u0131'; // dotless ı
        if (c >= U'A' && c <= U'Z')
            return c + 32;
        return c;
    }
    if (c == 0x0130) // İ
        return U'i';
    return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
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
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        char32_t c;
        size_t n;
        if (b0 < 0x80) {
            c = b0;
            n = 1;
        } else if ((b0 & 0xE0) == 0xC0) {
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
        out.push_back(foldCharacter(c));
        i += n;
    }
    return out;
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
