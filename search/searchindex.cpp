// The book's full-text index: its part of the layout, its first filling, the searches and its check.
#include "searchindex.h"

#include "bodytext.h"
#include "ftstokenizer.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/sqlitestatement.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace velkora::search {

using database::Database;
using database::DatabaseError;
using database::SqliteStatement;

namespace {

const QString ExtensionName = QStringLiteral("full-text index");

// The index's part of the layout. The triggers are the only writers of the index after its first
// filling: whatever changes a subtopic changes its entry in the same transaction.
const std::vector<QByteArray> &indexStatements()
{
    static const std::vector<QByteArray> statements = {
        "CREATE VIRTUAL TABLE search_index USING fts4(title, body, tokenize=velkora)",
        "CREATE TABLE search_state (key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
        "CREATE TRIGGER search_detail_insert AFTER INSERT ON detail BEGIN"
        " INSERT INTO search_index(docid, title, body) VALUES (new.Kimlik, new.Altkonu, velkora_body_text(new.Aciklama)); END",
        "CREATE TRIGGER search_detail_update AFTER UPDATE OF Altkonu, Aciklama ON detail BEGIN"
        " DELETE FROM search_index WHERE docid = old.Kimlik;"
        " INSERT INTO search_index(docid, title, body) VALUES (new.Kimlik, new.Altkonu, velkora_body_text(new.Aciklama)); END",
        "CREATE TRIGGER search_detail_delete AFTER DELETE ON detail BEGIN"
        " DELETE FROM search_index WHERE docid = old.Kimlik; END",
    };
    return statements;
}

void bodyTextFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_text(context, "", 0, SQLITE_STATIC);
        return;
    }
    const auto *bytes = static_cast<const char *>(sqlite3_value_blob(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    try {
        const QByteArray text = bodyText(QByteArrayView(bytes, size)).toUtf8();
        sqlite3_result_text64(context, text.constData(), sqlite3_uint64(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
    } catch (const std::exception &) {
        sqlite3_result_error_nomem(context);
    }
}

void prepareConnection(sqlite3 *db)
{
    registerTokenizer(db);
    sqlite3_create_function_v2(db, "velkora_body_text", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, bodyTextFunction,
                               nullptr, nullptr, nullptr);
}

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        throw DatabaseError(database::sqliteMessage(db, rc));
}

// A write transaction that rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(sqlite3 *db) : m_db(db) { exec(db, "BEGIN IMMEDIATE"); }
    ~Transaction()
    {
        if (!m_done)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit()
    {
        exec(m_db, "COMMIT");
        m_done = true;
    }

private:
    sqlite3 *m_db;
    bool m_done = false;
};

bool tableExists(sqlite3 *db, const char *name)
{
    SqliteStatement st(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    st.bind(1, QString::fromLatin1(name));
    return st.step();
}

qint64 scalar(sqlite3 *db, const QString &sql, const QVariant &a = {}, const QVariant &b = {})
{
    SqliteStatement st(db, sql);
    if (a.isValid())
        st.bind(1, a);
    if (b.isValid())
        st.bind(2, b);
    return st.step() ? st.integer(0) : 0;
}

// Weight of a hit in each column of the index: a title's words say more than a body's.
constexpr double TitleWeight = 4.0, BodyWeight = 1.0;

} // namespace

void installSearchIndex()
{
    Database::Extension e;
    e.name = ExtensionName;
    e.createStatements = indexStatements();
    e.prepare = prepareConnection;
    e.check = [](const Database &db) { return checkIndex(db); };
    Database::registerExtension(std::move(e));
}

IndexState indexState(const Database &db)
{
    IndexState s;
    sqlite3 *h = db.handle();
    s.subtopics = scalar(h, QStringLiteral("SELECT count(*) FROM detail"));
    s.present = tableExists(h, "search_state");
    if (!s.present)
        return s;
    s.built = scalar(h, QStringLiteral("SELECT value FROM search_state WHERE key = 'built'")) != 0;
    s.indexed = scalar(h, QStringLiteral("SELECT count(*) FROM search_index_docsize"));
    return s;
}

void createIndex(Database &db)
{
    sqlite3 *h = db.handle();
    Transaction t(h);
    if (tableExists(h, "search_state"))
        return; // another program made it meanwhile
    for (const QByteArray &statement : indexStatements())
        exec(h, statement.constData());
    exec(h, "INSERT INTO search_state(key, value) VALUES ('built', 0), ('next', 0)");
    t.commit();
}

bool fillIndex(Database &db, const std::function<bool(qint64, qint64)> &progress)
{
    sqlite3 *h = db.handle();
    for (;;) {
        qint64 done = 0, total = 0;
        {
            Transaction t(h);
            if (scalar(h, QStringLiteral("SELECT value FROM search_state WHERE key = 'built'")) != 0)
                return true;
            const qint64 next = scalar(h, QStringLiteral("SELECT value FROM search_state WHERE key = 'next'"));
            // The batch: the next FillBatch subtopics by key, those the triggers have not put in yet.
            SqliteStatement last(h, QStringLiteral("SELECT max(Kimlik) FROM (SELECT Kimlik FROM detail WHERE Kimlik > ? ORDER BY Kimlik LIMIT ?)"));
            last.bind(1, next);
            last.bind(2, FillBatch);
            const qint64 upTo = last.step() && last.value(0).isValid() && !last.value(0).isNull() ? last.integer(0) : -1;
            if (upTo < 0) {
                exec(h, "UPDATE search_state SET value = 1 WHERE key = 'built'");
                t.commit();
                return true;
            }
            SqliteStatement fill(h, QStringLiteral(
                "INSERT INTO search_index(docid, title, body)"
                " SELECT Kimlik, Altkonu, velkora_body_text(Aciklama) FROM detail"
                " WHERE Kimlik > ?1 AND Kimlik <= ?2"
                " AND Kimlik NOT IN (SELECT docid FROM search_index_docsize WHERE docid > ?1 AND docid <= ?2)"));
            fill.bind(1, next);
            fill.bind(2, upTo);
            fill.step();
            SqliteStatement mark(h, QStringLiteral("UPDATE search_state SET value = ? WHERE key = 'next'"));
            mark.bind(1, upTo);
            mark.step();
            done = scalar(h, QStringLiteral("SELECT count(*) FROM detail WHERE Kimlik <= ?"), upTo);
            total = scalar(h, QStringLiteral("SELECT count(*) FROM detail"));
            t.commit();
        }
        if (progress && !progress(done, total))
            return false;
    }
}

QVector<SearchResult> searchBook(const Database &db, const Query &query, int limit)
{
    QVector<SearchResult> results;
    const QString match = query.matchExpression();
    if (match.isEmpty() || limit <= 0)
        return results;
    sqlite3 *h = db.handle();
    struct Candidate
    {
        qint64 docid;
        double score;
    };
    std::vector<Candidate> candidates;
    {
        // matchinfo 'pcnx': phrases, columns, rows, then per phrase and column the hits in this row,
        // in all rows and the rows with a hit.
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(h, "SELECT docid, matchinfo(search_index, 'pcnx') FROM search_index WHERE search_index MATCH ?", -1,
                               &st, nullptr) != SQLITE_OK)
            throw DatabaseError(database::sqliteMessage(h, sqlite3_errcode(h)));
        const QByteArray utf8 = match.toUtf8();
        sqlite3_bind_text(st, 1, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            const auto *v = static_cast<const quint32 *>(sqlite3_column_blob(st, 1));
            const qsizetype count = sqlite3_column_bytes(st, 1) / qsizetype(sizeof(quint32));
            if (!v || count < 3)
                continue;
            const quint32 phrases = v[0], columns = v[1], rows = v[2];
            double score = 0;
            for (quint32 p = 0; p < phrases; ++p) {
                for (quint32 c = 0; c < columns; ++c) {
                    const qsizetype at = 3 + (qsizetype(p) * columns + c) * 3;
                    if (at + 2 >= count)
                        break;
                    const double here = v[at], docs = std::max<quint32>(1, v[at + 2]);
                    const double idf = std::log(1.0 + double(rows) / docs);
                    score += (c == 0 ? TitleWeight : BodyWeight) * (here / (here + 1.2)) * 2.2 * idf;
                }
            }
            candidates.push_back({sqlite3_column_int64(st, 0), score});
        }
        const int code = rc == SQLITE_DONE ? SQLITE_OK : rc;
        sqlite3_finalize(st);
        if (code != SQLITE_OK)
            throw DatabaseError(database::sqliteMessage(h, code));
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate &a, const Candidate &b) { return a.score != b.score ? a.score > b.score : a.docid < b.docid; });

    // The best ones looked at in their text: marks and phrases are decided there, the hits counted
    // and the snippet made.
    SqliteStatement text(h, QStringLiteral("SELECT title, body FROM search_index WHERE docid = ?"));
    SqliteStatement where(h, QStringLiteral("SELECT d.Sira, m.Baslik FROM detail d JOIN master m ON m.Sira = d.Sira WHERE d.Kimlik = ?"));
    for (const Candidate &c : candidates) {
        if (results.size() >= limit)
            break;
        text.reset();
        text.bind(1, c.docid);
        if (!text.step())
            continue;
        const QString title = text.text(0), body = text.text(1);
        const QString both = title + u'\n' + body;
        if (excludedIn(both, query))
            continue;
        const QVector<Hit> inBoth = hitsIn(both, query);
        if (inBoth.isEmpty())
            continue; // the index's markless terms matched, the words as written do not
        SearchResult r;
        r.subtopic = c.docid;
        r.score = c.score;
        r.subtopicTitle = title;
        r.hits = int(inBoth.size());
        const QVector<Hit> inBody = hitsIn(body, query);
        if (!inBody.isEmpty()) {
            r.snippet = snippetOf(body, inBody);
            r.firstHitText = body.mid(inBody.first().start, inBody.first().end - inBody.first().start);
        } else {
            r.snippet = snippetOf(title, hitsIn(title, query));
        }
        where.reset();
        where.bind(1, c.docid);
        if (where.step()) {
            r.topic = where.integer(0);
            r.topicTitle = where.text(1);
        }
        results.append(std::move(r));
    }
    return results;
}

