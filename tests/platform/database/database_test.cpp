// The encrypted book file: opening and its refusals, the layout, optimistic writes, and durability.
#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/selectstatement.h"
#include "support/bookfixture.h"
#include "support/killwhilesaving.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace velkora::database;
using velkora::testing::BookFixture;
using velkora::testing::BookPassword;

namespace {

QString openError(const QString &path, const QString &password = BookPassword, int busyMs = 5000)
{
    try {
        Database::Options options;
        options.busyTimeoutMs = busyMs;
        Database::open(path, password, options);
    } catch (const DatabaseError &e) {
        return e.message();
    }
    return QString();
}

ResultSet run(const Database &db, const QString &statement, const QHash<QString, QVariant> &params = {})
{
    return db.select(SelectStatement::parse(statement), params);
}

QStringList titles(const ResultSet &rs, const QString &column)
{
    QStringList out;
    const int c = rs.table.columnIndex(column);
    for (const Row &r : rs.rows)
        out.append(r.values[c].toString());
    return out;
}

} // namespace

TEST(Database, OpensOnlyWithTheRightKeyAndTheCipherIsReal)
{
    BookFixture book;
    auto db = book.open();
    EXPECT_FALSE(db->cipherVersion().isEmpty()); // plain libsqlite3 was not picked up by mistake
    EXPECT_TRUE(openError(book.path(), QStringLiteral("yanlış")).startsWith(QStringLiteral("Not a valid password.")));
    // Nothing of the content is readable without the key.
    QFile f(book.path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.readAll().contains("CREATE TABLE"));
}

TEST(Database, RefusesWhatIsNotABookWithAClearMessage)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("Data.mdb"));
    EXPECT_EQ(openError(missing), QStringLiteral("Could not find file '%1'.").arg(missing));
    EXPECT_FALSE(QFile::exists(missing)); // opening never creates the file

    const QString empty = dir.filePath(QStringLiteral("empty.mdb"));
    QFile(empty).open(QIODevice::WriteOnly);
    EXPECT_TRUE(openError(empty).startsWith(QStringLiteral("Unrecognized database format '%1'.").arg(empty)));
    EXPECT_EQ(QFileInfo(empty).size(), 0);

    const QString text = dir.filePath(QStringLiteral("text.mdb"));
    {
        QFile t(text);
        t.open(QIODevice::WriteOnly);
        t.write(QByteArray(4096, 'x'));
    }
    EXPECT_FALSE(openError(text).isEmpty());
    EXPECT_EQ(QFileInfo(text).size(), 4096);

    const QString jet = dir.filePath(QStringLiteral("jet.mdb"));
    {
        QFile t(jet);
        t.open(QIODevice::WriteOnly);
        QByteArray header(4096, '\0');
        header.replace(4, 15, "Standard Jet DB");
        t.write(header);
    }
    EXPECT_TRUE(openError(jet).contains(QStringLiteral("velkora-book import")));
    // The exact command to run, with a new name beside the old file.
    EXPECT_TRUE(openError(jet).contains(QStringLiteral("velkora-book import \"%1\" \"%2\"").arg(jet, dir.filePath(QStringLiteral("jet-velkora.mdb")))))
        << openError(jet).toStdString();
}

TEST(Database, RealJetFilesFromTheCorpusAreRecognised)
{
    const QString corpus = velkora::testing::corpusFolder();
    if (corpus.isEmpty())
        GTEST_SKIP() << "no shared corpus in this checkout (../shared/corpus)";
    const QDir mdb(corpus + QStringLiteral("/mdb"));
    const QStringList files = mdb.entryList({QStringLiteral("*.mdb"), QStringLiteral("*.accdb")}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString &name : files) {
        const QString message = openError(mdb.filePath(name));
        EXPECT_TRUE(message.contains(QStringLiteral("velkora-book import"))) << name.toStdString() << ": "
                                                                              << message.toStdString();
    }
}

