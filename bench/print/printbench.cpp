// Page-store benchmark: a 1,000-page preview store of text pages (about 30 KB of EMF each, drawn by
// EmfWriter), its resident memory, and the time to fetch page 500 from a fresh position and from
// the farthest ones. Prints BENCH lines. Usage: velkora_bench_print [RUNS]
#include "platform/metafile/emfwriter.h"
#include "print/tqrpagelist.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using velkora::metafile::EmfWriter;
using velkora::print::TQRPageList;

namespace {

constexpr int Pages = 1000;

// A page of running text: about sixty lines of words at 11 pixels, as a body page prints.
QByteArray textPage(int seed)
{
    static const char *const words[] = {"kitap", "konu", "başlık", "sayfa", "yazı", "güzel", "ağaç", "çiçek",
                                        "öğrenci", "şehir", "ılık", "rüzgâr", "defter", "kalem", "satır", "paragraf"};
    QRandomGenerator random{quint32(seed)};
    EmfWriter writer(QSize(794, 1123), 96);
    QPainter painter(&writer);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(11);
    painter.setFont(font);
    for (int line = 0; line < 60; ++line) {
        QStringList text;
        for (int w = 0; w < 12; ++w)
            text << QString::fromUtf8(words[random.bounded(int(std::size(words)))]);
        painter.drawText(QPointF(60, 60 + line * 16), text.join(QLatin1Char(' ')));
    }
    painter.end();
    return writer.bytes();
}

double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

double ms(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

void report(const char *name, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("BENCH %s_median %.3f ms\n", name, times[times.size() / 2]);
    std::printf("BENCH %s_worst %.3f ms\n", name, times.back());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 50;

    std::vector<QByteArray> pictures;
    qint64 pictureBytes = 0;
    for (int i = 0; i < 20; ++i) {
        pictures.push_back(textPage(i));
        pictureBytes += pictures.back().size();
    }
    std::printf("BENCH print_page_picture_bytes %lld bytes\n", pictureBytes / 20);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bench.qrp"));
    {
        const double before = residentMb();
        TQRPageList store;
        const double build = ms([&] {
            for (int i = 0; i < Pages; ++i)
                store.AddPage(pictures[i % pictures.size()]);
            store.Finish();
        });
        std::printf("BENCH print_store_add_1000_pages %.1f ms\n", build);
        std::printf("BENCH print_store_1000_pages_bytes %.1f MB\n", store.size() / 1048576.0);
        std::printf("BENCH print_store_1000_pages_rss_delta %.1f MB\n", residentMb() - before);
        std::printf("BENCH print_store_1000_pages_in_memory %d bool\n", int(store.inMemory()));

        // Fresh from the run: the stream stands at its end, so page 500 is walked to from the last.
        std::printf("BENCH print_fetch_500_after_run %.3f ms\n", ms([&] { store.GetPage(500); }));
        store.SaveToFile(file);
    }

    TQRPageList loaded;
    loaded.LoadFromFile(file);
    // Fresh from a load: the stream stands at page 1, so page 500 is walked to forwards.
    std::printf("BENCH print_fetch_500_after_load %.3f ms\n", ms([&] { loaded.GetPage(500); }));

    std::vector<double> fromFirst, fromLast, farthestForwards, farthestBackwards;
    for (int i = 0; i < runs; ++i) {
        loaded.GetPage(1);
        fromFirst.push_back(ms([&] { loaded.GetPage(500); }));
        loaded.GetPage(Pages);
        fromLast.push_back(ms([&] { loaded.GetPage(500); }));
        loaded.GetPage(1);
        farthestForwards.push_back(ms([&] { loaded.GetPage(Pages - 1); }));
        loaded.GetPage(Pages);
        farthestBackwards.push_back(ms([&] { loaded.GetPage(2); }));
    }
    report("print_fetch_500_from_page_1", fromFirst);
    report("print_fetch_500_from_the_end", fromLast);
    report("print_fetch_999_from_page_1", farthestForwards);
    report("print_fetch_2_from_the_end", farthestBackwards);
    return 0;
}
