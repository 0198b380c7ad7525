// velkora-book import: the old book's rows written into a new book file under a temporary name,
// checked, then renamed into place.
#include "bookimport.h"

#include "booktool.h"

#include "platform/database/booklogvfs.h"
#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace velkora::tools {

using database::DatabaseError;

QString summaryLine(const ImportSummary &summary)
{
    QString line = QStringLiteral("%1 konu, %2 alt konu").arg(summary.topics).arg(summary.subtopics);
    if (summary.orphans > 0)
        line += QStringLiteral(" (%1 sahipsiz alt konu \"%2\" konusuna alındı)").arg(summary.orphans).arg(OrphanTopicTitle);
    return line;
}

namespace {

// The shape a source must have, as one message naming all that is missing.
void requireBookShape(const SourceBook &source, const QString &oldPath, ImportSummary *summary)
{
    struct Wanted
    {
        QString table;
        QStringList columns;
    };
    const Wanted wanted[] = {{QStringLiteral("master"), {QStringLiteral("Sira"), QStringLiteral("Baslik")}},
                             {QStringLiteral("detail"),
                              {QStringLiteral("Sira"), QStringLiteral("Altkonu"), QStringLiteral("Aciklama")}}};
    QStringList missing;
    for (const Wanted &w : wanted) {
        const SourceTable *table = source.table(w.table);
        if (!table) {
            missing.append(QStringLiteral("no table %1").arg(w.table));
            continue;
        }
        QStringList lacking;
        for (const QString &c : w.columns) {
            if (table->columnIndex(c) < 0)
                lacking.append(c);
        }
        if (!lacking.isEmpty())
            missing.append(QStringLiteral("table %1 has no column %2").arg(w.table, lacking.join(QStringLiteral(", "))));
        for (const QString &other : table->otherColumns)
            summary->notes.append(QStringLiteral("the column %1.%2 has no place in a Velkora book and was not carried over.")
                                      .arg(table->name, other));
    }
    if (missing.isEmpty())
        return;
    QString tables = source.tableNames.isEmpty() ? QStringLiteral("none") : source.tableNames.join(QStringLiteral(", "));
    throw DatabaseError(QStringLiteral("'%1' is a Jet file but not a book: %2. (Its tables: %3.)")
                            .arg(oldPath, missing.join(QStringLiteral("; ")), tables));
}

void checkTitle(const SourceValue &title, const QString &what, qsizetype row, const QString &oldPath)
{
    if (!title)
        return;
    const qsizetype characters = title->toUcs4().size();
    if (characters > database::schema::TitleLength)
        throw DatabaseError(QStringLiteral("'%1': the title of %2 row %3 is %4 characters long; a book's titles hold at most %5. "
                                           "Shorten it in the old book and import again.")
                                .arg(oldPath, what)
                                .arg(row + 1)
                                .arg(characters)
                                .arg(database::schema::TitleLength));
}

std::optional<qint64> siraOf(const SourceValue &value)
{
    if (!value)
        return std::nullopt;
    bool ok = false;
    const qint64 sira = value->trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(sira) : std::nullopt;
}

// A prepared statement run row after row inside the import's one transaction.
class Insert
{
public:
    Insert(sqlite3 *db, const char *sql)
        : m_db(db)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK)
            fail();
    }
    ~Insert() { sqlite3_finalize(m_statement); }
    Insert(const Insert &) = delete;
    Insert &operator=(const Insert &) = delete;

    void bind(int index, qint64 value) { sqlite3_bind_int64(m_statement, index, value); }
    void bind(int index, const SourceValue &value)
    {
        if (!value) {
            sqlite3_bind_null(m_statement, index);
            return;
        }
        const QByteArray utf8 = value->toUtf8();
        sqlite3_bind_text64(m_statement, index, utf8.constData(), sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    void run()
    {
        if (sqlite3_step(m_statement) != SQLITE_DONE)
            fail();
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }

private:
    [[noreturn]] void fail() const
    {
        throw DatabaseError(QStringLiteral("The new book could not be written: %1.").arg(QString::fromUtf8(sqlite3_errmsg(m_db))));
    }
    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
};

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : "unknown error");
        sqlite3_free(error);
        throw DatabaseError(QStringLiteral("The new book could not be written: %1.").arg(message));
    }
}

void removeBookFiles(const QString &path)
{
    const QString log = database::bookLogPath(path);
    QString journal = log;
    journal.replace(path + QStringLiteral("-wal."), path + QStringLiteral("-journal."));
    QFile::remove(log);
    QFile::remove(journal);
    QFile::remove(path + QStringLiteral("-shm"));
    QFile::remove(path);
}

// A test holds the writer here, half way through, to kill it there.
void pauseForTests()
{
    const int ms = qEnvironmentVariableIntValue("VELKORA_IMPORT_PAUSE_MS");
    if (ms > 0) {
        std::fputs("velkora-book: import paused\n", stderr);
        std::fflush(stderr);
        QThread::msleep(static_cast<unsigned long>(ms));
    }
}

