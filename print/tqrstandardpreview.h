// The print preview window: the page view with its toolbar (zoom, pages, printer setup, print, save,
// load, close) and a status bar with the progress and the page indicator.
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QPushButton;
class QToolBar;

namespace velkora::print {

class TQRPreview;
class TQRPrinter;

// A top-level window bound to one output device for its whole life; the caller shows it maximized
// (Open). It is deleted when closed: closing tells the device's report (ClosePreview) and takes the
// device out of its preview state. Key presses reach the window before its controls: Home, End,
// Page Up and Page Down page through the report (Ctrl+Page Up/Down only with Ctrl alone), Esc closes.
//
// The file dialogs and message boxes go through the hooks below, so a test can answer them.
class TQRStandardPreview : public QWidget
{
    Q_OBJECT
public:
    explicit TQRStandardPreview(TQRPrinter *device, QWidget *parent = nullptr);
    ~TQRStandardPreview() override;

    // Creates the window for a device, shows it maximized and returns it. A parent that is a modal
    // dialog keeps the window usable while the dialog is open.
    static TQRStandardPreview *Open(TQRPrinter *device, QWidget *parent = nullptr);

    TQRPreview *QRPreview() const { return m_preview; }
    TQRPrinter *device() const { return m_device; }
    QString statusText(int panel) const;

    // What a file dialog answered: the file (empty when cancelled) and the file type chosen.
    struct FileChoice
    {
        QString fileName;
        QString filter;
    };
    // Asks for a file: title, the file types (";;" between them) and the default suffix.
    std::function<FileChoice(QWidget *parent, const QString &title, const QString &filters, const QString &suffix)> askSaveFile;
    std::function<FileChoice(QWidget *parent, const QString &title, const QString &filters)> askOpenFile;
    // A plain message ("File does not exist"): a box titled with the application's name, no icon.
    std::function<void(QWidget *parent, const QString &message)> showMessage;
    // A failure of loading, saving or printing: by default a box titled "Velkora" with the error
    // icon; the report window routes it to the program's error display.
    std::function<void(QWidget *parent, const QString &message)> showError;

    static const QString ReportFileType;
    static const QString PdfFileType;
    static const QString LoadFileType;

    // The handlers of the toolbar.
    void ZoomToFitClick();
    void ZoomTo100Click();
    void ZoomToWidthClick();
    void FirstPageClick();
    void PrevPageClick();
    void NextPageClick();
    void LastPageClick();
    void PrintSetupClick();
    void PrintClick();
    void SaveClick();
    void LoadClick();
    void ExitClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QAction *addButton(const char *name, int glyph, const QString &hint, void (TQRStandardPreview::*handler)());
    void addDivider(const char *name);
    void showPage(int n);
    void updatePageIndicator();
    void QRPreviewPageAvailable(int pageNum);
    void QRPreviewProgressUpdate(int progress);
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);

    QPointer<TQRPrinter> m_device;
    int m_lastProgress = 0;
    QToolBar *m_toolBar;
    TQRPreview *m_preview;
    QLabel *m_panel0, *m_panel1;
    QAction *m_zoomFit = nullptr, *m_zoom100 = nullptr, *m_zoomToWidth = nullptr;
    QAction *m_printSetup = nullptr, *m_print = nullptr;
    QPushButton *m_exit = nullptr;
    bool m_printing = false, m_closeAfterPrint = false;
};

} // namespace velkora::print
