// Book search benchmark on the store benchmark's book (100,000 subtopics of 20 KB RTF by default):
// building the full-text index (MB of body text a second), its size against the text it holds, a
// query of one or two words to the first 50 results with their snippets (median and 95th
// percentile), and what the index adds to saving a 1 MB body. Side by side in the same run: grep
// over the bodies' text written to one file (a line a subtopic: the floor for a scan) and SQLite's
// FTS5 with its unicode61 tokenizer over the same text (Python's sqlite3 module).
// Prints one line per figure: BENCH <name> <value> <unit>.
// Usage: velkora_bench_search [CACHE_FOLDER [SUBTOPICS]], or velkora_bench_search --queries INDEXED_BOOK
#include "support/storebook.h"

#include "search/bodytext.h"
#include "search/searchindex.h"
#include "search/searchquery.h"

#include "platform/database/database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using velkora::database::Database;

const QString Password = QStringLiteral("*.417305");

// One- and two-word queries over the book's words (every word is in most bodies: the hardest case
// for an index, which has to rank nearly every subtopic).
const char *const Queries[] = {"yüklem", "cümle", "özne nesne", "istanbul", "ıslak ağaç", "kalın", "sıfat zamir",
                               "hece", "fiil çatı", "ığdır", "bağlaç", "anlam ses"};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void exec(sqlite3 *h, const char *sql)
{
    if (sqlite3_exec(h, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, sqlite3_errmsg(h));
        std::exit(1);
    }
}

QByteArray oneMegabyteBody()
{
    QRandomGenerator rng(99);
    QByteArray body = "{\\rtf1\\ansi\\ansicpg1254\\deff0{\\fonttbl{\\f0\\fnil\\fcharset162 Arial;}}\\f0\\fs20 ";
    while (body.size() < (1 << 20)) {
        body += velkora::bench::rtfWord(velkora::bench::Words[rng.bounded(int(std::size(velkora::bench::Words)))]);
        body += rng.bounded(8) == 0 ? " \\b kal\\'fdn\\b0 " : rng.bounded(40) == 0 ? "\\par\n" : " ";
    }
    return body + "}";
}

// A save of a 1 MB body: the subtopic's body replaced in a transaction of its own, each time by a
// body the program has not seen (one word differs), as a person's saves are; the body replaced is
// the one saved before. The median of the runs, in ms; the body it had is put back.
double saveMedian(sqlite3 *h, qint64 key)
{
    QByteArray original;
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(h, "SELECT Aciklama FROM detail WHERE Kimlik = ?", -1, &st, nullptr);
        sqlite3_bind_int64(st, 1, key);
        if (sqlite3_step(st) == SQLITE_ROW)
            original = QByteArray(static_cast<const char *>(sqlite3_column_blob(st, 0)), sqlite3_column_bytes(st, 0));
        sqlite3_finalize(st);
    }
    const QByteArray a = oneMegabyteBody();
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(h, "UPDATE detail SET Aciklama = ? WHERE Kimlik = ?", -1, &st, nullptr);
    const auto save = [&](const QByteArray &body) {
        exec(h, "BEGIN IMMEDIATE");
        sqlite3_bind_text(st, 1, body.constData(), int(body.size()), SQLITE_STATIC);
        sqlite3_bind_int64(st, 2, key);
        sqlite3_step(st);
        sqlite3_reset(st);
        exec(h, "COMMIT");
    };
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < 12; ++i) {
        timer.start();
        QByteArray body = a;
        body.insert(body.size() - 1, " kayit" + QByteArray::number(i));
        save(body);
        if (i >= 2) // the first two bring the pages in
            times.push_back(timer.nsecsElapsed() / 1e6);
    }
    save(original);
    sqlite3_finalize(st);
    return percentile(times, 0.5);
}

