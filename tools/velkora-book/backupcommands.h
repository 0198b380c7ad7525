// velkora-book backups, backup and restore: a book's backups from the command line.
#pragma once

#include <QString>

namespace velkora::tools {

// Lists the book's backups, newest first: date and time, size, topics and subtopics, path.
int listBackupsCommand(const QString &book, const QString &password);
// Writes a backup now, into folder or the book's backup folder, rotating the old ones; prints its path.
int backupCommand(const QString &book, const QString &password, const QString &folder);
// Writes a checked copy of a backup to a new book file; never replaces an existing file.
int restoreCommand(const QString &backup, const QString &password, const QString &newBook);

} // namespace velkora::tools
