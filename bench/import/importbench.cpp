// Import benchmark: an old book of 10,000 subtopics with 20 KB bodies carried over into a new book.
// Prints one line per figure: BENCH <name> <value> <unit>. The old book comes from an in-memory table
// source, as libmdb cannot write Jet files: measured are the stream the reading process hands over
// (encoded and decoded), the mapping and writing of the new book, its check and its rename. Reading
// the Jet file through libmdb is not part of the figure.
#include "tools/velkora-book/bookimport.h"
#include "tools/velkora-book/booktool.h"
#include "tools/velkora-book/importsource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

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

void bench(const char *name, double value, const char *unit)
{
    std::printf("BENCH %s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    using namespace velkora::tools;
    QRandomGenerator rng(16);
    SourceBook source;
    source.jetVersion = 4;
    source.tableNames = {QStringLiteral("master"), QStringLiteral("detail")};
    SourceTable master, detail;
    master.name = QStringLiteral("master");
    master.columns = {QStringLiteral("Sira"), QStringLiteral("Baslik")};
    detail.name = QStringLiteral("detail");
    detail.columns = {QStringLiteral("Sira"), QStringLiteral("Altkonu"), QStringLiteral("Aciklama")};
    for (int t = 0; t < Subtopics / SubtopicsPerTopic; ++t)
        master.rows.append({QString::number(t + 1), QStringLiteral("Konu %1 — çğıöşü").arg(t + 1)});
    for (int s = 0; s < Subtopics; ++s)
        detail.rows.append({QString::number(s / SubtopicsPerTopic + 1), QStringLiteral("Alt konu %1 İı").arg(s), body(rng)});
    source.tables = {master, detail};

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("Data.mdb"));
    QElapsedTimer clock;
    clock.start();
    const QByteArray stream = encodeSourceBook(source);
    const SourceBook decoded = decodeSourceBook(stream, QStringLiteral("Eski.mdb"));
    const double streamSeconds = clock.nsecsElapsed() / 1e9;
    clock.restart();
    const ImportSummary summary = writeImportedBook(decoded, QStringLiteral("Eski.mdb"), target, defaultBookPassword());
    const double writeSeconds = clock.nsecsElapsed() / 1e9;
    std::fprintf(stderr, "%s; %lld MB of stream, %lld MB of book\n", qPrintable(summaryLine(summary)),
                 static_cast<long long>(stream.size() >> 20), static_cast<long long>(QFileInfo(target).size() >> 20));
    bench("import_10k_20kb_stream", streamSeconds, "s");
    bench("import_10k_20kb_write_check_rename", writeSeconds, "s");
    bench("import_10k_20kb_total", streamSeconds + writeSeconds, "s");
    return summary.subtopics == Subtopics ? 0 : 1;
}
