// Book store benchmark: topic switches, search keystrokes and resident memory on large books.
// Prints one line per figure: BENCH <name> <value> <unit>. Books are built once into a cache folder
// (first argument, default /tmp/velkora-bench) and reused by later runs.
#include "support/storebook.h"
#include "store/bookstore.h"
#include "store/field.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

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
        velkora::bench::buildStoreBook(path, subtopics);
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
