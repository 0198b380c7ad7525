// Backups of a book.
#include "bookbackup.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/sqlitestatement.h"
#include "platform/profile/profilefile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace velkora::history {

using database::Database;
using database::DatabaseError;

namespace {

constexpr int PagesPerStep = 256; // 1 MB of the book: a writer waits at most this long
const QString TimeFormat = QStringLiteral("yyyy-MM-dd-HHmmss");

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writableFolder(const QString &folder)
{
    profile::makePrivateFolder(folder);
    return QFileInfo(folder).isDir() && ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Copies the book at source into a new book at target (which must not exist) through the online
// backup, then checks the copy; the copy is removed on any failure.
void copyChecked(const QString &source, const QString &password, const QString &target, bool inUse,
                 const std::function<bool()> &keepGoing)
{
    const auto removeTarget = [&target] {
        for (const QString &f : QDir(QFileInfo(target).path()).entryList({QFileInfo(target).fileName() + u'*'}, QDir::Files | QDir::Hidden))
            QFile::remove(QFileInfo(target).dir().filePath(f));
    };
    try {
        Database::Options readOnly;
        readOnly.readOnly = true;
        // A book in use is opened as its writers open it, taking part in their locks and reading
        // their log: opened read-only while nobody seems to hold it, it would be read as a file
        // nobody changes, and a save of another program during the copy would tear it. A book that
        // cannot be written is opened read-only in any case.
        const std::unique_ptr<Database> from = Database::open(source, password, inUse ? Database::Options() : readOnly);
        Database::create(target, password);
        {
            const std::unique_ptr<Database> to = Database::open(target, password);
            // One read transaction over the whole copy: the backup copies that one state of the book,
            // in steps, while other programs go on writing (the book's log lets them), instead of
            // starting again after each of their saves.
            database::exec(from->handle(), "BEGIN");
            database::scalar(from->handle(), QStringLiteral("SELECT count(*) FROM sqlite_master"));
            sqlite3_backup *backup = sqlite3_backup_init(to->handle(), "main", from->handle(), "main");
            if (!backup)
                throw DatabaseError(database::sqliteMessage(to->handle(), sqlite3_errcode(to->handle())));
            int rc = SQLITE_OK;
            while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                if (keepGoing && !keepGoing()) {
                    sqlite3_backup_finish(backup);
                    throw DatabaseError(QStringLiteral("Yedekleme durduruldu."));
                }
                rc = sqlite3_backup_step(backup, PagesPerStep);
                if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                    QThread::msleep(20); // another program writes the book right now
            }
            sqlite3_backup_finish(backup);
            sqlite3_exec(from->handle(), "COMMIT", nullptr, nullptr, nullptr);
            if (rc != SQLITE_DONE)
                throw DatabaseError(database::sqliteMessage(to->handle(), rc));
        }
        if (keepGoing && !keepGoing())
            throw DatabaseError(QStringLiteral("Yedekleme durduruldu."));
        const std::unique_ptr<Database> copy = Database::open(target, password, readOnly);
        // The check of a large copy takes a while: a program that closes meanwhile stops it.
        struct Stop
        {
            const std::function<bool()> *keepGoing;
        } stop{&keepGoing};
        if (keepGoing)
            sqlite3_progress_handler(copy->handle(), 10000, [](void *p) { return (*static_cast<Stop *>(p)->keepGoing)() ? 0 : 1; }, &stop);
        const QStringList problems = copy->check();
        sqlite3_progress_handler(copy->handle(), 0, nullptr, nullptr);
        if (keepGoing && !keepGoing())
            throw DatabaseError(QStringLiteral("Yedekleme durduruldu."));
        if (!problems.isEmpty())
            throw DatabaseError(QStringLiteral("Kopya denetimden geçmedi: %1").arg(problems.join(QStringLiteral("; "))));
    } catch (...) {
        removeTarget();
        throw;
    }
}

// Gives the checked copy its name: never over an existing file. False (the copy kept) when the name
// is taken; throws, the copy removed, on any other failure.
bool putInPlace(const QString &temporary, const QString &final)
{
    if (::link(QFile::encodeName(temporary).constData(), QFile::encodeName(final).constData()) != 0) {
        if (errno == EEXIST)
            return false;
        const QString why = errnoText();
        QFile::remove(temporary);
        throw DatabaseError(QStringLiteral("'%1' cannot be written: %2.").arg(final, why));
    }
    ::unlink(QFile::encodeName(temporary).constData());
    syncFolder(QFileInfo(final).path());
    return true;
}

QString backupName(const QString &folder, const QString &bookName, const QDateTime &utc)
{
    return QDir(folder).filePath(QStringLiteral("%1-%2.mdb").arg(bookName, utc.toString(TimeFormat)));
}

QString partialName(const QString &final)
{
    const QFileInfo f(final);
    return f.dir().filePath(QStringLiteral(".%1.%2.partial").arg(f.fileName()).arg(::getpid()));
}

} // namespace

