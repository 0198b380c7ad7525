// The title search replaces the subtopic statement; the topic link then narrows it by a filter.
#include "storetesting.h"

#include "store/booktexts.h"

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using store::DataSetState;

namespace {

BookFixture searchable()
{
    return BookFixture({{QStringLiteral("Cümle"),
                         {{QStringLiteral("Cümle Yapısı"), QStringLiteral("1")},
                          {QStringLiteral("Ekler"), QStringLiteral("2")},
                          {QStringLiteral("Basit Cümleler"), QStringLiteral("3")},
                          {QStringLiteral("\"Tırnaklı\" başlık"), QStringLiteral("4")},
                          {QStringLiteral("Yüzde %50"), QStringLiteral("5")},
                          {QString(), QStringLiteral("başlıksız")}}},
                        {QStringLiteral("Sözcük"), {{QStringLiteral("cümlede sözcük"), QStringLiteral("6")}}}});
}

} // namespace

TEST(TitleSearch, FindsTheCurrentTopicsMatchingTitles)
{
    const BookFixture fixture = searchable();
    OpenBook book(fixture);
    book.store.runTitleSearch(QStringLiteral("cümle"));
    EXPECT_TRUE(book.store.searchMode());
    EXPECT_EQ(book.store.ADOQuery2->sql(), QStringList{QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE \"%cümle%\"")});
    EXPECT_TRUE(book.store.ADOQuery2->parameters().isEmpty());
    EXPECT_EQ(book.store.ADOQuery2->masterFilter(), QStringLiteral("(Sira=1)"));
    EXPECT_EQ(book.subtopics(), (QStringList{"Cümle Yapısı", "Basit Cümleler"}));
    EXPECT_EQ(book.store.ADOQuery2->recNo(), 1);

    // Another topic narrows the same result; the search is not run again.
    book.store.ADOQuery1->next();
    EXPECT_EQ(book.store.ADOQuery2->masterFilter(), QStringLiteral("(Sira=2)"));
    EXPECT_EQ(book.subtopics(), QStringList{"cümlede sözcük"});

    // A new subtopic still belongs to the current topic.
    book.store.ADOQuery2->insert();
    EXPECT_EQ(book.store.ADOQuery2->fieldByName(QStringLiteral("Sira"))->value().toLongLong(), 2);
}

TEST(TitleSearch, PatternSignsQuotesAndTheEmptyText)
{
    const BookFixture fixture = searchable();
    OpenBook book(fixture);
    book.store.runTitleSearch(QString());
    EXPECT_EQ(book.subtopics().size(), 5); // every title with a value, the unnamed one left out
    book.store.runTitleSearch(QStringLiteral("\"t"));
    EXPECT_EQ(book.subtopics(), QStringList{"\"Tırnaklı\" başlık"});
    book.store.runTitleSearch(QStringLiteral("y_p"));
    EXPECT_EQ(book.subtopics(), QStringList{"Cümle Yapısı"});
    book.store.runTitleSearch(QStringLiteral("b%k"));
    EXPECT_EQ(book.subtopics(), QStringList{"\"Tırnaklı\" başlık"});
    book.store.runTitleSearch(QStringLiteral("\" OR \"\"=\""));
    EXPECT_TRUE(book.subtopics().isEmpty());
    OpenBook reader(fixture);
    EXPECT_EQ(reader.subtopics().size(), 6); // nothing was changed by any of it
}

TEST(TitleSearch, ASearchDropsAnUnsavedEdit)
{
    const BookFixture fixture = searchable();
    OpenBook book(fixture);
    book.store.ADOQuery2->edit();
    book.store.ADOQuery2->fieldByName(QStringLiteral("Aciklama"))->setAsString(QStringLiteral("kaydedilmedi"));
    book.store.runTitleSearch(QStringLiteral("Basit"));
    EXPECT_EQ(book.store.ADOQuery2->state(), DataSetState::Browse);
    EXPECT_EQ(book.body(), QStringLiteral("3"));
}

TEST(TitleSearch, FilterTextsFollowTheFieldType)
{
    using store::FieldType;
    using store::Query;
    EXPECT_EQ(Query::filterText(QStringLiteral("Sira"), 7, FieldType::Integer), QStringLiteral("(Sira=7)"));
    EXPECT_EQ(Query::filterText(QStringLiteral("Sira"), QStringLiteral("a"), FieldType::String), QStringLiteral("(Sira='a')"));
    EXPECT_EQ(Query::filterText(QStringLiteral("Sira"), QStringLiteral("a'b"), FieldType::String), QStringLiteral("(Sira=#a'b#)"));
    EXPECT_EQ(Query::filterText(QStringLiteral("Sira"), QVariant(), FieldType::Integer), QStringLiteral("(Sira=Null)"));
}