TEST(Database, LockedBookIsRefusedNotWaitedOnForever)
{
    BookFixture book;
    auto holder = book.open();
    ASSERT_EQ(sqlite3_exec(holder->handle(), "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
    const QString message = openError(book.path(), BookPassword, 200);
    EXPECT_TRUE(message.contains(QStringLiteral("cannot open the file"))) << message.toStdString();
    sqlite3_exec(holder->handle(), "COMMIT", nullptr, nullptr, nullptr);
}

TEST(Database, LayoutReportsTypesSizesAndKeys)
{
    BookFixture book;
    auto db = book.open();
    EXPECT_EQ(db->schemaVersion(), 1);
    EXPECT_TRUE(db->check().isEmpty()) << db->check().join(u'\n').toStdString();
    const TableInfo &master = db->table(u"MASTER");
    EXPECT_EQ(master.keyColumn, QStringLiteral("Sira"));
    EXPECT_EQ(master.columns.size(), 2); // the row version is the engine's own
    EXPECT_TRUE(master.columns[master.columnIndex(u"sira")].readOnly);
    EXPECT_EQ(master.columns[master.columnIndex(u"Baslik")].type, ColumnType::Text);
    EXPECT_EQ(master.columns[master.columnIndex(u"Baslik")].size, 255);
    const TableInfo &detail = db->table(u"detail");
    EXPECT_EQ(detail.columns[detail.columnIndex(u"Aciklama")].type, ColumnType::LongText);
    EXPECT_EQ(detail.columns[detail.columnIndex(u"Altkonu")].size, 255);
    EXPECT_THROW(db->table(u"sqlite_master"), DatabaseError);
}

TEST(Database, SubtopicsSortTurkishAndSearchIgnoresCase)
{
    BookFixture book({{QStringLiteral("Konu"),
                       {{QStringLiteral("Zarf"), {}}, {QStringLiteral("çekim"), {}}, {QStringLiteral("Cümle"), {}},
                        {QStringLiteral("ısı"), {}}, {QStringLiteral("İsim"), {}}, {QStringLiteral("CÜMLE"), {}},
                        {QString(), {}}}}});
    auto db = book.open();
    const ResultSet sorted = run(*db, QStringLiteral("Select * From detail WHERE Sira=:Sira\r\nOrder By AltKonu"),
                                 {{QStringLiteral("Sira"), 1}});
    // The null title first, titles equal but for case next to each other, in the order they were added.
    EXPECT_EQ(titles(sorted, QStringLiteral("Altkonu")),
              (QStringList{QString(), QStringLiteral("Cümle"), QStringLiteral("CÜMLE"), QStringLiteral("çekim"),
                           QStringLiteral("ısı"), QStringLiteral("İsim"), QStringLiteral("Zarf")}));
    // The long value is not read with the rows.
    EXPECT_TRUE(sorted.deferred[sorted.table.columnIndex(u"Aciklama")]);

    const ResultSet found = run(*db, QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE \"%cüm%\""));
    EXPECT_EQ(found.rows.size(), 2);
    const ResultSet all = run(*db, QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE \"%%\""));
    EXPECT_EQ(all.rows.size(), 6); // the null title does not match
    const ResultSet none = run(*db, QStringLiteral("Select * From detail WHERE Sira=:Sira"), {{QStringLiteral("Sira"), QVariant()}});
    EXPECT_TRUE(none.rows.isEmpty());
    EXPECT_THROW(run(*db, QStringLiteral("Select * From detail WHERE Sira=:Sira")), DatabaseError); // no value given
    EXPECT_THROW(run(*db, QStringLiteral("Select * From nothere")), DatabaseError);
    EXPECT_THROW(run(*db, QStringLiteral("Select * From detail Order By Nope")), DatabaseError);
}

