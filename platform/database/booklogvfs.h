// A thin layer over SQLite's own file system that names a book's write-ahead log and rollback
// journal after the book itself, so that a log left beside it by another book is never replayed.
#pragma once

#include <QString>
#include <QByteArray>
#include <QStringList>

struct sqlite3_file;

namespace velkora::database {

// The name of the file-system layer books are opened through, registered on first use.
// A book's log is "<book>-wal.<salt>" and its journal "<book>-journal.<salt>", where the salt is
// the random 16 bytes an encrypted book keeps in the clear at its start ("new" while the file is
// still empty). Two books, or a book and a log copied in from elsewhere, therefore never share a
// log: SQLite's plain "<book>-wal" and "<book>-journal" are not looked at at all.
const char *bookLogVfsName();

// The log and journal files beside a book that are not its own (the plain names SQLite would have
// used, or ones carrying another book's salt); such files are left alone and named to the user.
QStringList strayLogFiles(const QString &bookPath);

// The log file a book uses now, for tests and diagnostics.
QString bookLogPath(const QString &bookPath);

// Reads a book file through SQLite's own file layer. On this system closing any descriptor of a
// file drops every lock the process holds on it, so a book another connection of this process has
// open is never opened and closed behind SQLite's back: SQLite keeps such a descriptor open until
// its locks are gone. Reads past the end give fewer bytes.
class BookFileReader
{
public:
    explicit BookFileReader(const QString &path);
    ~BookFileReader();
    BookFileReader(const BookFileReader &) = delete;
    BookFileReader &operator=(const BookFileReader &) = delete;

    bool isOpen() const { return m_file != nullptr; }
    qint64 size() const;
    QByteArray read(qint64 offset, qint64 bytes) const;

private:
    struct sqlite3_file *m_file = nullptr;
    QByteArray m_name;
};

// The process other than this one that holds a lock on the book or on its log's index, where the
// system tells (from /proc/locks): "process 1234 (velkora)"; empty when none. A writer is named
// before a reader.
QString otherLockHolder(const QString &bookPath);

} // namespace velkora::database
