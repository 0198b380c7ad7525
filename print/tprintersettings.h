// The settings of the printer a report prints on: read from the printer, written back before a job.
#pragma once

#include "papersizes.h"

#include <QPageLayout>
#include <QPrinter>
#include <QSet>
#include <QString>

namespace velkora::print {

// Bound to one printer object. Lengths are in tenths of a millimetre. Before a printer has been read
// the paper size is A4; without any printer the settings are never read.
class TPrinterSettings
{
public:
    explicit TPrinterSettings(QPrinter *printer);

    // Reads the bound printer's state: names, resolution, copies, bin, duplex, offsets, paper size
    // and physical size, and which paper sizes it lists.
    void readFromPrinter();
    // Writes the wishes into the printer before a job: a custom size, duplex, the paper size when the
    // printer lists it, copies, bin, orientation and colour.
    void applyToPrinter() const;

    // Setting a value the printer does not support is ignored; a paper size only when the printer
    // lists it (Default always), width and length only for Custom.
    void setCopies(int copies);
    void setOutputBin(TQRBin bin);
    void setOrientation(QPageLayout::Orientation orientation) { Orientation = orientation; }
    void setPaperSize(TQRPaperSize size);
    void setPaperWidth(double width);
    void setPaperLength(double length);
    bool supported(TQRPaperSize size) const;

    QString Device, Driver, Port;
    int XResolution = 0, YResolution = 0;
    int Copies = 1;
    TQRBin OutputBin = TQRBin::First;
    bool Duplex = false;
    int LeftOffset = 0, TopOffset = 0;
    TQRPaperSize PaperSize = TQRPaperSize::A4;
    double PaperWidth = 0, PaperLength = 0;
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
    // Pages go to the printer in colour, as the preview shows them, unless the queue's driver says
    // the printer has no colour or the queue's colour mode (the user's lpoptions among them) is
    // monochrome. A queue without a driver passes the job on as it is: in colour.
    bool Colour = true;
    bool printerRead = false;

private:
    QPrinter *m_printer;
    QSet<int> m_supportedCodes;
    bool m_supportsBins = false;
};

} // namespace velkora::print
