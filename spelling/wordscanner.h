// The words of a text that spelling applies to.
#pragma once

#include <QString>

#include <functional>

namespace velkora::spelling {

// Calls word(start, length) for each word of text from `from` on, in order, until it returns false
// or the text ends; returns where the next call should go on (after the last word seen). `from`
// is 0 or a value this returned. A word is a run of letters (with combining marks, and apostrophes
// between letters: "Ankara'dan"), at least two letters long. Left out: words with digits in them
// ("3'te", "A4"), every word of an address or an e-mail address ("www.ornek.com.tr",
// "ad@ornek.com", "https://…"), and words with letters of another script than Latin.
// The two apostrophes a name's endings follow ("Ankara'dan", "Ankara’dan").
inline bool isApostrophe(QChar c)
{
    return c == u'\'' || c == QChar(0x2019);
}

// A word without the endings after its apostrophe: the name itself.
inline QString withoutEndings(const QString &word)
{
    for (qsizetype i = 1; i < word.size(); ++i)
        if (isApostrophe(word[i]))
            return word.left(i);
    return word;
}

int scanWords(const QString &text, int from, const std::function<bool(int start, int length)> &word);

} // namespace velkora::spelling
