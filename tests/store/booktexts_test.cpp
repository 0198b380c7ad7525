// The deletion questions quote titles, and the search statement keeps the text inside its literal.
#include "store/booktexts.h"

#include <gtest/gtest.h>

using namespace velkora::store;

TEST(BookTexts, QuestionsQuoteTheTitle)
{
    EXPECT_EQ(subtopicDeleteQuestion(QStringLiteral("Giriş")), QStringLiteral("'Giriş' adlı alt konu silinsin mi?"));
    EXPECT_EQ(subtopicDeleteQuestion(QStringLiteral("Ali'nin Notu")),
              QStringLiteral("'Ali''nin Notu' adlı alt konu silinsin mi?"));
    EXPECT_EQ(subtopicDeleteQuestion(QString()), QStringLiteral("'' adlı alt konu silinsin mi?"));
    EXPECT_EQ(topicDeleteQuestion(QStringLiteral("Ekler")),
              QStringLiteral("'Ekler' adlı konu, içerdiği alt konularla birlikte silinecek!  Onaylıyor musunuz?"));
}

TEST(BookTexts, SearchStatementDoublesQuotes)
{
    EXPECT_EQ(titleSearchStatement(QStringLiteral("cümle")), QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE \"%cümle%\""));
    EXPECT_EQ(titleSearchStatement(QStringLiteral("a\"b")), QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE \"%a\"\"b%\""));
}
