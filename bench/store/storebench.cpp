// Book store benchmark: topic switches, search keystrokes and resident memory on large books; with
// --server, side by side the same on a copy of each book on a PostgreSQL server of its own, and four
// writer processes making 1,000 saves each on one server book.
// Prints one line per figure: BENCH <name> <value> <unit>. Books are built once into a cache folder
// (first argument, default /tmp/velkora-bench) and reused by later runs.
#include "support/storebook.h"
#include "store/bookstore.h"
#include "store/field.h"
#include "platform/database/databaseerror.h"
#include "platform/database/serverdatabase.h"
#include "tools/privateserver/privateserver.h"
#include "tools/velkora-book/copycommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <functional>
#include <memory>

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

// Opening, topic switches and search keystrokes on a book store set up by open (which connects it).
void measure(const std::function<void(velkora::store::BookStore &)> &open, const char *label)
{
    const long rssBefore = residentKiB();
    QElapsedTimer timer;
    timer.start();
    velkora::store::BookStore book;
    open(book);
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
    std::fflush(stdout);
}

QString bookPath(const QString &folder, int subtopics, const char *label)
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
    return path;
}

void bench(const QString &folder, int subtopics, const char *label)
{
    const QString path = bookPath(folder, subtopics, label);
    measure([&path](velkora::store::BookStore &book) {
        book.ADOConnection1->setWorkingFolder(QFileInfo(path).absolutePath());
        book.connect();
    }, label);
    std::printf("BENCH store_file_%s %.0f MB\n", label, QFileInfo(path).size() / (1024.0 * 1024.0));
}

// Writers on one server book: each makes its saves on subtopics of the first topic, chosen at random
// so that they meet; a save is stored or refused with the conflict message. Prints per subtopic key
// the saves it stored, then the refused count.
int writer(const QString &connectionInfo, int index, int saves)
{
    auto db = velkora::database::ServerDatabase::open(connectionInfo);
    const auto &detail = db->table(u"detail");
    const auto rows = db->select(velkora::database::SelectStatement::parse(QStringLiteral("Select * From detail WHERE Sira=:Sira")),
                                 {{QStringLiteral("Sira"), 1}}).rows;
    QRandomGenerator rng(quint32(index) * 7919u);
    QHash<qint64, int> stored;
    int refused = 0;
    for (int i = 0; i < saves; ++i) {
        const qint64 key = rows[int(rng.bounded(std::min<qsizetype>(rows.size(), 20)))].key;
        const qint64 version = db->fetchRow(detail, key)->version;
        try {
            db->update(detail, key, version, {{detail.columnIndex(u"Aciklama"), QStringLiteral("{\\rtf1 yazar %1 kayıt %2}").arg(index).arg(i)}});
            ++stored[key];
        } catch (const velkora::database::DatabaseError &e) {
            if (!e.message().startsWith(QStringLiteral("Row cannot be located for updating")))
                throw;
            ++refused;
        }
    }
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        std::printf("%lld %d\n", static_cast<long long>(it.key()), it.value());
    std::printf("refused %d\n", refused);
    return 0;
}

