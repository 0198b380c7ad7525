// Export benchmark: `velkora-book export` of a book of 20 subtopics a topic with 2 KB bodies (the
// start-up benchmark's book, or a part of it) to PDF, EPUB and HTML: time and peak memory of the
// exporting process, at two sizes, so that memory can be seen not to follow the book's size. Side by
// side in the same run, the same text as one RTF file through LibreOffice (to PDF and EPUB) and
// pandoc (to EPUB), where installed, on the largest size up to 2,000 subtopics. Prints BENCH lines.
// Usage: velkora_bench_export PATH_TO_VELKORA_BOOK [CACHE_FOLDER [SUBTOPICS...]]   (default 200 2000;
// 20000 is the whole start-up book)
#include "platform/database/database.h"
#include "support/storebook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

using velkora::bench::Words;
using velkora::bench::rtfWord;

constexpr int SubtopicsPerTopic = 20;
constexpr int BodyBytes = 2000;

// A body's text as RTF, without the document's group: paragraphs of grammar words, some bold.
QByteArray bodyText(QRandomGenerator &rng)
{
    QByteArray text;
    int words = 0;
    while (text.size() < BodyBytes) {
        text += rtfWord(Words[rng.bounded(static_cast<int>(std::size(Words)))]);
        text += rng.bounded(10) == 0 ? " \\b kal\\'fdn\\b0 " : " ";
        if (++words % 45 == 0)
            text += "\\par ";
    }
    return text;
}

const QByteArray RtfHead = "{\\rtf1\\ansi\\ansicpg1254\\deff0{\\fonttbl{\\f0\\fnil\\fcharset162 Arial;}}\\f0\\fs20 ";

