// The book's full-text index: its part of the layout, its first filling, the searches and its check.
#include "searchindex.h"

#include "bodytext.h"
#include "ftstokenizer.h"
#include "termuses.h"
#include "turkishwords.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/sqlitestatement.h"

#include <QHash>
#include <QScopeGuard>

#include <optional>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace velkora::search {

using database::Database;
using database::DatabaseError;
using database::SqliteStatement;
using database::Transaction;
using database::exec;
using database::scalar;
using database::tableExists;

namespace {

const QString ExtensionName = QStringLiteral("full-text index");
const QString EarlierExtensionName = QStringLiteral("full-text index of an earlier version");

// The index's part of the layout. The index holds no text of its own: its content is the detail
// table (title and RTF body; the tokenizer reads a body as the text a reader sees), and it holds
// for each term the subtopics using it with how often (the tokenizer counts, see
// registerTokenizer), no word positions. The triggers are its only writers after its first
// filling: whatever changes a subtopic changes its entry in the same transaction. An entry is
// taken out while the subtopic still holds the text it was made from (before the change), and
// only when the index holds it.
const std::vector<QByteArray> &indexStatements()
{
    static const std::vector<QByteArray> statements = {
        "CREATE VIRTUAL TABLE search_words USING fts4(content=\"detail\", Altkonu, Aciklama, tokenize=velkora counts)",
        "CREATE TABLE search_progress (key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
        "CREATE TRIGGER search_words_insert AFTER INSERT ON detail BEGIN"
        " INSERT INTO search_words(docid, Altkonu, Aciklama) VALUES (new.Kimlik, new.Altkonu, new.Aciklama); END",
        "CREATE TRIGGER search_words_unindex BEFORE UPDATE OF Kimlik, Altkonu, Aciklama ON detail"
        " WHEN EXISTS (SELECT 1 FROM search_words_docsize WHERE docid = old.Kimlik) BEGIN"
        " DELETE FROM search_words WHERE docid = old.Kimlik; END",
        "CREATE TRIGGER search_words_reindex AFTER UPDATE OF Kimlik, Altkonu, Aciklama ON detail BEGIN"
        " INSERT INTO search_words(docid, Altkonu, Aciklama) VALUES (new.Kimlik, new.Altkonu, new.Aciklama); END",
        "CREATE TRIGGER search_words_delete BEFORE DELETE ON detail"
        " WHEN EXISTS (SELECT 1 FROM search_words_docsize WHERE docid = old.Kimlik) BEGIN"
        " DELETE FROM search_words WHERE docid = old.Kimlik; END",
    };
    return statements;
}

const QString IndexTable = QStringLiteral("search_words");

// The index as the program's first versions made it: every word's position kept, which made a
// common word's list as long as the text using it. Such a book opens as it is; the program
// replaces that index with the counting one, which it fills in the background as for a book
// without an index.
const std::vector<QByteArray> &earlierIndexStatements()
{
    static const std::vector<QByteArray> statements = {
        "CREATE VIRTUAL TABLE search_index USING fts4(content=\"detail\", Altkonu, Aciklama, tokenize=velkora)",
        "CREATE TABLE search_state (key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
        "CREATE TRIGGER search_detail_insert AFTER INSERT ON detail BEGIN"
        " INSERT INTO search_index(docid, Altkonu, Aciklama) VALUES (new.Kimlik, new.Altkonu, new.Aciklama); END",
        "CREATE TRIGGER search_detail_unindex BEFORE UPDATE OF Kimlik, Altkonu, Aciklama ON detail"
        " WHEN EXISTS (SELECT 1 FROM search_index_docsize WHERE docid = old.Kimlik) BEGIN"
        " DELETE FROM search_index WHERE docid = old.Kimlik; END",
        "CREATE TRIGGER search_detail_reindex AFTER UPDATE OF Kimlik, Altkonu, Aciklama ON detail BEGIN"
        " INSERT INTO search_index(docid, Altkonu, Aciklama) VALUES (new.Kimlik, new.Altkonu, new.Aciklama); END",
        "CREATE TRIGGER search_detail_delete BEFORE DELETE ON detail"
        " WHEN EXISTS (SELECT 1 FROM search_index_docsize WHERE docid = old.Kimlik) BEGIN"
        " DELETE FROM search_index WHERE docid = old.Kimlik; END",
    };
    return statements;
}

void prepareConnection(sqlite3 *db)
{
    registerTokenizer(db);
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
    Database::Extension earlier;
    earlier.name = EarlierExtensionName;
    earlier.createStatements = earlierIndexStatements();
    earlier.prepare = prepareConnection;
    Database::registerExtension(std::move(earlier));
}

IndexState indexState(const Database &db, bool counted)
{
    IndexState s;
    sqlite3 *h = db.handle();
    if (counted)
        s.subtopics = scalar(h, QStringLiteral("SELECT count(*) FROM detail"));
    s.present = tableExists(h, "search_progress");
    if (!s.present)
        return s;
    s.built = scalar(h, QStringLiteral("SELECT value FROM search_progress WHERE key = 'built'")) != 0;
    if (counted)
        s.indexed = scalar(h, QStringLiteral("SELECT count(*) FROM search_words_docsize"));
    return s;
}

bool holdsIndex(const Database &db)
{
    return tableExists(db.handle(), "search_progress");
}

void createIndex(Database &db)
{
    sqlite3 *h = db.handle();
    Transaction t(h);
    if (tableExists(h, "search_progress"))
        return; // another program made it meanwhile
    if (tableExists(h, "search_state")) {
        // The earlier index goes with the change that makes its successor.
        for (const char *statement : {"DROP TRIGGER search_detail_insert", "DROP TRIGGER search_detail_unindex",
                                      "DROP TRIGGER search_detail_reindex", "DROP TRIGGER search_detail_delete",
                                      "DROP TABLE search_index", "DROP TABLE search_state"})
            exec(h, statement);
    }
    for (const QByteArray &statement : indexStatements())
        exec(h, statement.constData());
    exec(h, "INSERT INTO search_progress(key, value) VALUES ('built', 0), ('next', 0)");
    t.commit();
}

bool fillIndex(Database &db, const std::function<bool(qint64, qint64)> &progress)
{
    sqlite3 *h = db.handle();
    // Counted once: a count reads every subtopic's row, too slow for each batch of a large book.
    // Subtopics added or deleted meanwhile make the progress approximate, never the index.
    const qint64 total = scalar(h, QStringLiteral("SELECT count(*) FROM detail"));
    const QString doneBefore = QStringLiteral("SELECT count(*) FROM detail WHERE Kimlik <= ?");
    qint64 done = -1, ourLast = -1;
    for (;;) {
        {
            Transaction t(h);
            if (scalar(h, QStringLiteral("SELECT value FROM search_progress WHERE key = 'built'")) != 0)
                return true;
            const qint64 next = scalar(h, QStringLiteral("SELECT value FROM search_progress WHERE key = 'next'"));
            if (next != ourLast) // at the start, or another program filled a batch meanwhile
                done = scalar(h, doneBefore, next);
            // The batch: the next FillBatch subtopics by key, fewer when their bodies are long (the
            // batch holds the book's write lock), those the triggers have not put in yet.
            SqliteStatement sizes(h, QStringLiteral("SELECT Kimlik, length(Aciklama) FROM detail WHERE Kimlik > ? ORDER BY Kimlik LIMIT ?"));
            sizes.bind(1, next);
            sizes.bind(2, FillBatch);
            qint64 upTo = -1, bytes = 0, rows = 0;
            while (bytes < FillBatchBytes && sizes.step()) {
                upTo = sizes.integer(0);
                bytes += sizes.integer(1);
                ++rows;
            }
            if (upTo < 0) {
                exec(h, "UPDATE search_progress SET value = 1 WHERE key = 'built'");
                t.commit();
                return true;
            }
            // The batch's bodies are counted on every core first; the insert below, on this
            // thread, finds them counted.
            {
                SqliteStatement bodies(h, QStringLiteral(
                    "SELECT Aciklama FROM detail WHERE Kimlik > ?1 AND Kimlik <= ?2"
                    " AND Kimlik NOT IN (SELECT docid FROM search_words_docsize WHERE docid > ?1 AND docid <= ?2)"));
                bodies.bind(1, next);
                bodies.bind(2, upTo);
                std::vector<QByteArray> batch;
                while (bodies.step())
                    batch.push_back(bodies.bytes(0));
                countAhead(batch);
            }
            const auto forget = qScopeGuard([] { forgetCountedAhead(); });
            SqliteStatement fill(h, QStringLiteral(
                "INSERT INTO search_words(docid, Altkonu, Aciklama)"
                " SELECT Kimlik, Altkonu, Aciklama FROM detail"
                " WHERE Kimlik > ?1 AND Kimlik <= ?2"
                " AND Kimlik NOT IN (SELECT docid FROM search_words_docsize WHERE docid > ?1 AND docid <= ?2)"));
            fill.bind(1, next);
            fill.bind(2, upTo);
            fill.step();
            SqliteStatement mark(h, QStringLiteral("UPDATE search_progress SET value = ? WHERE key = 'next'"));
            mark.bind(1, upTo);
            mark.step();
            t.commit();
            done += rows;
            ourLast = upTo;
        }
        if (progress && !progress(std::min(done, total), total))
            return false;
    }
}

namespace {

struct Candidate
{
    qint64 docid;
    double score;
};
using Candidates = std::vector<Candidate>;

// The thread's lists of candidates keep their room for its next search: a common word's list is
// megabytes, and memory freshly mapped in costs more than the work done in it.
class Recycled
{
public:
    static Candidates take()
    {
        auto &free = lists();
        if (free.empty())
            return {};
        Candidates v = std::move(free.back());
        free.pop_back();
        v.clear();
        return v;
    }
    static void giveBack(Candidates &&v)
    {
        auto &free = lists();
        if (free.size() < 8 && v.capacity() > 0)
            free.push_back(std::move(v));
    }

private:
    static std::vector<Candidates> &lists()
    {
        thread_local std::vector<Candidates> free;
        return free;
    }
};

// The subtopics using an index term (or, as a prefix, any term it begins), docids ascending.
// With scores, each is scored for the term alone (BM25-like: its uses in the title and in the
// body, each against the share of subtopics using it there); a part's alternatives and a query's
// parts add their scores.
Candidates answersTo(sqlite3 *h, const QString &term, bool prefix, bool scored, double all)
{
    thread_local std::vector<TermUse> uses;
    termUses(h, IndexTable, term.toUtf8(), prefix, uses);
    double withTitle = 0, withBody = 0;
    for (const TermUse &u : uses) {
        withTitle += u.title > 0;
        withBody += u.body > 0;
    }
    const auto part = [all](double here, double docs) {
        return here > 0 ? (here / (here + 1.2)) * 2.2 * std::log(1.0 + all / std::max(1.0, docs)) : 0.0;
    };
    Candidates out = Recycled::take();
    out.reserve(uses.size());
    for (const TermUse &u : uses)
        out.push_back({u.subtopic, scored ? TitleWeight * part(u.title, withTitle) + BodyWeight * part(u.body, withBody) : 0.0});
    return out;
}

// Subtopics in either list, scores added (docids ascending in both and in the result).
Candidates either(Candidates &&a, Candidates &&b)
{
    Candidates out = Recycled::take();
    out.reserve(std::max(a.size(), b.size()));
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && a[i].docid < b[j].docid))
            out.push_back(a[i++]);
        else if (i == a.size() || b[j].docid < a[i].docid)
            out.push_back(b[j++]);
        else
            out.push_back({a[i].docid, a[i++].score + b[j++].score});
    }
    Recycled::giveBack(std::move(a));
    Recycled::giveBack(std::move(b));
    return out;
}

