// The print preview window: toolbar, keyboard, status texts, and the save, load, print and close
// commands on its device.
#include "tqrstandardpreview.h"

#include "pdfexport.h"
#include "previewglyphs.h"
#include "tqrpreview.h"
#include "tqrprinter.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace velkora::print {

const QString TQRStandardPreview::ReportFileType = QStringLiteral("QuickReport file(*.QRP)");
const QString TQRStandardPreview::PdfFileType = QStringLiteral("PDF Dosyası (*.pdf)");
const QString TQRStandardPreview::LoadFileType = QStringLiteral("QuickReport file (*.QRP)");

namespace {

TQRStandardPreview::FileChoice runFileDialog(QWidget *parent, const QString &title, const QString &filters,
                                             QFileDialog::AcceptMode mode, const QString &suffix)
{
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(filters.split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(suffix);
    if (mode == QFileDialog::AcceptSave) {
        // The suffix follows the file type chosen: QRP for a report file, pdf for a PDF.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, suffix](const QString &filter) {
            dialog.setDefaultSuffix(filter == TQRStandardPreview::PdfFileType ? QStringLiteral("pdf") : suffix);
        });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

} // namespace

TQRStandardPreview::TQRStandardPreview(TQRPrinter *device, QWidget *parent)
    : QWidget(parent, Qt::Window), m_device(device)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Print Preview"));
    resize(652, 579);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    askSaveFile = [](QWidget *parent, const QString &title, const QString &filters, const QString &suffix) {
        return runFileDialog(parent, title, filters, QFileDialog::AcceptSave, suffix);
    };
    askOpenFile = [](QWidget *parent, const QString &title, const QString &filters) {
        return runFileDialog(parent, title, filters, QFileDialog::AcceptOpen, QString());
    };
    showMessage = [](QWidget *parent, const QString &message) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Velkora"), message, QMessageBox::Ok, parent);
        box.exec();
    };
    showError = [](QWidget *parent, const QString &message) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Velkora"), message, QMessageBox::Ok, parent);
        box.exec();
    };

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setContentsMargins(2, 2, 2, 2);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    addDivider("ToolButton1");
    m_zoomFit = addButton("ZoomFit", 0, QStringLiteral("Zoom to fit"), &TQRStandardPreview::ZoomToFitClick);
    m_zoom100 = addButton("Zoom100", 1, QStringLiteral("100%"), &TQRStandardPreview::ZoomTo100Click);
    m_zoomToWidth = addButton("ZoomToWidth", 2, QStringLiteral("Zoom to width"), &TQRStandardPreview::ZoomToWidthClick);
    auto *zoomGroup = new QActionGroup(this);
    zoomGroup->setExclusive(true);
    for (QAction *a : {m_zoomFit, m_zoom100, m_zoomToWidth}) {
        a->setCheckable(true);
        zoomGroup->addAction(a);
    }
    addDivider("Separator1");
    addButton("FirstPage", 3, QStringLiteral("First page"), &TQRStandardPreview::FirstPageClick);
    addButton("PreviousPage", 4, QStringLiteral("Previous page"), &TQRStandardPreview::PrevPageClick);
    addButton("ToolButton2", 5, QStringLiteral("Next page"), &TQRStandardPreview::NextPageClick);
    addButton("LastPage", 6, QStringLiteral("Last page"), &TQRStandardPreview::LastPageClick);
    addDivider("Separator2");
    m_printSetup = addButton("PrintSetup", 7, QStringLiteral("Printer setup"), &TQRStandardPreview::PrintSetupClick);
    m_print = addButton("Print", 8, QStringLiteral("Print"), &TQRStandardPreview::PrintClick);
    addDivider("Separator3");
    addButton("SaveReport", 10, QStringLiteral("Save Report"), &TQRStandardPreview::SaveClick);
    addButton("LoadReport", 9, QStringLiteral("Load Report"), &TQRStandardPreview::LoadClick);
    addDivider("Separator4");
    m_exit = new QPushButton(QStringLiteral("&Close"), m_toolBar);
    m_exit->setObjectName(QStringLiteral("ExitButton"));
    m_exit->setMinimumSize(40, 22);
    m_exit->setMaximumHeight(22);
    m_exit->setFocusPolicy(Qt::TabFocus);
    connect(m_exit, &QPushButton::clicked, this, [this] { ExitClick(); });
    m_toolBar->addWidget(m_exit);
    layout->addWidget(m_toolBar);

    m_preview = new TQRPreview(this);
    m_preview->setObjectName(QStringLiteral("QRPreview"));
    m_preview->OnPageAvailable = [this](TQRPreview *, int n) { QRPreviewPageAvailable(n); };
    m_preview->OnProgressUpdate = [this](TQRPreview *, int p) { QRPreviewProgressUpdate(p); };
    layout->addWidget(m_preview, 1);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar"));
    status->setSizeGripEnabled(false);
    status->setMinimumHeight(19);
    m_panel0 = new QLabel(QStringLiteral("0%"), status);
    m_panel0->setObjectName(QStringLiteral("StatusPanel0"));
    m_panel0->setFixedWidth(40);
    m_panel0->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_panel1 = new QLabel(QStringLiteral("Page"), status);
    m_panel1->setObjectName(QStringLiteral("StatusPanel1"));
    m_panel1->setMinimumWidth(50);
    status->addWidget(m_panel0);
    status->addWidget(m_panel1, 1);
    layout->addWidget(status);

    setAttribute(Qt::WA_AlwaysShowToolTips);
    qApp->installEventFilter(this);

    // Opening on the device.
    m_preview->setQRPrinter(device);
    if (device && !device->Title.isEmpty())
        setWindowTitle(device->Title);
    m_zoomToWidth->setChecked(true);
    m_printSetup->setEnabled(false);
    m_print->setEnabled(device && device->Status() == TQRPrinterStatus::mpFinished);
    updatePageIndicator();
}

