// Books made for tests: a fresh encrypted book in a temporary folder, filled from a short outline.
#include "bookfixture.h"

#include "platform/database/serverdatabase.h"
#include "tools/privateserver/privateserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace velkora::testing {

namespace {

PrivateServer &server()
{
    static PrivateServer instance;
    return instance;
}

// On the server, every test of the run is skipped when there is no server to run them on.
class ServerEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (!server().available())
            GTEST_SKIP() << "no PostgreSQL server for the server engine's run: " << server().whyNot().toStdString();
    }
};

const bool environmentAdded = BookFixture::onServer() && ::testing::AddGlobalTestEnvironment(new ServerEnvironment) != nullptr;

template <typename Db>
void fill(Db &db, const std::vector<TopicSpec> &topics)
{
    const database::TableInfo &master = db.table(u"master");
    const database::TableInfo &detail = db.table(u"detail");
    for (const TopicSpec &topic : topics) {
        const qint64 sira = db.insert(master, {{master.columnIndex(u"Baslik"), topic.title}}).key;
        for (const SubtopicSpec &sub : topic.subtopics) {
            database::Database::Changes values{{detail.columnIndex(u"Sira"), sira}};
            if (!sub.title.isNull())
                values.append({detail.columnIndex(u"Altkonu"), sub.title});
            if (!sub.body.isNull())
                values.append({detail.columnIndex(u"Aciklama"), sub.body});
            db.insert(detail, values);
        }
    }
}

} // namespace

bool BookFixture::onServer()
{
    return qgetenv("VELKORA_TEST_ENGINE") == "server";
}

QString BookFixture::serverInfo() const
{
    return server().connectionInfo(m_serverDatabase);
}

BookFixture::BookFixture(const std::vector<TopicSpec> &topics)
{
    (void)environmentAdded;
    if (onServer()) {
        static int made = 0;
        m_serverDatabase = QStringLiteral("kitap%1").arg(++made);
        if (!server().createDatabase(m_serverDatabase))
            throw std::runtime_error("the test server could not make a database");
        auto db = database::ServerDatabase::open(serverInfo());
        fill(*db, topics);
        return;
    }
    database::Database::create(path(), BookPassword);
    auto db = open();
    fill(*db, topics);
}


QString BookFixture::connectionString() const
{
    if (onServer())
        return server().bookConnectionString(m_serverDatabase);
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Persist Security Info=False;"
                          "Jet OLEDB:Database Password=%2")
        .arg(path(), BookPassword);
}

std::unique_ptr<database::Database> BookFixture::open() const
{
    return database::Database::open(path(), BookPassword);
}

QString corpusFolder()
{
    const QByteArray fromEnvironment = qgetenv("VELKORA_CORPUS");
    QStringList candidates;
    if (!fromEnvironment.isEmpty())
        candidates.append(QString::fromLocal8Bit(fromEnvironment));
    candidates.append(QStringLiteral(VELKORA_SOURCE_DIR "/../shared/corpus"));
    for (const QString &c : std::as_const(candidates)) {
        if (QFileInfo(c).isDir())
            return QDir(c).absolutePath();
    }
    return QString();
}

} // namespace velkora::testing