TEST(Database, WritesAreOptimisticAndConflictsChangeNothing)
{
    BookFixture book({{QStringLiteral("Konu"), {{QStringLiteral("Giriş"), QStringLiteral("ilk")}}}});
    auto first = book.open();
    auto second = book.open();
    const TableInfo &detail = first->table(u"detail");
    const int body = detail.columnIndex(u"Aciklama");
    const Row row = run(*first, QStringLiteral("Select * From detail")).rows.at(0);

    const qint64 v2 = second->update(detail, row.key, row.version, {{body, QStringLiteral("ikinci")}});
    EXPECT_EQ(v2, row.version + 1);
    try {
        first->update(detail, row.key, row.version, {{body, QStringLiteral("birinci")}});
        ADD_FAILURE() << "a stale write went through";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Row cannot be located for updating")));
    }
    EXPECT_THROW(first->remove(detail, row.key, row.version), DatabaseError);
    EXPECT_EQ(first->fetchLong(detail, row.key, body)->value.toString(), QStringLiteral("ikinci"));
    EXPECT_EQ(first->fetchLong(detail, row.key, body)->version, v2);

    // Sizes and types are enforced before anything is written.
    const int title = detail.columnIndex(u"Altkonu");
    EXPECT_THROW(first->update(detail, row.key, v2, {{title, QString(256, u'x')}}), DatabaseError);
    EXPECT_THROW(first->insert(detail, {{detail.columnIndex(u"Sira"), QStringLiteral("bir")}}), DatabaseError);
    EXPECT_THROW(first->insert(detail, {{detail.columnIndex(u"Sira"), 999}}), DatabaseError); // no such topic
    EXPECT_THROW(first->insert(detail, {{title, QStringLiteral("konusuz")}}), DatabaseError); // no topic at all
    EXPECT_EQ(run(*first, QStringLiteral("Select * From detail")).rows.size(), 1);
    first->remove(detail, row.key, v2);
    EXPECT_FALSE(first->fetchRow(detail, row.key).has_value());
}

TEST(Database, DeletingATopicDeletesItsSubtopics)
{
    BookFixture book({{QStringLiteral("A"), {{QStringLiteral("a1"), {}}, {QStringLiteral("a2"), {}}}},
                      {QStringLiteral("B"), {{QStringLiteral("b1"), {}}}}});
    auto db = book.open();
    const TableInfo &master = db->table(u"master");
    const Row a = run(*db, QStringLiteral("Select * From master")).rows.at(0);
    db->remove(master, a.key, a.version);
    const ResultSet left = run(*db, QStringLiteral("Select * From detail"));
    EXPECT_EQ(titles(left, QStringLiteral("Altkonu")), QStringList{QStringLiteral("b1")});
    // New topics get fresh keys, never the deleted one's.
    const Row c = db->insert(master, {{master.columnIndex(u"Baslik"), QStringLiteral("C")}});
    EXPECT_GT(c.key, 2);
    EXPECT_EQ(c.values[master.keyField].toLongLong(), c.key);
}

TEST(Database, AProcessKilledWhileSavingLeavesTheOldOrTheNewBody)
{
    const QString oldBody = QStringLiteral("{\\rtf1 eski}");
    BookFixture book({{QStringLiteral("Konu"), {{QStringLiteral("Giriş"), oldBody}}}});
    const QString bodyA(300000, u'A');
    const QString bodyB(300000, u'B');
    for (int attempt = 0; attempt < 6; ++attempt) {
        // The writer has saved once and is busy saving again when it is killed.
        std::unique_ptr<Database> writer;
        velkora::testing::killWhileSaving(
            [&](int i) {
                if (!writer)
                    writer = book.open();
                const TableInfo &detail = writer->table(u"detail");
                const Row row = *writer->fetchRow(detail, 1);
                writer->update(detail, 1, row.version, {{detail.columnIndex(u"Aciklama"), i % 2 ? bodyA : bodyB}});
            },
            static_cast<useconds_t>(1000 + attempt * 3700));
        auto db = book.open();
        EXPECT_TRUE(db->check().isEmpty()) << db->check().join(u'\n').toStdString();
        const TableInfo &detail = db->table(u"detail");
        const QString body = db->fetchLong(detail, 1, detail.columnIndex(u"Aciklama"))->value.toString();
        EXPECT_TRUE(body == oldBody || body == bodyA || body == bodyB) << body.left(20).toStdString();
    }
}
