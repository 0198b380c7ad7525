// Book store benchmark: topic switches, search keystrokes and resident memory on large books.
// Prints one line per figure: BENCH <name> <value> <unit>. Books are built once into a cache folder
// (first argument, default /tmp/velkora-bench) and reused by later runs.
#include "platform/database/database.h"
#include "platform/database/schema.h"
#include "store/bookstore.h"
#include "store/field.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int SubtopicsPerTopic = 200;
constexpr int BodyBytes = 20 * 1024;
const char *const Words[] = {"cümle", "sözcük", "ek", "yüklem", "özne", "nesne", "tümleç", "isim", "sıfat",
                             "zamir", "zarf", "edat", "bağlaç", "ünlem", "fiil", "çatı", "kip", "şahıs",
                             "ıslak", "ağaç", "İstanbul", "Iğdır", "yapı", "anlam", "ses", "hece"};

QString randomTitle(QRandomGenerator &rng)
{
    QStringList parts;
    const int n = 2 + static_cast<int>(rng.bounded(3));
    for (int i = 0; i < n; ++i)
        parts.append(QString::fromUtf8(Words[rng.bounded(static_cast<int>(std::size(Words)))]));
    parts[0][0] = parts[0][0].toUpper();
    return parts.join(u' ');
}

QByteArray randomBody(QRandomGenerator &rng)
{
    QByteArray body = "{\\rtf1\\ansi\\ansicpg1254\\deff0{\\fonttbl{\\f0\\fnil\\fcharset162 Arial;}}\\f0\\fs20 ";
    while (body.size() < BodyBytes) {
        body += QString::fromUtf8(Words[rng.bounded(static_cast<int>(std::size(Words)))]).toUtf8();
        body += rng.bounded(8) == 0 ? " \\b kal\\'fdn\\b0 " : " ";
    }
    return body + "}";
}

void buildBook(const QString &path, int subtopics)
{
    const QString password = QStringLiteral("*.417305");
    velkora::database::Database::create(path, password);
    auto db = velkora::database::Database::open(path, password);
    sqlite3 *h = db->handle();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *topic = nullptr, *sub = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO master (Baslik) VALUES (?1)", -1, &topic, nullptr);
    sqlite3_prepare_v2(h, "INSERT INTO detail (Sira, Altkonu, Aciklama) VALUES (?1, ?2, ?3)", -1, &sub, nullptr);
    QRandomGenerator rng(42);
    const int topics = std::max(1, subtopics / SubtopicsPerTopic);
    for (int t = 0; t < topics; ++t) {
        const QByteArray title = QStringLiteral("Konu %1").arg(t + 1).toUtf8();
        sqlite3_bind_text(topic, 1, title.constData(), static_cast<int>(title.size()), SQLITE_TRANSIENT);
        sqlite3_step(topic);
        sqlite3_reset(topic);
        const qint64 sira = sqlite3_last_insert_rowid(h);
        for (int s = 0; s < SubtopicsPerTopic && t * SubtopicsPerTopic + s < subtopics; ++s) {
            const QByteArray st = randomTitle(rng).toUtf8();
            const QByteArray body = randomBody(rng);
            sqlite3_bind_int64(sub, 1, sira);
            sqlite3_bind_text(sub, 2, st.constData(), static_cast<int>(st.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(sub, 3, body.constData(), static_cast<int>(body.size()), SQLITE_TRANSIENT);
            sqlite3_step(sub);
            sqlite3_reset(sub);
        }
        if (t % 50 == 49) {
            sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
        }
    }
    sqlite3_finalize(topic);
    sqlite3_finalize(sub);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_exec(h, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
}

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void bench(const QString &folder, int subtopics, const char *label)
{
    const QString dir = QStringLiteral("%1/%2").arg(folder).arg(subtopics);
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/Data.mdb");
    if (!QFile::exists(path)) {
        QElapsedTimer build;
        build.start();
        buildBook(path, subtopics);
        std::fprintf(stderr, "built %s in %.1f s (%lld MB)\n", label, build.elapsed() / 1000.0,
                     QFileInfo(path).size() / (1024 * 1024));
    }
    const long rssBefore = residentKiB();
    QElapsedTimer timer;
    timer.start();
    velkora::store::BookStore book;
    book.ADOConnection1->setWorkingFolder(dir);
    book.connect();
    book.openQueries();
    const double openMs = timer.nsecsElapsed() / 1e6;
    std::printf("BENCH store_open_%s %.2f ms\n", label, openMs);

    // A topic switch: the subtopic list settles, re-queries and shows its first body.
    velkora::store::Query &topics = *book.ADOQuery1;
    velkora::store::Query &subs = *book.ADOQuery2;
    std::vector<double> switches;
    const int topicCount = topics.recordCount();
    QRandomGenerator rng(7);
    for (int i = 0; i < 60; ++i) {
        const int target = 1 + static_cast<int>(rng.bounded(topicCount));
        timer.restart();
        topics.setRecNo(target);
        const QString body = subs.fieldByName(QStringLiteral("Aciklama"))->asString();
        switches.push_back(timer.nsecsElapsed() / 1e6);
        if (body.isEmpty())
            std::fprintf(stderr, "empty body at topic %d\n", target);
    }
    std::printf("BENCH store_topic_switch_%s_200subtopics %.2f ms\n", label, median(switches));

    // One search keystroke: the subtopic query is closed and opened with the LIKE statement.
    std::vector<double> keys;
    const QString typed = QStringLiteral("cümle yük");
    for (int round = 0; round < 3; ++round) {
        for (int n = 1; n <= typed.size(); ++n) {
            timer.restart();
            book.runTitleSearch(typed.left(n));
            keys.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("BENCH store_search_keystroke_%s %.2f ms\n", label, median(keys));
    std::printf("BENCH store_search_keystroke_%s_worst %.2f ms\n", label, *std::max_element(keys.begin(), keys.end()));
    std::printf("BENCH store_resident_%s %.1f MB\n", label, residentKiB() / 1024.0);
    std::printf("BENCH store_resident_growth_%s %.1f MB\n", label, (residentKiB() - rssBefore) / 1024.0);
    std::printf("BENCH store_file_%s %.0f MB\n", label, QFileInfo(path).size() / (1024.0 * 1024.0));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString folder = args.size() > 1 ? args[1] : QStringLiteral("/tmp/velkora-bench");
    const QStringList sizes = args.size() > 2 ? args.mid(2) : QStringList{QStringLiteral("1000"), QStringLiteral("10000"), QStringLiteral("100000")};
    for (const QString &s : sizes) {
        const int n = s.toInt();
        const QByteArray label = n >= 1000 ? QByteArray::number(n / 1000) + "k" : QByteArray::number(n);
        bench(folder, n, label.constData());
    }
    return 0;
}
