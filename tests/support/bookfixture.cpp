// Books made for tests: a fresh encrypted book in a temporary folder, filled from a short outline.
#include "bookfixture.h"

#include <QDir>
#include <QFileInfo>

namespace velkora::testing {

BookFixture::BookFixture(const std::vector<TopicSpec> &topics)
{
    database::Database::create(path(), BookPassword);
    auto db = open();
    const database::TableInfo &master = db->table(u"master");
    const database::TableInfo &detail = db->table(u"detail");
    for (const TopicSpec &topic : topics) {
        const qint64 sira = db->insert(master, {{master.columnIndex(u"Baslik"), topic.title}}).key;
        for (const SubtopicSpec &sub : topic.subtopics) {
            database::Database::Changes values{{detail.columnIndex(u"Sira"), sira}};
            if (!sub.title.isNull())
                values.append({detail.columnIndex(u"Altkonu"), sub.title});
            if (!sub.body.isNull())
                values.append({detail.columnIndex(u"Aciklama"), sub.body});
            db->insert(detail, values);
        }
    }
}

QString BookFixture::connectionString() const
{
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
