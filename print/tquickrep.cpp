// The report engine's generation pass, its preview and its direct print.
#include "tquickrep.h"

#include "tqrprogressform.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPrinterInfo>
#include <QWidget>

#include <cmath>

namespace velkora::print {

TQuickRep::TQuickRep(QObject *parent) : QObject(parent)
{
    Functions.insert(QStringLiteral("PAGENUMBER"), QStringLiteral("0"));
    Functions.insert(QStringLiteral("COLUMNNUMBER"), QStringLiteral("0"));
    Functions.insert(QStringLiteral("REPORTTITLE"), QStringLiteral("''"));
}

TQuickRep::~TQuickRep()
{
    if (m_preview)
        delete m_preview.data();
}

TQRBand *TQuickRep::addBand(TQRBandType type)
{
    m_bands.push_back(std::make_unique<TQRBand>());
    m_bands.back()->BandType = type;
    return m_bands.back().get();
}

TQRBand *TQuickRep::firstBand(TQRBandType type) const
{
    for (const auto &b : m_bands)
        if (b->BandType == type)
            return b.get();
    return nullptr;
}

void TQuickRep::forEachPrintable(const std::function<void(TQRPrintable &)> &f)
{
    for (const auto &b : m_bands)
        for (TQRPrintable *p : b->Printables)
            f(*p);
    for (TQRPrintable *p : m_pagePrintables)
        f(*p);
}

double TQuickRep::SpaceLeft() const
{
    if (!m_running || !m_run || m_currentY < 0)
        return 0;
    const bool custom = m_run->PrinterSettings().PaperSize == TQRPaperSize::Custom;
    const bool landscape = m_run->PrinterSettings().Orientation == QPageLayout::Landscape;
    const double length = landscape && !custom ? m_run->PaperWidthValue() : m_run->PaperLengthValue();
    return std::round(length - Page.BottomMargin - m_footerLength - m_currentY);
}

void TQuickRep::Run(TQRPrinter &device)
{
    if (m_running)
        return;
    m_running = true;
    m_cancelled = false;
    m_lastPage = false;
    m_pageOpen = false;
    m_run = &device;
    // Margins that leave no room are dropped, and stay dropped.
    if (Page.Width - Page.LeftMargin - Page.RightMargin < 0)
        Page.LeftMargin = Page.RightMargin = 0;
    if (Page.Length - Page.TopMargin - Page.BottomMargin < 0)
        Page.TopMargin = Page.BottomMargin = 0;

    TPrinterSettings &settings = device.PrinterSettings();
    settings.setPaperSize(Page.PaperSize);
    if (Page.PaperSize == TQRPaperSize::Custom) {
        settings.setPaperWidth(Page.Width);
        settings.setPaperLength(Page.Length);
    }
    settings.setOrientation(Page.Orientation);
    settings.setCopies(PrinterSettings.Copies);
    settings.setOutputBin(PrinterSettings.OutputBin);
    device.FirstPage = PrinterSettings.FirstPage;
    device.LastPage = PrinterSettings.LastPage;
    device.Title = ReportTitle;

    bool prepared = false;
    try {
        device.BeginOutput();
        m_currentY = -1;
        m_pageCount = 0;
        m_currentColumn = Page.Columns;
        m_footerLength = 0;
        for (const auto &b : m_bands)
            if (b->BandType == TQRBandType::rbPageFooter && b->Enabled)
                m_footerLength += b->Length;
        forEachPrintable([&](TQRPrintable &p) {
            p.Device = &device;
            p.Zoom = Zoom;
        });
        m_currentX = Page.LeftMargin;
        Functions[QStringLiteral("REPORTTITLE")] = ReportTitle;
        forEachPrintable([](TQRPrintable &p) { p.PrepareForRun(); });
        prepared = true;
        m_pending = m_pagePrintables;

        if (PrintIfEmpty) {
            placeBand(firstBand(TQRBandType::rbTitle));
            placeBand(firstBand(TQRBandType::rbDetail));
            placeBand(firstBand(TQRBandType::rbSummary));
        }
        m_currentX = Page.LeftMargin;
        m_lastPage = true;
        if (!m_cancelled) {
            finishPage();
            if (m_pageCount == 0)
                m_pending.clear(); // no page at all: nothing carries on
            // What did not fit on the page goes on over further pages, in the same boxes.
            for (int guard = 0; !m_pending.empty() && !m_cancelled && guard < 100000; ++guard) {
                startNewPage();
                finishPage();
            }
        }
    } catch (...) {
        if (prepared)
            forEachPrintable([](TQRPrintable &p) { p.FinishRun(); });
        device.AbortOutput();
        m_running = false;
        m_run = nullptr;
        throw;
    }
    forEachPrintable([](TQRPrintable &p) { p.FinishRun(); });
    // The last page goes to the device's client here, which may fail too: the run ends either way.
    try {
        if (m_cancelled)
            device.AbortOutput();
        else
            device.EndOutput();
    } catch (...) {
        m_running = false;
        m_run = nullptr;
        throw;
    }
    m_running = false;
    m_run = nullptr;
}

void TQuickRep::startNewPage()
{
    if (m_pageOpen)
        finishPage();
    ++m_pageCount;
    Functions[QStringLiteral("PAGENUMBER")] = QString::number(m_pageCount);
    m_run->BeginDevicePage();
    // A long body makes many pages: the preview shows the first ones while the rest are made, and
    // its window can be closed meanwhile (which cancels the run).
    if (m_pageCount > 1 && m_run->Destination == TQRDestination::qrdMetafile)
        QCoreApplication::processEvents();
    m_pageOpen = true;
    m_currentY = Page.TopMargin;
    if (m_pageCount > 1 || FirstPageHeader)
        placeBand(firstBand(TQRBandType::rbPageHeader));
    m_columnTop = m_currentY;
    if (m_pageCount == 1)
        if (const TQRBand *title = firstBand(TQRBandType::rbTitle))
            m_columnTop += title->Length;
}

void TQuickRep::startNewColumn()
{
    if (m_currentColumn >= Page.Columns) {
        m_currentColumn = 1;
        m_currentX = Page.LeftMargin;
        startNewPage();
    } else {
        const double columnWidth = (Page.Width - Page.LeftMargin - Page.RightMargin - (Page.Columns - 1) * Page.ColumnSpace) / Page.Columns;
        m_currentX += columnWidth + Page.ColumnSpace;
        m_currentY = m_columnTop;
        ++m_currentColumn;
    }
    Functions[QStringLiteral("COLUMNNUMBER")] = QString::number(m_currentColumn);
    if (!(m_currentColumn == 1 && m_pageCount == 1))
        placeBand(firstBand(TQRBandType::rbColumnHeader));
}

void TQuickRep::finishPage()
{
    if (!m_pageOpen)
        return;
    m_currentY = Page.Length - Page.BottomMargin - m_footerLength;
    m_currentX = Page.LeftMargin;
    if (!(m_lastPage && !LastPageFooter))
        placeBand(firstBand(TQRBandType::rbPageFooter));
    // The printables on the page come last, over everything else; after the first page only those
    // that still have something to print.
    std::vector<TQRPrintable *> unfinished;
    for (TQRPrintable *p : m_pending) {
        if (!p->Enabled)
            continue;
        p->PrintAt(0, 0);
        if (!p->PrintFinished)
            unfinished.push_back(p);
    }
    m_pending = std::move(unfinished);
    if (Frame.any())
        if (QPainter *painter = m_run->Canvas()) {
            const QRect area(m_run->XPos(Page.LeftMargin), m_run->YPos(Page.TopMargin),
                             m_run->XSize(Page.Width - Page.LeftMargin - Page.RightMargin),
                             m_run->YSize(Page.Length - Page.TopMargin - Page.BottomMargin));
            painter->save();
            painter->setPen(Frame.Color);
            if (Frame.Top) painter->drawLine(area.topLeft(), area.topRight());
            if (Frame.Bottom) painter->drawLine(area.bottomLeft(), area.bottomRight());
            if (Frame.Left) painter->drawLine(area.topLeft(), area.bottomLeft());
            if (Frame.Right) painter->drawLine(area.topRight(), area.bottomRight());
            painter->restore();
        }
    m_pageOpen = false;
}

void TQuickRep::placeBand(TQRBand *band)
{
    if (!band)
        return;
    const bool footer = band->BandType == TQRBandType::rbPageFooter;
    if (!footer && SpaceLeft() < band->Length && band->Length <= Page.Length - Page.TopMargin - Page.BottomMargin)
        startNewColumn();
    else if (m_pageCount == 0)
        startNewColumn();
    const double length = band->Length;
    if (band->Length > 0 && band->Enabled) {
        QPainter *painter = m_run->Canvas();
        const QRect rect(m_run->XPos(m_currentX), m_run->YPos(m_currentY), m_run->XSize(band->Width), m_run->YSize(band->Length));
        if (painter)
            painter->fillRect(rect, band->Color);
        std::vector<TQRPrintable *> toPrint;
        for (TQRPrintable *p : band->Printables)
            if (p->Enabled)
                toPrint.push_back(p);
        for (int guard = 0; !toPrint.empty() && guard < 10000; ++guard) {
            std::vector<TQRPrintable *> unfinished;
            for (TQRPrintable *p : toPrint) {
                p->PrintAt(m_currentX, m_currentY);
                if (!p->PrintFinished)
                    unfinished.push_back(p);
            }
            if (unfinished.empty())
                break;
            startNewColumn();
            band->Length = length;
            toPrint = std::move(unfinished);
        }
        if (band->Frame.any() && (painter = m_run->Canvas())) {
            painter->save();
            painter->setPen(band->Frame.Color);
            if (band->Frame.Top) painter->drawLine(rect.topLeft(), rect.topRight());
            if (band->Frame.Bottom) painter->drawLine(rect.bottomLeft(), rect.bottomRight());
            if (band->Frame.Left) painter->drawLine(rect.topLeft(), rect.bottomLeft());
            if (band->Frame.Right) painter->drawLine(rect.topRight(), rect.bottomRight());
            painter->restore();
        }
    }
    m_currentY += band->Length + band->Expansion;
    band->Length = length;
    band->Expansion = 0;
}

std::unique_ptr<TQRPrinter> TQuickRep::newDevice(TQRDestination destination)
{
    std::unique_ptr<QPrinter> printer;
    if (makePrinter)
        printer = makePrinter();
    else if (PrinterSettings.PrinterIndex >= 0)
        printer = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(printerName(PrinterSettings.PrinterIndex)), QPrinter::HighResolution);
    auto device = std::make_unique<TQRPrinter>(nullptr, std::move(printer));
    device->Destination = destination;
    return device;
}

