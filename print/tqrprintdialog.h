// The printer setup a report offers from its preview: the print dialog, and what the report keeps of it.
#pragma once

#include "papersizes.h"

#include <QPageLayout>
#include <QString>

#include <functional>

class QPrintDialog;
class QPrinter;
class QWidget;

namespace velkora::print {

class TQRPrinter;

// A report's printer wishes: copies, duplex, page range (0: no limit), bin, the printer (-1: the
// system's default printer) and the document title; the orientation of its page setup.
struct TQRPrinterSettings
{
    int Copies = 1;
    bool Duplex = false;
    int FirstPage = 0, LastPage = 0;
    TQRBin OutputBin = TQRBin::Auto;
    int PrinterIndex = -1;
    QString Title;
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
};

// The printer's place in the system's list, or -1 for the default printer.
int printerIndex(const QString &printerName);
QString printerName(int index);

// Shows the print dialog for a report whose pages the device made: pages 0 to 9999, or 1 to the
// device's page count once it has finished (from and to preset to all of them); page range allowed,
// no print-to-file, no selection; the printer, orientation and copies preset from the report. When
// confirmed the report takes the printer, copies, orientation and page range (0 and 0 for all pages)
// and the function returns true; when cancelled nothing changes. exec shows the dialog (a test
// answers it instead); unset, it is shown modally, centred across and a third down the screen.
bool printerSetup(TQRPrinterSettings &report, const TQRPrinter *device, QWidget *parent,
                  const std::function<int(QPrintDialog &)> &exec = {});

} // namespace velkora::print
