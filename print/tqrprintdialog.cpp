// Printer setup through Qt's print dialog.
#include "tqrprintdialog.h"

#include "tqrprinter.h"

#include <QGuiApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>

namespace velkora::print {

int printerIndex(const QString &name)
{
    return int(QPrinterInfo::availablePrinterNames().indexOf(name));
}

QString printerName(int index)
{
    const QStringList names = QPrinterInfo::availablePrinterNames();
    if (index >= 0 && index < names.size())
        return names[index];
    return QPrinterInfo::defaultPrinterName();
}

bool printerSetup(TQRPrinterSettings &report, const TQRPrinter *device, QWidget *parent,
                  const std::function<int(QPrintDialog &)> &exec)
{
    // A printer of the driver's defaults, then the report's choice of printer.
    QPrinter printer(QPrinter::HighResolution);
    const QString name = printerName(report.PrinterIndex);
    if (!name.isEmpty())
        printer.setPrinterName(name);
    printer.setPageOrientation(report.Orientation);
    printer.setCopyCount(report.Copies);

    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(0, 9999);
    if (device && device->Status() == TQRPrinterStatus::mpFinished && device->PageCount() > 0) {
        dialog.setMinMax(1, device->PageCount());
        dialog.setFromTo(1, device->PageCount());
    }
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);

    int result;
    if (exec) {
        result = exec(dialog);
    } else {
        dialog.adjustSize();
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect free = screen->availableGeometry();
            dialog.move(free.left() + (free.width() - dialog.width()) / 2, free.top() + (free.height() - dialog.height()) / 3);
        }
        result = dialog.exec();
    }
    if (result != QDialog::Accepted)
        return false;

    report.Copies = std::max(1, printer.copyCount());
    report.PrinterIndex = printerIndex(printer.printerName());
    report.Orientation = printer.pageLayout().orientation();
    if (dialog.printRange() == QAbstractPrintDialog::PageRange) {
        report.FirstPage = dialog.fromPage();
        report.LastPage = dialog.toPage();
    } else {
        report.FirstPage = report.LastPage = 0;
    }
    return true;
}

} // namespace velkora::print
