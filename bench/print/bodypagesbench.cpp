// Page pictures of a 1 MB body: the body printable laid out over as many A4 pages as it takes, each
// page recorded as an EMF into the page store, as the preview does. Prints BENCH lines.
// Usage: velkora_bench_print_body BODY.rtf (a 1 MB body made by shared/tools/gen_rtf.py: text_1m.rtf)
#include "platform/database/database.h"
#include "support/onebodybook.h"
#include "print/printables.h"
#include "print/tqrprinter.h"
#include "store/bookstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!velkora::bench::makeOneBodyBook(argc, argv, "usage: velkora_bench_print_body BODY.rtf\n", dir))
        return 2;
    velkora::store::BookStore store;
    store.connect();
    store.openQueries();

    for (int run = 0; run < 2; ++run) {
        velkora::print::TQRPrinter device;
        velkora::print::TQRDBRichText printable;
        printable.DataSet = store.ADOQuery2;
        printable.DataField = QStringLiteral("Aciklama");
        printable.Left = 211.7;
        printable.Top = 211.7;
        printable.Width = 1696.0;
        printable.Height = 2521.5;
        printable.Device = &device;
        QElapsedTimer t;
        t.start();
        printable.PrepareForRun();
        device.BeginOutput();
        int pages = 0;
        double first = 0;
        do {
            device.BeginDevicePage();
            printable.PrintAt(0, 0);
            if (++pages == 1)
                first = t.nsecsElapsed() / 1e6;
        } while (!printable.PrintFinished);
        device.EndOutput();
        const double all = t.nsecsElapsed() / 1e6;
        std::printf("BENCH print_body_1mb_pages %d pages\n", pages);
        std::printf("BENCH print_body_1mb_first_page %.1f ms\n", first);
        std::printf("BENCH print_body_1mb_total %.1f ms\n", all);
        std::printf("BENCH print_body_1mb_per_page %.2f ms\n", all / pages);
    }
    return 0;
}
