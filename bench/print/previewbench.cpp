// The preview of a 1 MB body with the report with titles: from "Yazdır" to the first page shown in
// the preview window, and the whole run of its pages. Prints BENCH lines.
// Usage: velkora_bench_preview BODY.rtf (a 1 MB body made by shared/tools/gen_rtf.py: text_1m.rtf)
#include "platform/database/database.h"
#include "print/reportforms.h"
#include "print/tqrstandardpreview.h"
#include "store/bookstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: velkora_bench_preview BODY.rtf\n", stderr);
        return 2;
    }
    QFile f(QString::fromLocal8Bit(argv[1]));
    if (!f.open(QIODevice::ReadOnly))
        return 2;
    const QString body = QString::fromLatin1(f.readAll());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    velkora::database::Database::create(path, QStringLiteral("*.417305"));
    {
        auto db = velkora::database::Database::open(path, QStringLiteral("*.417305"));
        const auto &master = db->table(u"master");
        const auto &detail = db->table(u"detail");
        const qint64 sira = db->insert(master, {{master.columnIndex(u"Baslik"), QStringLiteral("Büyük")}}).key;
        db->insert(detail, {{detail.columnIndex(u"Sira"), sira},
                            {detail.columnIndex(u"Altkonu"), QStringLiteral("1 MB")},
                            {detail.columnIndex(u"Aciklama"), body}});
    }
    QDir::setCurrent(dir.path());
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
