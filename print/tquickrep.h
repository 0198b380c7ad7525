// The report engine: a report layout turned into pages, shown in a preview or printed directly.
#pragma once

#include "printables.h"
#include "tqrprintdialog.h"
#include "tqrprinter.h"

#include <QColor>
#include <QMap>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QPrinter;
class QWidget;

namespace velkora::print {

enum class TQRBandType { rbTitle, rbPageHeader, rbDetail, rbPageFooter, rbSummary, rbGroupHeader, rbGroupFooter,
                         rbSubDetail, rbColumnHeader, rbOverlay, rbChild };

// The page of a report in tenths of a millimetre.
struct TQRPage
{
    TQRPaperSize PaperSize = TQRPaperSize::A4;
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
    double Width = 2100, Length = 2970;
    double TopMargin = 100, BottomMargin = 100, LeftMargin = 100, RightMargin = 100;
    int Columns = 1;
    double ColumnSpace = 0;
};

// A band: a strip of the page at the current position, holding printables placed relative to it.
struct TQRBand
{
    TQRBandType BandType = TQRBandType::rbDetail;
    double Length = 0, Width = 0;
    QColor Color = Qt::white;
    TQRPrintable::FrameSides Frame;
    bool Enabled = true;
    std::vector<TQRPrintable *> Printables; // in child order; owned by the report
    double Expansion = 0;
};

// A report layout and its runs. A run without a data set of its own places the title band, the
// detail band once and the summary band (when PrintIfEmpty is set), then draws the printables
// placed on the page when the page is finished. A printable on the page that did not fit carries
// on over further pages, in the same box, until all of it is printed.
//
// PreviewReport records the pages as page pictures, opens the preview on them and returns when the
// preview closes; PrintDirect prints them again on the printer with a progress window. A report has
// one run at a time and one output device at a time.
class TQuickRep : public QObject
{
    Q_OBJECT
public:
    explicit TQuickRep(QObject *parent = nullptr);
    ~TQuickRep() override;

    // Layout.
    TQRPage Page;
    bool FirstPageHeader = true, LastPageFooter = true, Compression = false;
    TQRPrinterSettings PrinterSettings;
    bool PrintIfEmpty = true;
    bool ShowProgress = true;
    QString ReportTitle;
    int Zoom = 100;
    TQRPrintable::FrameSides Frame;
    TQRBand *addBand(TQRBandType type);
    template <typename T>
    T *addPrintable(TQRBand *band) // band null: placed on the page
    {
        auto p = std::make_unique<T>();
        T *raw = p.get();
        m_printables.push_back(std::move(p));
        (band ? band->Printables : m_pagePrintables).push_back(raw);
        return raw;
    }
    const std::vector<std::unique_ptr<TQRBand>> &Bands() const { return m_bands; }
    const std::vector<TQRPrintable *> &PagePrintables() const { return m_pagePrintables; }

    // Run state.
    bool Available() const { return !m_running; }
    bool Cancelled() const { return m_cancelled; }
    int PageCount() const { return m_pageCount; }
    TQRPrinter *QRPrinter() const { return m_device.get(); }
    // The preview window of the open preview, if any.
    QWidget *PreviewWindow() const { return m_preview; }
    QMap<QString, QString> Functions; // PAGENUMBER, COLUMNNUMBER, REPORTTITLE

    void PreviewReport();
    void PrintDirect();
    // One generation pass over a device whose destination the caller has set.
    void Run(TQRPrinter &device);
    // Space left below the current position, in tenths of a millimetre.
    double SpaceLeft() const;

    // Opens the preview window on a device and returns it (shown, not modal); the program sets it.
    std::function<QWidget *(TQRPrinter *)> openPreview;
    // The printer PrintDirect prints on: unset, the printer of the report's settings.
    std::function<std::unique_ptr<QPrinter>()> makePrinter;
    // Where a failure of a print started from the preview is shown.
    std::function<void(const QString &message)> showError;
    // The parent of the printer setup dialog and the progress window.
    QPointer<QWidget> dialogParent;

protected:
    bool event(QEvent *event) override;

private:
    void startNewPage();
    void startNewColumn();
    void finishPage();
    void placeBand(TQRBand *band);
    TQRBand *firstBand(TQRBandType type) const;
    void forEachPrintable(const std::function<void(TQRPrintable &)> &f);
    std::unique_ptr<TQRPrinter> newDevice(TQRDestination destination);

    std::vector<std::unique_ptr<TQRBand>> m_bands;
    std::vector<std::unique_ptr<TQRPrintable>> m_printables;
    std::vector<TQRPrintable *> m_pagePrintables;
    std::vector<TQRPrintable *> m_pending; // page printables still to print on the next page
    std::unique_ptr<TQRPrinter> m_device;
    TQRPrinter *m_run = nullptr; // the device of the run in progress
    QPointer<QWidget> m_preview;
    bool m_running = false, m_cancelled = false, m_lastPage = false, m_pageOpen = false;
    double m_currentX = 0, m_currentY = -1, m_columnTop = 0, m_footerLength = 0;
    int m_pageCount = 0, m_currentColumn = 0;
};

} // namespace velkora::print
