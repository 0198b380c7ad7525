// Start-up benchmark: from starting the program to its main window shown, on a book of 1,000 topics
// and 20,000 subtopics. Prints BENCH lines. Usage: velkora_bench_startup PATH_TO_VELKORA [CACHE_FOLDER]
#include "platform/database/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fputs("usage: velkora_bench_startup PATH_TO_VELKORA [CACHE_FOLDER]\n", stderr);
        return 2;
    }
    const QString folder = args.size() > 2 ? args[2] : QStringLiteral("/tmp/velkora-bench/startup");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/Data.mdb");
    if (!QFile::exists(path)) {
        velkora::database::Database::create(path, QStringLiteral("*.417305"));
        auto db = velkora::database::Database::open(path, QStringLiteral("*.417305"));
        sqlite3 *h = db->handle();
        sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
        const QByteArray body = "{\\rtf1\\ansi\\ansicpg1254\\deff0 " + QByteArray(2000, 'a') + "}";
        for (int t = 1; t <= 1000; ++t) {
            const QByteArray topic = "INSERT INTO master (Baslik) VALUES ('Konu " + QByteArray::number(t) + "')";
            sqlite3_exec(h, topic.constData(), nullptr, nullptr, nullptr);
            const qint64 sira = sqlite3_last_insert_rowid(h);
            for (int s = 1; s <= 20; ++s) {
                const QByteArray sub = "INSERT INTO detail (Sira, Altkonu, Aciklama) VALUES (" + QByteArray::number(sira) +
                                       ", 'Alt konu " + QByteArray::number(s) + "', '" + body + "')";
                sqlite3_exec(h, sub.constData(), nullptr, nullptr, nullptr);
            }
        }
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    }
    // The program is started from the book's folder: its path is made absolute first.
    const QString program = QFileInfo(args[1]).absoluteFilePath();
    // On the offscreen platform and, where Xvfb is installed, on a real X server, in turn.
    QProcess xvfb;
    const QString display = QStringLiteral(":%1").arg(70 + QCoreApplication::applicationPid() % 20);
    if (!QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        xvfb.start(QStringLiteral("Xvfb"), {display, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                                            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        xvfb.waitForStarted(5000);
        QThread::msleep(1000);
    }
    int status = 0;
    for (const QString &platform : {QStringLiteral("offscreen"), QStringLiteral("xcb")}) {
        if (platform == u"xcb" && xvfb.state() != QProcess::Running)
            continue;
        std::vector<double> wall, inside;
        long rss = 0;
        for (int run = 0; run < 7; ++run) {
            QProcess p;
            p.setWorkingDirectory(folder);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("VELKORA_EXIT_WHEN_SHOWN"), QStringLiteral("1"));
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
            if (platform == u"xcb")
                env.insert(QStringLiteral("DISPLAY"), display);
            p.setProcessEnvironment(env);
            QElapsedTimer t;
            t.start();
            p.start(program, {});
            p.waitForFinished(30000);
            wall.push_back(t.nsecsElapsed() / 1e6);
            const QList<QByteArray> parts = p.readAllStandardOutput().trimmed().split(' ');
            if (parts.size() >= 4 && parts[0] == "shown") {
                inside.push_back(parts[1].toDouble());
                rss = std::max(rss, parts[3].toLong());
            }
        }
        std::sort(wall.begin(), wall.end());
        std::sort(inside.begin(), inside.end());
        if (inside.empty()) {
            std::fprintf(stderr, "the program did not report its main window on %s\n", qPrintable(platform));
            status = 1;
            continue;
        }
        const QByteArray name = platform.toLatin1();
        std::printf("BENCH startup_to_main_window_shown_%s %.1f ms\n", name.constData(), inside[inside.size() / 2]);
        std::printf("BENCH startup_whole_process_%s %.1f ms\n", name.constData(), wall[wall.size() / 2]);
        std::printf("BENCH startup_resident_%s %.1f MB\n", name.constData(), rss / 1024.0);
    }
    if (xvfb.state() == QProcess::Running) {
        xvfb.terminate();
        xvfb.waitForFinished(3000);
    }
    return status;
}