// Every subtopic's title and text on a line of its own (tabs and line breaks as blanks), for the
// peers. Returns the bytes of body text (UTF-8) the index holds.
qint64 writeText(Database &db, const QString &path)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::exit(1);
    qint64 bytes = 0;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db.handle(), "SELECT Kimlik, Altkonu, Aciklama FROM detail ORDER BY Kimlik", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QByteArrayView rtf(static_cast<const char *>(sqlite3_column_blob(st, 2)), sqlite3_column_bytes(st, 2));
        QString text = velkora::search::bodyText(rtf);
        const QByteArray title = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        bytes += text.toUtf8().size() + title.size();
        text.replace(u'\n', u' ').replace(u'\t', u' ');
        out.write(QByteArray::number(sqlite3_column_int64(st, 0)) + '\t' + title + '\t' + text.toUtf8() + '\n');
    }
    sqlite3_finalize(st);
    return bytes;
}

qint64 indexBytes(sqlite3 *h)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(h,
                       "SELECT (SELECT coalesce(sum(length(block)), 0) FROM search_words_segments)"
                       " + (SELECT coalesce(sum(length(root)), 0) FROM search_words_segdir)"
                       " + (SELECT coalesce(sum(length(size)) + 8 * count(*), 0) FROM search_words_docsize)",
                       -1, &st, nullptr);
    sqlite3_step(st);
    const qint64 n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return n;
}

// Each query six times to its first 50 results with snippets: the first run of each (its pages
// read from the disk and decrypted) and the five after it, median and 95th percentile.
void measureQueries(const Database &db)
{
    std::vector<double> first, times;
    int answered = 0;
    QElapsedTimer timer;
    for (const char *q : Queries) {
        for (int i = 0; i < 6; ++i) {
            timer.restart();
            const auto results = velkora::search::searchBook(db, velkora::search::parseQuery(QString::fromUtf8(q)), 50);
            (i ? times : first).push_back(timer.nsecsElapsed() / 1e6);
            answered += results.size() == 50;
        }
    }
    std::printf("BENCH search_query_median %.1f ms\n", percentile(times, 0.5));
    std::printf("BENCH search_query_p95 %.1f ms\n", percentile(times, 0.95));
    std::printf("BENCH search_query_first_run_median %.1f ms\n", percentile(first, 0.5));
    std::printf("BENCH search_query_first_run_p95 %.1f ms\n", percentile(first, 0.95));
    std::fflush(stdout);
    if (answered != int(std::size(Queries)) * 6)
        std::fprintf(stderr, "some queries found fewer than 50 subtopics\n");
}

const char *const Fts5Script = R"PY(
import sqlite3, sys, time, os, statistics
tsv, db, queries = sys.argv[1], sys.argv[2], sys.argv[3:]
if os.path.exists(db): os.remove(db)
c = sqlite3.connect(db)
c.execute('CREATE VIRTUAL TABLE t USING fts5(title, body, tokenize="unicode61 remove_diacritics 2")')
start = time.perf_counter()
with open(tsv, encoding='utf-8') as f:
    rows = (line.rstrip('\n').split('\t', 2) for line in f)
    c.executemany('INSERT INTO t(rowid, title, body) VALUES (?, ?, ?)', ((int(k), a, b) for k, a, b in rows))
c.commit()
build = time.perf_counter() - start
c.execute('VACUUM')
size = os.path.getsize(db)
text = os.path.getsize(tsv)
print('BENCH fts5_unicode61_build_rate %.1f MB/s' % (text / build / 1e6))
print('BENCH fts5_unicode61_index_size %.0f MB' % (size / 1e6))
print('BENCH fts5_unicode61_index_share %.0f %%' % (100.0 * size / text))
times = []
for q in queries:
    expr = ' '.join('"%s"' % w for w in q.split())
    for i in range(6):
        start = time.perf_counter()
        rows = c.execute("SELECT rowid, snippet(t, 1, '[', ']', '...', 12) FROM t WHERE t MATCH ? ORDER BY bm25(t, 4.0, 1.0) LIMIT 50", (expr,)).fetchall()
        if i: times.append((time.perf_counter() - start) * 1000)
