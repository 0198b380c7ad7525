// The output device: page pictures into the page store, or pages onto the printer.
#include "tqrprinter.h"

#include "platform/metafile/emfplayer.h"
#include "platform/metafile/emfwriter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPrinterInfo>
#include <QScreen>

#include <cmath>
#include <stdexcept>

namespace velkora::print {

QEvent::Type TQRNotification::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

double TQRPrinter::screenDpi()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return screen->logicalDotsPerInchX();
    return 96;
}

TQRPrinter::TQRPrinter(QObject *parent, std::unique_ptr<QPrinter> printer)
    : QObject(parent), m_printer(std::move(printer)), m_pageList(std::make_unique<TQRPageList>())
{
    if (m_printer) {
        m_printerOK = m_printer->outputFormat() == QPrinter::PdfFormat || !QPrinterInfo(*m_printer).isNull();
    } else {
        const QPrinterInfo def = QPrinterInfo::defaultPrinter();
        m_printer = def.isNull() ? std::make_unique<QPrinter>(QPrinter::HighResolution)
                                 : std::make_unique<QPrinter>(def, QPrinter::HighResolution);
        m_printerOK = !QPrinterInfo::availablePrinters().isEmpty();
    }
    m_settings = std::make_unique<TPrinterSettings>(m_printer.get());
    if (m_printerOK)
        m_settings->readFromPrinter();
}

TQRPrinter::~TQRPrinter()
{
    cleanUp();
}

void TQRPrinter::cleanUp()
{
    if (m_status == TQRPrinterStatus::mpBusy)
        m_cancelled = true;
    m_picturePainter.reset();
    m_picture.reset();
    if (m_jobRunning)
        m_printer->abort();
    m_jobPainter.reset();
    m_jobRunning = false;
    m_pageOpen = false;
}

int TQRPrinter::XPos(double v) const { return int(std::lround((v - LeftWaste) * XFactor)); }
int TQRPrinter::YPos(double v) const { return int(std::lround((v - TopWaste) * YFactor)); }
int TQRPrinter::XSize(double v) const { return int(std::lround(v * XFactor)); }
int TQRPrinter::YSize(double v) const { return int(std::lround(v * YFactor)); }

QSizeF TQRPrinter::paper() const
{
    const TPrinterSettings &s = *m_settings;
    const PaperSizeInfo &p = paperSizeInfo(s.PaperSize);
    const bool own = s.PaperSize == TQRPaperSize::Default || s.PaperSize == TQRPaperSize::Custom;
    const QSizeF portrait = own ? QSizeF(s.PaperWidth, s.PaperLength) : QSizeF(p.widthMm * 10, p.lengthMm * 10);
    return s.Orientation == QPageLayout::Landscape ? portrait.transposed() : portrait;
}

double TQRPrinter::PaperWidthValue() const
{
    return paper().width();
}

double TQRPrinter::PaperLengthValue() const
{
    return paper().height();
}

void TQRPrinter::post(TQRNotification::Message message, int value, QObject *to)
{
    if (to)
        QCoreApplication::postEvent(to, new TQRNotification(message, value));
}

void TQRPrinter::setProgress(int percent)
{
    post(TQRNotification::Progress, percent, Client);
}

void TQRPrinter::BeginOutput()
{
    m_available = 0;
    m_cancelled = false;
    if (Destination == TQRDestination::qrdPrinter) {
        m_settings->applyToPrinter();
        const QRectF printable = m_printer->pageLayout().paintRect(QPageLayout::Millimeter);
        LeftWaste = printable.left() * 10;
        TopWaste = printable.top() * 10;
    } else {
        LeftWaste = TopWaste = 0;
    }
    if (m_status != TQRPrinterStatus::mpReady)
        throw std::runtime_error("QRPrinter not ready");
    m_pageNumber = m_pageCount = 0;
    m_status = TQRPrinterStatus::mpBusy;
    if (Destination == TQRDestination::qrdMetafile) {
        m_pageList = std::make_unique<TQRPageList>();
        XFactor = YFactor = screenDpi() / 254.0;
    } else {
        XFactor = m_printer->logicalDpiX() / 254.0;
        YFactor = m_printer->logicalDpiY() / 254.0;
    }
}

bool TQRPrinter::PageInRange() const
{
    return (FirstPage <= 0 || m_pageCount >= FirstPage) && (LastPage <= 0 || m_pageCount <= LastPage);
}