TQRStandardPreview::~TQRStandardPreview()
{
    qApp->removeEventFilter(this);
}

TQRStandardPreview *TQRStandardPreview::Open(TQRPrinter *device, QWidget *parent)
{
    auto *window = new TQRStandardPreview(device, parent);
    window->setWindowState(Qt::WindowMaximized);
    window->show();
    window->updatePageIndicator();
    return window;
}

QAction *TQRStandardPreview::addButton(const char *name, int glyph, const QString &hint, void (TQRStandardPreview::*handler)())
{
    QAction *a = m_toolBar->addAction(previewGlyph(glyph), hint);
    a->setObjectName(QString::fromLatin1(name));
    a->setToolTip(hint);
    connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return a;
}

void TQRStandardPreview::addDivider(const char *name)
{
    auto *gap = new QWidget(m_toolBar);
    gap->setObjectName(QString::fromLatin1(name));
    gap->setFixedWidth(8);
    m_toolBar->addWidget(gap)->setObjectName(QString::fromLatin1(name));
}

QString TQRStandardPreview::statusText(int panel) const
{
    return panel == 0 ? m_panel0->text() : m_panel1->text();
}

void TQRStandardPreview::updatePageIndicator()
{
    const int count = m_device ? m_device->PageCount() : 0;
    m_panel1->setText(QStringLiteral("Page %1 of %2").arg(m_preview->PageNumber()).arg(count));
}

void TQRStandardPreview::QRPreviewPageAvailable(int)
{
    updatePageIndicator();
    if (m_device && m_device->Status() == TQRPrinterStatus::mpFinished) {
        // Pages from a report file have no printer setup of their own.
        m_printSetup->setEnabled(!m_device->LoadedFromFile());
        m_print->setEnabled(true);
    }
}

void TQRStandardPreview::QRPreviewProgressUpdate(int progress)
{
    if (progress >= m_lastProgress + 5) {
        m_panel0->setText(QStringLiteral("%1%").arg(progress));
        m_lastProgress = progress;
    }
    if (progress == 0 || progress == 100)
        m_panel0->clear();
}

void TQRStandardPreview::ZoomToFitClick()
{
    QCoreApplication::processEvents();
    m_preview->ZoomToFit();
}

void TQRStandardPreview::ZoomTo100Click()
{
    QCoreApplication::processEvents();
    m_preview->Zoom100();
}

void TQRStandardPreview::ZoomToWidthClick()
{
    QCoreApplication::processEvents();
    m_preview->ZoomToWidth();
}

void TQRStandardPreview::showPage(int n)
{
    m_preview->setPageNumber(n);
    updatePageIndicator();
}

