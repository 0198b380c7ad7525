// The book's full-text index: how it matches Turkish, how it follows every change of a subtopic in
// the same transaction (a kill included), how a book without one gets it once, what its check
// names, and that nothing of a body reaches the disk in the clear.
#include "search/searchindex.h"
#include "search/searchquery.h"
#include "search/bodytext.h"
#include "search/termuses.h"
#include "search/turkishwords.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/sqlitestatement.h"
#include "support/bookfixture.h"
#include "support/killwhilesaving.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <map>
#include <thread>

using namespace velkora;
using velkora::testing::BookFixture;
using velkora::testing::killWhileSaving;
using velkora::testing::SubtopicSpec;
using velkora::testing::TopicSpec;

namespace {

QString rtf(const char *body)
{
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1254\\deff0{\\fonttbl{\\f0\\fnil\\fcharset162 Arial;}}\\f0\\fs20 %1\\par}")
        .arg(QString::fromLatin1(body));
}

// A book whose index is made and filled, as the program leaves it.
std::unique_ptr<database::Database> indexed(const BookFixture &book)
{
    auto db = book.open();
    search::createIndex(*db);
    EXPECT_TRUE(search::fillIndex(*db));
    return db;
}

// The titles of the subtopics the query finds, best first.
QStringList found(const database::Database &db, const QString &query)
{
    QStringList titles;
    for (const search::SearchResult &r : search::searchBook(db, search::parseQuery(query)))
        titles.append(r.subtopicTitle);
    return titles;
}

class BookIndex : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { search::installSearchIndex(); }
};

} // namespace

