// Import benchmark: an old book of 10,000 subtopics with 20 KB bodies (about 200 MB) carried over into
// a new book as `velkora-book import` does it: a reading process hands the tables over as a stream,
// the import writes them into the new book as they come, checks it and renames it into place.
// Prints one line per figure: BENCH <name> <value> <unit>. libmdb cannot write Jet files, so the
// reading process is this program itself (`read-jet`), making the old book's rows as it goes instead
// of reading them with libmdb: measured are the stream, the writing, the check and the rename, and the
// peak memory of both processes.
#include "tools/velkora-book/bookimport.h"
#include "tools/velkora-book/booktool.h"
#include "tools/velkora-book/importsource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

#include <sys/resource.h>

namespace {

constexpr int Subtopics = 10'000;
constexpr int SubtopicsPerTopic = 200;
constexpr int BodyBytes = 20 * 1024;

QString body(QRandomGenerator &rng)
{
    // RTF as the old program stored it: code page 1254, Turkish letters as \'xx escapes.
    static const char *const Words[] = {"c\\'fcmle", "s\\'f6zc\\'fck", "y\\'fcklem", "\\'f6zne", "nesne", "t\\'fcmle\\'e7",
                                        "s\\'fdfat", "ba\\'f0la\\'e7", "\\'fcnlem", "fiil", "\\'e7at\\'fd", "\\'fe\\'e2h\\'fds"};
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1254\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset162 Arial;}}\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    while (out.size() < BodyBytes - 8) {
        out += Words[rng.bounded(int(std::size(Words)))];
        out += rng.bounded(12) == 0 ? "\\par\r\n" : " ";
    }
    out += "\\par }";
    return QString::fromLatin1(out);
}

// The reading process: the old book's tables, row by row, to standard output.
int readJet()
{
    using namespace velkora::tools;
    QRandomGenerator rng(16);
    QByteArray buffer;
    bool written = true;
    SourceStreamWriter out(&buffer, [&written](const QByteArray &part) {
        written = written && std::fwrite(part.constData(), 1, size_t(part.size()), stdout) == size_t(part.size());
    });
    out.version(4);
    out.tableName(QStringLiteral("master"));
    out.tableName(QStringLiteral("detail"));
    out.table(QStringLiteral("master"), {QStringLiteral("Sira"), QStringLiteral("Baslik")}, {});
    for (int t = 0; t < Subtopics / SubtopicsPerTopic; ++t)
        out.row({QString::number(t + 1), QStringLiteral("Konu %1 — çğıöşü").arg(t + 1)});
    out.table(QStringLiteral("detail"), {QStringLiteral("Sira"), QStringLiteral("Altkonu"), QStringLiteral("Aciklama")}, {});
    for (int s = 0; s < Subtopics; ++s)
        out.row({QString::number(s / SubtopicsPerTopic + 1), QStringLiteral("Alt konu %1 İı").arg(s), body(rng)});
    out.end();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

void bench(const char *name, double value, const char *unit)
{
    std::printf("BENCH %s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "read-jet") == 0)
        return readJet();
    using namespace velkora::tools;
    QTemporaryDir dir;
    const QString old = dir.filePath(QStringLiteral("Eski.mdb"));
    {
        QFile placeholder(old); // the reading process makes the rows; the import only looks for the file
        placeholder.open(QIODevice::WriteOnly);
        placeholder.write("old book");
    }
    const QString target = dir.filePath(QStringLiteral("Data.mdb"));
    QElapsedTimer clock;
    clock.start();
    const ImportSummary summary = importBook(old, target, defaultBookPassword(), QCoreApplication::applicationFilePath());
    const double seconds = clock.nsecsElapsed() / 1e9;
    rusage self{}, reader{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &reader);
    const double bookMiB = double(QFileInfo(target).size()) / (1 << 20);
    std::fprintf(stderr, "%s; %.0f MiB of book\n", qPrintable(summaryLine(summary)), bookMiB);
    bench("import_10k_20kb_total", seconds, "s");
    bench("import_10k_20kb_book", bookMiB, "MiB");
    bench("import_10k_20kb_peak_memory_writer", self.ru_maxrss / 1024.0, "MiB");
    bench("import_10k_20kb_peak_memory_reader", reader.ru_maxrss / 1024.0, "MiB");
    return summary.subtopics == Subtopics ? 0 : 1;
}
