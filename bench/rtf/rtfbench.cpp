// RTF benchmark: reading and writing rich-edit-like bodies of 100 KB, 1 MB and 10 MB, side by side
// with Qt's own HTML import and export of the same content. Prints BENCH <name> <value> <unit>.
// Input: a folder made by shared/tools/gen_rtf.py (text_100k.rtf, text_1m.rtf, text_10m.rtf, pict_1m.rtf).
#include "platform/richedit/rtfreader.h"
#include "platform/richedit/rtfwriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

template <typename F>
double bestOf(int runs, F f)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    return *std::min_element(times.begin(), times.end());
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/genrtf");
    for (const char *name : {"text_100k", "text_1m", "text_10m", "pict_1m"}) {
        QFile f(folder + u'/' + QString::fromLatin1(name) + QStringLiteral(".rtf"));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "missing %s: run gen_rtf.py --out %s\n", name, folder.toLocal8Bit().constData());
            return 2;
        }
        const QByteArray rtf = f.readAll();
        const int runs = rtf.size() > 5'000'000 ? 3 : 7;
        QTextDocument doc;
        const double read = bestOf(runs, [&] { velkora::richedit::RtfReader::read(rtf, &doc); });
        const QString html = doc.toHtml();
        QTextDocument fromHtml;
        const double setHtml = bestOf(runs, [&] { fromHtml.setHtml(html); });
        QByteArray written;
        const double write = bestOf(runs, [&] { written = velkora::richedit::RtfWriter::write(doc); });
        QString exported;
        const double toHtml = bestOf(runs, [&] { exported = doc.toHtml(); });
        std::printf("BENCH rtf_read_%s %.1f ms\n", name, read);
        std::printf("BENCH qt_sethtml_%s %.1f ms\n", name, setHtml);
        std::printf("BENCH rtf_read_speedup_over_sethtml_%s %.2f x\n", name, setHtml / read);
        std::printf("BENCH rtf_write_%s %.1f ms\n", name, write);
        std::printf("BENCH qt_tohtml_%s %.1f ms\n", name, toHtml);
        std::printf("BENCH rtf_write_speedup_over_tohtml_%s %.2f x\n", name, toHtml / write);
        std::fflush(stdout);
    }
    return 0;
}
