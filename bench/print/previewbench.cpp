// The preview of a 1 MB body with the report with titles: from "Yazdır" to the first page shown in
// the preview window, and the whole run of its pages. Prints BENCH lines.
// Usage: velkora_bench_preview BODY.rtf (a 1 MB body made by shared/tools/gen_rtf.py: text_1m.rtf)
#include "platform/database/database.h"
#include "support/onebodybook.h"
#include "print/reportforms.h"
#include "print/tqrprinter.h"
#include "print/tqrstandardpreview.h"
#include "store/bookstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!velkora::bench::makeOneBodyBook(argc, argv, "usage: velkora_bench_preview BODY.rtf\n", dir))
        return 2;
    velkora::store::BookStore store;
    store.connect();
    store.openQueries();
    velkora::print::TForm2 layout(store.ADOQuery1, store.ADOQuery2);
    velkora::print::TForm3 textOnly(store.ADOQuery2);
    velkora::print::TForm4 options(&layout, &textOnly);
    options.RadioBtn1->setChecked(true);

    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        double firstShown = -1, finished = -1;
        velkora::print::TQuickRep &report = *layout.QuickRep1;
        report.openPreview = [&](velkora::print::TQRPrinter *device) -> QWidget * {
            auto *window = velkora::print::TQRStandardPreview::Open(device, &options);
            auto *watch = new QTimer(window);
            QObject::connect(watch, &QTimer::timeout, window, [&, window, device] {
                if (firstShown < 0 && !window->statusText(1).endsWith(QStringLiteral(" of 0")))
                    firstShown = t.nsecsElapsed() / 1e6;
                if (device->Status() == velkora::print::TQRPrinterStatus::mpFinished) {
                    finished = t.nsecsElapsed() / 1e6;
                    std::printf("BENCH preview_1mb_pages %d pages\n", device->PageCount());
                    // Once: loading the run's pages back from a report file, each page's picture checked.
                    const QString file = dir.filePath(QStringLiteral("run.QRP"));
                    if (run == 0) {
                        try {
                            device->Save(file);
                            velkora::print::TQRPrinter again;
                            QElapsedTimer load;
                            load.start();
                            again.Load(file);
                            std::printf("BENCH report_file_load_%d_pages %.1f ms (%lld bytes)\n", again.PageCount(),
                                        load.nsecsElapsed() / 1e6, static_cast<long long>(QFileInfo(file).size()));
                        } catch (const std::exception &e) {
                            std::fprintf(stderr, "bench: the report file could not be saved and loaded: %s\n", e.what());
                        }
                    }
                    window->close();
                }
            });
            watch->start(0);
            return window;
        };
        t.start();
        options.BtnYazdir->click();
        std::printf("BENCH preview_1mb_first_page_shown %.1f ms\n", firstShown);
        std::printf("BENCH preview_1mb_all_pages %.1f ms\n", finished);
    }
    return 0;
}
