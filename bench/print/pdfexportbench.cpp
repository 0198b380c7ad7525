// PDF export of preview pages: full A4 pages of text (about 50 lines each) recorded as EMF page
// pictures, then written as a PDF through the preview's export. Prints BENCH lines.
// Usage: velkora_bench_pdf_export [PAGES]   (default 100)
#include "print/pdfexport.h"
#include "print/tqrprinter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const QString line = QStringLiteral("Çağdaş Türkçe metin: ığdır, şoför, öğün, İstanbul, Işık; satır %1 sayfa %2");

    velkora::print::TQRPrinter device;
    device.BeginOutput();
    for (int n = 1; n <= pages; ++n) {
        device.BeginDevicePage();
        QPainter *p = device.Canvas();
        p->setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
        p->drawRect(device.XPos(200), device.YPos(200), device.XSize(1700), device.YSize(100));
        for (int i = 0; i < 50; ++i)
            p->drawText(QPointF(device.XPos(212), device.YPos(400 + i * 48)), line.arg(i + 1).arg(n));
    }
    device.EndOutput();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.pdf"));
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        velkora::print::exportPdf(device, path);
        const double ms = t.nsecsElapsed() / 1e6;
        std::printf("BENCH pdf_export_pages %d\n", pages);
        std::printf("BENCH pdf_export_total %.1f ms\n", ms);
        std::printf("BENCH pdf_export_per_page %.2f ms\n", ms / pages);
        std::printf("BENCH pdf_export_bytes_per_page %lld\n", QFileInfo(path).size() / pages);
    }
    return 0;
}