TEST_F(BookIndex, MatchesWordsTheTurkishWay)
{
    BookFixture book({
        {QStringLiteral("Sözcükler"),
         {{QStringLiteral("Büyük"), rtf("\\'d6\\'d0RETMEN geldi")},
          {QStringLiteral("Küçük"), rtf("\\'f6\\'f0retmenimiz gitti")},
          {QStringLiteral("Marksız"), rtf("Ogretmen yazdi")},
          {QStringLiteral("Şehirler"), rtf("\\'ddSTANBUL ve IRMAK, \\'fdl\\'fdk su")},
          {QStringLiteral("Kitabı"), rtf("Ali kitab\\'fd okudu")},
          {QStringLiteral("Kitaplar"), rtf("raftaki kitaplar")},
          {QStringLiteral("Kitaplarımızdan"), rtf("kitaplar\\'fdm\\'fdzdan biri")},
          {QStringLiteral("Öbek"), rtf("bu bir fiil c\\'fcmlesi olur")},
          {QStringLiteral("Dağınık"), rtf("c\\'fcmlesi yok ama fiil var")}}},
        {QStringLiteral("Ögeler"),
         {{QStringLiteral("Özne"), rtf("y\\'fcklem burada bir kez")},
          {QStringLiteral("Yüklem"), rtf("cümlenin temeli")},
          {QStringLiteral("Biçim"), QStringLiteral("{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0 Verdana;}}\\f0\\b kal\\'fdn\\b0 {\\v gizlisakli\\v0}{\\pict\\pngblip "
                                                   "89504e470d0a}{\\*\\generator Yazgen;} son}")}}},
    });
    auto db = indexed(book);

    // Without marks a query finds every way of writing the word; with marks only those marks.
    EXPECT_EQ(found(*db, QStringLiteral("ogretmen")).size(), 3);
    EXPECT_TRUE(found(*db, QStringLiteral("OĞRETMEN")).isEmpty()) << "Ğ is a mark: only O with it answers";
    EXPECT_EQ(found(*db, QStringLiteral("öğretmen")), (QStringList{QStringLiteral("Büyük"), QStringLiteral("Küçük")}));
    // Turkish letter case: İ is i, I is ı.
    EXPECT_EQ(found(*db, QStringLiteral("istanbul")), QStringList{QStringLiteral("Şehirler")});
    EXPECT_EQ(found(*db, QStringLiteral("ırmak")), QStringList{QStringLiteral("Şehirler")});
    EXPECT_EQ(found(*db, QStringLiteral("ILIK")), QStringList{QStringLiteral("Şehirler")});
    EXPECT_TRUE(found(*db, QStringLiteral("irmak")).contains(QStringLiteral("Şehirler")));
    // Stems, prefixes, phrases, all words, exclusions.
    const QStringList kitap = found(*db, QStringLiteral("kitap"));
    for (const char *title : {"Kitabı", "Kitaplar", "Kitaplarımızdan"})
        EXPECT_TRUE(kitap.contains(QString::fromUtf8(title))) << title << " " << kitap.join(u',').toStdString();
    EXPECT_EQ(found(*db, QStringLiteral("kitapl*")).size(), 2);
    EXPECT_EQ(found(*db, QStringLiteral("\"fiil cümlesi\"")), QStringList{QStringLiteral("Öbek")});
    EXPECT_EQ(found(*db, QStringLiteral("fiil cümlesi")).size(), 2);
    EXPECT_EQ(found(*db, QStringLiteral("kitap -raftaki -ali")), QStringList{QStringLiteral("Kitaplarımızdan")});
    // A title weighs more than a body.
    const QStringList yuklem = found(*db, QStringLiteral("yüklem"));
    ASSERT_EQ(yuklem.size(), 2);
    EXPECT_EQ(yuklem.first(), QStringLiteral("Yüklem"));
    // Only the text a reader sees: not control words, font names, hidden text or pictures.
    EXPECT_EQ(found(*db, QStringLiteral("kalın")), QStringList{QStringLiteral("Biçim")});
    for (const char *unseen : {"verdana", "gizlisakli", "89504e470d0a", "yazgen", "fonttbl", "pngblip", "rtf1"})
        EXPECT_TRUE(found(*db, QString::fromUtf8(unseen)).isEmpty()) << unseen;

    // A result says where it is and marks its hits in the snippet; the first hit is as written.
    const auto results = search::searchBook(*db, search::parseQuery(QStringLiteral("ogretmen")));
    const auto big = std::find_if(results.begin(), results.end(), [](const auto &r) { return r.subtopicTitle == u"Büyük"; });
    ASSERT_NE(big, results.end());
    EXPECT_EQ(big->topicTitle, QStringLiteral("Sözcükler"));
    EXPECT_EQ(big->firstHitText, QStringLiteral("ÖĞRETMEN"));
    ASSERT_EQ(big->snippet.marks.size(), 1);
    const auto mark = big->snippet.marks.first();
    EXPECT_EQ(big->snippet.text.mid(mark.start, mark.end - mark.start), QStringLiteral("ÖĞRETMEN"));
}

