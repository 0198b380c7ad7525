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
#include <memory>
#include <optional>
#include <vector>
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
void requireBookShape(const QStringList &tableNames, const SourceTable *master, const SourceTable *detail,
                      const QString &oldPath, ImportSummary *summary)
{
    struct Wanted
    {
        QString table;
        const SourceTable *found;
        QStringList columns;
    };
    const Wanted wanted[] = {{QStringLiteral("master"), master, {QStringLiteral("Sira"), QStringLiteral("Baslik")}},
                             {QStringLiteral("detail"), detail,
                              {QStringLiteral("Sira"), QStringLiteral("Altkonu"), QStringLiteral("Aciklama")}}};
    QStringList missing;
    for (const Wanted &w : wanted) {
        const SourceTable *table = w.found;
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
    QString tables = tableNames.isEmpty() ? QStringLiteral("none") : tableNames.join(QStringLiteral(", "));
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

namespace {

// Writes the new book as the old one's records arrive: the topics are kept (they are few) until
// the subtopics' table shows the source is a book, then every subtopic goes into the new book as
// it comes, so no more than one body is held at a time. Everything is written under a temporary
// name inside one transaction; a failure at any point (a source that is no book, a title too long,
// a refusal from the reader) removes the temporary book, and only a finished, checked book is given
// its name.
class BookWriter : public SourceSink
{
public:
    BookWriter(QString oldPath, QString newPath, QString password)
        : m_oldPath(std::move(oldPath)), m_newPath(std::move(newPath)), m_password(std::move(password))
    {
        refuseExisting(m_newPath);
    }
    ~BookWriter() override
    {
        m_subtopic.reset();
        m_topic.reset();
        if (m_db && !m_committed)
            sqlite3_exec(m_db->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        m_db.reset();
        if (!m_temporary.isEmpty() && !m_finished)
            removeBookFiles(m_temporary);
    }
    // The subtopics expected, when known, so that a test can hold the writer half way.
    qsizetype expectedSubtopics = -1;

    void version(int) override {}
    void tableName(const QString &name) override { m_tableNames.append(name); }
    void table(const SourceTable &header) override
    {
        if (!m_master && header.name.compare(u"master", Qt::CaseInsensitive) == 0) {
            m_master = header;
            m_current = Current::Master;
        } else if (!m_detail && header.name.compare(u"detail", Qt::CaseInsensitive) == 0) {
            m_detail = header;
            m_current = Current::Detail;
            shapeChecked();
        } else {
            m_current = Current::Other;
        }
    }
    void row(const SourceTable &, QVector<SourceValue> &&values) override
    {
        if (m_current == Current::Master)
            topicRow(std::move(values));
        else if (m_current == Current::Detail)
            subtopicRow(values);
    }
    void end() override
    {
        shapeChecked();
        start();
        if (m_summary.subtopics == 0)
            pauseForTests();
        exec(m_db->handle(), "COMMIT");
        m_committed = true;
        m_subtopic.reset();
        m_topic.reset();
        m_db.reset();
        const QStringList problems = checkBook(m_temporary, m_password);
        if (!problems.isEmpty())
            throw DatabaseError(QStringLiteral("The new book did not pass its check, so it was not kept: %1")
                                    .arg(problems.join(QStringLiteral("; "))));
        syncFolder(m_temporary);
        renameNoReplace(m_temporary, m_newPath);
        syncFolder(m_newPath);
        m_finished = true;
        m_summary.topics = int(m_topics.size());
    }
    const ImportSummary &summary() const { return m_summary; }

private:
    enum class Current { None, Master, Detail, Other };
    struct Topic
    {
        qint64 sira;
        SourceValue title;
    };

    void shapeChecked()
    {
        if (m_shapeChecked)
            return;
        requireBookShape(m_tableNames, m_master ? &*m_master : nullptr, m_detail ? &*m_detail : nullptr, m_oldPath, &m_summary);
        m_shapeChecked = true;
        const int sira = m_master->columnIndex(QStringLiteral("Sira"));
        const int title = m_master->columnIndex(QStringLiteral("Baslik"));
        // The topics held until now are checked in their order, as they came.
        for (qsizetype r = 0; r < m_heldTopics.size(); ++r)
            addTopic(m_heldTopics[r].value(sira), m_heldTopics[r].value(title), r);
        m_heldTopics.clear();
    }
    void topicRow(QVector<SourceValue> &&values)
    {
        if (!m_shapeChecked) {
            m_heldTopics.append(std::move(values));
            return;
        }
        addTopic(values.value(m_master->columnIndex(QStringLiteral("Sira"))), values.value(m_master->columnIndex(QStringLiteral("Baslik"))),
                 qsizetype(m_topics.size()));
    }
    void addTopic(const SourceValue &siraValue, const SourceValue &title, qsizetype r)
    {
        const std::optional<qint64> sira = siraOf(siraValue);
        if (!sira)
            throw DatabaseError(QStringLiteral("'%1': topic row %2 of table master has no Sira number (%3); "
                                               "its subtopics could not be found.")
                                    .arg(m_oldPath)
                                    .arg(r + 1)
                                    .arg(siraValue ? QStringLiteral("'%1'").arg(*siraValue) : QStringLiteral("empty")));
        if (m_topicRows.contains(*sira))
            throw DatabaseError(QStringLiteral("'%1': topic rows %2 and %3 of table master share the Sira %4; "
                                               "their subtopics cannot be told apart.")
                                    .arg(m_oldPath)
                                    .arg(m_topicRows.value(*sira) + 1)
                                    .arg(r + 1)
                                    .arg(*sira));
        checkTitle(title, QStringLiteral("topic"), r, m_oldPath);
        m_topicRows.insert(*sira, r);
        m_largestSira = m_topics.empty() ? *sira : std::max(m_largestSira, *sira);
        m_topics.push_back({*sira, title});
    }
    // The new book under its temporary name, with every topic in it, once the subtopics begin.
    void start()
    {
        if (m_db)
            return;
        const QDir folder = QFileInfo(m_newPath).absoluteDir();
        do {
            m_temporary = folder.filePath(QStringLiteral(".%1.import-%2")
                                              .arg(QFileInfo(m_newPath).fileName())
                                              .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0')));
        } while (QFileInfo::exists(m_temporary));
        database::Database::create(m_temporary, m_password);
        m_db = database::Database::open(m_temporary, m_password);
        exec(m_db->handle(), "BEGIN IMMEDIATE");
        m_topic = std::make_unique<Insert>(m_db->handle(), "INSERT INTO master (Sira, Baslik) VALUES (?, ?)");
        m_subtopic = std::make_unique<Insert>(m_db->handle(), "INSERT INTO detail (Sira, Altkonu, Aciklama) VALUES (?, ?, ?)");
        for (const Topic &t : m_topics) {
            m_topic->bind(1, t.sira);
            m_topic->bind(2, t.title);
            m_topic->run();
        }
    }
    void subtopicRow(const QVector<SourceValue> &values)
    {
        shapeChecked();
        start();
        const SourceValue &title = values.value(m_detail->columnIndex(QStringLiteral("Altkonu")));
        checkTitle(title, QStringLiteral("subtopic"), m_summary.subtopics, m_oldPath);
        const std::optional<qint64> sira = siraOf(values.value(m_detail->columnIndex(QStringLiteral("Sira"))));
        qint64 topic = 0;
        if (sira && m_topicRows.contains(*sira)) {
            topic = *sira;
        } else {
            // The first subtopic without a topic brings the topic that takes them all, after the last.
            if (m_summary.orphans == 0) {
                if (!m_topics.empty() && m_largestSira == std::numeric_limits<qint64>::max())
                    throw DatabaseError(QStringLiteral("'%1': a topic's Sira is the largest number there is; no topic can "
                                                       "follow it for the subtopics without a topic.")
                                            .arg(m_oldPath));
                m_orphanSira = m_topics.empty() ? 1 : m_largestSira + 1;
                m_topic->bind(1, m_orphanSira);
                m_topic->bind(2, SourceValue(OrphanTopicTitle));
                m_topic->run();
            }
            ++m_summary.orphans;
            topic = m_orphanSira;
        }
        m_subtopic->bind(1, topic);
        m_subtopic->bind(2, title);
        m_subtopic->bind(3, values.value(m_detail->columnIndex(QStringLiteral("Aciklama"))));
        m_subtopic->run();
        ++m_summary.subtopics;
        if (m_summary.subtopics == (expectedSubtopics > 0 ? expectedSubtopics / 2 + 1 : 1))
            pauseForTests();
    }

    QString m_oldPath, m_newPath, m_password, m_temporary;
    QStringList m_tableNames;
    std::optional<SourceTable> m_master, m_detail;
    Current m_current = Current::None;
    bool m_shapeChecked = false, m_committed = false, m_finished = false;
    QVector<QVector<SourceValue>> m_heldTopics;
    std::vector<Topic> m_topics;
    QHash<qint64, qsizetype> m_topicRows;
    qint64 m_largestSira = 0, m_orphanSira = 0;
    std::unique_ptr<database::Database> m_db;
    std::unique_ptr<Insert> m_topic, m_subtopic;
    ImportSummary m_summary;
};

} // namespace

ImportSummary writeImportedBook(const SourceBook &source, const QString &oldPath, const QString &newPath,
                                const QString &password)
{
    BookWriter writer(oldPath, newPath, password);
    if (const SourceTable *detail = source.table(QStringLiteral("detail")))
        writer.expectedSubtopics = detail->rows.size();
    writer.version(source.jetVersion);
    for (const QString &name : source.tableNames)
        writer.tableName(name);
    for (const SourceTable &table : source.tables) {
        SourceTable header = table;
        header.rows.clear();
        writer.table(header);
        for (const auto &row : table.rows)
            writer.row(header, QVector<SourceValue>(row));
    }
    writer.end();
    return writer.summary();
}

namespace {

// Runs the reader and hands what it writes to the decoder as it comes.
void runReader(const QString &readerProgram, const QString &oldPath, SourceStreamDecoder &decoder)
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
    QByteArray errors;
    const auto stop = [&] {
        reader.kill();
        reader.waitForFinished(-1);
    };
    // Taken in small pieces, each written before the next is read: while the book is written the
    // reader waits on the full pipe, and nothing piles up in between.
    const auto drain = [&] {
        errors += reader.readAllStandardError();
        if (errors.size() > 4096)
            errors = errors.right(4096);
        try {
            while (reader.bytesAvailable() > 0)
                decoder.feed(reader.read(1 << 20));
        } catch (...) {
            stop();
            throw;
        }
    };
    while (reader.state() != QProcess::NotRunning) {
        if (!reader.waitForReadyRead(100))
            reader.waitForFinished(100);
        drain();
        if (clock.elapsed() > timeout) {
            stop();
            throw DatabaseError(QStringLiteral("'%1' could not be read: it did not finish within %2 seconds. The file is "
                                               "damaged or not an old book; nothing was written.")
                                    .arg(oldPath)
                                    .arg(timeout / 1000.0));
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
    decoder.finish();
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
    // Read and written record by record: memory stays near the size of the largest body.
    BookWriter writer(oldPath, newPath, password);
    SourceStreamDecoder decoder(writer, oldPath);
    runReader(readerProgram, oldPath, decoder);
    return writer.summary();
}

} // namespace velkora::tools
