// What a person types into the book search, read as terms, and how a text answers it.
#pragma once

#include "turkishwords.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace velkora::search {

// One part of a query:
//   kitap        a word, found by its stem too ("kitabı", "kitaplarımızdan");
//   kitap*       words that begin so;
//   "iki kelime" the words one after another;
//   -kitap       subtopics holding the word are left out.
// Letter case goes the Turkish way. A part written without marks also finds the words with them
// ("ogretmen" finds "öğretmen"); one written with marks finds only those.
struct QueryPart
{
    enum class Kind { Word, Prefix, Phrase };
    Kind kind = Kind::Word;
    bool excluded = false;
    QStringList folded;   // its words, folded the Turkish way (one for a word or a prefix)
    QStringList markless; // the same without their marks
    QStringList stems;    // the stems of the folded words
    QStringList marklessStems;
    bool marked = false;  // written with marks: only words with the same marks answer
};

struct Query
{
    QVector<QueryPart> parts;
    // Whether anything is asked: at least one part that is not excluded.
    bool isEmpty() const;
    // What every word that can answer some part begins with, folded and without marks (see
    // splitWords): a word that begins otherwise needs no forms when a text is looked at for the query.
    QStringList wordPrefixes() const;
};

// Reads a query. Unbalanced quotes close at the end; blanks and punctuation part words.
Query parseQuery(const QString &text);

// Where a text answers the query's parts that are not excluded: each hit a range of the text. A
// text lacking a part (which the index alone cannot tell, as with marks) gives no hits at all.
struct Hit
{
    qsizetype start = 0, end = 0;
};
QVector<Hit> hitsIn(const QString &text, const Query &query);
// Whether some excluded part answers in the text.
bool excludedIn(const QString &text, const Query &query);

// The hits of the query in a subtopic whose title and body are split into words: each part that is
// not excluded answers in the title or in the body, and no excluded part in either. False, with no
// hits, otherwise.
bool subtopicHits(const std::vector<Word> &title, const std::vector<Word> &body, const Query &query, QVector<Hit> *inTitle,
                  QVector<Hit> *inBody);

// A line of the text around its first hit (about `width` characters), and the hits within it.
struct Snippet
{
    QString text;
    QVector<Hit> marks; // ranges of `text`
};
Snippet snippetOf(const QString &text, const QVector<Hit> &hits, int width = 160);

} // namespace velkora::search