QPainter *TQRPrinter::Canvas()
{
    if (!m_pageOpen)
        return nullptr;
    return m_picturePainter ? m_picturePainter.get() : m_jobPainter.get();
}

void TQRPrinter::openPicture(double dpi)
{
    m_picture = std::make_unique<metafile::EmfWriter>(QSize(XSize(PaperWidthValue()), YSize(PaperLengthValue())),
                                                      int(std::lround(dpi)));
    m_picturePainter = std::make_unique<QPainter>(m_picture.get());
}

void TQRPrinter::closePage()
{
    if (!m_pageOpen)
        return;
    if (m_picturePainter) {
        m_picturePainter->end();
        m_picturePainter.reset();
        // A printer page outside the range went into a picture that is thrown away.
        if (Destination == TQRDestination::qrdMetafile)
            keepPage();
        m_picture.reset();
    }
    m_pageOpen = false;
    ++m_available;
    post(TQRNotification::PagesAvailable, m_available, Client);
}

void TQRPrinter::keepPage()
{
    if (PageSink)
        PageSink(m_picture->bytes());
    else
        m_pageList->AddPage(m_picture->bytes());
}

void TQRPrinter::Rewind()
{
    if (m_status == TQRPrinterStatus::mpFinished)
        m_status = TQRPrinterStatus::mpReady;
}

void TQRPrinter::BeginDevicePage()
{
    if (m_status != TQRPrinterStatus::mpBusy)
        throw std::runtime_error("Illegal call to NewPage");
    closePage();
    ++m_pageCount;
    ++m_pageNumber;
    m_pageOpen = true;
    if (Destination == TQRDestination::qrdMetafile) {
        openPicture(screenDpi());
        return;
    }
    if (!PageInRange()) {
        openPicture(m_printer->logicalDpiX());
        return;
    }
    if (!m_jobRunning) {
        m_printer->setDocName(Title);
        m_jobPainter = std::make_unique<QPainter>();
        if (!m_jobPainter->begin(m_printer.get())) {
            m_jobPainter.reset();
            m_pageOpen = false;
            throw std::runtime_error("Printer is not currently printing");
        }
        m_jobRunning = true;
    } else {
        m_printer->newPage();
    }
    XFactor = m_printer->logicalDpiX() / 254.0;
    YFactor = m_printer->logicalDpiY() / 254.0;
}

void TQRPrinter::EndOutput()
{
    if (m_status != TQRPrinterStatus::mpBusy)
        return;
    const bool begun = m_pageCount > 0;
    if (Destination == TQRDestination::qrdPrinter) {
        if (m_picturePainter) {
            m_picturePainter->end();
            m_picturePainter.reset();
            m_picture.reset();
        }
        m_pageOpen = false;
        if (m_jobRunning) {
            m_jobPainter->end();
            m_jobPainter.reset();
            m_jobRunning = false;
        }
    } else if (begun && m_pageOpen) {
        m_picturePainter->end();
        m_picturePainter.reset();
        keepPage();
        m_picture.reset();
        m_pageOpen = false;
    }
    m_status = TQRPrinterStatus::mpFinished;
    QCoreApplication::processEvents();
    ++m_available;
    post(TQRNotification::PagesAvailable, m_available, Client);
    if (Destination == TQRDestination::qrdMetafile)
        m_pageList->Finish();
    else if (AfterPrint)
        AfterPrint();
}

void TQRPrinter::AbortOutput()
{
    if (Destination == TQRDestination::qrdPrinter) {
        if (m_jobRunning)
            m_printer->abort();
        m_jobPainter.reset();
        m_jobRunning = false;
        m_picturePainter.reset();
        m_picture.reset();
    } else if (m_pageOpen && m_picturePainter) {
        m_picturePainter->end();
        m_picturePainter.reset();
        // The preview keeps what was drawn of a cancelled run; a page sink gets whole pages only.
        if (!PageSink)
            keepPage();
        m_picture.reset();
    }
    m_pageOpen = false;
    m_status = TQRPrinterStatus::mpFinished;
}

std::optional<QByteArray> TQRPrinter::GetPage(int n)
{
    if (m_status == TQRPrinterStatus::mpReady || n < 1 || n > m_pageList->PageCount())
        return std::nullopt;
    return m_pageList->GetPage(n);
}

