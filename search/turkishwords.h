// Words of Turkish text as the book's search sees them: split, folded the Turkish way, without their
// marks, and reduced to their stems.
#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velkora::search {

// A hash of UTF-16 text that looks a std::u16string key up by a view, without a copy: the caches of
// words by how they are written.
struct U16ViewHash
{
    using is_transparent = void;
    size_t operator()(std::u16string_view v) const { return std::hash<std::u16string_view>()(v); }
};

// One word of a text: where it stands (UTF-16 offsets) and its forms.
struct Word
{
    qsizetype start = 0, end = 0;
    QString folded;   // letter case folded the Turkish way (İ→i, I→ı), marks kept
    QString markless; // folded and without marks (ç→c, ğ→g, ı→i, ö→o, ş→s, ü→u, â→a …)
    QString stem;          // stemOf(folded)
    QString marklessStem;  // the stem without its marks
};

// A word is a run of letters and digits (an apostrophe inside a word, as in "Ali'nin", parts it:
// "ali" and "nin"). Words longer than MaxWordLength are cut there. The forms of each word written
// the same way are made once per thread (a book repeats its words).
inline constexpr int MaxWordLength = 64;
std::vector<Word> splitWords(QStringView text);
// The same into `out` (its room kept for the next text), where only the words that begin, markless,
// with one of `prefixes` get their forms: the others keep their place (start and end) alone. A
// search looking for a few words needs no stem of the thousands of others in a body.
void splitWords(QStringView text, const QStringList &prefixes, std::vector<Word> &out);
// Whether the character belongs to a word: a letter, a digit or a mark.
bool isWordCharacterBeyondAscii(char32_t c);
inline bool isWordCharacter(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return isWordCharacterBeyondAscii(c);
}

QString foldTurkish(QStringView word);
QString withoutMarks(QStringView folded);
bool hasMarks(QStringView folded);

// The stem of a folded word (the Snowball Turkish stemmer), with its marks; a word the stemmer
// leaves alone or shortens to nothing is itself. Cached per thread.
QString stemOf(const QString &folded);

// The index's terms of a word: the markless stem and the markless word (one term when they are the
// same). Both stand at the word's position, so "kitap" finds "kitabı" and "kitaplarımızdan" through
// the stem and the word itself however the stemmer treats the short form.
void termsOf(const Word &word, QString *stem, QString *surface);

} // namespace velkora::search
