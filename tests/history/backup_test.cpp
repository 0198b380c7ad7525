// Backups of a book: checked, encrypted copies readable by the user alone, consistent while another
// program writes, never half counted after a kill, kept in rotation, refused for a damaged book,
// restored only to a new file; and velkora-book's commands for them.
#include "history/bookbackup.h"
#include "history/bookhistory.h"
#include "platform/database/databaseerror.h"
#include "platform/database/sqlitestatement.h"
#include "search/searchindex.h"
#include "support/bookfixture.h"
#include "support/killwhilesaving.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace velkora;
using namespace velkora::testing;

namespace {

std::vector<TopicSpec> bookOf(int subtopics, int bodyBytes)
{
    std::vector<SubtopicSpec> subs;
    for (int i = 0; i < subtopics; ++i)
        subs.push_back({QStringLiteral("Altkonu %1").arg(i),
                        QStringLiteral("{\\rtf1 gizlimetin%1 ").arg(i) + QString(bodyBytes, u'k') + u'}'});
    return {{QStringLiteral("Konu"), subs}};
}

qint64 countIn(const QString &path, const char *sql)
{
    database::Database::Options readOnly;
    readOnly.readOnly = true;
    return database::scalar(database::Database::open(path, BookPassword, readOnly)->handle(), QString::fromLatin1(sql));
}

QStringList problemsOf(const QString &path)
{
    database::Database::Options readOnly;
    readOnly.readOnly = true;
    return database::Database::open(path, BookPassword, readOnly)->check();
}

void saveBody(database::Database &db, qint64 subtopic, const QString &body)
{
    const auto &detail = db.table(u"detail");
    const auto row = db.fetchRow(detail, subtopic);
    db.update(detail, subtopic, row->version, {{detail.columnIndex(u"Aciklama"), body}});
}

} // namespace

TEST(BookBackup, ABackupIsACheckedEncryptedCopyForTheUserAlone)
{
    history::installBookHistory();
    search::installSearchIndex();
    BookFixture book(bookOf(20, 2000));
    {
        auto db = book.open();
        history::createHistory(*db);
        search::createIndex(*db);
        saveBody(*db, 3, "{\\rtf1 yeni}");
    }
    const QString folder = history::backupFolderFor(book.path());
    EXPECT_EQ(folder, QDir(book.folder()).filePath("Yedekler"));
    const QString written = history::writeBackup(book.path(), BookPassword, folder);
    EXPECT_TRUE(written.startsWith(folder + "/Data-") && written.endsWith(".mdb")) << written.toStdString();
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(written).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(problemsOf(written).isEmpty());
    EXPECT_EQ(countIn(written, "SELECT count(*) FROM detail"), 20);
    EXPECT_EQ(countIn(written, "SELECT count(*) FROM history"), 1);
    // Nothing of a body in the clear, in the backup or beside it.
    for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(f.absoluteFilePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_FALSE(file.readAll().contains("gizlimetin")) << f.fileName().toStdString();
    }
    const QList<history::BackupInfo> listed = history::listBackups(folder, "Data", BookPassword, true);
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0].path, written);
    EXPECT_EQ(listed[0].topics, 1);
    EXPECT_EQ(listed[0].subtopics, 20);

    // Where "Yedekler" cannot be made beside the book (here a file of that name is in the way), the
    // per-user data folder takes the backups, in a folder of the book's name and path.
    BookFixture other(bookOf(1, 10));
    QFile inTheWay(QDir(other.folder()).filePath("Yedekler"));
    ASSERT_TRUE(inTheWay.open(QIODevice::WriteOnly));
    inTheWay.close();
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    const QString elsewhere = history::backupFolderFor(other.path());
    const QString written2 = history::writeBackup(other.path(), BookPassword, elsewhere);
    qunsetenv("XDG_DATA_HOME");
    EXPECT_TRUE(elsewhere.startsWith(data.path() + "/velkora/Yedekler/Data-")) << elsewhere.toStdString();
    EXPECT_NE(elsewhere, history::backupFolderFor(book.path()));
    EXPECT_TRUE(problemsOf(written2).isEmpty());
}

