// The book file among other files: logs that belong to other books, read-only books, things that
// are not files, damaged and foreign files told apart, a changed layout, and what is left on disk.
#include "platform/database/booklogvfs.h"
#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/selectstatement.h"
#include "support/bookfixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velkora::database;
using velkora::testing::BookFixture;
using velkora::testing::BookPassword;

namespace {

QString openError(const QString &path, int busyMs = 5000)
{
    try {
        Database::Options options;
        options.busyTimeoutMs = busyMs;
        Database::open(path, BookPassword, options);
    } catch (const DatabaseError &e) {
        return e.message();
    }
    return QString();
}

QStringList topicTitles(const Database &db)
{
    const ResultSet rs = db.select(SelectStatement::parse(QStringLiteral("SELECT * FROM master ORDER BY Sira")), {});
    QStringList out;
    for (const Row &r : rs.rows)
        out.append(r.values[rs.table.columnIndex(u"Baslik")].toString());
    return out;
}

// Every file of a folder with a digest of its bytes, so a test can see that nothing was written.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> out;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::ReadOnly);
        out.insert(name, QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1));
    }
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// Another process that opens the book, runs sql (taking a lock) and holds it until end().
struct OtherProgram
{
    OtherProgram(const BookFixture &book, const char *sql)
    {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            auto db = book.open();
            sqlite3_exec(db->handle(), sql, nullptr, nullptr, nullptr);
            (void)!write(ready[1], "x", 1);
            sleep(30);
            _exit(0);
        }
        char c;
        (void)!read(ready[0], &c, 1);
        close(ready[0]);
        close(ready[1]);
    }
    ~OtherProgram() { end(); }
    void end()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    pid_t pid = -1;
};

void addTopic(Database &db, const QString &title)
{
    const TableInfo &master = db.table(u"master");
    db.insert(master, {{master.columnIndex(u"Baslik"), title}});
}

} // namespace

TEST(BookFiles, ALogOrJournalOfAnotherBookIsNeverReplayedIntoThisOne)
{
    BookFixture mine({{QStringLiteral("Benim"), {}}});
    BookFixture other({{QStringLiteral("Öteki"), {}}});

    // The other book is written to while its log is kept open and unemptied, as a running
    // program's is; its log is then copied beside this book under the names a log could have.
    auto writer = other.open();
    ASSERT_EQ(sqlite3_exec(writer->handle(), "PRAGMA wal_autocheckpoint = 0", nullptr, nullptr, nullptr), SQLITE_OK);
    for (int i = 0; i < 50; ++i)
        addTopic(*writer, QStringLiteral("Yabancı %1").arg(i));
    const QString otherLog = bookLogPath(other.path());
    const QByteArray foreignLog = readFile(otherLog);
    ASSERT_GT(foreignLog.size(), 4096) << otherLog.toStdString();
    writeFile(mine.path() + QStringLiteral("-wal"), foreignLog);
    writeFile(mine.path() + QStringLiteral("-wal.") + QFileInfo(otherLog).suffix(), foreignLog);

    // A hot rollback journal of a third book, left by a writer that died inside a transaction
    // after some of its pages had already reached that book's file.
    BookFixture third({{QStringLiteral("Üçüncü"), {}}});
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(third.path()).constData(), &db, SQLITE_OPEN_READWRITE, bookLogVfsName()), SQLITE_OK);
        const QByteArray key = BookPassword.toUtf8();
        sqlite3_key(db, key.constData(), int(key.size()));
        sqlite3_exec(db, "PRAGMA cipher_page_size = 4096; PRAGMA journal_mode = DELETE; PRAGMA cache_size = 1", nullptr, nullptr, nullptr);
        const pid_t child = fork();
        if (child == 0) {
            sqlite3_exec(db, "BEGIN; INSERT INTO master (Baslik) SELECT hex(randomblob(100)) FROM detail;", nullptr, nullptr, nullptr);
            for (int i = 0; i < 200; ++i)
                sqlite3_exec(db, "INSERT INTO master (Baslik) VALUES (hex(randomblob(120)))", nullptr, nullptr, nullptr);
            _exit(0); // no commit, no rollback: the journal stays hot
        }
        int status = 0;
        waitpid(child, &status, 0);
        sqlite3_close(db);
    }
    const QDir thirdFolder(third.folder());
    const QStringList journals = thirdFolder.entryList({QStringLiteral("Data.mdb-journal*")}, QDir::Files);
    ASSERT_EQ(journals.size(), 1);
    writeFile(mine.path() + QStringLiteral("-journal"), readFile(thirdFolder.filePath(journals[0])));

    const auto before = snapshot(mine.folder());
    {
        auto db = mine.open();
        EXPECT_EQ(topicTitles(*db), QStringList{QStringLiteral("Benim")});
        EXPECT_EQ(db->strayLogs().size(), 3) << db->strayLogs().join(u' ').toStdString();
        addTopic(*db, QStringLiteral("Sonra"));
        EXPECT_TRUE(db->check().isEmpty()) << db->check().join(u'\n').toStdString();
    }
    // The foreign files are as they were; the book still opens, holds its own and passes the check.
    const auto after = snapshot(mine.folder());
    for (const QString &name : {QStringLiteral("Data.mdb-wal"), QStringLiteral("Data.mdb-journal")})
        EXPECT_EQ(after.value(name), before.value(name)) << name.toStdString();
    auto again = mine.open();
    EXPECT_EQ(topicTitles(*again), (QStringList{QStringLiteral("Benim"), QStringLiteral("Sonra")}));
    EXPECT_TRUE(again->check().isEmpty());
    // The other book keeps its own log and its own writes.
    writer.reset();
    EXPECT_EQ(topicTitles(*other.open()).size(), 51);
}

