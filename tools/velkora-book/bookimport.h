// velkora-book import: an old Jet book carried over into a new book file.
#pragma once

#include "importsource.h"

#include <QString>
#include <QStringList>

namespace velkora::tools {

// The topic that takes the subtopics whose Sira names no topic.
inline const QString OrphanTopicTitle = QStringLiteral("Sahipsiz Alt Konular");

// Longest the reading process may take before the file is refused as one it cannot read: a base
// and a share for each MiB of the file. libmdb can go round in circles on a damaged file.
inline constexpr qint64 ReaderBaseTimeoutMs = 20'000;
inline constexpr qint64 ReaderTimeoutMsPerMiB = 1'000;

struct ImportSummary
{
    int topics = 0;    // topics carried over from `master`
    int subtopics = 0; // subtopics carried over from `detail`, orphans included
    int orphans = 0;   // of those, the ones put under OrphanTopicTitle
    QStringList notes; // what was left out on purpose (columns the book has no place for)
};

// "N konu, M alt konu", and how many subtopics had no topic.
QString summaryLine(const ImportSummary &summary);

// Writes the book read from oldPath as a new book at newPath, keyed with password: every topic
// keeps its Sira and title, every subtopic its topic, title and body, in the source's order;
// subtopics whose Sira names no topic go under a topic of their own at the end. The book is made
// under a temporary name beside newPath, checked, and only then given its name; newPath is never
// replaced. Throws DatabaseError, writing nothing at newPath, when the source is not shaped like
// a book (naming the tables or columns it lacks) or the new book cannot be written.
ImportSummary writeImportedBook(const SourceBook &source, const QString &oldPath, const QString &newPath,
                                const QString &password);

// The whole import: oldPath is read by `readerProgram read-jet oldPath` in a process of its own
// (velkora-book itself), then written as above. A reader that crashes, hangs past its
// time or hands over garbage makes a DatabaseError saying the file cannot be read.
ImportSummary importBook(const QString &oldPath, const QString &newPath, const QString &password,
                         const QString &readerProgram);

} // namespace velkora::tools