TEST(BookBackup, ABackupTakenWhileAnotherProgramWritesIsAConsistentBook)
{
    history::installBookHistory();
    BookFixture book(bookOf(200, 20'000));
    QTemporaryDir folder;
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        auto db = book.open();
        for (int i = 0;; ++i)
            saveBody(*db, 1 + i % 200, QStringLiteral("{\\rtf1 yazılan %1 ").arg(i) + QString(20'000, u'w') + u'}');
    }
    // The writer goes whatever the test does.
    const std::unique_ptr<void, std::function<void(void *)>> stopWriter(reinterpret_cast<void *>(1), [writer](void *) {
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
    });
    QStringList problems;
    for (int i = 0; i < 3; ++i) {
        const QString written = history::writeBackup(book.path(), BookPassword, folder.path());
        problems += problemsOf(written);
        EXPECT_EQ(countIn(written, "SELECT count(*) FROM detail"), 200);
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    EXPECT_TRUE(problemsOf(book.path()).isEmpty());
    EXPECT_GT(countIn(book.path(), "SELECT count(*) FROM detail WHERE Aciklama LIKE '%yaz%'"), 0); // it did write
}

TEST(BookBackup, AKillDuringABackupLeavesTheBookAndEveryBackupWhole)
{
    history::installBookHistory();
    BookFixture book(bookOf(300, 20'000));
    QTemporaryDir folder;
    const QString first = history::writeBackup(book.path(), BookPassword, folder.path());
    for (const useconds_t delay : {20'000u, 60'000u, 150'000u}) {
        killWhileSaving([&](int) { history::writeBackup(book.path(), BookPassword, folder.path()); }, delay);
        EXPECT_TRUE(problemsOf(book.path()).isEmpty());
        for (const history::BackupInfo &b : history::listBackups(folder.path(), "Data"))
            EXPECT_TRUE(problemsOf(b.path).isEmpty()) << b.path.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(first));
    // What the kills left is no backup, and rotation clears it once it is old.
    const QStringList left = QDir(folder.path()).entryList({".*.partial*"}, QDir::Files | QDir::Hidden);
    const QStringList removed = history::rotateBackups(folder.path(), "Data", QDateTime::currentDateTime().addSecs(7200));
    for (const QString &f : left)
        EXPECT_TRUE(removed.contains(QDir(folder.path()).filePath(f))) << f.toStdString();
}

TEST(BookBackup, RotationKeepsTheLatestTenAndOneADayForAMonth)
{
    QTemporaryDir folder;
    const QDateTime now(QDate(2026, 12, 11), QTime(12, 0));
    QStringList made;
    const auto make = [&](const QDateTime &t) {
        const QString path = QDir(folder.path()).filePath("Data-" + t.toUTC().toString("yyyy-MM-dd-HHmmss") + ".mdb");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        made << path;
    };
    for (int i = 0; i < 15; ++i)
        make(now.addSecs(-600 * i)); // fifteen today, ten minutes apart
    for (int day = 1; day <= 40; ++day) {
        make(now.addDays(-day));
        make(now.addDays(-day).addSecs(-3600));
    }
    // Another book's backups in the same folder, and a file of the person's, are not this book's.
    for (const char *other : {"Kitap-2026-01-01-000000.mdb", "Data-notlarim.mdb", "Kitap-2026-12-10-120000.mdb"}) {
        QFile f(QDir(folder.path()).filePath(other));
        f.open(QIODevice::WriteOnly);
    }
    history::rotateBackups(folder.path(), "Data", now);
    for (const char *other : {"Kitap-2026-01-01-000000.mdb", "Data-notlarim.mdb", "Kitap-2026-12-10-120000.mdb"})
        EXPECT_TRUE(QFileInfo::exists(QDir(folder.path()).filePath(other))) << other;
    EXPECT_EQ(history::listBackups(folder.path(), "Kitap").size(), 2);
    const QList<history::BackupInfo> kept = history::listBackups(folder.path(), "Data");
    // The ten latest (all of today), then the newest of each of the 29 days before today within 30 days.
    ASSERT_EQ(kept.size(), 10 + 29);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(kept[i].time, now.addSecs(-600 * i));
    for (int day = 1; day <= 29; ++day)
        EXPECT_EQ(kept[9 + day].time, now.addDays(-day));
}

TEST(BookBackup, ADamagedBookIsRefusedAndARestoreNeverReplacesAFile)
{
    history::installBookHistory();
    BookFixture book(bookOf(50, 5000));
    QTemporaryDir folder;
    const QString good = history::writeBackup(book.path(), BookPassword, folder.path());
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray goodBytes = file.readAll();
    file.close();

    // A page of the book damaged on the disk: no backup is made, the earlier one is untouched.
    QTemporaryDir damagedDir;
    const QString damaged = damagedDir.filePath("Data.mdb");
    ASSERT_TRUE(QFile::copy(book.path(), damaged));
    {
        QFile d(damaged);
        ASSERT_TRUE(d.open(QIODevice::ReadWrite));
        d.seek(4096 * 5 + 100);
        d.write(QByteArray(64, '\x55'));
    }
    EXPECT_THROW(history::writeBackup(damaged, BookPassword, folder.path()), database::DatabaseError);
    EXPECT_EQ(history::listBackups(folder.path(), "Data").size(), 1);
    EXPECT_TRUE(QDir(folder.path()).entryList({"*.partial*"}, QDir::Files | QDir::Hidden).isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), goodBytes);
    file.close();

    // Restoring: to a new file only, checked.
    QTemporaryDir target;
    const QString taken = target.filePath("Var.mdb");
    QFile existing(taken);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("kept");
    existing.close();
    EXPECT_THROW(history::restoreBackup(good, BookPassword, taken), database::DatabaseError);
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), "kept");
    const QString fresh = target.filePath("Yeni.mdb");
    history::restoreBackup(good, BookPassword, fresh);
    EXPECT_TRUE(problemsOf(fresh).isEmpty());
    EXPECT_EQ(countIn(fresh, "SELECT count(*) FROM detail"), 50);
    EXPECT_THROW(history::restoreBackup(damaged, BookPassword, target.filePath("Bozuk.mdb")), database::DatabaseError);
    EXPECT_FALSE(QFileInfo::exists(target.filePath("Bozuk.mdb")));
}

TEST(BookBackupTool, BackupBackupsAndRestoreFromTheCommandLine)
{
    BookFixture book(bookOf(5, 100));
    const auto run = [](const QStringList &args) {
        QProcess p;
        p.start(VELKORA_BOOK_TOOL, args);
        p.waitForFinished(60000);
        return std::pair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed());
    };
    const auto [made, path] = run({"backup", book.path()});
    EXPECT_EQ(made, 0);
    EXPECT_TRUE(path.startsWith(QDir(book.folder()).filePath("Yedekler/Data-"))) << path.toStdString();
    const auto [listed, lines] = run({"backups", book.path()});
    EXPECT_EQ(listed, 0);
    EXPECT_TRUE(lines.contains("1 topics, 5 subtopics") && lines.endsWith(path)) << lines.toStdString();
    EXPECT_EQ(run({"restore", path, book.path()}).first, 2); // never over a file
    const QString fresh = QDir(book.folder()).filePath("Geri.mdb");
    EXPECT_EQ(run({"restore", path, fresh}), std::pair(0, fresh));
    EXPECT_EQ(run({"check", fresh}), std::pair(0, QString("ok")));
    EXPECT_EQ(run({"backup", QDir(book.folder()).filePath("yok.mdb")}).first, 2);
}
