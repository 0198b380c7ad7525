// One record set on its own: moves and their flags, record numbers, edits, failures and long values.
#include "storetesting.h"

#include "store/datalink.h"

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using store::DataSetState;

namespace {

BookFixture fiveSubtopics()
{
    return BookFixture({{QStringLiteral("Cümle"),
                         {{QStringLiteral("e"), QStringLiteral("E")}, {QStringLiteral("b"), QStringLiteral("B")},
                          {QStringLiteral("d"), QStringLiteral("D")}, {QStringLiteral("a"), QStringLiteral("A")},
                          {QStringLiteral("c"), QStringLiteral("C")}}},
                        {QStringLiteral("Boş"), {}}});
}

struct Flags
{
    bool bof, eof;
    int recNo;
    bool operator==(const Flags &) const = default;
};

Flags flags(const store::DataSet &d)
{
    return {d.bof(), d.eof(), d.recNo()};
}

} // namespace

TEST(RecordSet, MovesRaiseAndLowerTheEndFlags)
{
    const BookFixture fixture = fiveSubtopics();
    OpenBook book(fixture);
    store::Query &q = *book.store.ADOQuery2;
    EXPECT_EQ(book.subtopics(), (QStringList{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(flags(q), (Flags{true, false, 1}));
    q.prior(); // runs into the first row
    EXPECT_EQ(flags(q), (Flags{true, false, 1}));
    q.next();
    EXPECT_EQ(flags(q), (Flags{false, false, 2}));
    q.last();
    EXPECT_EQ(flags(q), (Flags{false, true, 5}));
    q.next(); // already at the end: nothing happens
    EXPECT_EQ(flags(q), (Flags{false, true, 5}));
    q.prior();
    EXPECT_EQ(flags(q), (Flags{false, false, 4}));
    EXPECT_EQ(q.moveBy(10), 1);
    EXPECT_EQ(flags(q), (Flags{false, true, 5}));
    q.first();
    EXPECT_EQ(flags(q), (Flags{true, false, 1}));
    // Only a move lowers the flags: editing and saving, or beginning and dropping an insert, on
    // the first row keeps "İlk" and "Önceki" disabled.
    q.edit();
    EXPECT_TRUE(q.bof());
    q.post();
    EXPECT_EQ(flags(q), (Flags{true, false, 1}));
    q.insert();
    EXPECT_TRUE(q.bof());
    q.cancel();
    EXPECT_EQ(flags(q), (Flags{true, false, 1}));
    // A new row begun on the first row and saved where it sorts (the end) is no longer first: the
    // flags follow the row now current, and a step back is carried out.
    q.insert();
    q.fieldByName(QStringLiteral("Altkonu"))->setAsString(QStringLiteral("z"));
    q.post();
    EXPECT_EQ(flags(q), (Flags{false, false, 6}));
    q.prior();
    EXPECT_EQ(flags(q), (Flags{false, false, 5}));
    q.last();
    q.remove();
    q.first();
    q.setRecNo(3);
    EXPECT_EQ(book.subtopic(), QStringLiteral("c"));

    book.store.ADOQuery1->next(); // a topic without subtopics
    EXPECT_EQ(flags(q), (Flags{true, true, -1}));
    EXPECT_EQ(q.recordCount(), 0);
}

TEST(RecordSet, AfterScrollRunsAtEachMoment)
{
    const BookFixture fixture = fiveSubtopics();
    OpenBook book(fixture, false, false);
    store::Query &q = *book.store.ADOQuery2;
    QList<int> seen;
    q.afterScroll = [&seen](store::DataSet &d) { seen.append(d.recNo()); };
    book.store.openQueries();
    EXPECT_EQ(seen, QList<int>{1}); // opening a non-empty set
    q.next();
    q.last();
    q.insert();
    q.cancel();
    EXPECT_EQ(seen, (QList<int>{1, 2, 5, -1, 5}));
    q.remove();
    EXPECT_EQ(seen.last(), 4);
    seen.clear();
    book.store.ADOQuery1->next(); // re-query onto an empty set still reports
    EXPECT_EQ(seen, QList<int>{-1});
    q.first();
    q.last();
    EXPECT_EQ(seen, (QList<int>{-1, -1, -1}));
}

TEST(RecordSet, InsertPostCancelAndTheModifiedRule)
{
    const BookFixture fixture = fiveSubtopics();
    OpenBook book(fixture);
    store::Query &q = *book.store.ADOQuery2;
    q.setRecNo(2);
    q.insert();
    EXPECT_EQ(q.state(), DataSetState::Insert);
    EXPECT_EQ(q.recNo(), -1);
    EXPECT_EQ(q.currentDisplayRow(), 1); // the new row stands at the current place
    EXPECT_EQ(q.fieldByName(QStringLiteral("Sira"))->value().toLongLong(), 1);
    EXPECT_FALSE(q.modified()); // the topic's key is no change
    q.next(); // moving away drops the untouched row
    EXPECT_EQ(q.state(), DataSetState::Browse);
    EXPECT_EQ(q.recordCount(), 5);

    q.insert();
    q.fieldByName(QStringLiteral("Altkonu"))->setAsString(QStringLiteral("ba"));
    q.fieldByName(QStringLiteral("Aciklama"))->setAsString(QStringLiteral("yeni gövde"));
    q.post();
    EXPECT_EQ(book.subtopics(), (QStringList{"a", "b", "ba", "c", "d", "e"})); // placed by title
    EXPECT_EQ(book.subtopic(), QStringLiteral("ba"));
    EXPECT_EQ(book.body(), QStringLiteral("yeni gövde"));

    q.edit();
    q.fieldByName(QStringLiteral("Aciklama"))->setAsString(QStringLiteral("değişti"));
    q.cancel();
    EXPECT_EQ(book.body(), QStringLiteral("yeni gövde"));

    // Editing an empty set starts an insert.
    book.store.ADOQuery1->next();
    q.edit();
    EXPECT_EQ(q.state(), DataSetState::Insert);
    EXPECT_EQ(q.fieldByName(QStringLiteral("Sira"))->value().toLongLong(), 2);

    OpenBook again(fixture);
    EXPECT_EQ(again.subtopics(), (QStringList{"a", "b", "ba", "c", "d", "e"}));
}

TEST(RecordSet, ErrorsNameTheQueryAndChangeNothing)
{
    const BookFixture fixture = fiveSubtopics();
    OpenBook book(fixture, true);
    store::Query &q = *book.store.ADOQuery2;
    book.store.ADOQuery1->next();
    EXPECT_EQ(errorOf([&] { q.remove(); }), QStringLiteral("ADOQuery2: Cannot perform this operation on an empty dataset"));
    book.store.ADOQuery1->first();
    EXPECT_EQ(errorOf([&] { q.fieldByName(QStringLiteral("Yok")); }), QStringLiteral("ADOQuery2: Field 'Yok' not found"));
    EXPECT_EQ(errorOf([&] { q.fieldByName(QStringLiteral("Sira"))->setValue(3); }),
              QStringLiteral("ADOQuery2: Dataset not in edit or insert mode"));
    EXPECT_EQ(errorOf([&] { book.store.ADOQuery1->edit(); book.store.ADOQuery1->fieldByName(QStringLiteral("Sira"))->setValue(9); }),
              QStringLiteral("ADOQuery1: Field 'Sira' cannot be modified"));
    book.store.ADOQuery1->cancel();

    // A failed post keeps the edit state and the typed text; a second try succeeds.
    q.setRecNo(2);
    q.edit();
    q.fieldByName(QStringLiteral("Aciklama"))->setAsString(QStringLiteral("kaybolmasın"));
    book.probe->failNextWrite = true;
    EXPECT_EQ(errorOf([&] { q.post(); }), QStringLiteral("Disk or network error."));
    EXPECT_EQ(q.state(), DataSetState::Edit);
    EXPECT_EQ(book.body(), QStringLiteral("kaybolmasın"));
    // A move that has to save first fails the same way and stays on the row.
    book.probe->failNextWrite = true;
    EXPECT_FALSE(errorOf([&] { q.next(); }).isEmpty());
    EXPECT_EQ(q.recNo(), 2);
    q.post();
    EXPECT_EQ(book.body(), QStringLiteral("kaybolmasın"));

    book.probe->failNextWrite = true;
    EXPECT_FALSE(errorOf([&] { q.remove(); }).isEmpty());
    EXPECT_EQ(q.recordCount(), 5);

    q.close();
    EXPECT_EQ(errorOf([&] { q.fieldByName(QStringLiteral("Altkonu")); }), QStringLiteral("ADOQuery2: Field 'Altkonu' not found"));
    EXPECT_EQ(errorOf([&] { q.next(); }), QStringLiteral("ADOQuery2: Cannot perform this operation on a closed dataset"));
}

TEST(RecordSet, LongValuesAreReadOnlyForTheRowsShown)
{
    std::vector<SubtopicSpec> many;
    for (int i = 0; i < 200; ++i)
        many.push_back({QStringLiteral("b%1").arg(i, 3, 10, QLatin1Char('0')), QString(20000, QChar(u'a' + i % 26))});
    const BookFixture fixture({{QStringLiteral("Büyük"), many}});
    OpenBook book(fixture, true);
    store::Query &q = *book.store.ADOQuery2;
    EXPECT_EQ(book.probe->longReads, 0);
    EXPECT_EQ(q.recordCount(), 200);
    EXPECT_EQ(book.body(), QString(20000, u'a'));
    EXPECT_EQ(book.body(), QString(20000, u'a'));
    EXPECT_EQ(book.probe->longReads, 1);
    q.last();
    EXPECT_EQ(book.body(), QString(20000, QChar(u'a' + 199 % 26)));
    EXPECT_EQ(book.probe->longReads, 2);
}

TEST(RecordSet, BoundFieldLinksHearMovesEditsAndWriteBack)
{
    const BookFixture fixture = fiveSubtopics();
    OpenBook book(fixture);
    store::FieldDataLink link;
    QString shown;
    QString typed;
    int editingChanges = 0;
    link.onDataChange = [&] { shown = link.field() ? link.field()->asString() : QString(); };
    link.onEditingChange = [&] { ++editingChanges; };
    link.onUpdateData = [&] { link.field()->setAsString(typed); };
    link.setDataSource(book.store.DataSource2);
    link.setFieldName(QStringLiteral("Aciklama"));
    EXPECT_EQ(shown, QStringLiteral("A"));
    book.store.ADOQuery2->next();
    EXPECT_EQ(shown, QStringLiteral("B"));

    // The control starts editing, changes its content, and the record takes it when it moves on.
    ASSERT_TRUE(link.edit());
    EXPECT_EQ(editingChanges, 1);
    typed = QStringLiteral("B düzeltildi");
    link.modified();
    book.store.ADOQuery2->next();
    EXPECT_EQ(shown, QStringLiteral("C"));
    book.store.ADOQuery2->prior();
    EXPECT_EQ(shown, QStringLiteral("B düzeltildi"));

    // Read-only links never start editing.
    link.setReadOnly(true);
    EXPECT_FALSE(link.edit());
    EXPECT_EQ(book.store.ADOQuery2->state(), DataSetState::Browse);

    book.store.ADOQuery2->close();
    EXPECT_EQ(link.field(), nullptr);
    EXPECT_EQ(shown, QString());
}

TEST(RecordSet, TwoProgramsOnOneBookRefuseTheStaleSaveAndKeepBothTexts)
{
    const BookFixture fixture = fiveSubtopics();
    OpenBook ayse(fixture);
    OpenBook mehmet(fixture);
    store::Query &a = *ayse.store.ADOQuery2;
    store::Query &m = *mehmet.store.ADOQuery2;
    a.edit();
    a.fieldByName(QStringLiteral("Aciklama"))->setAsString(QStringLiteral("Ayşe'nin metni"));
    m.edit();
    m.fieldByName(QStringLiteral("Aciklama"))->setAsString(QStringLiteral("Mehmet'in metni"));
    m.post();
    EXPECT_TRUE(errorOf([&] { a.post(); }).startsWith(QStringLiteral("Row cannot be located for updating")));
    EXPECT_EQ(a.state(), DataSetState::Edit);
    EXPECT_EQ(ayse.body(), QStringLiteral("Ayşe'nin metni"));
    OpenBook reader(fixture);
    EXPECT_EQ(reader.body(), QStringLiteral("Mehmet'in metni"));

    // After a fresh look at the row the second program can save over it knowingly.
    a.cancel();
    EXPECT_EQ(ayse.body(), QStringLiteral("Mehmet'in metni"));
    a.edit();
    a.fieldByName(QStringLiteral("Aciklama"))->setAsString(QStringLiteral("Ayşe'nin metni"));
    a.post();
    OpenBook later(fixture);
    EXPECT_EQ(later.body(), QStringLiteral("Ayşe'nin metni"));
}
