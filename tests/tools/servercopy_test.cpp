// velkora-book on books kept by a PostgreSQL server of the test's own: copy a file book there and
// back (compared, nothing half copied), dump, check and export a server book.
#include "support/bookfixture.h"
#include "tools/privateserver/privateserver.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velkora::testing;

namespace {

struct Ran
{
    int status = -1;
    QByteArray out, err;
};

Ran tool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(VELKORA_BOOK_TOOL), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

// The topics, titles and bodies of a dump, without the keys (a copy gives new ones).
QJsonArray contentOf(const QByteArray &dump)
{
    QJsonArray topics;
    for (const QJsonValue &t : QJsonDocument::fromJson(dump).object().value("topics").toArray()) {
        QJsonObject topic = t.toObject();
        topic.remove("Sira");
        topics.append(topic);
    }
    return topics;
}

} // namespace

TEST(ServerBookTool, CopyThereAndBackDumpCheckAndExport)
{
    PrivateServer server;
    if (!server.available())
        GTEST_SKIP() << server.whyNot().toStdString();
    const BookFixture file({{"Cümle", {{"Özne", "{\\rtf1\\ansi Bir \\'f6zne}"}, {"Yüklem", "{\\rtf1 iki}"}, {QString(), "başlıksız"}}},
                            {"Boş", {}},
                            {"Ekler", {{"Çekim", QString()}, {"İyelik 'x' \"y\"", "{\\rtf1 üç}"}}}});
    ASSERT_TRUE(server.createDatabase(QStringLiteral("kopya")));
    const QString target = server.connectionInfo(QStringLiteral("kopya"));

    const Ran copied = tool({QStringLiteral("copy"), file.path(), target});
    ASSERT_EQ(copied.status, 0) << copied.err.toStdString();
    EXPECT_TRUE(copied.out.startsWith("copied 3 topics and 5 subtopics (")) << copied.out.toStdString();
    const Ran check = tool({QStringLiteral("check"), target});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out.trimmed(), "ok");
    const QByteArray fileDump = tool({QStringLiteral("dump"), file.path()}).out;
    const QByteArray serverDump = tool({QStringLiteral("dump"), target}).out;
    EXPECT_EQ(contentOf(serverDump), contentOf(fileDump));
    EXPECT_EQ(contentOf(fileDump).size(), 3);

    // A second copy into the same book is refused and changes nothing.
    const Ran again = tool({QStringLiteral("copy"), file.path(), target});
    EXPECT_EQ(again.status, 2);
    EXPECT_TRUE(again.err.contains("is not empty")) << again.err.toStdString();
    EXPECT_EQ(tool({QStringLiteral("dump"), target}).out, serverDump);

    // Back into a new file, under the program's password; never over an existing one.
    QTemporaryDir dir;
    const QString back = dir.filePath(QStringLiteral("Geri.mdb"));
    const Ran copiedBack = tool({QStringLiteral("copy"), target, back});
    ASSERT_EQ(copiedBack.status, 0) << copiedBack.err.toStdString();
    EXPECT_EQ(contentOf(tool({QStringLiteral("dump"), back}).out), contentOf(fileDump));
    EXPECT_EQ(tool({QStringLiteral("check"), back}).out.trimmed(), "ok");
    EXPECT_EQ(tool({QStringLiteral("copy"), target, back}).status, 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Geri.mdb"});

    // The server book exported as the file book is.
    const Ran exported = tool({QStringLiteral("export"), target, dir.filePath(QStringLiteral("k.html"))});
    EXPECT_EQ(exported.status, 0) << exported.err.toStdString();
    QFile html(dir.filePath(QStringLiteral("k.html")));
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(html.readAll());
    EXPECT_TRUE(page.contains("İyelik &#39;x&#39; &quot;y&quot;") || page.contains("İyelik 'x' &quot;y&quot;")) << page.left(400).toStdString();
    EXPECT_TRUE(page.contains("Bir özne"));

    // A server that is not running: said, status 2.
    ASSERT_TRUE(server.stop());
    const Ran down = tool({QStringLiteral("check"), target});
    EXPECT_EQ(down.status, 2);
    EXPECT_TRUE(QString::fromLocal8Bit(down.err).contains(QStringLiteral("Sunucuya bağlanılamadı"))) << down.err.toStdString();
}
