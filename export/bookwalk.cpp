// Reading the book for an export: its own read-only connection and the program's two queries.
#include "bookwalk.h"

#include "platform/database/connectionstring.h"
#include "platform/database/sqlitestatement.h"
#include "store/bookstore.h"
#include "store/engine.h"

#include <QHash>

namespace velkora::bookexport {

namespace {

std::unique_ptr<store::BookStore> openForReading(const QString &connectionString)
{
    database::ConnectionString c = database::ConnectionString::parse(connectionString);
    c.readOnly = true;
    auto book = std::make_unique<store::BookStore>();
    book->ADOConnection1->setConnectionString(c.toString());
    book->connect();
    if (auto *engine = dynamic_cast<store::BookEngine *>(&book->ADOConnection1->engine())) {
        sqlite3 *db = engine->database().handle();
        // The walk reads each page once: a small cache keeps the export's memory off the book's size.
        database::exec(db, "PRAGMA cache_size = -2048");
        // One read transaction for the whole export: the counts, the titles of the contents and
        // the bodies all come from the same state of the book, whatever other programs save
        // meanwhile (they go on writing; the book's log keeps this state for the reader).
        database::exec(db, "BEGIN");
    } else if (auto *server = dynamic_cast<store::ServerEngine *>(&book->ADOConnection1->engine())) {
        server->database().beginSnapshot();
    }
    book->openQueries();
    return book;
}

// The number of subtopics of each topic, counted by the engine without reading a body.
QHash<qint64, int> subtopicCounts(store::BookStore &book)
{
    QHash<qint64, int> counts;
    if (auto *engine = dynamic_cast<store::BookEngine *>(&book.ADOConnection1->engine())) {
        database::SqliteStatement st(engine->database().handle(), QStringLiteral("SELECT Sira, COUNT(*) FROM detail GROUP BY Sira"));
        while (st.step())
            counts.insert(st.integer(0), int(st.integer(1)));
        return counts;
    }
    // Any other engine: the subtopics' short columns, counted here.
    const store::ResultSet all = book.ADOConnection1->engine().select(QStringLiteral("Select * From detail"), {}, std::nullopt);
    const int sira = all.table.columnIndex(u"Sira");
    for (const store::Row &row : all.rows)
        ++counts[row.values[sira].toLongLong()];
    return counts;
}

QList<TopicEntry> readTopics(store::BookStore &book, const QList<qint64> &chosen)
{
    const QHash<qint64, int> counts = subtopicCounts(book);
    QList<TopicEntry> topics;
    store::Query &q = *book.ADOQuery1;
    // Positions are read without moving the query: a move would open each topic's subtopics.
    const store::Field *key = q.fieldByName(QStringLiteral("Sira"));
    const store::Field *title = q.fieldByName(QStringLiteral("Baslik"));
    int keyIndex = -1, titleIndex = -1;
    for (size_t i = 0; i < q.fields().size(); ++i) {
        if (q.fields()[i].get() == key)
            keyIndex = int(i);
        if (q.fields()[i].get() == title)
            titleIndex = int(i);
    }
    for (int row = 0; row < q.displayRowCount(); ++row) {
        TopicEntry t;
        t.key = q.displayValue(row, keyIndex).toLongLong();
        t.title = q.displayValue(row, titleIndex).toString();
        t.subtopics = counts.value(t.key);
        if (chosen.isEmpty() || chosen.contains(t.key))
            topics.append(t);
    }
    return topics;
}

} // namespace

BookWalk::BookWalk(const QString &connectionString, const QList<qint64> &chosen)
    : m_book(openForReading(connectionString)), m_topics(readTopics(*m_book, chosen))
{
}

BookWalk::~BookWalk()
{
    if (auto *engine = dynamic_cast<store::BookEngine *>(&m_book->ADOConnection1->engine()))
        sqlite3_exec(engine->database().handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    else if (auto *server = dynamic_cast<store::ServerEngine *>(&m_book->ADOConnection1->engine()))
        server->database().endSnapshot();
}

int BookWalk::subtopicCount() const
{
    int n = 0;
    for (const TopicEntry &t : m_topics)
        n += t.subtopics;
    return n;
}

bool BookWalk::walk(const std::function<bool(const TopicEntry &)> &topic,
                    const std::function<bool(const TopicEntry &, int)> &subtopic)
{
    store::Query &topics = *m_book->ADOQuery1;
    store::Query &subtopics = *m_book->ADOQuery2;
    int next = 0;
    for (topics.first(); !topics.eof() && next < m_topics.size(); topics.next()) {
        if (topics.fieldByName(QStringLiteral("Sira"))->value().toLongLong() != m_topics[next].key)
            continue;
        const TopicEntry &t = m_topics[next++];
        if (topic && !topic(t))
            return false;
        int index = 0;
        for (subtopics.first(); !subtopics.eof(); subtopics.next())
            if (subtopic && !subtopic(t, index++))
                return false;
    }
    return true;
}

store::Query &BookWalk::topicQuery()
{
    return *m_book->ADOQuery1;
}

store::Query &BookWalk::subtopicQuery()
{
    return *m_book->ADOQuery2;
}

QString BookWalk::subtopicTitle() const
{
    return m_book->ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->value().toString();
}

QString BookWalk::subtopicBody() const
{
    return m_book->ADOQuery2->fieldByName(QStringLiteral("Aciklama"))->value().toString();
}

QList<TopicEntry> topicsOf(const QString &connectionString)
{
    return BookWalk(connectionString, {}).topics();
}

} // namespace velkora::bookexport
