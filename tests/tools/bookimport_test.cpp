// velkora-book import: old Jet books carried over whole, or refused with a message and nothing written.
#include "tools/velkora-book/bookimport.h"
#include "tools/velkora-book/booktool.h"
#include "tools/velkora-book/importsource.h"

#include "platform/database/databaseerror.h"
#include "support/bookfixture.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QThread>

#include <sqlcipher/sqlite3.h>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace velkora;
using namespace velkora::tools;
using velkora::database::DatabaseError;

namespace {

struct ToolRun
{
    int exitCode;
    QByteArray out, err;
};

ToolRun runTool(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VELKORA_BOOK_TOOL), args);
    if (!p.waitForFinished(60000)) { // a tool that hangs fails here
        p.kill();
        p.waitForFinished();
        return {-1, p.readAllStandardOutput(), p.readAllStandardError()};
    }
    return {p.exitStatus() == QProcess::CrashExit ? -2 : p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

SourceTable table(const QString &name, const QStringList &columns, const QVector<QVector<SourceValue>> &rows)
{
    SourceTable t;
    t.name = name;
    t.columns = columns;
    t.rows = rows;
    return t;
}

SourceBook book(const QVector<QVector<SourceValue>> &topics, const QVector<QVector<SourceValue>> &subtopics)
{
    SourceBook b;
    b.jetVersion = 4;
    b.tableNames = {QStringLiteral("master"), QStringLiteral("detail")};
    b.tables = {table(QStringLiteral("master"), {QStringLiteral("Sira"), QStringLiteral("Baslik")}, topics),
                table(QStringLiteral("detail"), {QStringLiteral("Sira"), QStringLiteral("Altkonu"), QStringLiteral("Aciklama")}, subtopics)};
    return b;
}

SourceValue v(const QString &text) { return text; }
const SourceValue null = std::nullopt;

struct Stored
{
    QVector<QVector<SourceValue>> topics, subtopics; // as the new book holds them, in key order
};

SourceValue columnText(sqlite3_stmt *s, int column)
{
    if (sqlite3_column_type(s, column) == SQLITE_NULL)
        return std::nullopt;
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(s, column));
}

Stored readBack(const QString &path)
{
    auto db = database::Database::open(path, velkora::testing::BookPassword);
    Stored out;
    const auto query = [&](const char *sql, int columns, QVector<QVector<SourceValue>> *rows) {
        sqlite3_stmt *s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db->handle(), sql, -1, &s, nullptr), SQLITE_OK);
        while (sqlite3_step(s) == SQLITE_ROW) {
            QVector<SourceValue> row;
            for (int c = 0; c < columns; ++c)
                row.append(columnText(s, c));
            rows->append(row);
        }
        sqlite3_finalize(s);
    };
    query("SELECT Sira, Baslik FROM master ORDER BY Sira", 2, &out.topics);
    query("SELECT Sira, Altkonu, Aciklama FROM detail ORDER BY Kimlik", 3, &out.subtopics);
    return out;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

struct FileState
{
    QByteArray sha1;
    QDateTime modified;
    bool operator==(const FileState &) const = default;
};

FileState stateOf(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return {QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1), QFileInfo(path).lastModified()};
}

} // namespace

