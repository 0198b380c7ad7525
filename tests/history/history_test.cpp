// The history inside the book: versions kept on each save that changes a title or a body, limited
// to fifty a subtopic and a quarter of the book; deleted subtopics and topics kept and brought back;
// the layout check and the history's own check.
#include "history/bookhistory.h"
#include "platform/database/sqlitestatement.h"
#include "search/searchindex.h"
#include "support/bookfixture.h"

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using history::Kind;

namespace {

struct HistoryBook
{
    explicit HistoryBook(const std::vector<TopicSpec> &topics) : fixture(topics)
    {
        history::installBookHistory();
        db = fixture.open();
        history::createHistory(*db);
    }
    // Saves a subtopic's title and body as the program does (the row version it read).
    void save(qint64 subtopic, const QString &title, const QString &body)
    {
        const auto &detail = db->table(u"detail");
        const auto row = db->fetchRow(detail, subtopic);
        ASSERT_TRUE(row);
        const qint64 version = row->version;
        db->update(detail, subtopic, version, {{detail.columnIndex(u"Altkonu"), title}, {detail.columnIndex(u"Aciklama"), body}});
    }
    void remove(const char *table, qint64 key)
    {
        const auto &t = db->table(QString::fromLatin1(table));
        const auto row = db->fetchRow(t, key);
        ASSERT_TRUE(row);
        db->remove(t, key, row->version);
    }
    qint64 count(const QString &sql) { return database::scalar(db->handle(), sql); }

    BookFixture fixture;
    std::unique_ptr<database::Database> db;
};

QStringList titles(const QList<history::Entry> &entries)
{
    QStringList out;
    for (const history::Entry &e : entries)
        out << (e.kind == Kind::DeletedTopic ? e.topicTitle : e.title);
    return out;
}

} // namespace

TEST(BookHistory, SavesKeepTheVersionsTheyReplaceFiftyASubtopic)
{
    HistoryBook book({{"Cümle", {{"Özne", "{\\rtf1 bir}"}, {"Yüklem", "{\\rtf1 iki}"}}}});
    EXPECT_TRUE(book.db->check().isEmpty()) << book.db->check().join('\n').toStdString();
    book.save(1, "Özne", "{\\rtf1 bir bir}");
    book.save(1, "Özneler", "{\\rtf1 bir bir}"); // the title alone
    book.save(1, "Özneler", "{\\rtf1 bir bir}"); // nothing changed: nothing kept
    const QList<history::Entry> versions = history::versionsOf(*book.db, 1);
    ASSERT_EQ(versions.size(), 2);
    EXPECT_EQ(versions[0].title, "Özne"); // newest first: what the title change replaced
    EXPECT_EQ(history::bodyOf(*book.db, versions[0].id), "{\\rtf1 bir bir}");
    EXPECT_EQ(history::bodyOf(*book.db, versions[1].id), "{\\rtf1 bir}");
    EXPECT_EQ(versions[1].topicTitle, "Cümle");
    EXPECT_EQ(versions[1].size, QByteArray("Özne{\\rtf1 bir}").size());
    EXPECT_TRUE(history::versionsOf(*book.db, 2).isEmpty());

    for (int i = 0; i < 60; ++i)
        book.save(2, "Yüklem", QStringLiteral("{\\rtf1 sürüm %1}").arg(i));
    const QList<history::Entry> many = history::versionsOf(*book.db, 2);
    ASSERT_EQ(many.size(), history::VersionsKept);
    EXPECT_EQ(history::bodyOf(*book.db, many.front().id), "{\\rtf1 sürüm 58}");
    EXPECT_EQ(history::bodyOf(*book.db, many.back().id), "{\\rtf1 sürüm 9}");
    EXPECT_TRUE(book.db->check().isEmpty()) << book.db->check().join('\n').toStdString();

    // Switched off for the book: saves keep nothing more.
    history::setHistoryEnabled(*book.db, false);
    EXPECT_FALSE(history::historyEnabled(*book.db));
    book.save(1, "Özneler", "{\\rtf1 üç}");
    EXPECT_EQ(history::versionsOf(*book.db, 1).size(), 2);
    history::setHistoryEnabled(*book.db, true);
    book.save(1, "Özneler", "{\\rtf1 dört}");
    EXPECT_EQ(history::versionsOf(*book.db, 1).size(), 3);
}

