// Reading the counting index's lists of subtopics straight from its storage.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

struct sqlite3;

namespace velkora::search {

// One subtopic that uses a term: how often in its title and in its body.
struct TermUse
{
    qint64 subtopic = 0;
    quint32 title = 0, body = 0;
};

// The subtopics the index `table` (an FTS4 table whose tokenizer counts, see registerTokenizer)
// holds for the term, or for every term that begins with it (`prefix`), into `out`, subtopics
// ascending; a subtopic using several terms of a prefix has their counts added. (`out` is the
// caller's so that its room serves the next term: a common term's list is megabytes.)
//
// The full-text module would hand these over a row at a time, each row a step of a statement:
// on a large book a common word is in nearly every subtopic, and those steps cost several times
// the reading. So the module's b-trees are read here directly (the segment and leaf layout of
// SQLite's FTS3/FTS4 file format), each segment's list for the term merged into the older ones'
// (a newer segment's entry replaces an older one's, an entry without counts takes the subtopic
// out). Only what is committed is read: call it outside a transaction that changed the index.
// Throws database::DatabaseError when the storage is not as the format says.
void termUses(sqlite3 *db, const QString &table, const QByteArray &term, bool prefix, std::vector<TermUse> &out);

// How many subtopics the index holds (kept by the module with the index).
qint64 indexedCount(sqlite3 *db, const QString &table);

} // namespace velkora::search
