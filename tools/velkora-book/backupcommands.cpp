// velkora-book backups, backup and restore.
#include "backupcommands.h"

#include "history/bookbackup.h"
#include "platform/database/databaseerror.h"

#include <QFileInfo>

#include <cstdio>

namespace velkora::tools {

int listBackupsCommand(const QString &book, const QString &password)
{
    if (!QFileInfo(book).isFile())
        throw database::DatabaseError(QStringLiteral("Could not find file '%1'.").arg(book));
    for (const history::BackupInfo &b : history::listBackups(history::backupFolderFor(book), QFileInfo(book).completeBaseName(), password, true)) {
        const QString counts = b.topics < 0 ? QStringLiteral("unreadable")
                                            : QStringLiteral("%1 topics, %2 subtopics").arg(b.topics).arg(b.subtopics);
        std::printf("%s\t%lld bytes\t%s\t%s\n", qPrintable(b.time.toString(Qt::ISODate)), static_cast<long long>(b.bytes),
                    qPrintable(counts), qPrintable(b.path));
    }
    return 0;
}

int backupCommand(const QString &book, const QString &password, const QString &folder)
{
    const QString into = folder.isEmpty() ? history::backupFolderFor(book) : folder;
    const QString written = history::writeBackup(book, password, into);
    history::rotateBackups(into, QFileInfo(book).completeBaseName());
    std::printf("%s\n", qPrintable(written));
    return 0;
}

int restoreCommand(const QString &backup, const QString &password, const QString &newBook)
{
    history::restoreBackup(backup, password, newBook);
    std::printf("%s\n", qPrintable(newBook));
    return 0;
}

} // namespace velkora::tools
