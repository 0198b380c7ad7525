// Backups of a book: whole copies made through SQLite's online backup, encrypted as the book is,
// checked before they count, kept in rotation.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace velkora::history {

// "Yedekler" beside the book; where that folder cannot be made or written, a folder of its own in
// the per-user data folder ($XDG_DATA_HOME/velkora/Yedekler/<book name>-<hash of its path>). Made
// (0700) when missing.
QString backupFolderFor(const QString &bookPath);

// Writes a backup of the book into folder under a name of its date and time, and returns its path.
// The copy is made on a connection of its own, a few pages at a time, so writers of the book wait
// at most for one step; it is made under a hidden name, readable by the user alone, checked as
// `velkora-book check` checks a book, and only then given its name. A failure (a damaged book, a
// full disk, a missing folder) throws DatabaseError and leaves nothing of the copy and every
// earlier backup as it was. keepGoing, asked between steps, may stop it (nothing is left then).
QString writeBackup(const QString &bookPath, const QString &password, const QString &folder,
                    const std::function<bool()> &keepGoing = nullptr);

struct BackupInfo
{
    QString path;
    QDateTime time;
    qint64 bytes = 0;
    qint64 topics = -1, subtopics = -1; // -1: not counted, or the backup could not be opened
};

// The backups of the book named bookName ("Data" for Data.mdb) in folder, newest first; with
// counted, each opened read-only to count its topics and subtopics. Backups are named by their
// time in UTC ("Data-2026-12-11-093015.mdb"); times are given in local time.
QList<BackupInfo> listBackups(const QString &folder, const QString &bookName, const QString &password = QString(),
                              bool counted = false);

// Keeps the latest KeptLatest backups of the book and the newest of each of the last KeptDays days
// (local days); removes its others and what a backup of it cut short left behind. Other files in
// the folder, other books' backups included, are left alone. Returns the removed files.
inline constexpr int KeptLatest = 10;
inline constexpr int KeptDays = 30;
QStringList rotateBackups(const QString &folder, const QString &bookName, const QDateTime &now = QDateTime::currentDateTime());

// Writes a checked copy of a backup (or any book) to a new file; never replaces an existing file.
// Throws DatabaseError naming the reason.
void restoreBackup(const QString &backup, const QString &password, const QString &newPath);

} // namespace velkora::history
