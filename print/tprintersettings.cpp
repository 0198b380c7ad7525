// Printer settings over Qt's printing (CUPS queues on Linux).
#include "tprintersettings.h"

#include <QCoreApplication>
#include <QPrinterInfo>

#include <cups/cups.h>

#include <cmath>

namespace velkora::print {

namespace {

// How many paper sources (input slots) the queue offers; Qt's printing does not say.
int inputSlots(const QString &printer)
{
    const QByteArray name = printer.toLocal8Bit();
    cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr);
    if (!dest)
        return 0;
    int count = 0;
    if (cups_dinfo_t *info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
        if (ipp_attribute_t *sources = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_MEDIA_SOURCE))
            count = ippGetCount(sources);
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, dest);
    return count;
}

// Whether the queue prints in colour: see TPrinterSettings::Colour.
bool printsInColour(const QString &printer)
{
    const QByteArray name = printer.toLocal8Bit();
    cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr);
    if (!dest)
        return true;
    const char *model = cupsGetOption("printer-make-and-model", dest->num_options, dest->options);
    const char *type = cupsGetOption("printer-type", dest->num_options, dest->options);
    const char *mode = cupsGetOption("print-color-mode", dest->num_options, dest->options);
    const bool raw = model && QByteArrayView(model) == "Local Raw Printer";
    const bool colourDevice = type && (QByteArray(type).toUInt() & CUPS_PRINTER_COLOR);
    cupsFreeDests(1, dest);
    if (raw)
        return true;
    if (!colourDevice)
        return false;
    return !(mode && QByteArrayView(mode) == "monochrome");
}

} // namespace

TPrinterSettings::TPrinterSettings(QPrinter *printer) : m_printer(printer)
{
}

void TPrinterSettings::readFromPrinter()
{
    QCoreApplication::processEvents();
    const QPrinterInfo info(*m_printer);
    if (info.isNull())
        return;
    Device = m_printer->printerName();
    Driver = info.makeAndModel();
    Port = QString();
    XResolution = YResolution = m_printer->resolution();
    Copies = m_printer->supportsMultipleCopies() ? std::max(1, m_printer->copyCount()) : 1;
    m_supportsBins = inputSlots(Device) > 1;
    OutputBin = m_supportsBins ? binForPaperSource(m_printer->paperSource()) : TQRBin::First;
    Duplex = info.supportedDuplexModes().size() > 1 && m_printer->duplex() != QPrinter::DuplexNone;
    const QRectF printable = m_printer->pageLayout().paintRect(QPageLayout::Millimeter);
    LeftOffset = int(std::lround(printable.left() * 10));
    TopOffset = int(std::lround(printable.top() * 10));
    const QList<QPageSize> sizes = info.supportedPageSizes();
    m_supportedCodes.clear();
    for (const QPageSize &s : sizes) {
        for (const PaperSizeInfo &p : paperSizes())
            if (p.pageSizeId == s.id() && p.pageSizeId != QPageSize::Custom)
                m_supportedCodes.insert(p.code);
    }
    PaperSize = sizes.isEmpty() ? TQRPaperSize::Default : paperSizeForPageSizeId(m_printer->pageLayout().pageSize().id());
    const QSizeF paper = m_printer->pageLayout().fullRect(QPageLayout::Millimeter).size();
    PaperWidth = std::round(paper.width() * 10);
    PaperLength = std::round(paper.height() * 10);
    Colour = printsInColour(Device);
    printerRead = true;
}

bool TPrinterSettings::supported(TQRPaperSize size) const
{
    return size == TQRPaperSize::Custom || size == TQRPaperSize::Default || m_supportedCodes.contains(paperSizeInfo(size).code);
}

void TPrinterSettings::setCopies(int copies)
{
    if (!printerRead || m_printer->supportsMultipleCopies())
        Copies = std::max(1, copies);
}

void TPrinterSettings::setOutputBin(TQRBin bin)
{
    if (!printerRead || m_supportsBins)
        OutputBin = bin;
}

void TPrinterSettings::setPaperSize(TQRPaperSize size)
{
    if (!printerRead || supported(size))
        PaperSize = size;
}

void TPrinterSettings::setPaperWidth(double width)
{
    if (PaperSize == TQRPaperSize::Custom)
        PaperWidth = width;
}

void TPrinterSettings::setPaperLength(double length)
{
    if (PaperSize == TQRPaperSize::Custom)
        PaperLength = length;
}

void TPrinterSettings::applyToPrinter() const
{
    if (PaperSize == TQRPaperSize::Custom && PaperWidth > 0 && PaperLength > 0)
        m_printer->setPageSize(QPageSize(QSizeF(PaperWidth / 10, PaperLength / 10), QPageSize::Millimeter));
    else if (PaperSize != TQRPaperSize::Default && supported(PaperSize))
        m_printer->setPageSize(QPageSize(paperSizeInfo(PaperSize).pageSizeId));
    if (Duplex)
        m_printer->setDuplex(QPrinter::DuplexLongSide);
    m_printer->setCopyCount(Copies);
    if (m_supportsBins)
        m_printer->setPaperSource(paperSourceForBin(OutputBin));
    m_printer->setPageOrientation(Orientation);
    m_printer->setColorMode(Colour ? QPrinter::Color : QPrinter::GrayScale);
}

} // namespace velkora::print
