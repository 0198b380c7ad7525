// The book file commands of velkora-book: create, sample, dump and check.
#include "booktool.h"

#include "copycommand.h"
#include "rtfbuilder.h"

#include "platform/database/booklogvfs.h"
#include "platform/database/connectionstring.h"
#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/serverdatabase.h"
#include "platform/database/sqlitestatement.h"
#include "history/bookhistory.h"
#include "store/engine.h"
#include "store/bookstore.h"

#include <QFile>
#include <QFileInfo>

namespace velkora::tools {

namespace {

QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"': out += "\\\""; break;
        case u'\\': out += "\\\\"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        default:
            if (u < 0x20)
                out += "\\u" + QByteArray::number(u, 16).rightJustified(4, '0');
            else
                out += QString(c).toUtf8();
        }
    }
    return out + '"';
}

QByteArray jsonValue(const QVariant &value)
{
    if (value.isNull())
        return "null";
    if (value.typeId() == QMetaType::LongLong)
        return QByteArray::number(value.toLongLong());
    return jsonString(value.toString());
}

void noteStrayLogs(const QStringList &stray, QStringList *notes)
{
    if (!notes)
        return;
    for (const QString &file : stray)
        notes->append(QStringLiteral("'%1' lies beside the book but is not its log; it was left alone.").arg(file));
}

} // namespace

QString defaultBookPassword()
{
    return QStringLiteral("*.417305");
}

void createBook(const QString &path, const QString &password)
{
    database::Database::create(path, password);
}

void createSampleBook(const QString &path, const QString &password)
{
    QFile resource(QStringLiteral(":/velkora/sample/book.txt"));
    if (!resource.open(QIODevice::ReadOnly))
        throw database::DatabaseError(QStringLiteral("The sample book's text is missing from this build."));
    const QStringList lines = QString::fromUtf8(resource.readAll()).split(u'\n');

    database::Database::create(path, password);
    try {
        auto db = database::Database::open(path, password);
        const database::TableInfo &master = db->table(u"master");
        const database::TableInfo &detail = db->table(u"detail");
        qint64 topic = -1;
        QString subtopic;
        QStringList body;
        const auto flush = [&] {
            if (subtopic.isEmpty())
                return;
            while (!body.isEmpty() && body.last().trimmed().isEmpty())
                body.removeLast();
            db->insert(detail, {{detail.columnIndex(u"Sira"), topic},
                                {detail.columnIndex(u"Altkonu"), subtopic},
                                {detail.columnIndex(u"Aciklama"), QString::fromLatin1(markupToRtf(body))}});
            subtopic.clear();
            body.clear();
        };
        for (const QString &line : lines) {
            if (line.startsWith(u';'))
                continue;
            if (line.startsWith(QLatin1String("## "))) {
                flush();
                subtopic = line.mid(3).trimmed();
            } else if (line.startsWith(QLatin1String("# "))) {
                flush();
                const QString title = line.mid(2).trimmed();
                topic = db->insert(master, {{master.columnIndex(u"Baslik"), title}}).key;
            } else if (!subtopic.isEmpty()) {
                body.append(line);
            }
        }
        flush();
    } catch (...) {
        QFile::remove(path);
        QFile::remove(database::bookLogPath(path));
        QFile::remove(path + QStringLiteral("-shm"));
        throw;
    }
}

QByteArray dumpBook(const QString &path, const QString &password, bool brief, QStringList *notes)
{
    store::BookStore book;
    // Read-only: dumping a book changes no byte of it or of anything beside it.
    book.ADOConnection1->setConnectionString(readingConnectionString(path, password));
    book.connect();
    noteStrayLogs(book.ADOConnection1->engine().strayLogs(), notes);
    book.openQueries();
    store::Query &topics = *book.ADOQuery1;
    store::Query &subtopics = *book.ADOQuery2;
    QByteArray out = "{\"topics\": [";
    bool firstTopic = true;
    for (topics.first(); !topics.eof(); topics.next()) {
        out += firstTopic ? "\n  " : ",\n  ";
        firstTopic = false;
        out += "{\"Sira\": " + jsonValue(topics.fieldByName(QStringLiteral("Sira"))->value()) +
               ", \"Baslik\": " + jsonValue(topics.fieldByName(QStringLiteral("Baslik"))->value()) + ", \"subtopics\": [";
        bool firstSub = true;
        for (subtopics.first(); !subtopics.eof(); subtopics.next()) {
            QVariant body = subtopics.fieldByName(QStringLiteral("Aciklama"))->value();
            if (brief && !body.isNull() && body.toString().size() > 80)
                body = body.toString().left(80);
            out += firstSub ? "\n    " : ",\n    ";
            firstSub = false;
            out += "{\"Altkonu\": " + jsonValue(subtopics.fieldByName(QStringLiteral("Altkonu"))->value()) +
                   ", \"Aciklama\": " + jsonValue(body) + "}";
        }
        out += firstSub ? "]}" : "\n  ]}";
    }
    out += firstTopic ? "]" : "\n]";
    // Earlier versions and deleted subtopics and topics, newest first, where the book keeps any.
    if (auto *engine = dynamic_cast<store::BookEngine *>(&book.ADOConnection1->engine())) {
        const database::Database &db = engine->database();
        QList<history::Entry> entries = history::deletedEntries(db);
        if (history::holdsHistory(db)) {
            database::SqliteStatement st(db.handle(), QStringLiteral("SELECT DISTINCT AltkonuKimlik FROM history WHERE Tur = 0"));
            while (st.step())
                entries += history::versionsOf(db, st.integer(0));
        }
        std::sort(entries.begin(), entries.end(), [](const history::Entry &a, const history::Entry &b) { return a.id > b.id; });
        static const char *const kinds[] = {"version", "deleted subtopic", "deleted topic"};
        for (int i = 0; i < entries.size(); ++i) {
            const history::Entry &e = entries[i];
            QVariant body = history::bodyOf(db, e.id);
            if (brief && body.toString().size() > 80)
                body = body.toString().left(80);
            out += i == 0 ? ",\n\"history\": [\n  " : ",\n  ";
            out += "{\"Tur\": " + jsonValue(QString::fromLatin1(kinds[int(e.kind)])) + ", \"Zaman\": " +
                   jsonValue(e.time.toString(Qt::ISODate)) + ", \"Konu\": " + jsonValue(e.topicTitle);
            if (e.kind != history::Kind::DeletedTopic)
                out += ", \"Altkonu\": " + jsonValue(e.title) + ", \"Aciklama\": " + jsonValue(body);
            out += "}";
            if (i + 1 == entries.size())
                out += "\n]";
        }
    }
    out += "}\n";
    return out;
}

QStringList checkBook(const QString &path, const QString &password, QStringList *notes)
{
    if (isServerBook(path))
        return database::ServerDatabase::open(path)->check();
    database::Database::Options options;
    options.readOnly = true;
    const auto db = database::Database::open(path, password, options);
    noteStrayLogs(db->strayLogs(), notes);
    return db->check();
}

} // namespace velkora::tools