// The program (app) started on a book until its main window is shown, median of five runs, as the
// program reports it (VELKORA_EXIT_WHEN_SHOWN). The book is the Data.mdb in workingFolder, or the
// server book a [Sunucu] section names; the settings file is the benchmark's own.
double startupMs(const QString &app, const QString &workingFolder, const QString &serverInfo)
{
    QTemporaryDir config;
    QDir(config.path()).mkpath(QStringLiteral("velkora"));
    QFile ini(config.filePath(QStringLiteral("velkora/Velkora.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Kitap Adi]\r\nBaslik=Bench\r\n");
    if (!serverInfo.isEmpty())
        ini.write(QStringLiteral("[Sunucu]\r\nBaglanti=%1\r\n").arg(serverInfo).toUtf8());
    ini.close();
    std::vector<double> shown;
    for (int run = 0; run < 5; ++run) {
        QProcess p;
        p.setWorkingDirectory(workingFolder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELKORA_EXIT_WHEN_SHOWN"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        p.setProcessEnvironment(env);
        p.start(app, {});
        p.waitForFinished(120000);
        const QList<QByteArray> parts = p.readAllStandardOutput().trimmed().split(' ');
        if (parts.size() >= 2 && parts[0] == "shown")
            shown.push_back(parts[1].toDouble());
    }
    if (shown.empty())
        return -1;
    std::sort(shown.begin(), shown.end());
    return shown[shown.size() / 2];
}

// The same figures on a copy of the book on a PostgreSQL server of the benchmark's own, then four
// writer processes of 1,000 saves each.
void benchServer(const QString &folder, int subtopics, const char *label, const QString &self, const QString &app)
{
    velkora::testing::PrivateServer server;
    if (!server.available() || !server.createDatabase(QStringLiteral("bench"))) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(server.whyNot()));
        return;
    }
    const QString info = server.connectionInfo(QStringLiteral("bench"));
    QElapsedTimer copy;
    copy.start();
    velkora::tools::copyBookCommand(bookPath(folder, subtopics, label), info, QStringLiteral("*.417305"));
    std::printf("BENCH store_server_copy_%s %.1f s\n", label, copy.elapsed() / 1000.0);
    const QString serverLabel = QStringLiteral("server_%1").arg(QString::fromLatin1(label));
    measure([&server](velkora::store::BookStore &book) {
        book.ADOConnection1->setConnectionString(server.bookConnectionString(QStringLiteral("bench")));
        book.connect();
    }, serverLabel.toLatin1().constData());
    if (!app.isEmpty()) {
        // The program itself on both books; the file book is a copy, since the program gives a book
        // it opens its index, history and first backup.
        QTemporaryDir copyFolder(folder + QStringLiteral("/startup-XXXXXX"));
        QFile::copy(bookPath(folder, subtopics, label), copyFolder.filePath(QStringLiteral("Data.mdb")));
        std::printf("BENCH store_startup_to_main_window_file_%s %.1f ms\n", label, startupMs(app, copyFolder.path(), QString()));
        std::printf("BENCH store_startup_to_main_window_server_%s %.1f ms\n", label, startupMs(app, copyFolder.path(), info));
        std::fflush(stdout);
    }

    constexpr int Writers = 4, Saves = 1000;
    std::vector<std::unique_ptr<QProcess>> processes;
    QElapsedTimer timer;
    timer.start();
    for (int w = 0; w < Writers; ++w) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(self, {QStringLiteral("writer"), info, QString::number(w), QString::number(Saves)});
    }
    QHash<qint64, int> stored;
    int refused = 0, failed = 0;
    for (auto &p : processes) {
        p->waitForFinished(600000);
        failed += p->exitCode() != 0 ? 1 : 0;
        for (const QByteArray &line : p->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 2)
                continue;
            if (parts[0] == "refused")
                refused += parts[1].toInt();
            else
                stored[parts[0].toLongLong()] += parts[1].toInt();
        }
    }
    const double seconds = timer.elapsed() / 1000.0;
    // Nothing lost: each subtopic's row version went up once for every save stored on it.
    auto db = velkora::database::ServerDatabase::open(info);
    const auto &detail = db->table(u"detail");
    int storedAll = 0, lost = 0;
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        storedAll += it.value();
        lost += std::abs(int(db->fetchRow(detail, it.key())->version - 1 - it.value()));
    }
    std::printf("BENCH store_server_writers_saves %d saves\nBENCH store_server_writers_stored %d saves\n"
                "BENCH store_server_writers_refused %d saves\nBENCH store_server_writers_lost %d saves\n"
                "BENCH store_server_writers_seconds %.1f s\n",
                Writers * Saves, storedAll, refused, lost + failed * Saves, seconds);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args[1] == u"writer")
        return writer(args[2], args[3].toInt(), args[4].toInt());
    const bool server = args.removeAll(QStringLiteral("--server")) > 0;
    QString program; // --app PATH: with --server, the program's start-up on both books
    if (const qsizetype at = args.indexOf(QStringLiteral("--app")); at > 0 && at + 1 < args.size()) {
        program = QFileInfo(args[at + 1]).absoluteFilePath(); // started from the book's folder
        args.remove(at, 2);
    }
    const QString folder = args.size() > 1 ? args[1] : QStringLiteral("/tmp/velkora-bench");
    const QStringList sizes = args.size() > 2 ? args.mid(2) : QStringList{QStringLiteral("1000"), QStringLiteral("10000"), QStringLiteral("100000")};
    for (const QString &s : sizes) {
        const int n = s.toInt();
        const QByteArray label = n >= 1000 ? QByteArray::number(n / 1000) + "k" : QByteArray::number(n);
        bench(folder, n, label.constData());
        if (server)
            benchServer(folder, n, label.constData(), QCoreApplication::applicationFilePath(), program);
    }
    return 0;
}
