// Backups and history: a backup of the store benchmark's book (its time, and the longest pause it
// causes in typing on the user-interface thread while it runs on its own thread, as in the
// program), and what keeping history adds to saving a 1 MB body.
// Prints BENCH lines. Usage: velkora_bench_history [CACHE_FOLDER [SUBTOPICS]]
// (default /tmp/velkora-bench and 100,000 subtopics, the 2 GB book, made there when missing).
#include "history/bookbackup.h"
#include "history/bookhistory.h"
#include "platform/database/database.h"
#include "platform/richedit/richeditcontrol.h"
#include "search/searchindex.h"
#include "support/storebook.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

using namespace velkora;

namespace {

const QString Password = QStringLiteral("*.417305");

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Saves a 1 MB body over and over, alternating two texts; the median time of a save.
double saveTime(database::Database &db, int runs)
{
    const auto &detail = db.table(u"detail");
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const QString body = QStringLiteral("{\\rtf1 %1 ").arg(i) + QString(1024 * 1024, QChar(u'a' + i % 2)) + u'}';
        const qint64 version = db.fetchRow(detail, 1)->version;
        QElapsedTimer t;
        t.start();
        db.update(detail, 1, version, {{detail.columnIndex(u"Aciklama"), body}});
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    history::installBookHistory();
    search::installSearchIndex();
    const QString cache = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/velkora-bench");
    const int subtopics = argc > 2 ? std::atoi(argv[2]) : 100'000;
    const QString folder = QDir(cache).filePath(QString::number(subtopics));
    const QString book = QDir(folder).filePath(QStringLiteral("Data.mdb"));
    if (!QFileInfo::exists(book)) {
        QDir().mkpath(folder);
        std::fprintf(stderr, "making the book of %d subtopics in %s\n", subtopics, qPrintable(folder));
        bench::buildStoreBook(book, subtopics);
    }
    std::printf("BENCH history_book_size %.0f MB (%d subtopics)\n", QFileInfo(book).size() / 1e6, subtopics);

    // The backup on a thread of its own while the user-interface thread types into an editor.
    QTemporaryDir backups(cache + QStringLiteral("/backups-XXXXXX"));
    richedit::RichEditControl editor;
    editor.resize(800, 600);
    editor.show();
    QApplication::processEvents();
    std::atomic<bool> running{true};
    QString written, error;
    double backupMs = 0;
    QThread *thread = QThread::create([&] {
        QElapsedTimer t;
        t.start();
        try {
            written = history::writeBackup(book, Password, backups.path());
        } catch (const std::exception &e) {
            error = QString::fromLocal8Bit(e.what());
        }
        backupMs = t.nsecsElapsed() / 1e6;
        running = false;
    });
    thread->start(QThread::LowPriority);
    std::vector<double> keys;
    const QString text = QStringLiteral("çalışma ağaç ışık ");
    for (int i = 0; running; ++i) {
        QElapsedTimer t;
        t.start();
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(text.at(i % text.size())));
        QApplication::sendEvent(&editor, &press);
        editor.viewport()->repaint();
        keys.push_back(t.nsecsElapsed() / 1e6);
        QThread::msleep(30);
    }
    thread->wait();
    delete thread;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "the backup failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("BENCH history_backup %.1f s (%.0f MB/s, checked, %s)\n", backupMs / 1e3,
                QFileInfo(written).size() / 1e6 / (backupMs / 1e3), qPrintable(QFileInfo(written).fileName()));
    std::printf("BENCH history_typing_during_backup_median %.2f ms (%zu keys)\n", median(keys), keys.size());
    std::printf("BENCH history_typing_during_backup_longest %.2f ms\n", *std::max_element(keys.begin(), keys.end()));

    // Saving a 1 MB body with and without history, in small books made alike: as the program's
    // books are (with the full-text index, whose triggers read the replaced body too), and bare.
    QTemporaryDir small;
    for (const bool indexed : {true, false}) {
        double without = 0, with = 0;
        for (const bool keep : {false, true}) {
            const QString path = small.filePath(QStringLiteral("%1-%2.mdb").arg(indexed).arg(keep));
            database::Database::create(path, Password);
            auto db = database::Database::open(path, Password);
            const auto &master = db->table(u"master");
            const auto &detail = db->table(u"detail");
            const qint64 topic = db->insert(master, {{master.columnIndex(u"Baslik"), QStringLiteral("Konu")}}).key;
            db->insert(detail, {{detail.columnIndex(u"Sira"), topic}, {detail.columnIndex(u"Altkonu"), QStringLiteral("Büyük")},
                                {detail.columnIndex(u"Aciklama"), QStringLiteral("{\\rtf1 }")}});
            if (indexed)
                search::createIndex(*db);
            if (keep)
                history::createHistory(*db);
            (keep ? with : without) = saveTime(*db, 30);
        }
        const char *which = indexed ? "" : "_unindexed";
        std::printf("BENCH history_save_1mb%s_without %.1f ms\n", which, without);
        std::printf("BENCH history_save_1mb%s_with %.1f ms\n", which, with);
        std::printf("BENCH history_save_1mb%s_added %.1f ms\n", which, with - without);
    }
    return 0;
}