TEST(BookFiles, ANormalCloseLeavesNoLogAndTheFilesAreTheUsersAlone)
{
    BookFixture book({{QStringLiteral("Konu"), {}}});
    EXPECT_EQ(QFileInfo(book.path()).permissions() & (QFile::ReadOther | QFile::ReadGroup | QFile::WriteOther), 0);
    {
        auto db = book.open();
        addTopic(*db, QStringLiteral("İkinci"));
        const QString log = bookLogPath(book.path());
        ASSERT_TRUE(QFileInfo::exists(log));
        struct stat status = {};
        ASSERT_EQ(::stat(QFile::encodeName(log).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0077, 0u) << std::oct << status.st_mode;
        ASSERT_EQ(::stat(QFile::encodeName(book.path() + QStringLiteral("-shm")).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0077, 0u) << std::oct << status.st_mode;
    }
    EXPECT_EQ(QDir(book.folder()).entryList(QDir::Files), QStringList{QStringLiteral("Data.mdb")});
}

TEST(BookFiles, AReadOnlyBookIsReadAndNothingIsWrittenBesideIt)
{
    BookFixture book({{QStringLiteral("Okunur"), {}}});
    // A book in rollback-journal mode, with garbage where a log and its index would be.
    {
        auto db = book.open();
        ASSERT_EQ(sqlite3_exec(db->handle(), "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    writeFile(book.path() + QStringLiteral("-wal"), QByteArray(5000, 'w'));
    writeFile(book.path() + QStringLiteral("-shm"), QByteArray(5000, 's'));
    const auto before = snapshot(book.folder());
    {
        Database::Options options;
        options.readOnly = true;
        auto db = Database::open(book.path(), BookPassword, options);
        EXPECT_TRUE(db->isReadOnly());
        EXPECT_EQ(topicTitles(*db), QStringList{QStringLiteral("Okunur")});
        EXPECT_TRUE(db->check().isEmpty()) << db->check().join(u'\n').toStdString();
        EXPECT_THROW(addTopic(*db, QStringLiteral("Yeni")), DatabaseError);
    }
    EXPECT_EQ(snapshot(book.folder()), before);

    // A file nobody may write is opened read-only, also for a user the system would let write it;
    // in log mode too, nothing is made beside it.
    ASSERT_TRUE(QFile::remove(book.path() + QStringLiteral("-wal")));
    ASSERT_TRUE(QFile::remove(book.path() + QStringLiteral("-shm")));
    {
        auto db = book.open();
        ASSERT_EQ(sqlite3_exec(db->handle(), "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ASSERT_TRUE(QFile::setPermissions(book.path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const auto locked = snapshot(book.folder());
    {
        auto db = book.open();
        EXPECT_TRUE(db->isReadOnly());
        EXPECT_EQ(topicTitles(*db), QStringList{QStringLiteral("Okunur")});
    }
    EXPECT_EQ(snapshot(book.folder()), locked);
}

TEST(BookFiles, WhatIsNotABookIsToldApartAtOnce)
{
    QTemporaryDir dir;
    const auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    QElapsedTimer timer;
    timer.start();

    ASSERT_EQ(mkfifo(QFile::encodeName(at("fifo.mdb")).constData(), 0600), 0);
    EXPECT_TRUE(openError(at("fifo.mdb")).contains(QStringLiteral("not a regular file")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.mdb")));
    EXPECT_TRUE(openError(at("folder.mdb")).contains(QStringLiteral("is a folder")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), at("device.mdb")));
    EXPECT_TRUE(openError(at("device.mdb")).contains(QStringLiteral("not a regular file")));
    EXPECT_LT(timer.elapsed(), 5000);

    writeFile(at("zero.mdb"), QByteArray(8192, '\0'));
    EXPECT_TRUE(openError(at("zero.mdb")).contains(QStringLiteral("only zero bytes")));
    writeFile(at("short.mdb"), QByteArray(100, 'x'));
    EXPECT_TRUE(openError(at("short.mdb")).contains(QStringLiteral("only 100 bytes")));
    QByteArray noise(16384, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    writeFile(at("random.mdb"), noise);
    const QString random = openError(at("random.mdb"));
    EXPECT_TRUE(random.startsWith(QStringLiteral("Not a valid password."))) << random.toStdString();
    EXPECT_TRUE(random.contains(QStringLiteral("not a Velkora book file")));
    // A link to such a file is judged by what it points at.
    ASSERT_TRUE(QFile::link(at("random.mdb"), at("link.mdb")));
    EXPECT_TRUE(openError(at("link.mdb")).contains(QStringLiteral("not a Velkora book file")));
}

TEST(BookFiles, ADamagedBookNamesWhereItIsDamaged)
{
    std::vector<velkora::testing::TopicSpec> topics;
    for (int i = 0; i < 30; ++i)
        topics.push_back({QStringLiteral("Konu %1").arg(i), {{QStringLiteral("Alt"), QString(3000, u'ş')}}});
    BookFixture book(topics);
    const QByteArray good = readFile(book.path());
    ASSERT_GT(good.size(), 10 * 4096);

    QByteArray header = good;
    header[200] = char(header[200] ^ 0x55);
    writeFile(book.path(), header);
    const QString message = openError(book.path());
    EXPECT_TRUE(message.contains(QStringLiteral("header (page 1)"))) << message.toStdString();

    QByteArray inside = good;
    inside[5 * 4096 + 300] = char(inside[5 * 4096 + 300] ^ 0x01);
    writeFile(book.path(), inside);
    {
        Database::Options options;
        options.readOnly = true;
        const QStringList problems = Database::open(book.path(), BookPassword, options)->check();
        EXPECT_TRUE(problems.contains(QStringLiteral("page 6 is damaged"))) << problems.join(u'\n').toStdString();
    }

    writeFile(book.path(), good.left(good.size() - 100));
    const QString cut = [&] {
        try {
            Database::Options options;
            options.readOnly = true;
            return Database::open(book.path(), BookPassword, options)->check().join(u'\n');
        } catch (const DatabaseError &e) {
            return e.message();
        }
    }();
    EXPECT_TRUE(cut.contains(QStringLiteral("inside page"))) << cut.toStdString();
}

TEST(BookFiles, ABookLockedByAnotherProgramNamesIt)
{
    BookFixture book;
    OtherProgram other(book, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;");
    const pid_t child = other.pid;
    const QString message = openError(book.path(), 200);
    other.end();
    EXPECT_TRUE(message.contains(QStringLiteral("cannot open the file"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("process %1").arg(child))) << message.toStdString();
}

TEST(BookFiles, ALayoutThatIsNotTheProgramsOwnIsReportedAndRefused)
{
    const std::pair<const char *, const char *> changes[] = {
        {"CREATE TRIGGER wipe AFTER UPDATE ON master BEGIN DELETE FROM master; END", "trigger wipe"},
        {"CREATE VIEW everything AS SELECT * FROM detail", "view everything"},
        {"CREATE INDEX extra ON master(Baslik)", "index extra"},
        {"ALTER TABLE master ADD COLUMN Gizli TEXT", "table master"},
        {"DROP INDEX detail_sira_altkonu", "index detail_sira_altkonu"},
    };
    for (const auto &[statement, named] : changes) {
        SCOPED_TRACE(statement);
        BookFixture book({{QStringLiteral("Konu"), {}}});
        {
            auto db = book.open();
            ASSERT_EQ(sqlite3_exec(db->handle(), statement, nullptr, nullptr, nullptr), SQLITE_OK);
            const QString problems = db->check().join(u'\n');
            EXPECT_TRUE(problems.contains(QLatin1String(named))) << problems.toStdString();
        }
        const QString message = openError(book.path());
        EXPECT_TRUE(message.contains(QStringLiteral("not Velkora's own"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QLatin1String(named))) << message.toStdString();
    }
}

TEST(BookFiles, SavingWhileAnotherProgramWritesSaysWhoItWaitsFor)
{
    BookFixture book({{QStringLiteral("Konu"), {}}});
    OtherProgram other(book, "BEGIN IMMEDIATE");
    const pid_t child = other.pid;
    QStringList waits;
    Database::setWaitObserver([&](const QString &path, const QString &holder) { waits << path + u'|' + holder; });
    Database::Options options;
    options.busyTimeoutMs = 300;
    auto db = Database::open(book.path(), BookPassword, options);
    QElapsedTimer timer;
    timer.start();
    EXPECT_THROW(addTopic(*db, QStringLiteral("Bekleyen")), DatabaseError);
    const qint64 waited = timer.elapsed();
    Database::setWaitObserver(nullptr);
    other.end();
    EXPECT_GE(waited, 250);
    ASSERT_EQ(waits.size(), 1);
    EXPECT_TRUE(waits[0].startsWith(book.path() + QStringLiteral("|process %1 (").arg(child))) << waits[0].toStdString();
    // Once the other program is gone the same save goes through.
    addTopic(*db, QStringLiteral("Bekleyen"));
    EXPECT_EQ(topicTitles(*db).size(), 2);
}

TEST(BookFiles, LookingAtAnOpenBookKeepsTheLocksItsConnectionHolds)
{
    // Closing any descriptor of a file drops all of this process's locks on it: the program's own
    // looks at the book (its salt, its pages, its logs, another window on it) must not do that,
    // or a second program would take the book for unused and remove its log.
    BookFixture book({{QStringLiteral("Konu"), {}}});
    const auto locksHeld = [&] {
        struct stat main = {}, index = {};
        ::stat(QFile::encodeName(book.path()).constData(), &main);
        ::stat(QFile::encodeName(book.path() + QStringLiteral("-shm")).constData(), &index);
        QFile f(QStringLiteral("/proc/locks"));
        f.open(QIODevice::ReadOnly);
        int n = 0;
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QList<QByteArray> p = line.simplified().split(' ');
            if (p.size() < 8 || p[1] == "->" || p[4].toLongLong() != ::getpid())
                continue;
            const qulonglong inode = p[5].split(':').value(2).toULongLong();
            n += inode == main.st_ino || inode == index.st_ino;
        }
        return n;
    };
    auto db = book.open();
    ASSERT_EQ(sqlite3_exec(db->handle(), "BEGIN; SELECT count(*) FROM master;", nullptr, nullptr, nullptr), SQLITE_OK);
    const int before = locksHeld();
    ASSERT_GT(before, 0);
    EXPECT_TRUE(strayLogFiles(book.path()).isEmpty());
    EXPECT_FALSE(bookLogPath(book.path()).isEmpty());
    EXPECT_TRUE(otherLockHolder(book.path()).isEmpty()); // this process's own locks name no one
    {
        auto second = book.open(); // another window of this program
        EXPECT_TRUE(second->check().isEmpty()); // every page read, through SQLite's layer
    }
    EXPECT_EQ(locksHeld(), before);
    sqlite3_exec(db->handle(), "COMMIT", nullptr, nullptr, nullptr);
}

namespace {

// A small file system of the test's own (tmpfs), unmounted at the end; empty path when this machine
// does not let the test mount one.
struct SmallDisk
{
    SmallDisk()
    {
        if (::geteuid() != 0)
            return;
        const QByteArray target = QFile::encodeName(dir.path());
        QProcess mount;
        mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                              QStringLiteral("size=4m,mode=0700"), QStringLiteral("tmpfs"), dir.path()});
        if (mount.waitForFinished(10000) && mount.exitCode() == 0)
            path = dir.path();
    }
    ~SmallDisk()
    {
        if (!path.isEmpty())
            QProcess::execute(QStringLiteral("umount"), {path});
    }
    // Writes a filler file until the disk is full.
    void fill()
    {
        QFile filler(QDir(path).filePath(QStringLiteral("dolgu")));
        filler.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    QTemporaryDir dir;
    QString path;
};

} // namespace

// With the book's disk full, opening the book for writing names the real cause and leaves nothing
// beside it; once there is room again the book opens as before.
TEST(BookFiles, ABookOnAFullDiskIsNamedAsSuchAndNothingIsLeftBesideIt)
{
    SmallDisk disk;
    if (disk.path.isEmpty())
        GTEST_SKIP() << "a small file system cannot be mounted here (needs root)";
    const QString path = QDir(disk.path).filePath(QStringLiteral("Data.mdb"));
    Database::create(path, BookPassword);
    {
        auto db = Database::open(path, BookPassword);
        addTopic(*db, QStringLiteral("Dolu disk"));
    }
    disk.fill();
    const QStringList before = QDir(disk.path).entryList(QDir::Files | QDir::Hidden);
    const QString error = openError(path);
    EXPECT_TRUE(error.contains(QStringLiteral("not enough space on the disk"), Qt::CaseInsensitive)) << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("Unrecognized"))) << error.toStdString();
    EXPECT_EQ(QDir(disk.path).entryList(QDir::Files | QDir::Hidden), before);
    QFile::remove(QDir(disk.path).filePath(QStringLiteral("dolgu")));
    EXPECT_EQ(topicTitles(*Database::open(path, BookPassword)), (QStringList{QStringLiteral("Dolu disk")}));
}
