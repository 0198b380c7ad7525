// velkora-book: the sample book, the dump, the check, and refusals that write nothing.
#include "tools/velkora-book/booktool.h"

#include "platform/database/databaseerror.h"
#include "support/bookfixture.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velkora;

namespace {

struct ToolRun
{
    int exitCode;
    QByteArray out, err;
};

ToolRun runTool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(VELKORA_BOOK_TOOL), args);
    p.waitForFinished(20000); // a tool that hangs fails here
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace

TEST(BookTool, SampleBookDumpsAsJsonInTheBooksOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    const ToolRun made = runTool({QStringLiteral("sample"), path});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const ToolRun dumped = runTool({QStringLiteral("dump"), path});
    ASSERT_EQ(dumped.exitCode, 0) << dumped.err.toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(dumped.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << dumped.out.left(200).toStdString();
    const QJsonArray topics = doc.object().value(QStringLiteral("topics")).toArray();
    ASSERT_GE(topics.size(), 3);
    EXPECT_EQ(topics[0].toObject().value(QStringLiteral("Baslik")).toString(), QStringLiteral("Cümle"));
    EXPECT_EQ(topics[0].toObject().value(QStringLiteral("Sira")).toInt(), 1);
    EXPECT_TRUE(dumped.out.startsWith("{\"topics\": [\n  {\"Sira\": 1, \"Baslik\": "));
    bool bold = false, italic = false, bullet = false, picture = false;
    for (const QJsonValue &t : topics) {
        const QJsonArray subs = t.toObject().value(QStringLiteral("subtopics")).toArray();
        EXPECT_FALSE(subs.isEmpty());
        for (const QJsonValue &s : subs) {
            const QString body = s.toObject().value(QStringLiteral("Aciklama")).toString();
            EXPECT_TRUE(body.startsWith(QStringLiteral("{\\rtf1\\ansi\\ansicpg1254\\deff0")));
            bold = bold || body.contains(QStringLiteral("\\b "));
            italic = italic || body.contains(QStringLiteral("\\i "));
            bullet = bullet || body.contains(QStringLiteral("\\pnlvlblt"));
            picture = picture || body.contains(QStringLiteral("\\pngblip"));
        }
    }
    EXPECT_TRUE(bold && italic && bullet && picture);

    const ToolRun brief = runTool({QStringLiteral("dump"), QStringLiteral("--brief"), path});
    const QJsonArray briefTopics = QJsonDocument::fromJson(brief.out).object().value(QStringLiteral("topics")).toArray();
    const QString cut = briefTopics[0].toObject()[QStringLiteral("subtopics")].toArray()[0].toObject()[QStringLiteral("Aciklama")].toString();
    EXPECT_EQ(cut.size(), 80);

    const ToolRun checked = runTool({QStringLiteral("check"), path});
    EXPECT_EQ(checked.exitCode, 0);
    EXPECT_EQ(checked.out.trimmed(), QByteArray("ok"));
}

TEST(BookTool, BadInputIsAMessageAndExitStatusTwoAndWritesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    ToolRun r = runTool({QStringLiteral("dump"), path});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("Could not find file"));
    EXPECT_FALSE(QFile::exists(path));

    ASSERT_EQ(runTool({QStringLiteral("create"), path}).exitCode, 0);
    const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    r = runTool({QStringLiteral("sample"), path}); // never over an existing file
    EXPECT_EQ(r.exitCode, 2);
    r = runTool({QStringLiteral("--password"), QStringLiteral("başka"), QStringLiteral("dump"), path});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("Not a valid password.")) << r.err.toStdString();
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), before);

    EXPECT_EQ(runTool({QStringLiteral("frobnicate"), path}).exitCode, 2);
    EXPECT_EQ(runTool({}).exitCode, 2);
    const ToolRun empty = runTool({QStringLiteral("dump"), path});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, QByteArray("{\"topics\": []}\n"));
}

TEST(BookTool, CheckAndDumpWriteNothingAndRefuseWhatIsNotAFileAtOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    ASSERT_EQ(runTool({QStringLiteral("sample"), path}).exitCode, 0);
    // A log of another book and an index beside it, as a copied folder leaves them.
    QFile stray(path + QStringLiteral("-wal"));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.write(QByteArray(8192, 'x'));
    stray.close();
    const auto listing = [&] {
        QStringList out;
        const QDir d(dir.path());
        for (const QString &name : d.entryList(QDir::Files | QDir::Hidden)) {
            QFile f(d.filePath(name));
            f.open(QIODevice::ReadOnly);
            out << name + u' ' + QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex());
        }
        return out;
    };
    const QStringList before = listing();
    const ToolRun checked = runTool({QStringLiteral("check"), path});
    EXPECT_EQ(checked.exitCode, 0) << checked.err.toStdString();
    EXPECT_TRUE(checked.err.contains("is not its log")) << checked.err.toStdString();
    EXPECT_EQ(runTool({QStringLiteral("dump"), path}).exitCode, 0);
    EXPECT_EQ(listing(), before);

    const QString fifo = dir.filePath(QStringLiteral("fifo.mdb"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &command : {QStringLiteral("check"), QStringLiteral("dump")}) {
        const ToolRun r = runTool({command, fifo});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains("not a regular file")) << r.err.toStdString();
    }
}

TEST(BookTool, SearchAnswersWithPlaceHitsAndSnippetAndSaysNothingFoundOrBadInputByItsStatus)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    ASSERT_EQ(runTool({QStringLiteral("sample"), path}).exitCode, 0);
    const ToolRun before = runTool({QStringLiteral("search"), path, QStringLiteral("yüklem")});
    EXPECT_EQ(before.exitCode, 2) << "a book without its index cannot be searched yet";
    EXPECT_TRUE(before.err.contains("velkora-book index")) << before.err.toStdString();

    ASSERT_EQ(runTool({QStringLiteral("index"), path}).exitCode, 0);
    const ToolRun hit = runTool({QStringLiteral("search"), path, QStringLiteral("yuklem")});
    EXPECT_EQ(hit.exitCode, 0);
    const QList<QByteArray> first = hit.out.split('\n').first().split('\t');
    ASSERT_EQ(first.size(), 3) << hit.out.toStdString();
    EXPECT_EQ(first[0], QStringLiteral("Cümle › Cümlenin Ögeleri").toUtf8());
    EXPECT_GT(first[1].toInt(), 1);
    EXPECT_TRUE(first[2].contains("yüklem"));

    const ToolRun json = runTool({QStringLiteral("search"), path, QStringLiteral("yuklem"), QStringLiteral("--json")});
    EXPECT_EQ(json.exitCode, 0);
    const QJsonArray results = QJsonDocument::fromJson(json.out).array();
    ASSERT_FALSE(results.isEmpty()) << json.out.toStdString();
    EXPECT_EQ(results[0].toObject()[QStringLiteral("subtopic")].toString(), QStringLiteral("Cümlenin Ögeleri"));

    EXPECT_EQ(runTool({QStringLiteral("search"), path, QStringLiteral("zzyzx")}).exitCode, 1);
    EXPECT_EQ(runTool({QStringLiteral("search"), path, QStringLiteral("-yüklem")}).exitCode, 2);
    EXPECT_EQ(runTool({QStringLiteral("search"), path}).exitCode, 2);
    EXPECT_EQ(runTool({QStringLiteral("check"), path}).exitCode, 0);
}
