// The subtopic query follows the topic query: re-queried on every topic change, saving on the way.
#include "storetesting.h"

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using store::DataSetState;

namespace {

BookFixture grammar()
{
    return BookFixture({{QStringLiteral("Cümle"), {{QStringLiteral("Öge"), QStringLiteral("ö")}, {QStringLiteral("Tür"), QStringLiteral("t")}}},
                        {QStringLiteral("Ekler"), {{QStringLiteral("Yapım"), QStringLiteral("y")}}},
                        {QStringLiteral("Boş"), {}}});
}

} // namespace

TEST(MasterDetail, SubtopicsFollowTheCurrentTopic)
{
    const BookFixture fixture = grammar();
    OpenBook book(fixture);
    EXPECT_EQ(book.topic(), QStringLiteral("Cümle"));
    EXPECT_EQ(book.subtopics(), (QStringList{"Öge", "Tür"}));
    book.store.ADOQuery1->next();
    EXPECT_EQ(book.subtopics(), QStringList{"Yapım"});
    EXPECT_EQ(book.store.ADOQuery2->findParameter(QStringLiteral("Sira"))->value.toLongLong(), 2);
    EXPECT_TRUE(book.store.ADOQuery1->locate(QStringLiteral("Baslik"), QStringLiteral("boş"), true, false));
    EXPECT_TRUE(book.subtopics().isEmpty());
    EXPECT_FALSE(book.store.ADOQuery1->locate(QStringLiteral("Baslik"), QStringLiteral("yok"), true, false));
    EXPECT_EQ(book.topic(), QStringLiteral("Boş")); // a failed locate stays where it was
    EXPECT_TRUE(book.store.ADOQuery1->locate(QStringLiteral("Baslik"), QStringLiteral("EK"), true, true));
    EXPECT_EQ(book.topic(), QStringLiteral("Ekler"));
}

TEST(MasterDetail, MovingTheTopicSavesAChangedSubtopicAndDropsAnUntouchedNewOne)
{
    const BookFixture fixture = grammar();
    {
        OpenBook book(fixture);
        store::Query &q = *book.store.ADOQuery2;
        q.edit();
        q.fieldByName(QStringLiteral("Aciklama"))->setAsString(QStringLiteral("öge gövdesi"));
        book.store.ADOQuery1->next(); // saved on the way, without a question
        EXPECT_EQ(q.state(), DataSetState::Browse);

        q.insert();
        book.store.ADOQuery1->prior(); // an untouched new subtopic is dropped
        EXPECT_EQ(book.subtopics(), (QStringList{"Öge", "Tür"}));

        // "Yeni", a title typed, then another topic chosen: saved under the first topic.
        q.insert();
        q.fieldByName(QStringLiteral("Altkonu"))->setAsString(QStringLiteral("Yüklem"));
        book.store.ADOQuery1->last();
    }
    OpenBook book(fixture);
    EXPECT_EQ(book.subtopics(), (QStringList{"Öge", "Tür", "Yüklem"}));
    EXPECT_EQ(book.body(), QStringLiteral("öge gövdesi"));
    book.store.ADOQuery1->next();
    EXPECT_EQ(book.subtopics(), QStringList{"Yapım"});
}

TEST(MasterDetail, EditingTheTopicReQueriesButTypingItsTitleDoesNot)
{
    const BookFixture fixture = grammar();
    OpenBook book(fixture, true);
    store::Query &topics = *book.store.ADOQuery1;
    int requeries = 0;
    book.store.ADOQuery2->afterScroll = [&](store::DataSet &) { ++requeries; };
    topics.edit();
    EXPECT_EQ(requeries, 1);
    topics.fieldByName(QStringLiteral("Baslik"))->setAsString(QStringLiteral("Cümle Bilgisi"));
    EXPECT_EQ(requeries, 1);
    topics.post();
    EXPECT_EQ(requeries, 2);
    EXPECT_EQ(book.subtopics(), (QStringList{"Öge", "Tür"}));
}

TEST(MasterDetail, DeletingATopicTakesItsSubtopicsAlong)
{
    const BookFixture fixture = grammar();
    OpenBook book(fixture);
    book.store.ADOQuery1->remove();
    EXPECT_EQ(book.topic(), QStringLiteral("Ekler"));
    EXPECT_EQ(book.subtopics(), QStringList{"Yapım"});
    const auto rows = engineFor(fixture)->select(QStringLiteral("Select * From detail"), {}, std::nullopt).rows;
    EXPECT_EQ(rows.size(), 1);
}

TEST(MasterDetail, ANewTopicsFirstSubtopicIsSavedWithTheTopic)
{
    const BookFixture fixture = grammar();
    {
        OpenBook book(fixture);
        store::Query &topics = *book.store.ADOQuery1;
        store::Query &subs = *book.store.ADOQuery2;
        topics.append();
        topics.fieldByName(QStringLiteral("Baslik"))->setAsString(QStringLiteral("Noktalama"));
        EXPECT_TRUE(subs.isEmpty());
        subs.edit(); // typing into the empty list starts a new subtopic
        subs.fieldByName(QStringLiteral("Altkonu"))->setAsString(QStringLiteral("Virgül"));
        // Saving the subtopic before its topic is refused and loses nothing.
        EXPECT_FALSE(errorOf([&] { subs.post(); }).isEmpty());
        EXPECT_EQ(subs.state(), DataSetState::Insert);
        topics.post(); // the topic is saved, then the subtopic under its new key
        EXPECT_EQ(subs.state(), DataSetState::Browse);
        EXPECT_FALSE(topics.fieldByName(QStringLiteral("Sira"))->isNull());
    }
    OpenBook book(fixture);
    ASSERT_TRUE(book.store.ADOQuery1->locate(QStringLiteral("Baslik"), QStringLiteral("Noktalama"), false, false));
    EXPECT_EQ(book.subtopics(), QStringList{"Virgül"});
}

TEST(MasterDetail, AFailedConnectionLeavesBothQueriesClosed)
{
    QTemporaryDir empty;
    store::BookStore book;
    book.ADOConnection1->setWorkingFolder(empty.path()); // no Data.mdb here
    EXPECT_TRUE(errorOf([&] { book.connect(); }).startsWith(QStringLiteral("Could not find file")));
    EXPECT_FALSE(book.ADOConnection1->connected());
    // Opening the queries tries to connect again and fails the same way.
    EXPECT_TRUE(errorOf([&] { book.openQueries(); }).startsWith(QStringLiteral("Could not find file")));
    EXPECT_FALSE(book.ADOQuery1->active());
    EXPECT_FALSE(book.ADOQuery2->active());
    EXPECT_EQ(book.ADOQuery2->recordCount(), 0);
    EXPECT_EQ(book.DataSource2->state(), DataSetState::Inactive);
}
