// Page pictures of a 1 MB body: the body printable laid out over as many A4 pages as it takes, each
// page recorded as an EMF into the page store, as the preview does. Prints BENCH lines.
// Usage: velkora_bench_print_body BODY.rtf (a 1 MB body made by shared/tools/gen_rtf.py: text_1m.rtf)
#include "platform/database/database.h"
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
    if (argc < 2) {
        std::fputs("usage: velkora_bench_print_body BODY.rtf\n", stderr);
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