TEST(BookHistory, DeletedSubtopicsAndTopicsComeBackWithTheirBodies)
{
    HistoryBook book({{"Cümle", {{"Özne", "{\\rtf1 özne}"}, {"Yüklem", "{\\rtf1 yüklem}"}}},
                      {"Sözcük", {{"Ad", "{\\rtf1 ad}"}, {"Fiil", "{\\rtf1 fiil}"}}}});
    book.remove("detail", 1);            // "Özne" alone
    book.remove("master", 2);            // "Sözcük" with "Ad" and "Fiil"
    QList<history::Entry> deleted = history::deletedEntries(*book.db);
    EXPECT_EQ(titles(deleted), QStringList({"Fiil", "Ad", "Sözcük", "Özne"}));
    EXPECT_EQ(deleted[0].topicTitle, "Sözcük"); // deleted with its topic, which it still names
    ASSERT_EQ(deleted[2].kind, Kind::DeletedTopic);
    EXPECT_EQ(titles(history::deletedWith(*book.db, deleted[2].id)), QStringList({"Fiil", "Ad"}));

    // The topic comes back with its subtopics; the subtopic under its topic, which is still there.
    const qint64 topic = history::restoreDeleted(*book.db, deleted[2].id);
    EXPECT_EQ(book.count(QStringLiteral("SELECT count(*) FROM detail WHERE Sira = %1").arg(topic)), 2);
    EXPECT_EQ(book.count(QStringLiteral("SELECT count(*) FROM master WHERE Baslik = 'Sözcük'")), 1);
    EXPECT_EQ(history::restoreDeleted(*book.db, deleted[3].id), 1);
    EXPECT_EQ(book.count("SELECT count(*) FROM detail WHERE Kimlik = 1"), 1); // under its own key again
    EXPECT_EQ(book.count("SELECT count(*) FROM detail WHERE Sira = 1 AND Altkonu = 'Özne' AND Aciklama = '{\\rtf1 özne}'"), 1);
    EXPECT_TRUE(history::deletedEntries(*book.db).isEmpty());
    EXPECT_THROW(history::restoreDeleted(*book.db, deleted[3].id), database::DatabaseError);

    // A subtopic whose topic is gone comes back under "Geri Getirilenler", made once.
    book.remove("detail", 2); // "Yüklem"
    book.remove("master", 1); // "Cümle" and "Özne"
    deleted = history::deletedEntries(*book.db);
    ASSERT_EQ(titles(deleted), QStringList({"Özne", "Cümle", "Yüklem"}));
    const qint64 restored = history::restoreDeleted(*book.db, deleted[2].id);
    EXPECT_EQ(book.count(QStringLiteral("SELECT count(*) FROM master WHERE Sira = %1 AND Baslik = 'Geri Getirilenler'").arg(restored)), 1);
    EXPECT_EQ(history::restoreDeleted(*book.db, deleted[0].id), restored);
    EXPECT_TRUE(book.db->check().isEmpty()) << book.db->check().join('\n').toStdString();
}

TEST(BookHistory, AllHistoryStaysWithinAQuarterOfTheBookOldestGoingFirst)
{
    std::vector<SubtopicSpec> subtopics = {{"Bir", "{\\rtf1 x}"}, {"İki", "{\\rtf1 y}"}};
    for (int i = 0; i < 10; ++i)
        subtopics.push_back({QStringLiteral("Dolgu %1").arg(i), QStringLiteral("{\\rtf1 ") + QString(100'000, u'd') + u'}'});
    HistoryBook book({{"Büyük", subtopics}});
    const QString big = QStringLiteral("{\\rtf1 ") + QString(100'000, u'a') + u'}';
    for (int i = 0; i < 40; ++i)
        book.save(1 + i % 2, i % 2 ? "İki" : "Bir", big + QString::number(i));
    const qint64 bytes = book.count("SELECT value FROM history_state WHERE key = 'bytes'");
    const qint64 bookBytes = (book.count("PRAGMA page_count") - book.count("PRAGMA freelist_count")) * book.count("PRAGMA page_size");
    EXPECT_LE(bytes, bookBytes / history::ShareOfBook);
    EXPECT_EQ(bytes, book.count("SELECT total(Boyut) FROM history"));
    // The newest are the ones kept.
    const QList<history::Entry> kept = history::versionsOf(*book.db, 2);
    ASSERT_FALSE(kept.isEmpty());
    EXPECT_TRUE(history::bodyOf(*book.db, kept.front().id).endsWith("37"));
    EXPECT_LT(kept.size() + history::versionsOf(*book.db, 1).size(), 40);
    EXPECT_TRUE(book.db->check().isEmpty()) << book.db->check().join('\n').toStdString();

    // A topic deleted whole stays whole in the history however large it is: its entries are not
    // trimmed by its own delete, the earlier versions go first.
    book.remove("master", 1);
    const QList<history::Entry> deleted = history::deletedEntries(*book.db);
    ASSERT_FALSE(deleted.isEmpty());
    EXPECT_EQ(deleted.last().kind, Kind::DeletedTopic);
    EXPECT_EQ(history::deletedWith(*book.db, deleted.last().id).size(), 12);
    EXPECT_TRUE(history::versionsOf(*book.db, 1).isEmpty() && history::versionsOf(*book.db, 2).isEmpty());
    const qint64 topic = history::restoreDeleted(*book.db, deleted.last().id);
    EXPECT_EQ(topic, 1); // under its own key, its subtopics under theirs
    EXPECT_EQ(book.count("SELECT count(*) FROM detail WHERE Sira = 1 AND Kimlik BETWEEN 1 AND 12"), 12);
    EXPECT_TRUE(book.db->check().isEmpty()) << book.db->check().join('\n').toStdString();

    // A count that disagrees with the entries is named by the check.
    database::exec(book.db->handle(), "UPDATE history_state SET value = value + 1 WHERE key = 'bytes'");
    EXPECT_FALSE(book.db->check().filter("history counts").isEmpty());
}

TEST(BookHistory, TheLayoutCheckAcceptsTheHistoryWholeAndNothingElse)
{
    search::installSearchIndex(); // before the book is opened: its connection gets the tokenizer
    HistoryBook book({{"Cümle", {{"Özne", "{\\rtf1 bir}"}}}});
    search::createIndex(*book.db);
    EXPECT_TRUE(book.db->schemaDifferences().isEmpty()) << book.db->schemaDifferences().join('\n').toStdString();
    database::exec(book.db->handle(), "DROP TRIGGER history_trim");
    EXPECT_FALSE(book.db->schemaDifferences().filter("history_trim").isEmpty());
}