// Gives the finished book its name, failing rather than replacing a file that appeared meanwhile.
void renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray src = QFile::encodeName(from), dst = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the flag: a hard link is as safe, then the temporary name goes.
        if (::link(src.constData(), dst.constData()) == 0) {
            ::unlink(src.constData());
            return;
        }
        error = errno;
    }
    if (error == EEXIST)
        throw DatabaseError(QStringLiteral("The file '%1' already exists; an import never writes over it.").arg(to));
    throw DatabaseError(QStringLiteral("The new book could not be named '%1': %2.").arg(to, QString::fromLocal8Bit(std::strerror(error))));
}

void syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void refuseExisting(const QString &newPath)
{
    const QFileInfo info(newPath);
    if (info.exists() || info.isSymLink())
        throw DatabaseError(QStringLiteral("The file '%1' already exists; an import never writes over it. "
                                           "Name a new file.")
                                .arg(newPath));
    if (!QFileInfo(info.absolutePath()).isDir())
        throw DatabaseError(QStringLiteral("The folder of '%1' does not exist.").arg(newPath));
}

} // namespace

ImportSummary writeImportedBook(const SourceBook &source, const QString &oldPath, const QString &newPath,
                                const QString &password)
{
    refuseExisting(newPath);
    ImportSummary summary;
    requireBookShape(source, oldPath, &summary);
    const SourceTable &master = *source.table(QStringLiteral("master"));
    const SourceTable &detail = *source.table(QStringLiteral("detail"));
    const int masterSira = master.columnIndex(QStringLiteral("Sira"));
    const int masterTitle = master.columnIndex(QStringLiteral("Baslik"));
    const int detailSira = detail.columnIndex(QStringLiteral("Sira"));
    const int detailTitle = detail.columnIndex(QStringLiteral("Altkonu"));
    const int detailBody = detail.columnIndex(QStringLiteral("Aciklama"));

    // Everything is checked before a byte is written.
    QHash<qint64, qsizetype> topics;
    qint64 largestSira = 0;
    for (qsizetype r = 0; r < master.rows.size(); ++r) {
        const auto &row = master.rows[r];
        const std::optional<qint64> sira = siraOf(row.value(masterSira));
        if (!sira)
            throw DatabaseError(QStringLiteral("'%1': topic row %2 of table master has no Sira number (%3); "
                                               "its subtopics could not be found.")
                                    .arg(oldPath)
                                    .arg(r + 1)
                                    .arg(row.value(masterSira) ? QStringLiteral("'%1'").arg(*row.value(masterSira))
                                                               : QStringLiteral("empty")));
        if (topics.contains(*sira))
            throw DatabaseError(QStringLiteral("'%1': topic rows %2 and %3 of table master share the Sira %4; "
                                               "their subtopics cannot be told apart.")
                                    .arg(oldPath)
                                    .arg(topics.value(*sira) + 1)
                                    .arg(r + 1)
                                    .arg(*sira));
        topics.insert(*sira, r);
        largestSira = r == 0 ? *sira : std::max(largestSira, *sira);
        checkTitle(row.value(masterTitle), QStringLiteral("topic"), r, oldPath);
    }
    for (qsizetype r = 0; r < detail.rows.size(); ++r) {
        const auto &row = detail.rows[r];
        checkTitle(row.value(detailTitle), QStringLiteral("subtopic"), r, oldPath);
        const std::optional<qint64> sira = siraOf(row.value(detailSira));
        if (!sira || !topics.contains(*sira))
            ++summary.orphans;
    }
    if (summary.orphans > 0 && largestSira == std::numeric_limits<qint64>::max())
        throw DatabaseError(QStringLiteral("'%1': a topic's Sira is the largest number there is; no topic can follow it "
                                           "for the subtopics without a topic.")
                                .arg(oldPath));
    const qint64 orphanSira = topics.isEmpty() ? 1 : largestSira + 1;

    QString temporary;
    const QDir folder = QFileInfo(newPath).absoluteDir();
    do {
        temporary = folder.filePath(QStringLiteral(".%1.import-%2")
                                        .arg(QFileInfo(newPath).fileName())
                                        .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0')));
    } while (QFileInfo::exists(temporary));

    database::Database::create(temporary, password);
    try {
        {
            auto db = database::Database::open(temporary, password);
            sqlite3 *handle = db->handle();
            exec(handle, "BEGIN IMMEDIATE");
            try {
                Insert topic(handle, "INSERT INTO master (Sira, Baslik) VALUES (?, ?)");
                for (const auto &row : master.rows) {
                    topic.bind(1, *siraOf(row.value(masterSira)));
                    topic.bind(2, row.value(masterTitle));
                    topic.run();
                }
                if (summary.orphans > 0) {
                    topic.bind(1, orphanSira);
                    topic.bind(2, SourceValue(OrphanTopicTitle));
                    topic.run();
                }
                Insert subtopic(handle, "INSERT INTO detail (Sira, Altkonu, Aciklama) VALUES (?, ?, ?)");
                for (qsizetype r = 0; r < detail.rows.size(); ++r) {
                    const auto &row = detail.rows[r];
                    if (r == detail.rows.size() / 2)
                        pauseForTests();
                    const std::optional<qint64> sira = siraOf(row.value(detailSira));
                    subtopic.bind(1, sira && topics.contains(*sira) ? *sira : orphanSira);
                    subtopic.bind(2, row.value(detailTitle));
                    subtopic.bind(3, row.value(detailBody));
                    subtopic.run();
                }
                exec(handle, "COMMIT");
            } catch (...) {
                sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        }
        if (detail.rows.isEmpty())
            pauseForTests();
        const QStringList problems = checkBook(temporary, password);
        if (!problems.isEmpty())
            throw DatabaseError(QStringLiteral("The new book did not pass its check, so it was not kept: %1")
                                    .arg(problems.join(QStringLiteral("; "))));
        syncFolder(temporary);
        renameNoReplace(temporary, newPath);
        syncFolder(newPath);
    } catch (...) {
        removeBookFiles(temporary);
        throw;
    }
    summary.topics = int(master.rows.size());
    summary.subtopics = int(detail.rows.size());
    return summary;
}

namespace {

QByteArray runReader(const QString &readerProgram, const QString &oldPath)
{
    QProcess reader;
    reader.setProgram(readerProgram);
    reader.setArguments({QStringLiteral("read-jet"), oldPath});
    reader.setStandardInputFile(QProcess::nullDevice());
    reader.start();
    if (!reader.waitForStarted())
        throw DatabaseError(QStringLiteral("The reader of old books (%1) could not be started: %2.")
                                .arg(readerProgram, reader.errorString()));
    const qint64 timeout = qEnvironmentVariableIsSet("VELKORA_IMPORT_READER_TIMEOUT_MS")
                               ? qEnvironmentVariableIntValue("VELKORA_IMPORT_READER_TIMEOUT_MS")
                               : ReaderBaseTimeoutMs + ReaderTimeoutMsPerMiB * (QFileInfo(oldPath).size() >> 20);
    QElapsedTimer clock;
    clock.start();
    QByteArray stream, errors;
    const auto drain = [&] {
        stream += reader.readAllStandardOutput();
        errors += reader.readAllStandardError();
        if (errors.size() > 4096)
            errors = errors.right(4096);
    };
    while (!reader.waitForFinished(100)) {
        drain();
        QString why;
        if (stream.size() > importlimits::MaxStreamBytes)
            why = QStringLiteral("it handed over more than the import takes");
        else if (clock.elapsed() > timeout)
            why = QStringLiteral("it did not finish within %1 seconds").arg(timeout / 1000.0);
        if (!why.isEmpty()) {
            reader.kill();
            reader.waitForFinished(-1);
            throw DatabaseError(QStringLiteral("'%1' could not be read: %2. The file is damaged or not an old book; "
                                               "nothing was written.")
                                    .arg(oldPath, why));
        }
    }
    drain();
    if (reader.exitStatus() == QProcess::CrashExit || reader.exitCode() != 0) {
        const QString last = QString::fromLocal8Bit(errors.trimmed()).split(u'\n').last();
        throw DatabaseError(QStringLiteral("'%1' could not be read: the reader stopped on it (%2%3). The file is damaged; "
                                           "nothing was written.")
                                .arg(oldPath,
                                     reader.exitStatus() == QProcess::CrashExit ? QStringLiteral("it crashed")
                                                                                : QStringLiteral("exit status %1").arg(reader.exitCode()),
                                     last.isEmpty() ? QString() : QStringLiteral(": ") + last));
    }
    return stream;
}

} // namespace

ImportSummary importBook(const QString &oldPath, const QString &newPath, const QString &password,
                         const QString &readerProgram)
{
    const QFileInfo old(oldPath);
    if (!old.exists())
        throw DatabaseError(QStringLiteral("Could not find file '%1'.").arg(oldPath));
    if (!old.isFile())
        throw DatabaseError(QStringLiteral("'%1' is not a regular file, so it is not an old book.").arg(oldPath));
    if (!old.isReadable())
        throw DatabaseError(QStringLiteral("'%1' cannot be read.").arg(oldPath));
    refuseExisting(newPath);
    if (old.canonicalFilePath() == QFileInfo(newPath).absoluteFilePath())
        throw DatabaseError(QStringLiteral("The old and the new book are the same file."));
    const SourceBook source = decodeSourceBook(runReader(readerProgram, oldPath), oldPath);
    return writeImportedBook(source, oldPath, newPath, password);
}

} // namespace velkora::tools