TEST_F(BookIndex, FollowsEverySaveRenameAndDeleteInTheSameTransaction)
{
    BookFixture book({{QStringLiteral("Konu A"), {{QStringLiteral("Bir"), rtf("elma")}, {QStringLiteral("İki"), rtf("armut")}}},
                      {QStringLiteral("Konu B"), {{QStringLiteral("Üç"), rtf("elma kiraz")}}}});
    auto db = indexed(book);
    const database::TableInfo &detail = db->table(u"detail");
    const database::TableInfo &master = db->table(u"master");
    const int title = detail.columnIndex(u"Altkonu"), body = detail.columnIndex(u"Aciklama");

    EXPECT_EQ(found(*db, QStringLiteral("elma")).size(), 2);
    database::Row one = *db->fetchRow(detail, 1);
    db->update(detail, 1, one.version, {{body, rtf("ayva")}});
    EXPECT_EQ(found(*db, QStringLiteral("elma")), QStringList{QStringLiteral("Üç")});
    EXPECT_EQ(found(*db, QStringLiteral("ayva")), QStringList{QStringLiteral("Bir")});
    one = *db->fetchRow(detail, 1);
    db->update(detail, 1, one.version, {{title, QStringLiteral("Yeni Başlık")}});
    EXPECT_EQ(found(*db, QStringLiteral("ayva")), QStringList{QStringLiteral("Yeni Başlık")});
    EXPECT_EQ(found(*db, QStringLiteral("başlık")), QStringList{QStringLiteral("Yeni Başlık")});
    EXPECT_TRUE(found(*db, QStringLiteral("bir")).isEmpty());

    const database::Row added = db->insert(detail, {{detail.columnIndex(u"Sira"), 1}, {title, QStringLiteral("Dört")}, {body, rtf("incir")}});
    EXPECT_EQ(found(*db, QStringLiteral("incir")), QStringList{QStringLiteral("Dört")});
    db->remove(detail, added.key, added.version);
    EXPECT_TRUE(found(*db, QStringLiteral("incir")).isEmpty());
    // A topic deleted takes its subtopics, and their entries, with it.
    const database::Row topicB = *db->fetchRow(master, 2);
    db->remove(master, 2, topicB.version);
    EXPECT_TRUE(found(*db, QStringLiteral("kiraz")).isEmpty());
    EXPECT_TRUE(db->check().isEmpty()) << db->check().join(u'\n').toStdString();
    EXPECT_TRUE(search::checkIndex(*db).isEmpty());

    // A save the book refuses leaves the index as it was.
    const database::Row two = *db->fetchRow(detail, 2);
    db->update(detail, 2, two.version, {{body, rtf("nar")}});
    EXPECT_THROW(db->update(detail, 2, two.version, {{body, rtf("dut")}}), database::DatabaseError);
    EXPECT_EQ(found(*db, QStringLiteral("nar")), QStringList{QStringLiteral("İki")});
    EXPECT_TRUE(found(*db, QStringLiteral("dut")).isEmpty());
}

