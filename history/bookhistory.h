// Earlier versions of the book's subtopics, and what was deleted, kept inside the book.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace velkora::database {
class Database;
}

namespace velkora::history {

// The history's part of the book's layout; registered at start, as the full-text index is.
void installBookHistory();

// Whether the book holds a history; a book without one gets it from createHistory (the program
// does so when it opens a book it may write).
bool holdsHistory(const database::Database &db);
void createHistory(database::Database &db);

// A book keeps history unless it was switched off for it (kept in the book).
bool historyEnabled(const database::Database &db);
void setHistoryEnabled(database::Database &db, bool on);

// How many versions of one subtopic are kept, and the share of the book's size all history may take.
inline constexpr int VersionsKept = 50;
inline constexpr int ShareOfBook = 4; // a quarter

enum class Kind { Changed = 0, DeletedSubtopic = 1, DeletedTopic = 2 };

// One entry: an earlier version of a subtopic (its title and body before a save changed them), a
// deleted subtopic, or a deleted topic (its title; its subtopics have entries of their own).
struct Entry
{
    qint64 id = 0;
    Kind kind = Kind::Changed;
    QDateTime time; // local time of the change
    qint64 topic = 0;
    QString topicTitle;
    qint64 subtopic = 0;
    QString title;
    qint64 size = 0; // bytes of title and body
};

// The versions of a subtopic, newest first.
QList<Entry> versionsOf(const database::Database &db, qint64 subtopic);
// Deleted subtopics and topics, newest first.
QList<Entry> deletedEntries(const database::Database &db);
// A kept body as stored (RTF or text); empty when there is no such entry.
QString bodyOf(const database::Database &db, qint64 id);
// The subtopics deleted together with a deleted topic (in the same change).
QList<Entry> deletedWith(const database::Database &db, qint64 topicEntry);

// Brings a deleted subtopic back under its topic, or under the topic "Geri Getirilenler" when its
// topic is gone (made when missing); a deleted topic comes back with the subtopics deleted with it.
// Its entries leave the list of deleted ones. One transaction. Returns the topic's key.
qint64 restoreDeleted(database::Database &db, qint64 id);
inline const char *const RestoredTopicTitle = "Geri Getirilenler";

// Problems of the history: its byte count against its entries, entries over the limits.
QStringList checkHistory(const database::Database &db);

} // namespace velkora::history
