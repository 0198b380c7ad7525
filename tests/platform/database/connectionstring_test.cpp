// The connection string names the book and its password; a bare file name is taken in the working folder.
#include "platform/database/connectionstring.h"
#include "platform/database/databaseerror.h"

#include <gtest/gtest.h>

using velkora::database::ConnectionString;
using velkora::database::DatabaseError;

TEST(ConnectionString, ProgramStringGivesFileAndPassword)
{
    const ConnectionString c = ConnectionString::parse(QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Data.mdb;Persist Security Info=False;"
        "Jet OLEDB:Database Password=*.417305"));
    EXPECT_EQ(c.provider, QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_EQ(c.dataSource, QStringLiteral("Data.mdb"));
    EXPECT_EQ(c.password, QStringLiteral("*.417305"));
    EXPECT_FALSE(c.persistSecurityInfo);
    EXPECT_EQ(c.resolvedPath(QStringLiteral("/home/ayse/kitap")), QStringLiteral("/home/ayse/kitap/Data.mdb"));
}

TEST(ConnectionString, KeysIgnoreCaseAndBlanksAndValuesMayBeQuoted)
{
    const ConnectionString c = ConnectionString::parse(QStringLiteral(
        " data source = \"/tmp/my;book.mdb\" ; JET OLEDB:DATABASE PASSWORD='a''b;c' ;persist security info=True;"));
    EXPECT_EQ(c.dataSource, QStringLiteral("/tmp/my;book.mdb"));
    EXPECT_EQ(c.password, QStringLiteral("a'b;c"));
    EXPECT_TRUE(c.persistSecurityInfo);
    EXPECT_EQ(c.resolvedPath(QStringLiteral("/elsewhere")), QStringLiteral("/tmp/my;book.mdb"));
}

TEST(ConnectionString, MalformedStringsAreRefused)
{
    EXPECT_THROW(ConnectionString::parse(QStringLiteral("Provider=x")), DatabaseError);        // no data source
    EXPECT_THROW(ConnectionString::parse(QStringLiteral("Data Source=\"open")), DatabaseError); // unclosed quote
    EXPECT_THROW(ConnectionString::parse(QStringLiteral("Data Source=a;garbage")), DatabaseError);
}
