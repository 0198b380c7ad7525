// Turkish words the dictionary does not list although they are correct: a stem it knows followed by
// a longer chain of endings than its one level of suffixes reaches ("okuyamayacaklarmış",
// "evlerimizdekiler"), and noun compounds written as one word ("sesbilgisinin"). A small
// recogniser of Turkish word formation checks the chain: which endings may follow which, their
// vowels by vowel harmony and their consonants by what precedes them.
#pragma once

#include <QString>

#include <functional>

namespace velkora::spelling {

// word: one word, lower-cased the Turkish way (İ→i, I→ı). known(w): true when the dictionary
// accepts w as a word by itself; it is asked at most once per candidate stem.
// True when word is a known stem (at least two letters) followed by at least one ending in a valid
// order, or a compound: a known word, then a known noun of at least three letters with the
// compound's possessive -(s)I (or -lArI), then any valid noun endings.
bool acceptedBySuffixes(const QString &word, const std::function<bool(const QString &)> &known);

} // namespace velkora::spelling