TEST(BookImport, EveryTopicAndSubtopicIsCarriedOverWithItsSiraTitleAndBodyByteForByte)
{
    QTemporaryDir dir;
    const QString longTitle = QString(254, u'ş') + u'İ'; // 255 characters, 510 bytes of UTF-8
    const QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1254\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 \\'c7al\\'fd\\'fe ma\\par }");
    const QString plain = QStringLiteral("Düz metin,\r\nRTF değil: ğüşıöç ĞÜŞİÖÇ\t\"tırnak\"");
    const SourceBook source = book(
        {{v(QStringLiteral("7")), v(QStringLiteral("Çalışma Günlüğü"))},
         {v(QStringLiteral("3")), v(longTitle)},
         {v(QStringLiteral("12")), v(QStringLiteral("Boş konu"))}, // no subtopics
         {v(QStringLiteral("5")), null}},
        {{v(QStringLiteral("7")), v(QStringLiteral("Aynı başlık")), v(rtf)},
         {v(QStringLiteral("7")), v(QStringLiteral("Aynı başlık")), v(plain)},
         {v(QStringLiteral("3")), v(longTitle), v(QString())},
         {v(QStringLiteral("99")), v(QStringLiteral("Kayıp konunun alt konusu")), v(QStringLiteral("yetim"))},
         {v(QStringLiteral("3")), null, null},
         {null, v(QStringLiteral("Sirası yok")), v(rtf)},
         {v(QStringLiteral("5")), v(QStringLiteral("ıi İI")), v(QString(70000, u'x'))}});
    const QString target = dir.filePath(QStringLiteral("Yeni.mdb"));
    const ImportSummary summary = writeImportedBook(source, QStringLiteral("Data.mdb"), target, velkora::testing::BookPassword);
    EXPECT_EQ(summary.topics, 4);
    EXPECT_EQ(summary.subtopics, 7);
    EXPECT_EQ(summary.orphans, 2);
    EXPECT_EQ(summaryLine(summary), QStringLiteral("4 konu, 7 alt konu (2 sahipsiz alt konu \"Sahipsiz Alt Konular\" konusuna alındı)"));
    EXPECT_TRUE(checkBook(target, velkora::testing::BookPassword).isEmpty());
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("Yeni.mdb")}); // no temporary file or log left

    const Stored stored = readBack(target);
    const QVector<QVector<SourceValue>> topics = {{v(QStringLiteral("3")), v(longTitle)},
                                                  {v(QStringLiteral("5")), null},
                                                  {v(QStringLiteral("7")), v(QStringLiteral("Çalışma Günlüğü"))},
                                                  {v(QStringLiteral("12")), v(QStringLiteral("Boş konu"))},
                                                  {v(QStringLiteral("13")), v(OrphanTopicTitle)}};
    EXPECT_EQ(stored.topics, topics);
    QVector<QVector<SourceValue>> subtopics = source.tables[1].rows;
    subtopics[3][0] = v(QStringLiteral("13"));
    subtopics[5][0] = v(QStringLiteral("13"));
    EXPECT_EQ(stored.subtopics, subtopics);

    // As the program lists it: the dump shows the same book.
    const QByteArray dump = dumpBook(target, velkora::testing::BookPassword, false);
    EXPECT_TRUE(dump.contains("\"Baslik\": \"Sahipsiz Alt Konular\", \"subtopics\": [\n    {\"Altkonu\": \"Kayıp konunun alt konusu\""))
        << dump.left(2000).toStdString();
}

TEST(BookImport, ABookWithoutOrphansGetsNoOrphanTopicAndAnEmptyBookImports)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("a.mdb"));
    const ImportSummary summary = writeImportedBook(
        book({{v(QStringLiteral("1")), v(QStringLiteral("Bir"))}}, {{v(QStringLiteral(" 1 ")), v(QStringLiteral("a")), v(QStringLiteral("b"))}}),
        QStringLiteral("old.mdb"), target, velkora::testing::BookPassword);
    EXPECT_EQ(summaryLine(summary), QStringLiteral("1 konu, 1 alt konu"));
    EXPECT_EQ(readBack(target).topics.size(), 1);

    const QString empty = dir.filePath(QStringLiteral("b.mdb"));
    const ImportSummary none = writeImportedBook(book({}, {}), QStringLiteral("old.mdb"), empty, velkora::testing::BookPassword);
    EXPECT_EQ(summaryLine(none), QStringLiteral("0 konu, 0 alt konu"));
    EXPECT_TRUE(readBack(empty).topics.isEmpty());

    // Subtopics of a book without topics all go under the one orphan topic, Sira 1.
    const QString orphans = dir.filePath(QStringLiteral("c.mdb"));
    writeImportedBook(book({}, {{v(QStringLiteral("4")), v(QStringLiteral("t")), null}}), QStringLiteral("old.mdb"), orphans,
                      velkora::testing::BookPassword);
    EXPECT_EQ(readBack(orphans).topics, (QVector<QVector<SourceValue>>{{v(QStringLiteral("1")), v(OrphanTopicTitle)}}));
}