void TQuickRep::PreviewReport()
{
    QCoreApplication::processEvents();
    if (m_running)
        return;
    // A preview of this report is open: it keeps its device; the window comes to the front.
    if (m_preview && m_device && m_device->ShowingPreview()) {
        m_preview->raise();
        m_preview->activateWindow();
        return;
    }
    std::unique_ptr<TQRPrinter> device = newDevice(TQRDestination::qrdMetafile);
    if (m_device)
        device->Client = m_device->Client;
    m_device = std::move(device);
    TQRPrinter *d = m_device.get();
    d->MasterReport = this;
    d->OnPrintSetup = [this] {
        PrinterSettings.Orientation = Page.Orientation;
        if (!printerSetup(PrinterSettings, m_device.get(), m_preview ? m_preview.data() : dialogParent.data()))
            return;
        // The page setup follows the orientation chosen; the pages shown are not made again.
        if (PrinterSettings.Orientation != Page.Orientation) {
            Page.Orientation = PrinterSettings.Orientation;
            std::swap(Page.Width, Page.Length);
        }
    };
    d->Title = ReportTitle;
    if (openPreview)
        m_preview = openPreview(d);
    Run(*d);
    if (m_cancelled) {
        m_device.release()->deleteLater();
        return;
    }
    while (m_device && m_device->ShowingPreview() && !QCoreApplication::closingDown())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TQuickRep::PrintDirect()
{
    if (m_running)
        return;
    std::unique_ptr<TQRPrinter> device = newDevice(TQRDestination::qrdPrinter);
    if (!device->PrinterOK())
        return;
    TQRProgressForm progress(device.get(), dialogParent);
    device->Client = &progress;
    if (ShowProgress)
        progress.show();
    try {
        Run(*device);
    } catch (...) {
        progress.hide();
        throw;
    }
    progress.hide();
}

bool TQuickRep::event(QEvent *e)
{
    if (e->type() != TQRNotification::eventType())
        return QObject::event(e);
    const auto *n = static_cast<TQRNotification *>(e);
    if (n->message == TQRNotification::PrintRequest) {
        // Handled inside an event loop: a failure is shown here, it must not leave the handler.
        try {
            PrintDirect();
        } catch (const std::exception &e) {
            if (showError)
                showError(QString::fromLocal8Bit(e.what()));
        }
    } else if (n->message == TQRNotification::PreviewClosed) {
        // Only the preview's own run is cancelled; a direct print going on meanwhile finishes.
        if (m_running && m_run == m_device.get()) {
            m_cancelled = true;
            if (m_run)
                m_run->Cancel();
        } else if (m_device) {
            m_device->setShowingPreview(false);
            // The window that sent this is still closing: the device goes when it is done.
            m_device.release()->deleteLater();
        }
    }
    return true;
}

} // namespace velkora::print