void TQRStandardPreview::FirstPageClick() { showPage(1); }
void TQRStandardPreview::PrevPageClick() { showPage(m_preview->PageNumber() - 1); }
void TQRStandardPreview::NextPageClick() { showPage(m_preview->PageNumber() + 1); }
void TQRStandardPreview::LastPageClick() { showPage(m_device ? m_device->PageCount() : 0); }

void TQRStandardPreview::PrintSetupClick()
{
    if (m_device)
        m_device->PrintSetup();
}

void TQRStandardPreview::PrintClick()
{
    if (!m_device || m_printing)
        return;
    // Printing a loaded file's pages lets window messages through; a close asked for meanwhile
    // cancels the job and waits for it to stop, so the device is never released while it prints.
    m_printing = true;
    try {
        m_device->Print();
    } catch (const std::exception &e) {
        showError(this, QString::fromLocal8Bit(e.what()));
    }
    m_printing = false;
    if (m_closeAfterPrint)
        close();
}

void TQRStandardPreview::SaveClick()
{
    const FileChoice choice = askSaveFile(this, QStringLiteral("Save report"), ReportFileType + QStringLiteral(";;") + PdfFileType,
                                          QStringLiteral("QRP"));
    if (choice.fileName.isEmpty() || !m_device)
        return;
    // Saving before the device has finished writes nothing.
    if (m_device->Status() != TQRPrinterStatus::mpFinished)
        return;
    try {
        // A name typed with ".pdf" means a PDF, whichever file type the list shows.
        const bool pdf = choice.filter == PdfFileType || QFileInfo(choice.fileName).suffix().compare(u"pdf", Qt::CaseInsensitive) == 0;
        if (pdf) {
            QString name = choice.fileName;
            if (QFileInfo(name).suffix().compare(u"pdf", Qt::CaseInsensitive) != 0)
                name += QStringLiteral(".pdf");
            exportPdf(*m_device, name);
        } else {
            m_device->Save(choice.fileName);
        }
    } catch (const PdfExportError &e) {
        showError(this, e.message());
    } catch (const ReportFileError &e) {
        showError(this, e.message());
    } catch (const std::exception &e) {
        showError(this, QString::fromLocal8Bit(e.what()));
    }
}

void TQRStandardPreview::LoadClick()
{
    const FileChoice choice = askOpenFile(this, QStringLiteral("Load report"), LoadFileType);
    if (choice.fileName.isEmpty() || !m_device)
        return;
    if (!QFileInfo::exists(choice.fileName)) {
        showMessage(this, QStringLiteral("File does not exist"));
        return;
    }
    try {
        m_device->Load(choice.fileName);
    } catch (const ReportFileError &e) {
        // The device keeps its pages and the view the page it shows.
        showError(this, e.message());
        return;
    } catch (const std::exception &e) {
        showError(this, QString::fromLocal8Bit(e.what()));
        return;
    }
    m_preview->reloadFirstPage();
    updatePageIndicator();
    m_printSetup->setEnabled(false);
    m_print->setEnabled(true);
}

void TQRStandardPreview::ExitClick()
{
    close();
}

bool TQRStandardPreview::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrlAlone = (modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Home: FirstPageClick(); return true;
    case Qt::Key_End: LastPageClick(); return true;
    case Qt::Key_PageUp: ctrlAlone ? FirstPageClick() : PrevPageClick(); return true;
    case Qt::Key_PageDown: ctrlAlone ? LastPageClick() : NextPageClick(); return true;
    case Qt::Key_Escape: close(); return true;
    default: return false;
    }
}

bool TQRStandardPreview::eventFilter(QObject *watched, QEvent *event)
{
    // The window sees key presses before its controls.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto *w = static_cast<QWidget *>(watched);
        if (w == this || isAncestorOf(w)) {
            const auto *k = static_cast<QKeyEvent *>(event);
            return handleKey(k->key(), k->modifiers());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TQRStandardPreview::closeEvent(QCloseEvent *event)
{
    if (m_printing) {
        m_closeAfterPrint = true;
        if (m_device)
            m_device->Cancel();
        event->ignore();
        return;
    }
    if (m_device) {
        m_device->ClosePreview();
        // The report may have released the device while handling the notification.
        if (m_device)
            m_device->setShowingPreview(false);
    }
    event->accept();
}

} // namespace velkora::print