TEST(BookImport, ASourceNotShapedLikeABookIsRefusedNamingWhatIsMissingAndWritesNothing)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("Yeni.mdb"));
    const auto refusal = [&](const SourceBook &source) -> QString {
        try {
            writeImportedBook(source, QStringLiteral("Eski.mdb"), target, velkora::testing::BookPassword);
        } catch (const DatabaseError &e) {
            return e.message();
        }
        return QString();
    };
    SourceBook noDetail = book({}, {});
    noDetail.tables.removeLast();
    noDetail.tableNames = {QStringLiteral("master"), QStringLiteral("Müşteriler")};
    EXPECT_EQ(refusal(noDetail), QStringLiteral("'Eski.mdb' is a Jet file but not a book: no table detail. (Its tables: master, Müşteriler.)"));

    SourceBook lacking = book({}, {});
    lacking.tables[0].columns = {QStringLiteral("Kimlik"), QStringLiteral("Baslik")};
    lacking.tables[1].columns = {QStringLiteral("Sira")};
    EXPECT_EQ(refusal(lacking), QStringLiteral("'Eski.mdb' is a Jet file but not a book: table master has no column Sira; "
                                                "table detail has no column Altkonu, Aciklama. (Its tables: master, detail.)"));

    SourceBook none;
    none.jetVersion = 3;
    EXPECT_TRUE(refusal(none).contains(QStringLiteral("no table master; no table detail. (Its tables: none.)"))) << refusal(none).toStdString();

    const QString tooLong(256, u'ğ');
    EXPECT_TRUE(refusal(book({{v(QStringLiteral("1")), v(tooLong)}}, {})).contains(QStringLiteral("topic row 1 is 256 characters long")));
    EXPECT_TRUE(refusal(book({{v(QStringLiteral("1")), null}}, {{v(QStringLiteral("1")), null, null}, {v(QStringLiteral("1")), v(tooLong), null}}))
                    .contains(QStringLiteral("subtopic row 2 is 256 characters long")));
    EXPECT_TRUE(refusal(book({{v(QStringLiteral("2")), null}, {v(QStringLiteral("2")), null}}, {})).contains(QStringLiteral("share the Sira 2")));
    EXPECT_TRUE(refusal(book({{v(QStringLiteral("iki")), null}}, {})).contains(QStringLiteral("has no Sira number ('iki')")));
    EXPECT_TRUE(filesIn(dir.path()).isEmpty()) << filesIn(dir.path()).join(u' ').toStdString();
}

TEST(BookImport, OtherColumnsAreNamedInNotesAndAnExistingNewBookIsNeverReplaced)
{
    QTemporaryDir dir;
    SourceBook source = book({{v(QStringLiteral("1")), v(QStringLiteral("a"))}}, {});
    source.tables[1].otherColumns = {QStringLiteral("Tarih")};
    const QString target = dir.filePath(QStringLiteral("Yeni.mdb"));
    const ImportSummary summary = writeImportedBook(source, QStringLiteral("Eski.mdb"), target, velkora::testing::BookPassword);
    ASSERT_EQ(summary.notes.size(), 1);
    EXPECT_TRUE(summary.notes[0].contains(QStringLiteral("detail.Tarih")));

    const FileState before = stateOf(target);
    try {
        writeImportedBook(source, QStringLiteral("Eski.mdb"), target, velkora::testing::BookPassword);
        ADD_FAILURE() << "an existing book was written over";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("already exists"))) << e.message().toStdString();
    }
    EXPECT_EQ(stateOf(target), before);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("Yeni.mdb")});
}