// Subtopics in both lists, scores added; or, with without, those of a that b lacks.
Candidates both(Candidates &&a, Candidates &&b, bool without = false)
{
    Candidates out = Recycled::take();
    out.reserve(without ? a.size() : std::min(a.size(), b.size()));
    size_t j = 0;
    for (const Candidate &c : a) {
        while (j < b.size() && b[j].docid < c.docid)
            ++j;
        const bool inB = j < b.size() && b[j].docid == c.docid;
        if (without && !inB)
            out.push_back(c);
        else if (!without && inB)
            out.push_back({c.docid, c.score + b[j].score});
    }
    Recycled::giveBack(std::move(a));
    Recycled::giveBack(std::move(b));
    return out;
}

} // namespace

QVector<SearchResult> searchBook(const Database &db, const Query &query, int limit)
{
    QVector<SearchResult> results;
    if (query.isEmpty() || limit <= 0)
        return results;
    sqlite3 *h = db.handle();
    // Every part that is asked for, each the best of its alternatives (a phrase: all its words);
    // then those that are left out. Marks, and the order of a phrase's words, are decided by the
    // text below: the index holds markless terms without positions.
    const double all = double(std::max<qint64>(1, indexedCount(h, IndexTable)));
    std::optional<Candidates> found;
    for (const QueryPart &p : query.parts) {
        if (p.excluded)
            continue;
        Candidates answers;
        if (p.kind == QueryPart::Kind::Phrase) {
            for (qsizetype i = 0; i < p.markless.size(); ++i) {
                Candidates word = answersTo(h, p.markless[i], false, true, all);
                answers = i == 0 ? std::move(word) : both(std::move(answers), std::move(word));
            }
        } else {
            const bool prefix = p.kind == QueryPart::Kind::Prefix;
            answers = answersTo(h, p.markless[0], prefix, true, all);
            if (!prefix && p.marklessStems[0] != p.markless[0])
                answers = either(std::move(answers), answersTo(h, p.marklessStems[0], false, true, all));
        }
        found = found ? both(std::move(*found), std::move(answers)) : std::move(answers);
        if (found->empty())
            return results;
    }
    Candidates candidates = found ? std::move(*found) : Candidates();
    for (const QueryPart &p : query.parts) {
        // The subtopics holding a word left out, written as it is asked without marks, go at once;
        // the text decides the others (a term can be a stem of words that do not answer).
        if (p.excluded && !p.marked && p.kind == QueryPart::Kind::Word)
            candidates = both(std::move(candidates), answersTo(h, p.markless[0], false, false, all), true);
    }
    // Best first; only as many put in order as are looked at (the text may turn some away).
    const auto better = [](const Candidate &a, const Candidate &b) { return a.score != b.score ? a.score > b.score : a.docid < b.docid; };
    size_t ordered = 0;
    const auto orderUpTo = [&](size_t n) {
        n = std::min(n, candidates.size());
        if (n <= ordered)
            return;
        std::partial_sort(candidates.begin() + qsizetype(ordered), candidates.begin() + qsizetype(n), candidates.end(), better);
        ordered = n;
    };
    orderUpTo(size_t(limit) * 2);

    // The best ones looked at in their text: marks and phrases are decided there, the hits counted
    // and the snippet made.
    SqliteStatement text(h, QStringLiteral("SELECT d.Altkonu, d.Aciklama, d.Sira, m.Baslik FROM detail d"
                                           " JOIN master m ON m.Sira = d.Sira WHERE d.Kimlik = ?"));
    const QStringList prefixes = query.wordPrefixes();
    std::vector<Word> titleWords, bodyWords;
    for (size_t i = 0; i < candidates.size() && results.size() < limit; ++i) {
        if (i == ordered)
            orderUpTo(ordered * 2);
        const Candidate &c = candidates[i];
        text.reset();
        text.bind(1, c.docid);
        if (!text.step())
            continue;
        const QString title = text.value(0).isNull() ? QString() : text.text(0);
        const QString body = bodyText(text.bytes(1));
        QVector<Hit> inTitle, inBody;
        splitWords(title, prefixes, titleWords);
        splitWords(body, prefixes, bodyWords);
        if (!subtopicHits(titleWords, bodyWords, query, &inTitle, &inBody))
            continue; // the index's markless terms matched, the words as written do not
        SearchResult r;
        r.subtopic = c.docid;
        r.score = c.score;
        r.subtopicTitle = title;
        r.hits = int(inTitle.size() + inBody.size());
        if (!inBody.isEmpty()) {
            r.snippet = snippetOf(body, inBody);
            r.firstHitText = body.mid(inBody.first().start, inBody.first().end - inBody.first().start);
        } else {
            r.snippet = snippetOf(title, inTitle);
        }
        r.topic = text.integer(2);
        r.topicTitle = text.text(3);
        results.append(std::move(r));
    }
    Recycled::giveBack(std::move(candidates));
    return results;
}

