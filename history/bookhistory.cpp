// Earlier versions of the subtopics and what was deleted, kept inside the book by triggers: a save,
// a delete or a topic's delete (with its subtopics) keeps what it replaced or removed in the same
// transaction, so a kill at any moment leaves the book and its history agreeing.
#include "bookhistory.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/sqlitestatement.h"


namespace velkora::history {

using database::Database;
using database::DatabaseError;
using database::SqliteStatement;

namespace {

const QString ExtensionName = QStringLiteral("history");

// The size a kept version counts with: the bytes of its title and body as stored.
#define VELKORA_HISTORY_SIZE(row) \
    "coalesce(length(CAST(" row ".Altkonu AS BLOB)), 0) + coalesce(length(CAST(" row ".Aciklama AS BLOB)), 0)"

// The history's part of the layout. history_state holds whether the book keeps history ('on') and
// the bytes its entries count ('bytes'), so that the share of the book is kept without adding up
// every entry on each save. Entries over the limits go oldest first: a subtopic's 51st version on
// each save of it; and whenever the history counts more than a quarter of the book's pages in use, as
// many of the oldest entries as bring it under (the newest is kept even when it alone is more). The
// book's SQLite has no window functions and no pragma functions; the two functions of our own that
// the trigger uses are made on every connection the program opens.
const std::vector<QByteArray> &historyStatements()
{
    static const std::vector<QByteArray> statements = {
        "CREATE TABLE history ("
        " Kimlik INTEGER PRIMARY KEY AUTOINCREMENT,"
        " Tur INTEGER NOT NULL,"
        " Zaman INTEGER NOT NULL,"
        " Boyut INTEGER NOT NULL,"
        " Konu INTEGER,"
        " KonuBaslik VARCHAR(255),"
        " AltkonuKimlik INTEGER,"
        " Altkonu VARCHAR(255),"
        " Aciklama LONGTEXT)",
        "CREATE INDEX history_subtopic ON history(AltkonuKimlik, Tur)",
        "CREATE INDEX history_size ON history(Kimlik, Boyut)",
        "CREATE INDEX history_topic ON history(Tur, Konu)",
        "CREATE TABLE history_state (key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
        "CREATE TRIGGER history_change AFTER UPDATE OF Altkonu, Aciklama ON detail"
        " WHEN (SELECT value FROM history_state WHERE key = 'on')"
        " AND (old.Altkonu IS NOT new.Altkonu OR old.Aciklama IS NOT new.Aciklama) BEGIN"
        " INSERT INTO history(Tur, Zaman, Boyut, Konu, KonuBaslik, AltkonuKimlik, Altkonu, Aciklama)"
        " VALUES (0, CAST(strftime('%s', 'now') AS INTEGER), " VELKORA_HISTORY_SIZE("old") ", old.Sira,"
        " (SELECT Baslik FROM master WHERE Sira = old.Sira), old.Kimlik, old.Altkonu, old.Aciklama);"
        " DELETE FROM history WHERE Tur = 0 AND AltkonuKimlik = old.Kimlik AND Kimlik <= (SELECT Kimlik FROM history"
        " WHERE Tur = 0 AND AltkonuKimlik = old.Kimlik ORDER BY Kimlik DESC LIMIT 1 OFFSET 50); END",
        "CREATE TRIGGER history_delete_subtopic AFTER DELETE ON detail"
        " WHEN (SELECT value FROM history_state WHERE key = 'on') BEGIN"
        " INSERT INTO history(Tur, Zaman, Boyut, Konu, KonuBaslik, AltkonuKimlik, Altkonu, Aciklama)"
        " VALUES (1, CAST(strftime('%s', 'now') AS INTEGER), " VELKORA_HISTORY_SIZE("old") ", old.Sira,"
        " coalesce((SELECT Baslik FROM master WHERE Sira = old.Sira),"
        " (SELECT KonuBaslik FROM history WHERE Tur = 2 AND Konu = old.Sira ORDER BY Kimlik DESC LIMIT 1)),"
        " old.Kimlik, old.Altkonu, old.Aciklama); END",
        "CREATE TRIGGER history_delete_topic BEFORE DELETE ON master"
        " WHEN (SELECT value FROM history_state WHERE key = 'on') BEGIN"
        " INSERT INTO history(Tur, Zaman, Boyut, Konu, KonuBaslik)"
        " VALUES (2, CAST(strftime('%s', 'now') AS INTEGER), coalesce(length(CAST(old.Baslik AS BLOB)), 0),"
        " old.Sira, old.Baslik); END",
        "CREATE TRIGGER history_count AFTER INSERT ON history BEGIN"
        " UPDATE history_state SET value = value + new.Boyut WHERE key = 'bytes'; END",
        "CREATE TRIGGER history_uncount AFTER DELETE ON history BEGIN"
        " UPDATE history_state SET value = value - old.Boyut WHERE key = 'bytes'; END",
        // Earlier versions go before deleted subtopics and topics; the newest entry is never taken,
        // nor what a delete of this second removed (a topic's delete keeps its subtopics whole).
        "CREATE TRIGGER history_trim AFTER UPDATE OF value ON history_state"
        " WHEN new.key = 'bytes' AND new.value > old.value AND new.value > velkora_history_budget() BEGIN"
        " DELETE FROM history WHERE Tur = 0 AND Kimlik < (SELECT max(Kimlik) FROM history)"
        " AND Kimlik <= (SELECT velkora_history_cutoff(new.value - velkora_history_budget(), 0));"
        " DELETE FROM history WHERE Kimlik < (SELECT max(Kimlik) FROM history)"
        " AND NOT (Tur IN (1, 2) AND Zaman >= (SELECT max(Zaman) FROM history)) AND Kimlik <= (SELECT velkora_history_cutoff("
        "(SELECT value FROM history_state WHERE key = 'bytes') - velkora_history_budget(), 1)); END",
    };
    return statements;
}

#undef VELKORA_HISTORY_SIZE

// velkora_history_budget(): the bytes all history may count: a quarter of the book's pages in use
// (its file without the free pages that trimmed history leaves).
qint64 pragmaValue(sqlite3 *db, const char *pragma)
{
    sqlite3_stmt *st = nullptr;
    qint64 value = -1;
    if (sqlite3_prepare_v2(db, pragma, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return value;
}

void historyBudget(sqlite3_context *context, int, sqlite3_value **)
{
    sqlite3 *db = sqlite3_context_db_handle(context);
    const qint64 pages = pragmaValue(db, "PRAGMA page_count"), free = pragmaValue(db, "PRAGMA freelist_count"),
                 size = pragmaValue(db, "PRAGMA page_size");
    if (pages < 0 || free < 0 || size <= 0) {
        sqlite3_result_error(context, "the book's size cannot be read", -1);
        return;
    }
    sqlite3_result_int64(context, (pages - free) * size / ShareOfBook);
}

// velkora_history_cutoff(excess, all): the entry up to which the oldest entries (the earlier
// versions only, or with all set every entry) count at least excess bytes; 0 when none need to go.
// Reads the small index of sizes, oldest first, and stops as soon as it has enough.
void historyCutoff(sqlite3_context *context, int, sqlite3_value **arguments)
{
    const qint64 excess = sqlite3_value_int64(arguments[0]);
    if (excess <= 0) {
        sqlite3_result_int64(context, 0);
        return;
    }
    const bool all = sqlite3_value_int(arguments[1]) != 0;
    sqlite3 *db = sqlite3_context_db_handle(context);
    sqlite3_stmt *st = nullptr;
    const char *sql = all ? "SELECT Kimlik, Boyut FROM history INDEXED BY history_size ORDER BY Kimlik"
                          : "SELECT Kimlik, Boyut FROM history WHERE Tur = 0 ORDER BY Kimlik";
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_result_error(context, "the history's sizes cannot be read", -1);
        return;
    }
    qint64 sum = 0, cutoff = 0;
    while (sum < excess && sqlite3_step(st) == SQLITE_ROW) {
        cutoff = sqlite3_column_int64(st, 0);
        sum += sqlite3_column_int64(st, 1);
    }
    sqlite3_finalize(st);
    sqlite3_result_int64(context, cutoff);
}

void prepareConnection(sqlite3 *db)
{
    sqlite3_create_function(db, "velkora_history_budget", 0, SQLITE_UTF8, nullptr, historyBudget, nullptr, nullptr);
    sqlite3_create_function(db, "velkora_history_cutoff", 2, SQLITE_UTF8, nullptr, historyCutoff, nullptr, nullptr);
}

QList<Entry> entries(const Database &db, const QString &where, const QVariant &a = {})
{
    SqliteStatement st(db.handle(), QStringLiteral("SELECT Kimlik, Tur, Zaman, Konu, KonuBaslik, AltkonuKimlik, Altkonu, Boyut"
                                                   " FROM history WHERE %1 ORDER BY Kimlik DESC").arg(where));
    if (a.isValid())
        st.bind(1, a);
    QList<Entry> out;
    while (st.step()) {
        Entry e;
        e.id = st.integer(0);
        e.kind = static_cast<Kind>(st.integer(1));
        e.time = QDateTime::fromSecsSinceEpoch(st.integer(2));
        e.topic = st.integer(3);
        e.topicTitle = st.text(4);
        e.subtopic = st.integer(5);
        e.title = st.text(6);
        e.size = st.integer(7);
        out.append(e);
    }
    return out;
}

// A subtopic or topic comes back under its own key where that is free (keys are never given
// twice, so it is unless another program brought it back meanwhile): its earlier versions are its own again.
qint64 insertSubtopic(sqlite3 *h, qint64 topic, qint64 entry)
{
    SqliteStatement st(h, QStringLiteral("INSERT INTO detail(Kimlik, Sira, Altkonu, Aciklama) SELECT"
                                         " CASE WHEN EXISTS (SELECT 1 FROM detail WHERE Kimlik = AltkonuKimlik) THEN NULL ELSE AltkonuKimlik END,"
                                         " ?, Altkonu, Aciklama FROM history WHERE Kimlik = ?"));
    st.bind(1, topic);
    st.bind(2, entry);
    st.step();
    SqliteStatement gone(h, QStringLiteral("DELETE FROM history WHERE Kimlik = ?"));
    gone.bind(1, entry);
    gone.step();
    return sqlite3_last_insert_rowid(h);
}

qint64 insertTopic(sqlite3 *h, const QString &title, qint64 key = 0)
{
    const bool free = key > 0 && database::scalar(h, QStringLiteral("SELECT count(*) FROM master WHERE Sira = ?"), key) == 0;
    SqliteStatement st(h, QStringLiteral("INSERT INTO master(Sira, Baslik) VALUES (?, ?)"));
    st.bind(1, free ? QVariant(key) : QVariant());
    st.bind(2, title);
    st.step();
    return sqlite3_last_insert_rowid(h);
}

} // namespace

void installBookHistory()
{
    Database::Extension e;
    e.name = ExtensionName;
    e.createStatements = historyStatements();
    e.prepare = prepareConnection;
    e.check = [](const Database &db) { return checkHistory(db); };
    Database::registerExtension(std::move(e));
}

bool holdsHistory(const Database &db)
{
    return database::tableExists(db.handle(), "history_state");
}

void createHistory(Database &db)
{
    sqlite3 *h = db.handle();
    database::Transaction t(h);
    if (database::tableExists(h, "history_state"))
        return; // another program made it meanwhile
    for (const QByteArray &statement : historyStatements())
        database::exec(h, statement.constData());
    database::exec(h, "INSERT INTO history_state(key, value) VALUES ('on', 1), ('bytes', 0)");
    t.commit();
}

bool historyEnabled(const Database &db)
{
    return holdsHistory(db)
           && database::scalar(db.handle(), QStringLiteral("SELECT value FROM history_state WHERE key = 'on'")) != 0;
}

void setHistoryEnabled(Database &db, bool on)
{
    if (!holdsHistory(db))
        createHistory(db);
    SqliteStatement st(db.handle(), QStringLiteral("UPDATE history_state SET value = ? WHERE key = 'on'"));
    st.bind(1, on ? 1 : 0);
    st.step();
}

QList<Entry> versionsOf(const Database &db, qint64 subtopic)
{
    if (!holdsHistory(db))
        return {};
    return entries(db, QStringLiteral("Tur = 0 AND AltkonuKimlik = ?"), subtopic);
}

QList<Entry> deletedEntries(const Database &db)
{
    if (!holdsHistory(db))
        return {};
    return entries(db, QStringLiteral("Tur IN (1, 2)"));
}

QList<Entry> deletedWith(const Database &db, qint64 topicEntry)
{
    // Topic keys are never used again: the subtopics deleted under the topic after its entry went
    // with it.
    return entries(db, QStringLiteral("Tur = 1 AND Kimlik > %1 AND Konu = (SELECT Konu FROM history WHERE Kimlik = %1 AND Tur = 2)")
                           .arg(topicEntry));
}

QString bodyOf(const Database &db, qint64 id)
{
    if (!holdsHistory(db))
        return {};
    SqliteStatement st(db.handle(), QStringLiteral("SELECT Aciklama FROM history WHERE Kimlik = ?"));
    st.bind(1, id);
    return st.step() ? st.text(0) : QString();
}

qint64 restoreDeleted(Database &db, qint64 id)
{
    sqlite3 *h = db.handle();
    database::Transaction t(h);
    const QList<Entry> found = entries(db, QStringLiteral("Kimlik = ? AND Tur IN (1, 2)"), id);
    if (found.isEmpty())
        throw DatabaseError(QStringLiteral("Geri getirilecek kayıt artık yok."));
    const Entry &e = found.first();
    qint64 topic = 0;
    if (e.kind == Kind::DeletedTopic) {
        topic = insertTopic(h, e.topicTitle, e.topic);
        const QList<Entry> with = deletedWith(db, e.id);
        for (auto it = with.crbegin(); it != with.crend(); ++it)
            insertSubtopic(h, topic, it->id);
        SqliteStatement gone(h, QStringLiteral("DELETE FROM history WHERE Kimlik = ?"));
        gone.bind(1, e.id);
        gone.step();
    } else {
        topic = database::scalar(h, QStringLiteral("SELECT Sira FROM master WHERE Sira = ?"), e.topic);
        if (topic == 0)
            topic = database::scalar(h, QStringLiteral("SELECT Sira FROM master WHERE Baslik = ? ORDER BY Sira LIMIT 1"),
                                     QString::fromUtf8(RestoredTopicTitle));
        if (topic == 0)
            topic = insertTopic(h, QString::fromUtf8(RestoredTopicTitle));
        insertSubtopic(h, topic, e.id);
    }
    t.commit();
    return topic;
}

QStringList checkHistory(const Database &db)
{
    QStringList problems;
    sqlite3 *h = db.handle();
    if (!holdsHistory(db))
        return problems;
    const qint64 counted = database::scalar(h, QStringLiteral("SELECT value FROM history_state WHERE key = 'bytes'"));
    const qint64 total = database::scalar(h, QStringLiteral("SELECT total(Boyut) FROM history"));
    if (counted != total)
        problems.append(QStringLiteral("the history counts %1 bytes but its entries hold %2").arg(counted).arg(total));
    const qint64 most = database::scalar(
        h, QStringLiteral("SELECT max(n) FROM (SELECT count(*) AS n FROM history WHERE Tur = 0 GROUP BY AltkonuKimlik)"));
    if (most > VersionsKept)
        problems.append(QStringLiteral("the history keeps %1 versions of a subtopic, more than %2").arg(most).arg(VersionsKept));
    const qint64 wrong = database::scalar(
        h, QStringLiteral("SELECT count(*) FROM history WHERE Tur NOT IN (0, 1, 2) OR Boyut < 0"));
    if (wrong > 0)
        problems.append(QStringLiteral("the history holds %1 entries of no known kind").arg(wrong));
    return problems;
}

} // namespace velkora::history