TEST(BookImportStream, TablesSurviveTheStreamAndEveryCutOrGarbledStreamIsRefused)
{
    SourceBook source = book({{v(QStringLiteral("1")), v(QStringLiteral("Başlık"))}},
                             {{v(QStringLiteral("1")), null, v(QString())}, {null, v(QStringLiteral("ş")), v(QStringLiteral("{\\rtf1}"))}});
    source.tables[0].otherColumns = {QStringLiteral("Ek")};
    source.tableNames.append(QStringLiteral("Umsätze"));
    const QByteArray stream = encodeSourceBook(source);
    const SourceBook back = decodeSourceBook(stream, QStringLiteral("x.mdb"));
    EXPECT_EQ(back.jetVersion, 4);
    EXPECT_EQ(back.tableNames, source.tableNames);
    ASSERT_EQ(back.tables.size(), 2);
    EXPECT_EQ(back.tables[0].otherColumns, source.tables[0].otherColumns);
    EXPECT_EQ(back.tables[1].columns, source.tables[1].columns);
    EXPECT_EQ(back.tables[1].rows, source.tables[1].rows);

    for (qsizetype cut = 0; cut < stream.size(); ++cut) {
        try {
            decodeSourceBook(stream.left(cut), QStringLiteral("x.mdb"));
            ADD_FAILURE() << "a stream cut at " << cut << " was taken";
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("'x.mdb' could not be read: "))) << e.message().toStdString();
        }
    }
    try {
        decodeSourceBook(encodeRefusal(QStringLiteral("'x.mdb' is not a Jet file.")), QStringLiteral("x.mdb"));
        ADD_FAILURE() << "a refusal was taken for a book";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'x.mdb' is not a Jet file."));
    }
    // Fed as a pipe delivers it, in pieces of any size (records cut anywhere), the same book; and a
    // stream written through the flushing writer is the same stream.
    struct Collect : SourceSink
    {
        void version(int v) override { got.jetVersion = v; }
        void tableName(const QString &n) override { got.tableNames << n; }
        void table(const SourceTable &t) override { got.tables << t; }
        void row(const SourceTable &, QVector<SourceValue> &&r) override { got.tables.last().rows << r; }
        void end() override { ended = true; }
        SourceBook got;
        bool ended = false;
    };
    for (const qsizetype piece : {1, 2, 3, 7, 64}) {
        Collect sink;
        SourceStreamDecoder decoder(sink, QStringLiteral("x.mdb"));
        for (qsizetype at = 0; at < stream.size(); at += piece)
            decoder.feed(QByteArrayView(stream).sliced(at, std::min(piece, stream.size() - at)));
        decoder.finish();
        EXPECT_TRUE(sink.ended) << piece;
        EXPECT_EQ(sink.got.tables.value(1).rows, source.tables[1].rows) << piece;
    }
    QByteArray flushed, gathered;
    {
        SourceStreamWriter writer(&gathered, [&](const QByteArray &part) { flushed += part; });
        writer.version(4);
        for (const QString &name : source.tableNames)
            writer.tableName(name);
        for (const SourceTable &t : source.tables) {
            writer.table(t.name, t.columns, t.otherColumns);
            for (const auto &row : t.rows)
                writer.row(row);
        }
        writer.end();
    }
    EXPECT_EQ(flushed, stream);
    EXPECT_TRUE(gathered.isEmpty());

    QByteArray huge = QByteArrayLiteral("VKJ1V\4N") + QByteArray("\xff\xff\xff\x7f", 4);
    EXPECT_THROW(decodeSourceBook(huge, QStringLiteral("x.mdb")), DatabaseError);
    QByteArray badUtf8 = QByteArrayLiteral("VKJ1V\4N") + QByteArray("\2\0\0\0\xc3\x28", 6) + 'E';
    EXPECT_THROW(decodeSourceBook(badUtf8, QStringLiteral("x.mdb")), DatabaseError);
}

TEST(BookImportTool, FilesThatAreNotJetBooksAreRefusedWithExitStatusTwo)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("Yeni.mdb"));
    const QString text = dir.filePath(QStringLiteral("text.mdb"));
    {
        QFile f(text);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(5000, 'x'));
    }
    ToolRun r = runTool({QStringLiteral("import"), text, target});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("is not a Jet file")) << r.err.toStdString();

    r = runTool({QStringLiteral("import"), dir.filePath(QStringLiteral("yok.mdb")), target});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("Could not find file")) << r.err.toStdString();

    // A new book from this tool is no Jet file either, and the target is never written over.
    const QString velkoraBook = dir.filePath(QStringLiteral("Data.mdb"));
    ASSERT_EQ(runTool({QStringLiteral("create"), velkoraBook}).exitCode, 0);
    r = runTool({QStringLiteral("import"), velkoraBook, target});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("is not a Jet file")) << r.err.toStdString();
    const FileState before = stateOf(velkoraBook);
    r = runTool({QStringLiteral("import"), text, velkoraBook});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("already exists")) << r.err.toStdString();
    EXPECT_EQ(stateOf(velkoraBook), before);
    EXPECT_EQ(runTool({QStringLiteral("import"), text}).exitCode, 2); // usage
    EXPECT_FALSE(QFileInfo::exists(target));

    // A Jet header whose version field no Access ever wrote is a damaged or unknown Jet file, not a
    // newer Access book; version 2 is one (Access 2007).
    for (const auto &[version, expected] : {std::pair{0xFFFFFFFFu, "damaged Jet file: its header gives the unknown version 0xffffffff"},
                                            std::pair{2u, "is an Access 2007 or later (.accdb) file"}}) {
        const QString odd = dir.filePath(QStringLiteral("surum.mdb"));
        QByteArray head(4096, '\0');
        head.replace(0, 20, QByteArray("\0\1\0\0Standard Jet DB\0", 20));
        qToLittleEndian<quint32>(version, head.data() + 0x14);
        QFile f(odd);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(head);
        f.close();
        r = runTool({QStringLiteral("import"), odd, target});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains(expected)) << r.err.toStdString();
    }
}