QStringList checkIndex(const Database &db)
{
    QStringList problems;
    sqlite3 *h = db.handle();
    if (!tableExists(h, "search_progress"))
        return problems;
    const bool built = scalar(h, QStringLiteral("SELECT value FROM search_progress WHERE key = 'built'")) != 0;
    const qint64 next = scalar(h, QStringLiteral("SELECT value FROM search_progress WHERE key = 'next'"));
    int reported = 0;
    const auto report = [&](const QString &problem) {
        if (reported++ < 10)
            problems.append(problem);
    };

    // The subtopics the index holds, each with how many words of its title and body it holds.
    QHash<qint64, QByteArray> lengths;
    {
        SqliteStatement st(h, QStringLiteral("SELECT docid, size FROM search_words_docsize"));
        while (st.step())
            lengths.insert(st.integer(0), st.bytes(1));
    }

    // A whole index is compared term by term with what the tokenizer makes of every subtopic (the
    // full-text module's own check; a book opened read-only cannot run it). Only when that finds
    // a disagreement, or cannot be run, is every subtopic read to name the ones that disagree.
    bool termsChecked = false, termsAgree = true;
    if (built && !db.isReadOnly()) {
        char *error = nullptr;
        const int rc = sqlite3_exec(h, "INSERT INTO search_words(search_words) VALUES('integrity-check')", nullptr, nullptr, &error);
        sqlite3_free(error);
        termsChecked = rc == SQLITE_OK || (rc & 0xff) == SQLITE_CORRUPT;
        termsAgree = rc == SQLITE_OK;
        if (!termsChecked)
            report(QStringLiteral("the full-text index could not be checked: %1").arg(database::sqliteMessage(h, rc)));
    }
    const bool compareLengths = !termsChecked || !termsAgree;

    const int namedBefore = reported;
    SqliteStatement st(h, compareLengths ? QStringLiteral("SELECT Kimlik, Altkonu, Aciklama FROM detail ORDER BY Kimlik")
                                         : QStringLiteral("SELECT Kimlik FROM detail ORDER BY Kimlik"));
    while (st.step()) {
        const qint64 key = st.integer(0);
        const auto held = lengths.constFind(key);
        if (held == lengths.constEnd()) {
            if (built || key <= next)
                report(QStringLiteral("the full-text index lacks subtopic %1").arg(key));
            continue;
        }
        if (compareLengths) {
            // The record: one varint per column (title, body), the number of word positions.
            qint64 recorded[2] = {-1, -1};
            const QByteArray &record = *held;
            qsizetype at = 0;
            for (qint64 &n : recorded) {
                quint64 v = 0;
                int shift = 0;
                while (at < record.size() && shift < 64) {
                    const auto b = quint8(record[at++]);
                    v |= quint64(b & 0x7f) << shift;
                    shift += 7;
                    if (!(b & 0x80))
                        break;
                }
                n = qint64(v);
            }
            if (recorded[0] != positionsOf(st.bytes(1)) || recorded[1] != positionsOf(st.bytes(2)))
                report(QStringLiteral("the full-text index holds other text for subtopic %1 than its title and body").arg(key));
        }
        lengths.erase(held);
    }
    if (!lengths.isEmpty())
        report(QStringLiteral("the full-text index holds %1 subtopics the book does not").arg(lengths.size()));
    if (termsChecked && !termsAgree && reported == namedBefore)
        report(QStringLiteral("the full-text index's words disagree with the subtopics' titles and bodies"));
    if (reported > 10)
        problems.append(QStringLiteral("and %1 more disagreements of the full-text index").arg(reported - 10));
    return problems;
}

} // namespace velkora::search