void TQRPrinter::setShowingPreview(bool showing)
{
    const bool was = m_showingPreview;
    m_showingPreview = showing;
    if (was && !showing) {
        if (m_status == TQRPrinterStatus::mpBusy)
            Cancel();
        if (AfterPreview)
            AfterPreview();
    }
}

void TQRPrinter::ClosePreview()
{
    if (MasterReport) {
        TQRNotification closed(TQRNotification::PreviewClosed, 0);
        QCoreApplication::sendEvent(MasterReport, &closed);
    }
}

void TQRPrinter::PrintSetup()
{
    if (OnPrintSetup)
        OnPrintSetup();
}

void TQRPrinter::Print()
{
    if (MasterReport && !m_loadedFromFile) {
        post(TQRNotification::PrintRequest, 0, MasterReport);
        return;
    }
    if (m_status == TQRPrinterStatus::mpFinished && m_printerOK)
        PrintStoredPages();
}

void TQRPrinter::Save(const QString &fileName)
{
    if (m_status == TQRPrinterStatus::mpFinished)
        m_pageList->SaveToFile(fileName);
}

void TQRPrinter::Load(const QString &fileName)
{
    // The pages of a run still being made are not swapped for a file under it.
    if (m_status == TQRPrinterStatus::mpBusy)
        throw ReportFileError(QStringLiteral("Cannot load a report while its pages are being made"));
    // A damaged file is refused by the store before anything here changes.
    auto loaded = std::make_unique<TQRPageList>();
    loaded->LoadFromFile(fileName);
    if (m_status != TQRPrinterStatus::mpReady)
        cleanUp();
    m_pageList = std::move(loaded);
    m_pageCount = m_available = m_pageList->PageCount();
    m_pageNumber = m_pageCount;
    XFactor = YFactor = screenDpi() / 254.0;
    if (m_pageCount > 0) {
        // The paper from the first page's size, in whole steps of 4 mm; a later match wins.
        if (const std::optional<QByteArray> first = m_pageList->GetPage(1)) {
            metafile::EmfPlayer player;
            if (!player.load(*first))
                throw ReportFileError(QStringLiteral("The first page of the report file is not a page picture"));
            const QSizeF pixels = player.naturalSize() * (screenDpi() / 96.0);
            const int across = int(pixels.width() / XFactor / 40);
            const int down = int(pixels.height() / YFactor / 40);
            TPrinterSettings &s = *m_settings;
            for (const PaperSizeInfo &p : paperSizes()) {
                if (p.size == TQRPaperSize::Default || p.size == TQRPaperSize::Custom)
                    continue;
                const int w = int(p.widthMm / 4), l = int(p.lengthMm / 4);
                // A size the printer does not list leaves its paper as it is; the orientation follows.
                const auto choose = [&](QPageLayout::Orientation o) {
                    s.setPaperSize(p.size);
                    s.setOrientation(o);
                };
                if (w == across && l == down)
                    choose(QPageLayout::Portrait);
                else if (w == down && l == across)
                    choose(QPageLayout::Landscape);
            }
        }
    }
    m_status = TQRPrinterStatus::mpFinished;
    OnPrintSetup = nullptr;
    OnExport = nullptr;
    m_loadedFromFile = true;
}

void TQRPrinter::PrintStoredPages()
{
    m_printer->setDocName(Title);
    if (m_jobRunning) {
        m_printer->abort();
        m_jobPainter.reset();
        m_jobRunning = false;
    }
    m_settings->applyToPrinter();
    QPainter painter;
    if (!painter.begin(m_printer.get()))
        throw std::runtime_error("Printer is not currently printing");
    const int first = FirstPage > 0 ? FirstPage : 1;
    const int last = LastPage > 0 ? std::min(LastPage, m_pageList->PageCount()) : m_pageList->PageCount();
    const QRect area(QPoint(0, 0), m_printer->pageLayout().paintRectPixels(m_printer->resolution()).size());
    try {
        for (int n = first; n <= last; ++n) {
            QCoreApplication::processEvents();
            if (m_cancelled) {
                m_printer->abort();
                return;
            }
            const std::optional<QByteArray> page = m_pageList->GetPage(n);
            if (!page)
                break;
            metafile::EmfPlayer player;
            QString error;
            if (player.load(*page, &error))
                player.play(&painter, area, &error);
            if (n < last)
                m_printer->newPage();
        }
    } catch (...) {
        painter.end();
        throw;
    }
    painter.end();
}

} // namespace velkora::print
