// A thin layer over SQLite's own file system that names a book's write-ahead log and rollback
// journal after the book itself, so that a log left beside it by another book is never replayed.
#pragma once

#include <QString>
#include <QStringList>

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

} // namespace velkora::database