QStringList checkIndex(const Database &db)
{
    QStringList problems;
    sqlite3 *h = db.handle();
    if (!tableExists(h, "search_state"))
        return problems;
    const bool built = scalar(h, QStringLiteral("SELECT value FROM search_state WHERE key = 'built'")) != 0;
    const qint64 next = scalar(h, QStringLiteral("SELECT value FROM search_state WHERE key = 'next'"));
    // Every subtopic the index should hold, with the text it should hold for it.
    SqliteStatement st(h, QStringLiteral("SELECT d.Kimlik, d.Altkonu, d.Aciklama, s.title, s.body FROM detail d"
                                         " LEFT JOIN search_index s ON s.docid = d.Kimlik ORDER BY d.Kimlik"));
    int reported = 0;
    const auto report = [&](const QString &problem) {
        if (reported++ < 10)
            problems.append(problem);
    };
    while (st.step()) {
        const qint64 key = st.integer(0);
        const bool held = !st.value(3).isNull() || !st.value(4).isNull();
        if (!held) {
            if (built || key <= next)
                report(QStringLiteral("the full-text index lacks subtopic %1").arg(key));
            continue;
        }
        const QString title = st.value(1).isNull() ? QString() : st.text(1);
        if (st.text(3) != title || st.text(4) != bodyText(st.value(2).toByteArray()))
            report(QStringLiteral("the full-text index holds other text for subtopic %1 than its title and body").arg(key));
    }
    const qint64 stray = scalar(h, QStringLiteral("SELECT count(*) FROM search_index_docsize WHERE docid NOT IN (SELECT Kimlik FROM detail)"));
    if (stray > 0)
        report(QStringLiteral("the full-text index holds %1 subtopics the book does not").arg(stray));
    if (reported > 10)
        problems.append(QStringLiteral("and %1 more disagreements of the full-text index").arg(reported - 10));
    return problems;
}

} // namespace velkora::search
