// The index of every body of a book, kept inside the encrypted book file, and the searches over it.
#pragma once

#include "searchquery.h"

#include <QString>
#include <QVector>

#include <atomic>
#include <functional>

namespace velkora::database {
class Database;
}

namespace velkora::search {

// The index is part of the book's layout: a full-text table (FTS4, the program's own tokenizer)
// holding each subtopic's title and the text of its body, kept by triggers in the same transaction
// as every change of a subtopic (a save, a rename, a delete, a topic deleted with its subtopics),
// and a table of how far its first filling has come. Registers that part with the engine, with the
// tokenizer and the body-text function every connection needs. Call once at start, before a book
// is opened.
void installSearchIndex();

struct IndexState
{
    bool present = false;  // the book holds the index's part
    bool built = false;    // every subtopic that was in the book when it was made has been filled in
    qint64 subtopics = 0;  // in the book
    qint64 indexed = 0;    // in the index
};
// Without `counted`, the two counts are left at 0: counting reads every subtopic's row, which on a
// large book takes a noticeable while.
IndexState indexState(const database::Database &db, bool counted = true);
// Whether the book holds the index's part (quick: counts nothing).
bool holdsIndex(const database::Database &db);

// Gives a book without an index its part, in one transaction (nothing when another program made it
// meanwhile). The triggers keep it from then on; fillIndex fills in what was there before.
void createIndex(database::Database &db);

// Fills in the subtopics the index does not hold yet, a batch at a time, each batch a transaction of
// its own, so the program (and another program on the same book) goes on meanwhile and a kill loses
// at most one batch. progress(done, total) is told after each batch; returning false stops. Returns
// true when the index is whole.
inline constexpr int FillBatch = 200;
inline constexpr qint64 FillBatchBytes = 4 << 20; // of RTF
bool fillIndex(database::Database &db, const std::function<bool(qint64 done, qint64 total)> &progress = {});

struct SearchResult
{
    qint64 subtopic = 0; // detail's key
    qint64 topic = 0;    // the topic's Sira
    QString topicTitle, subtopicTitle;
    int hits = 0;
    double score = 0;
    Snippet snippet;      // of the body (or of the title when the body has no hit)
    QString firstHitText; // the words of the first hit in the body, as written there
};

// The best `limit` subtopics for the query, best first (title hits weigh more than body hits).
QVector<SearchResult> searchBook(const database::Database &db, const Query &query, int limit = 50);

// How the index disagrees with the bodies: a subtopic missing from it or held with other text.
QStringList checkIndex(const database::Database &db);

} // namespace velkora::search