TEST(BookImportTool, AReaderThatCrashesOrHangsIsAMessageNotACrash)
{
    QTemporaryDir dir;
    const QString old = dir.filePath(QStringLiteral("Eski.mdb"));
    {
        QFile f(old);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(4096, 'x'));
    }
    const QString target = dir.filePath(QStringLiteral("Yeni.mdb"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELKORA_IMPORT_READER_HOOK"), QStringLiteral("crash"));
    ToolRun r = runTool({QStringLiteral("import"), old, target}, env);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("could not be read: the reader stopped on it (it crashed")) << r.err.toStdString();

    env.insert(QStringLiteral("VELKORA_IMPORT_READER_HOOK"), QStringLiteral("hang"));
    env.insert(QStringLiteral("VELKORA_IMPORT_READER_TIMEOUT_MS"), QStringLiteral("500"));
    QElapsedTimer clock;
    clock.start();
    r = runTool({QStringLiteral("import"), old, target}, env);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("did not finish within 0.5 seconds")) << r.err.toStdString();
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("Eski.mdb")});
}

// Every Jet or Access file of the shared corpus: none is shaped like a book, so each is refused
// with the message for what it is, the old file untouched and nothing left beside the new name.
TEST(BookImportTool, EveryCorpusFileIsRefusedWithItsMessageAndLeftUntouched)
{
    const QString corpus = velkora::testing::corpusFolder();
    if (corpus.isEmpty())
        GTEST_SKIP() << "no shared corpus in this checkout (../shared/corpus)";
    const QDir mdb(corpus + QStringLiteral("/mdb"));
    const QStringList files = mdb.entryList({QStringLiteral("*.mdb"), QStringLiteral("*.accdb")}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString &name : files) {
        SCOPED_TRACE(name.toStdString());
        const QString old = mdb.filePath(name);
        const FileState before = stateOf(old);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("Yeni.mdb"));
        const ToolRun r = runTool({QStringLiteral("import"), old, target});
        EXPECT_EQ(r.exitCode, 2) << r.out.toStdString();
        const QString message = QString::fromLocal8Bit(r.err);
        if (name.endsWith(QStringLiteral(".accdb")))
            EXPECT_TRUE(message.contains(QStringLiteral("is an Access 2007 or later (.accdb) file"))) << r.err.toStdString();
        else
            EXPECT_TRUE(message.contains(QStringLiteral("is a Jet file but not a book: no table master; no table detail. (Its tables: ")))
                << r.err.toStdString();
        EXPECT_EQ(stateOf(old), before);
        EXPECT_TRUE(filesIn(dir.path()).isEmpty());
    }
}

// The reading process decodes what it reads: Jet 3 names from code page 1254 (or the Latin
// letters it shares with 1252), Jet 4 names from UTF-16.
TEST(BookImportTool, TheReaderNamesTheTablesOfRealJetFiles)
{
    const QString corpus = velkora::testing::corpusFolder();
    if (corpus.isEmpty())
        GTEST_SKIP() << "no shared corpus in this checkout (../shared/corpus)";
    const auto tables = [&](const QString &name) {
        const ToolRun r = runTool({QStringLiteral("read-jet"), corpus + QStringLiteral("/mdb/") + name});
        EXPECT_EQ(r.exitCode, 0);
        return decodeSourceBook(r.out, name);
    };
    const SourceBook nwind = tables(QStringLiteral("mdbtestdata-nwind.mdb"));
    EXPECT_EQ(nwind.jetVersion, 3);
    EXPECT_TRUE(nwind.tableNames.contains(QStringLiteral("Umsätze"))) << nwind.tableNames.join(u',').toStdString();
    EXPECT_TRUE(nwind.tableNames.contains(QStringLiteral("Order Details")));
    const SourceBook tika = tables(QStringLiteral("tika-testACCESS.mdb"));
    EXPECT_EQ(tika.jetVersion, 4);
    EXPECT_EQ(tika.tableNames, (QStringList{QStringLiteral("Titles"), QStringLiteral("Tracks"), QStringLiteral("Menus"), QStringLiteral("Batch")}));
}