QString backupFolderFor(const QString &bookPath)
{
    const QFileInfo book(bookPath);
    const QString beside = book.absoluteDir().filePath(QStringLiteral("Yedekler"));
    if (writableFolder(beside))
        return beside;
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    const QByteArray hash = QCryptographicHash::hash(book.absoluteFilePath().toUtf8(), QCryptographicHash::Sha256).toHex().left(12);
    const QString own = QStringLiteral("%1/velkora/Yedekler/%2-%3").arg(data, book.completeBaseName(), QString::fromLatin1(hash));
    writableFolder(own);
    return own;
}

QString writeBackup(const QString &bookPath, const QString &password, const QString &folder, const std::function<bool()> &keepGoing)
{
    if (!writableFolder(folder))
        throw DatabaseError(QStringLiteral("The backup folder '%1' cannot be written.").arg(folder));
    const QString base = QFileInfo(bookPath).completeBaseName();
    // Named by the time it was taken, in UTC: the names sort in the order taken whatever the clocks
    // and time zones did meanwhile.
    QDateTime when = QDateTime::currentDateTimeUtc();
    const QString temporary = partialName(backupName(folder, base, when));
    copyChecked(bookPath, password, temporary, true, keepGoing);
    // A name taken (a backup of the same second by another program) moves on to the next second.
    for (int i = 0; i < 120; ++i, when = when.addSecs(1)) {
        const QString final = backupName(folder, base, when);
        if (putInPlace(temporary, final))
            return final;
    }
    QFile::remove(temporary);
    throw DatabaseError(QStringLiteral("No free name for a backup in '%1'.").arg(folder));
}

QList<BackupInfo> listBackups(const QString &folder, const QString &bookName, const QString &password, bool counted)
{
    const QRegularExpression name(QStringLiteral("^%1-(\\d{4}-\\d{2}-\\d{2}-\\d{6})\\.mdb$").arg(QRegularExpression::escape(bookName)));
    QList<BackupInfo> out;
    const QDir dir(folder);
    for (const QFileInfo &f : dir.entryInfoList({bookName + QStringLiteral("-*.mdb")}, QDir::Files)) {
        const QRegularExpressionMatch m = name.match(f.fileName());
        if (!m.hasMatch())
            continue;
        BackupInfo b;
        b.path = f.absoluteFilePath();
        QDateTime utc = QDateTime::fromString(m.captured(1), TimeFormat);
        utc.setTimeSpec(Qt::UTC);
        if (!utc.isValid())
            continue;
        b.time = utc.toLocalTime();
        b.bytes = f.size();
        if (counted) {
            try {
                Database::Options readOnly;
                readOnly.readOnly = true;
                const std::unique_ptr<Database> db = Database::open(b.path, password, readOnly);
                b.topics = database::scalar(db->handle(), QStringLiteral("SELECT count(*) FROM master"));
                b.subtopics = database::scalar(db->handle(), QStringLiteral("SELECT count(*) FROM detail"));
            } catch (const DatabaseError &) {
                // listed without its counts
            }
        }
        out.append(b);
    }
    std::sort(out.begin(), out.end(), [](const BackupInfo &a, const BackupInfo &b) { return a.time > b.time; });
    return out;
}

QStringList rotateBackups(const QString &folder, const QString &bookName, const QDateTime &now)
{
    QStringList removed;
    const QList<BackupInfo> all = listBackups(folder, bookName);
    QSet<QDate> days;
    for (int i = 0; i < all.size(); ++i) {
        const QDate day = all[i].time.date();
        const bool recentDay = day > now.date().addDays(-KeptDays) && !days.contains(day);
        if (recentDay)
            days.insert(day);
        if (i < KeptLatest || recentDay)
            continue;
        if (QFile::remove(all[i].path))
            removed << all[i].path;
    }
    // What a backup cut short left (a kill, a power cut), the partial copy and its log: an hour old, it is no backup
    // still being written.
    const QDir dir(folder);
    for (const QFileInfo &f : dir.entryInfoList({u'.' + bookName + QStringLiteral("-*.partial*")}, QDir::Files | QDir::Hidden))
        if (f.lastModified() < now.addSecs(-3600) && QFile::remove(f.absoluteFilePath()))
            removed << f.absoluteFilePath();
    return removed;
}

void restoreBackup(const QString &backup, const QString &password, const QString &newPath)
{
    if (QFileInfo::exists(newPath) || QFileInfo(newPath).isSymLink())
        throw DatabaseError(QStringLiteral("The file '%1' already exists; a restored book is never written over it.").arg(newPath));
    const QString temporary = partialName(newPath);
    copyChecked(backup, password, temporary, false, nullptr);
    putInPlace(temporary, newPath);
}

} // namespace velkora::history