TEST_F(BookIndex, ABookWithoutAnIndexGetsItOnceEvenFromTwoProgramsAndTheCheckNamesADisagreement)
{
    std::vector<SubtopicSpec> many;
    for (int i = 0; i < 450; ++i)
        many.push_back({QStringLiteral("Altkonu %1").arg(i), rtf(i % 3 ? "s\\'fcrekli metin" : "seyrek s\\'f6zc\\'fck")});
    BookFixture book({{QStringLiteral("Konu"), many}});
    {
        auto db = book.open();
        EXPECT_FALSE(search::holdsIndex(*db));
        EXPECT_TRUE(db->check().isEmpty());
    }
    // Two programs open it at once and both build; each batch is theirs alone.
    auto run = [&book] {
        auto db = book.open();
        search::createIndex(*db);
        search::fillIndex(*db);
    };
    std::thread a(run), b(run);
    a.join();
    b.join();
    auto db = book.open();
    const search::IndexState state = search::indexState(*db);
    EXPECT_TRUE(state.present && state.built);
    EXPECT_EQ(state.indexed, 450);
    EXPECT_EQ(found(*db, QStringLiteral("seyrek")).size(), 50) << "the first 50 of 150";
    EXPECT_TRUE(db->check().isEmpty()) << db->check().join(u'\n').toStdString();

    // A filling stopped half way goes on where it stopped, and answers meanwhile from what it holds.
    BookFixture later({{QStringLiteral("Konu"), many}});
    {
        auto first = later.open();
        search::createIndex(*first);
        qint64 seen = 0, total = 0;
        EXPECT_FALSE(search::fillIndex(*first, [&](qint64 done, qint64 all) {
            seen = done;
            total = all;
            return false;
        }));
        EXPECT_EQ(seen, search::FillBatch);
        EXPECT_EQ(total, 450);
        EXPECT_FALSE(search::indexState(*first).built);
        EXPECT_TRUE(first->check().isEmpty()) << "a filling under way is no disagreement";
    }
    {
        auto second = later.open();
        EXPECT_TRUE(search::fillIndex(*second));
        EXPECT_EQ(search::indexState(*second).indexed, 450);
        EXPECT_TRUE(second->check().isEmpty());
    }

    // An entry that no longer matches its subtopic is named by the check.
    sqlite3 *h = db->handle();
    ASSERT_EQ(sqlite3_exec(h, "DROP TRIGGER search_words_unindex; DROP TRIGGER search_words_reindex;"
                              "UPDATE detail SET Aciklama = 'bambaska bir metin burada' WHERE Kimlik = 7",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const QStringList problems = search::checkIndex(*db);
    ASSERT_FALSE(problems.isEmpty());
    EXPECT_TRUE(problems.join(u'\n').contains(QStringLiteral("subtopic 7"))) << problems.join(u'\n').toStdString();
    db.reset();
    // The layout holds the index's part only whole: without its triggers the book is refused.
    EXPECT_THROW(book.open(), database::DatabaseError);
}

TEST_F(BookIndex, AProcessKilledWhileSavingLeavesBodyAndIndexAgreeing)
{
    BookFixture book({{QStringLiteral("Konu"), {{QStringLiteral("Giriş"), rtf("eski")}}}});
    indexed(book);
    QByteArray apples, pears;
    for (int i = 0; i < 20000; ++i) {
        apples += " elmalar" + QByteArray::number(i % 50);
        pears += " armutlar" + QByteArray::number(i % 50);
    }
    const QString a = rtf(apples.constData()), b = rtf(pears.constData());
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::unique_ptr<database::Database> writer;
        killWhileSaving(
            [&](int i) {
                if (!writer)
                    writer = book.open();
                const database::TableInfo &detail = writer->table(u"detail");
                const database::Row row = *writer->fetchRow(detail, 1);
                writer->update(detail, 1, row.version, {{detail.columnIndex(u"Aciklama"), i % 2 ? a : b}});
            },
            useconds_t(2000 + attempt * 5300));
        auto db = book.open();
        EXPECT_TRUE(db->check().isEmpty()) << db->check().join(u'\n').toStdString();
        const QString body = db->fetchLong(db->table(u"detail"), 1, db->table(u"detail").columnIndex(u"Aciklama"))->value.toString();
        const bool apples = body.contains(QStringLiteral("elmalar"));
        EXPECT_EQ(found(*db, QStringLiteral("elmalar7")).size(), apples ? 1 : 0);
        EXPECT_EQ(found(*db, QStringLiteral("armutlar7")).size(), apples ? 0 : 1);
    }
}

TEST_F(BookIndex, NothingOfABodyReachesTheDiskInTheClear)
{
    BookFixture book({{QStringLiteral("Konu"), {{QStringLiteral("Gizli Başlık"), rtf("z\\'fcmr\\'fctankaku\\'feu ejderhayuvas\\'fd")}}}});
    auto db = indexed(book);
    ASSERT_EQ(found(*db, QStringLiteral("zumrutankakusu")).size(), 1);
    const auto scan = [&book](const char *when) {
        QDirIterator it(book.folder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        int files = 0;
        while (it.hasNext()) {
            QFile f(it.next());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            ++files;
            for (const char *word : {"zumrutanka", "z\xc3\xbcmr\xc3\xbctanka", "ejderhayuva", "Gizli Ba", "tankakus"})
                EXPECT_FALSE(bytes.contains(word)) << when << ": " << word << " in " << f.fileName().toStdString();
        }
        EXPECT_GE(files, 1);
    };
    scan("while the book is open");
    db.reset();
    scan("after it is closed");
}

TEST_F(BookIndex, ItsListsAreReadFromItsStorageAsTheTextsHaveThem)
{
    // Enough subtopics and words for segments of several levels whose roots point to leaves, and
    // changes after the filling that newer segments record over older ones.
    QRandomGenerator rng(7);
    const auto text = [&rng](int words) {
        QByteArray out;
        for (int w = 0; w < words; ++w) {
            static const char *const stems[] = {"kitap", "kalem", "defter", "okul", "\\'f6\\'f0retmen", "s\\'f6zc\\'fck", "ders"};
            static const char *const endings[] = {"", "lar", "\\'fd", "lar\\'fdm\\'fdzdan", "da", "ler", "in"};
            out += stems[rng.bounded(7)];
            out += endings[rng.bounded(7)];
            out += QByteArray::number(rng.bounded(400)) + ' ';
        }
        return out;
    };
    std::vector<SubtopicSpec> many;
    for (int i = 0; i < 1500; ++i)
        many.push_back({QStringLiteral("Başlık %1 ders").arg(i), rtf(text(1 + rng.bounded(60)).constData())});
    BookFixture book({{QStringLiteral("Konu"), many}});
    auto db = indexed(book);
    const database::TableInfo &detail = db->table(u"detail");
    const int body = detail.columnIndex(u"Aciklama"), title = detail.columnIndex(u"Altkonu");
    for (int change = 0; change < 40; ++change) {
        const qint64 key = 1 + rng.bounded(1500);
        const std::optional<database::Row> row = db->fetchRow(detail, key);
        if (!row)
            continue;
        if (change % 7 == 3)
            db->remove(detail, key, row->version);
        else if (change % 5 == 1)
            db->update(detail, key, row->version, {{title, QStringLiteral("Yeni ad %1").arg(change)}});
        else
            db->update(detail, key, row->version, {{body, rtf(text(1 + rng.bounded(60)).constData())}});
    }
    sqlite3 *h = db->handle();
    int deepest = 0, segments = 0;
    {
        database::SqliteStatement st(h, QStringLiteral("SELECT root FROM search_words_segdir"));
        while (st.step()) {
            ++segments;
            deepest = std::max(deepest, int(st.bytes(0).at(0)));
        }
    }
    EXPECT_GE(segments, 3);
    EXPECT_GE(deepest, 1) << "no segment's root points to leaves";

    // What the texts say: for each term, the subtopics using it and how often, title and body.
    std::map<QByteArray, std::map<qint64, std::pair<quint32, quint32>>> expected;
    {
        database::SqliteStatement st(h, QStringLiteral("SELECT Kimlik, Altkonu, Aciklama FROM detail"));
        while (st.step()) {
            const QString texts[2] = {st.text(1), search::bodyText(st.bytes(2))};
            for (int column = 0; column < 2; ++column) {
                for (const search::Word &w : search::splitWords(texts[column])) {
                    QString stem, surface;
                    search::termsOf(w, &stem, &surface);
                    for (const QString &t : stem == surface ? QStringList{stem} : QStringList{stem, surface}) {
                        auto &counts = expected[t.toUtf8()][st.integer(0)];
                        ++(column == 0 ? counts.first : counts.second);
                    }
                }
            }
        }
    }
    const auto held = [&](const QByteArray &term, bool prefix) {
        std::vector<search::TermUse> uses;
        search::termUses(h, QStringLiteral("search_words"), term, prefix, uses);
        std::map<qint64, std::pair<quint32, quint32>> out;
        for (const search::TermUse &u : uses)
            out[u.subtopic] = {u.title, u.body};
        return out;
    };
    int compared = 0;
    for (const auto &[term, uses] : expected) {
        if (rng.bounded(4) != 0 && compared > 20)
            continue; // a quarter of the terms, beyond the first ones
        EXPECT_EQ(held(term, false), uses) << term.toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 100);
    EXPECT_TRUE(held("yokboylebirsey", false).empty());
    // A prefix: the counts of every term that begins with it, added.
    for (const QByteArray prefix : {QByteArray("kitapl"), QByteArray("ogretm"), QByteArray("ders1")}) {
        std::map<qint64, std::pair<quint32, quint32>> sum;
        for (const auto &[term, uses] : expected)
            if (term.startsWith(prefix))
                for (const auto &[subtopic, counts] : uses) {
                    sum[subtopic].first += counts.first;
                    sum[subtopic].second += counts.second;
                }
        EXPECT_EQ(held(prefix, true), sum) << prefix.toStdString();
    }
    EXPECT_TRUE(db->check().isEmpty()) << db->check().join(u'\n').toStdString();
}

TEST_F(BookIndex, ABookIndexedByAnEarlierVersionOpensAndGetsTheCountingIndex)
{
    BookFixture book({{QStringLiteral("Konu"), {{QStringLiteral("Bir"), rtf("kitaplar\\'fdm\\'fdz")}, {QStringLiteral("İki"), rtf("defter")}}}});
    {
        // The index as the first versions made it: word positions, tables and triggers of their own names.
        auto db = book.open();
        sqlite3 *h = db->handle();
        for (const char *statement :
             {"CREATE VIRTUAL TABLE search_index USING fts4(content=\"detail\", Altkonu, Aciklama, tokenize=velkora)",
              "CREATE TABLE search_state (key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
              "CREATE TRIGGER search_detail_insert AFTER INSERT ON detail BEGIN"
              " INSERT INTO search_index(docid, Altkonu, Aciklama) VALUES (new.Kimlik, new.Altkonu, new.Aciklama); END",
              "CREATE TRIGGER search_detail_unindex BEFORE UPDATE OF Kimlik, Altkonu, Aciklama ON detail"
              " WHEN EXISTS (SELECT 1 FROM search_index_docsize WHERE docid = old.Kimlik) BEGIN"
              " DELETE FROM search_index WHERE docid = old.Kimlik; END",
              "CREATE TRIGGER search_detail_reindex AFTER UPDATE OF Kimlik, Altkonu, Aciklama ON detail BEGIN"
              " INSERT INTO search_index(docid, Altkonu, Aciklama) VALUES (new.Kimlik, new.Altkonu, new.Aciklama); END",
              "CREATE TRIGGER search_detail_delete BEFORE DELETE ON detail"
              " WHEN EXISTS (SELECT 1 FROM search_index_docsize WHERE docid = old.Kimlik) BEGIN"
              " DELETE FROM search_index WHERE docid = old.Kimlik; END",
              "INSERT INTO search_index(docid, Altkonu, Aciklama) SELECT Kimlik, Altkonu, Aciklama FROM detail",
              "INSERT INTO search_state(key, value) VALUES ('built', 1), ('next', 2)"})
            ASSERT_EQ(sqlite3_exec(h, statement, nullptr, nullptr, nullptr), SQLITE_OK) << statement << sqlite3_errmsg(h);
    }
    auto db = book.open(); // its layout is accepted as it is
    EXPECT_TRUE(db->check().isEmpty()) << db->check().join(u'\n').toStdString();
    EXPECT_FALSE(search::indexState(*db).present) << "the earlier index is not the one searched";
    // A save meanwhile keeps the earlier index as its triggers do.
    const database::TableInfo &detail = db->table(u"detail");
    const database::Row two = *db->fetchRow(detail, 2);
    db->update(detail, 2, two.version, {{detail.columnIndex(u"Aciklama"), rtf("kalem")}});
    search::createIndex(*db);
    EXPECT_TRUE(search::fillIndex(*db));
    EXPECT_FALSE(database::tableExists(db->handle(), "search_index"));
    EXPECT_FALSE(database::tableExists(db->handle(), "search_state"));
    EXPECT_EQ(found(*db, QStringLiteral("kitap")), QStringList{QStringLiteral("Bir")});
    EXPECT_EQ(found(*db, QStringLiteral("kalem")), QStringList{QStringLiteral("İki")});
    EXPECT_TRUE(found(*db, QStringLiteral("defter")).isEmpty());
    EXPECT_TRUE(db->check().isEmpty()) << db->check().join(u'\n').toStdString();
}