// Damaged copies of a real file: cut short, or pages overwritten. Each ends in a message and exit
// status 2 (a crash of the reader included), never a crash of the tool or a file at the new name.
TEST(BookImportTool, DamagedJetFilesAreRefusedAndNeverCrashTheTool)
{
    const QString corpus = velkora::testing::corpusFolder();
    if (corpus.isEmpty())
        GTEST_SKIP() << "no shared corpus in this checkout (../shared/corpus)";
    QFile source(corpus + QStringLiteral("/mdb/jackcess-testV1997.mdb"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray original = source.readAll();
    QTemporaryDir dir;
    QRandomGenerator random(16);
    for (int i = 0; i < 12; ++i) {
        QByteArray bytes = original;
        if (i < 4) {
            bytes.truncate(qsizetype(2048) * (i + 1));
        } else {
            for (int k = 0; k < 64; ++k)
                bytes[random.bounded(qsizetype(2048), bytes.size())] = char(random.bounded(256));
        }
        const QString old = dir.filePath(QStringLiteral("damaged%1.mdb").arg(i));
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const QString target = dir.filePath(QStringLiteral("Yeni%1.mdb").arg(i));
        // libmdb goes round in circles on some damaged files: those end at the reader's time limit.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELKORA_IMPORT_READER_TIMEOUT_MS"), QStringLiteral("3000"));
        const ToolRun r = runTool({QStringLiteral("import"), old, target}, env);
        EXPECT_EQ(r.exitCode, 2) << i << ": " << r.out.toStdString();
        EXPECT_TRUE(r.err.contains("damaged") || r.err.contains("not a book")) << i << ": " << r.err.toStdString();
        std::printf("damaged copy %d: %s", i, r.err.constData());
        EXPECT_FALSE(QFileInfo::exists(target));
    }
}

namespace {

// Runs writeImportedBook in a child process and kills it after delayMs (or once it is paused half
// way when pause is set). Returns true when the child had already finished.
bool importAndKill(const SourceBook &source, const QString &target, int delayMs, bool pause)
{
    if (pause)
        qputenv("VELKORA_IMPORT_PAUSE_MS", "20000");
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            writeImportedBook(source, QStringLiteral("Eski.mdb"), target, velkora::testing::BookPassword);
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    qunsetenv("VELKORA_IMPORT_PAUSE_MS");
    const QDir folder = QFileInfo(target).absoluteDir();
    if (pause) {
        // The temporary book appears first; the pause comes half way through the subtopics.
        QElapsedTimer clock;
        clock.start();
        while (folder.entryList({QStringLiteral(".Yeni.mdb.import-*")}, QDir::Files | QDir::Hidden).isEmpty()
               && clock.elapsed() < 10000)
            QThread::msleep(5);
    }
    QThread::msleep(static_cast<unsigned long>(delayMs));
    int status = 0;
    const bool finished = ::waitpid(child, &status, WNOHANG) == child;
    if (!finished) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    return finished;
}

} // namespace

TEST(BookImport, AKillDuringTheImportLeavesNothingAtTheNewName)
{
    QVector<QVector<SourceValue>> subtopics;
    for (int i = 0; i < 400; ++i)
        subtopics.append({v(QString::number(1 + i % 4)), v(QStringLiteral("Alt konu %1").arg(i)), v(QString(4000, u'ç'))});
    const SourceBook source = book({{v(QStringLiteral("1")), v(QStringLiteral("a"))}, {v(QStringLiteral("2")), v(QStringLiteral("b"))},
                                    {v(QStringLiteral("3")), v(QStringLiteral("c"))}, {v(QStringLiteral("4")), v(QStringLiteral("d"))}},
                                   subtopics);
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("Yeni.mdb"));
        EXPECT_FALSE(importAndKill(source, target, 300, true));
        EXPECT_FALSE(QFileInfo::exists(target));
        // What a kill leaves is the hidden temporary book, which a new import does not mind.
        EXPECT_FALSE(filesIn(dir.path()).isEmpty());
        EXPECT_EQ(summaryLine(writeImportedBook(source, QStringLiteral("Eski.mdb"), target, velkora::testing::BookPassword)),
                  QStringLiteral("4 konu, 400 alt konu"));
    }
    QRandomGenerator random(7);
    int finished = 0;
    for (int round = 0; round < 10; ++round) {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("Yeni.mdb"));
        const bool done = importAndKill(source, target, int(random.bounded(400)), false);
        finished += done ? 1 : 0;
        if (done) {
            ASSERT_TRUE(QFileInfo::exists(target));
        }
        // Killed after its rename, the book is already whole; before it, there is none.
        if (QFileInfo::exists(target)) {
            EXPECT_TRUE(checkBook(target, velkora::testing::BookPassword).isEmpty()) << "round " << round;
            EXPECT_EQ(readBack(target).subtopics.size(), 400) << "round " << round;
        }
    }
    std::printf("%d of 10 imports finished before their kill\n", finished);
}
