// The output device a report run draws on: page pictures for the preview, or the printer.
#pragma once

#include "tprintersettings.h"
#include "tqrpagelist.h"

#include <QEvent>
#include <QObject>
#include <QPainter>
#include <QPointer>
#include <QPrinter>

#include <functional>
#include <memory>
#include <optional>

namespace velkora::metafile {
class EmfWriter;
}

namespace velkora::print {

enum class TQRDestination { qrdMetafile, qrdPrinter };
enum class TQRPrinterStatus { mpReady, mpBusy, mpFinished };

// What the device tells its client window and its report, posted as events (the client's message
// numbers: progress 0, pages available 1, print request 2, preview closed 4).
class TQRNotification : public QEvent
{
public:
    enum Message { Progress = 0, PagesAvailable = 1, PrintRequest = 2, PreviewClosed = 4 };
    static QEvent::Type eventType();
    TQRNotification(Message message, int value) : QEvent(eventType()), message(message), value(value) {}
    const Message message;
    const int value;
};

// ready → busy at BeginOutput → finished at EndOutput or AbortOutput; loading a report file puts a
// device straight into finished. Lengths are tenths of a millimetre; XPos/YPos/XSize/YSize turn
// them into device pixels. For page pictures every page is an EMF at screen resolution, kept in the
// device's page store; for the printer, pages inside the range go to one print job and the others
// are drawn into a picture that is thrown away.
class TQRPrinter : public QObject
{
    Q_OBJECT
public:
    // printer: the printer to use; null for the system's default printer when there is one.
    explicit TQRPrinter(QObject *parent = nullptr, std::unique_ptr<QPrinter> printer = {});
    ~TQRPrinter() override;

    // The screen's resolution, which page pictures are made at.
    static double screenDpi();

    TQRDestination Destination = TQRDestination::qrdMetafile;
    TQRPrinterStatus Status() const { return m_status; }
    int PageNumber() const { return m_pageNumber; }
    int PageCount() const { return m_pageCount; }
    int AvailablePages() const { return m_available; }
    bool Cancelled() const { return m_cancelled; }
    QString Title;
    int FirstPage = 0, LastPage = 0;
    double XFactor = 1, YFactor = 1;
    double LeftWaste = 0, TopWaste = 0;
    bool PrinterOK() const { return m_printerOK; }
    bool LoadedFromFile() const { return m_loadedFromFile; }
    bool ShowingPreview() const { return m_showingPreview; }
    void setShowingPreview(bool showing);

    // The drawing surface of the open page, or null.
    QPainter *Canvas();
    TQRPageList &PageList() { return *m_pageList; }
    TPrinterSettings &PrinterSettings() { return *m_settings; }
    QPrinter &Printer() { return *m_printer; }

    // Where the notifications go (the preview control or the progress window).
    QPointer<QObject> Client;
    // Where the pictures of finished pages go instead of the page store: each page is handed over as
    // it is closed and the store keeps none (an export that writes them straight into its file).
    std::function<void(const QByteArray &emf)> PageSink;
    // The report's callbacks.
    std::function<void()> AfterPreview, AfterPrint, OnPrintSetup, OnExport;
    // The report that made the pages: asked to print them again (print request) and told when the
    // preview closes. Unset for pages loaded from a file.
    QPointer<QObject> MasterReport;

    int XPos(double v) const;
    int YPos(double v) const;
    int XSize(double v) const;
    int YSize(double v) const;
    // The paper in tenths of a millimetre, swapped for landscape.
    double PaperWidthValue() const;
    double PaperLengthValue() const;

    void BeginOutput();
    // Makes a finished device ready for another run (its pages are dropped at the next BeginOutput).
    void Rewind();
    void BeginDevicePage();
    void EndOutput();
    void AbortOutput();
    void Cancel() { m_cancelled = true; }
    void setProgress(int percent);
    // Whether the open page is one the printer prints.
    bool PageInRange() const;
    // The EMF bytes of page n while busy or finished; nothing otherwise.
    std::optional<QByteArray> GetPage(int n);

    // The preview window's commands.
    void ClosePreview();
    void PrintSetup();
    void Print();
    void Save(const QString &fileName);
    void Load(const QString &fileName);
    // Prints the stored pages (a loaded report file), each stretched over the printable area.
    void PrintStoredPages();

private:
    void closePage();
    void keepPage(); // the open picture's page into the store or the sink
    void openPicture(double dpi);
    QSizeF paper() const; // the paper in tenths of a millimetre, as the page stands
    void post(TQRNotification::Message message, int value, QObject *to);
    void cleanUp();

    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<TPrinterSettings> m_settings;
    std::unique_ptr<TQRPageList> m_pageList;
    // The open page: a picture with its painter, or the print job's painter on the printer.
    std::unique_ptr<metafile::EmfWriter> m_picture;
    std::unique_ptr<QPainter> m_picturePainter;
    std::unique_ptr<QPainter> m_jobPainter;
    bool m_pageOpen = false;
    TQRPrinterStatus m_status = TQRPrinterStatus::mpReady;
    int m_pageNumber = 0, m_pageCount = 0, m_available = 0;
    bool m_cancelled = false, m_printerOK = false, m_loadedFromFile = false, m_showingPreview = false;
    bool m_jobRunning = false;
};

} // namespace velkora::print