times.sort()
print('BENCH fts5_unicode61_query_median %.1f ms' % statistics.median(times))
print('BENCH fts5_unicode61_query_p95 %.1f ms' % times[min(len(times) - 1, int(0.95 * (len(times) - 1) + 0.5))])
)PY";

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    velkora::search::installSearchIndex();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && args[1] == u"--queries") {
        // Only the queries, on a book whose index is built already.
        auto db = Database::open(args[2], Password);
        measureQueries(*db);
        return 0;
    }
    const QString folder = args.size() > 1 ? args[1] : QStringLiteral("/tmp/velkora-bench");
    const int subtopics = args.size() > 2 ? args[2].toInt() : 100000;

    const QString storeBook = QStringLiteral("%1/%2/Data.mdb").arg(folder).arg(subtopics);
    if (!QFile::exists(storeBook)) {
        QDir().mkpath(QFileInfo(storeBook).path());
        std::fprintf(stderr, "making the store benchmark's book of %d subtopics...\n", subtopics);
        velkora::bench::buildStoreBook(storeBook, subtopics);
    }
    // The index is built into a copy: the store benchmark's book stays as it measures it.
    const QString work = QStringLiteral("%1/search-%2").arg(folder).arg(subtopics);
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    const QString book = work + QStringLiteral("/Data.mdb");
    if (!QFile::copy(storeBook, book)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(storeBook));
        return 1;
    }
    auto db = Database::open(book, Password);
    sqlite3 *h = db->handle();

    QElapsedTimer timer;
    timer.start();
    const QString tsv = work + QStringLiteral("/bodies.tsv");
    const qint64 textBytes = writeText(*db, tsv);
    std::printf("BENCH search_text %.0f MB\n", textBytes / 1e6);
    std::printf("BENCH search_text_reading_rate %.1f MB/s\n", textBytes / 1e6 / (timer.nsecsElapsed() / 1e9));

    const double saveWithout = saveMedian(h, 1);
    exec(h, "PRAGMA wal_checkpoint(TRUNCATE)");
    const qint64 before = QFileInfo(book).size();

    timer.restart();
    velkora::search::createIndex(*db);
    velkora::search::fillIndex(*db);
    const double buildSeconds = timer.nsecsElapsed() / 1e9;
    std::printf("BENCH search_build %.1f s\n", buildSeconds);
    std::printf("BENCH search_build_rate %.1f MB/s\n", textBytes / 1e6 / buildSeconds);
    exec(h, "PRAGMA wal_checkpoint(TRUNCATE)");
    const qint64 index = indexBytes(h);
    std::printf("BENCH search_index_size %.0f MB\n", index / 1e6);
    std::printf("BENCH search_index_share %.0f %%\n", 100.0 * double(index) / double(textBytes));
    std::printf("BENCH search_file_growth %.0f MB\n", (QFileInfo(book).size() - before) / 1e6);

    measureQueries(*db);

    const double saveWith = saveMedian(h, 1);
    std::printf("BENCH search_save_1mb_without_index %.1f ms\n", saveWithout);
    std::printf("BENCH search_save_1mb_with_index %.1f ms\n", saveWith);
    std::printf("BENCH search_save_1mb_added %.1f ms\n", saveWith - saveWithout);
    std::fflush(stdout);
    db.reset();

    // The floor for a scan: grep over the text (two words: the lines with both).
    std::vector<double> times;
    for (const char *q : Queries) {
        const QStringList words = QString::fromUtf8(q).split(u' ');
        const QString pipeline = words.size() == 1
                                     ? QStringLiteral("grep -c -i -w -F -- '%1' '%2'").arg(words[0], tsv)
                                     : QStringLiteral("grep -i -w -F -- '%1' '%2' | grep -c -i -w -F -- '%3'").arg(words[0], tsv, words[1]);
        for (int i = 0; i < 3; ++i) {
            timer.restart();
            QProcess grep;
            grep.start(QStringLiteral("sh"), {QStringLiteral("-c"), pipeline});
            grep.waitForFinished(-1);
            if (i)
                times.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("BENCH grep_scan_query_median %.0f ms\n", percentile(times, 0.5));
    std::fflush(stdout);

    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList pyArgs{QStringLiteral("-c"), QString::fromUtf8(Fts5Script), tsv, work + QStringLiteral("/fts5.db")};
    for (const char *q : Queries)
        pyArgs.append(QString::fromUtf8(q));
    python.start(QStringLiteral("python3"), pyArgs);
    python.waitForFinished(-1);

    // The text in the clear was for the peers only.
    QDir(work).removeRecursively();
    return 0;
}