// The book and, beside it, the same titles and bodies as one RTF document (a page a subtopic).
void build(const QString &book, const QString &rtf, int subtopics)
{
    velkora::database::Database::create(book, QStringLiteral("*.417305"));
    auto db = velkora::database::Database::open(book, QStringLiteral("*.417305"));
    sqlite3 *h = db->handle();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *topic = nullptr, *sub = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO master (Baslik) VALUES (?1)", -1, &topic, nullptr);
    sqlite3_prepare_v2(h, "INSERT INTO detail (Sira, Altkonu, Aciklama) VALUES (?1, ?2, ?3)", -1, &sub, nullptr);
    QFile whole(rtf);
    whole.open(QIODevice::WriteOnly);
    whole.write(RtfHead);
    QRandomGenerator rng(7);
    for (int t = 1; t <= std::max(1, subtopics / SubtopicsPerTopic); ++t) {
        const QByteArray title = "Konu " + QByteArray::number(t);
        sqlite3_bind_text(topic, 1, title.constData(), int(title.size()), SQLITE_TRANSIENT);
        sqlite3_step(topic);
        sqlite3_reset(topic);
        const qint64 sira = sqlite3_last_insert_rowid(h);
        for (int s = 1; s <= SubtopicsPerTopic; ++s) {
            // Titles sort as the book lists them: two digits.
            const QByteArray name = "Alt konu " + QByteArray::number(s).rightJustified(2, '0');
            const QByteArray text = bodyText(rng);
            const QByteArray body = RtfHead + text + "}";
            sqlite3_bind_int64(sub, 1, sira);
            sqlite3_bind_text(sub, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(sub, 3, body.constData(), int(body.size()), SQLITE_TRANSIENT);
            sqlite3_step(sub);
            sqlite3_reset(sub);
            whole.write("\\pard\\qc{\\b\\fs24 " + title + "}\\par\\pard{\\b " + name + "}\\par " + text + "\\par\\page ");
        }
    }
    whole.write("}");
    sqlite3_finalize(topic);
    sqlite3_finalize(sub);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
}

struct Measured
{
    bool ok = false;
    double seconds = 0;
    double peakMb = 0;
};

// Runs a command to its end: wall time and the peak resident memory of it and what it waited for.
Measured measure(const QStringList &command, const QString &folder)
{
    std::vector<QByteArray> args;
    for (const QString &a : command)
        args.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const QByteArray here = QDir::currentPath().toLocal8Bit();
    QDir::setCurrent(folder);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    Measured m;
    const QByteArray program = QStandardPaths::findExecutable(command.first()).toLocal8Bit();
    if (!program.isEmpty() && posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        m.seconds = timer.nsecsElapsed() / 1e9;
        m.peakMb = usage.ru_maxrss / 1024.0;
        m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    QDir::setCurrent(QString::fromLocal8Bit(here));
    return m;
}

void print(const QString &name, const Measured &m)
{
    if (!m.ok) {
        std::fprintf(stderr, "%s failed\n", name.toLocal8Bit().constData());
        return;
    }
    std::printf("BENCH %s_seconds %.2f s\nBENCH %s_peak_rss %.1f MB\n", name.toLocal8Bit().constData(), m.seconds,
                name.toLocal8Bit().constData(), m.peakMb);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fputs("usage: velkora_bench_export PATH_TO_VELKORA_BOOK [CACHE_FOLDER [SUBTOPICS...]]\n", stderr);
        return 2;
    }
    const QString tool = QFileInfo(args[1]).absoluteFilePath();
    const QString cache = args.size() > 2 ? args[2] : QStringLiteral("/tmp/velkora-bench/export");
    QList<int> sizes;
    for (int i = 3; i < args.size(); ++i)
        sizes << args[i].toInt();
    if (sizes.isEmpty())
        sizes = {200, 2000};
    int peerSize = 0;
    for (const int n : sizes)
        if (n <= 2000)
            peerSize = std::max(peerSize, n);
    const bool soffice = !QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty();
    const bool pandoc = !QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty();
    for (const int n : sizes) {
        const QString folder = QStringLiteral("%1/%2").arg(cache).arg(n);
        QDir().mkpath(folder);
        const QString book = folder + QStringLiteral("/Data.mdb"), rtf = folder + QStringLiteral("/kitap.rtf");
        if (!QFile::exists(book) || !QFile::exists(rtf)) {
            QFile::remove(book);
            build(book, rtf, n);
        }
        std::printf("BENCH export_book_text_%d %.1f MB\n", n, QFileInfo(rtf).size() / 1e6);
        const QString out = folder + QStringLiteral("/out");
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        for (const char *format : {"pdf", "epub", "html"}) {
            const QString file = out + QStringLiteral("/kitap.") + QString::fromLatin1(format);
            const Measured m = measure({tool, QStringLiteral("export"), book, file}, folder);
            print(QStringLiteral("export_%1_%2").arg(QString::fromLatin1(format)).arg(n), m);
            if (m.ok)
                std::printf("BENCH export_%s_%d_size %.1f MB\n", format, n, QFileInfo(file).size() / 1e6);
        }
        if (n != peerSize)
            continue;
        // The peers, on the largest size up to a tenth of the start-up book, in the same run (pandoc
        // alone takes over a gigabyte there).
        if (soffice) {
            const QString profile = QStringLiteral("-env:UserInstallation=file://%1/lo-profile").arg(folder);
            measure({QStringLiteral("soffice"), profile, QStringLiteral("--headless"), QStringLiteral("--terminate_after_init")}, folder);
            print(QStringLiteral("soffice_pdf_%1").arg(n),
                  measure({QStringLiteral("soffice"), profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                           QStringLiteral("--outdir"), out, rtf}, folder));
            print(QStringLiteral("soffice_epub_%1").arg(n),
                  measure({QStringLiteral("soffice"), profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("epub"),
                           QStringLiteral("--outdir"), out, rtf}, folder));
        } else {
            std::fputs("soffice is not installed: no LibreOffice figures\n", stderr);
        }
        if (pandoc)
            print(QStringLiteral("pandoc_epub_%1").arg(n),
                  measure({QStringLiteral("pandoc"), QStringLiteral("-f"), QStringLiteral("rtf"), QStringLiteral("-t"), QStringLiteral("epub"),
                           QStringLiteral("-o"), out + QStringLiteral("/pandoc.epub"), rtf}, folder));
        else
            std::fputs("pandoc is not installed: no pandoc figure\n", stderr);
    }
    return 0;
}
