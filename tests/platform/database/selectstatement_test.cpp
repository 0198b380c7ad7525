// The engine runs exactly the statements the program writes and refuses everything else.
#include "platform/database/databaseerror.h"
#include "platform/database/selectstatement.h"

#include <gtest/gtest.h>

using velkora::database::DatabaseError;
using velkora::database::SelectStatement;
using Condition = SelectStatement::Condition;

TEST(SelectStatement, TheProgramsStatementsParse)
{
    const SelectStatement topics = SelectStatement::parse(QStringLiteral("Select * From master"));
    EXPECT_EQ(topics.table, QStringLiteral("master"));
    EXPECT_EQ(topics.condition, Condition::None);
    EXPECT_TRUE(topics.orderByField.isEmpty());

    const SelectStatement subtopics =
        SelectStatement::parse(QStringLiteral("Select * From detail WHERE Sira=:Sira\r\nOrder By AltKonu"));
    EXPECT_EQ(subtopics.table, QStringLiteral("detail"));
    EXPECT_EQ(subtopics.condition, Condition::EqualsParameter);
    EXPECT_EQ(subtopics.conditionField, QStringLiteral("Sira"));
    EXPECT_EQ(subtopics.parameterName, QStringLiteral("Sira"));
    EXPECT_EQ(subtopics.orderByField, QStringLiteral("AltKonu"));

    const SelectStatement search =
        SelectStatement::parse(QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE \"%a \"\"b\"\" %\""));
    EXPECT_EQ(search.condition, Condition::Like);
    EXPECT_EQ(search.likePattern, QStringLiteral("%a \"b\" %"));
}

TEST(SelectStatement, TextThatCouldEndTheLiteralStaysInsideIt)
{
    // What a user types in the search box becomes the pattern, never statement text.
    const SelectStatement st = SelectStatement::parse(
        QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE \"%\"\" OR 1=1 --%\""));
    EXPECT_EQ(st.likePattern, QStringLiteral("%\" OR 1=1 --%"));
    EXPECT_EQ(st.table, QStringLiteral("detail"));
}

TEST(SelectStatement, AnythingElseIsRefusedWithAMessage)
{
    const QStringList refused = {
        QString(),
        QStringLiteral("DELETE FROM detail"),
        QStringLiteral("SELECT Altkonu FROM detail"),
        QStringLiteral("SELECT * FROM detail; DROP TABLE master"),
        QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE \"open"),
        QStringLiteral("SELECT * FROM detail WHERE Sira = 5"),
        QStringLiteral("SELECT * FROM detail WHERE Sira > :x"),
        QStringLiteral("SELECT * FROM detail ORDER Altkonu"),
        QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE 'x'"),
    };
    for (const QString &text : refused) {
        try {
            SelectStatement::parse(text);
            ADD_FAILURE() << "accepted: " << text.toStdString();
        } catch (const DatabaseError &e) {
            EXPECT_FALSE(e.message().isEmpty()) << text.toStdString();
        }
    }
}

TEST(SelectStatement, ParametersAreScannedOutsideQuotes)
{
    EXPECT_EQ(SelectStatement::scanParameters(QStringLiteral("Select * From detail WHERE Sira=:Sira\nOrder By AltKonu")),
              QStringList{QStringLiteral("Sira")});
    EXPECT_TRUE(SelectStatement::scanParameters(QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE \"%:x%\"")).isEmpty());
    EXPECT_EQ(SelectStatement::scanParameters(QStringLiteral("a=:A and b=:a and c=:b")),
              (QStringList{QStringLiteral("A"), QStringLiteral("b")}));
}
