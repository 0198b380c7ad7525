// The print preview's page view: zoom arithmetic, image placement, page navigation and the device's
// notifications.
#include "tqrpreview.h"

#include "tqrprinter.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <cmath>

namespace velkora::print {

TQRPreviewImage::TQRPreviewImage(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

bool TQRPreviewImage::loadPage(int n)
{
    m_picture.reset();
    if (!QRPrinter)
        return false;
    std::optional<QByteArray> bytes;
    try {
        bytes = QRPrinter->GetPage(n);
    } catch (const std::exception &) {
        // A damaged stored page shows as no page; navigation and the other pages still work.
        bytes.reset();
    }
    if (!bytes)
        return false;
    metafile::EmfPlayer player;
    if (!player.load(*bytes))
        return false;
    m_picture = std::move(player);
    PageNumber = n;
    update();
    return true;
}

void TQRPreviewImage::paintEvent(QPaintEvent *)
{
    if (!m_picture)
        return;
    QPainter p(this);
    const int w = width(), h = height();
    p.fillRect(QRect(QPoint(1, 1), QPoint(w - 3, h - 3)), Qt::white);
    m_picture->play(&p, QRectF(0, 0, w, h));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);
    const QPoint frame[] = {QPoint(0, 0), QPoint(0, h - 3), QPoint(w - 3, h - 3), QPoint(w - 3, 0), QPoint(0, 0)};
    p.drawPolyline(frame, 5);
    p.fillRect(QRect(w - 2, 2, 2, h - 2), Qt::black);
    p.fillRect(QRect(2, h - 2, w - 2, 2), Qt::black);
}

TQRPreview::TQRPreview(QWidget *parent) : QAbstractScrollArea(parent), m_image(new TQRPreviewImage(viewport()))
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    layoutImage();
}

TQRPreview::~TQRPreview()
{
    if (m_device && m_device->Client == this)
        m_device->Client = nullptr;
}

void TQRPreview::setQRPrinter(TQRPrinter *device)
{
    if (m_device && m_device->Client == this) {
        m_device->setShowingPreview(false);
        m_device->Client = nullptr;
    }
    m_device = device;
    m_image->QRPrinter = device;
    if (device) {
        device->Client = this;
        device->setShowingPreview(true);
    }
    m_pageNumber = 1;
    m_image->PageNumber = 1;
    m_image->loadPage(1);
    layoutImage();
    m_image->update();
}

QSizeF TQRPreview::pageSize() const
{
    const double perTenth = TQRPrinter::screenDpi() / 254.0;
    if (!m_device)
        return QSizeF(2100 * perTenth, 2970 * perTenth);
    return QSizeF(m_device->PaperWidthValue() * perTenth, m_device->PaperLengthValue() * perTenth);
}

QSize TQRPreview::controlSize() const
{
    return maximumViewportSize();
}

void TQRPreview::setZoom(int z)
{
    if (z < MinZoom || z > MaxZoom)
        return;
    m_mode = ZoomMode::Other;
    m_zoom = z;
    layoutImage();
}

void TQRPreview::ZoomToFit()
{
    const QSizeF page = pageSize();
    const QSize room = controlSize();
    const int across = int(std::lround(room.width() / page.width() * 95));
    const int down = int(std::lround(room.height() / page.height() * 95));
    setZoom(std::min(across, down));
    m_mode = ZoomMode::Fit;
}

void TQRPreview::Zoom100()
{
    setZoom(100);
    m_mode = ZoomMode::Other;
}

void TQRPreview::ZoomToWidth()
{
    setZoom(int(std::lround(controlSize().width() / pageSize().width() * 90)));
    layoutImage();
    m_mode = ZoomMode::Width;
}

void TQRPreview::layoutImage()
{
    const QSizeF page = pageSize();
    const QSize image(int(std::lround(page.width() * m_zoom / 100)) + 4, int(std::lround(page.height() * m_zoom / 100)) + 4);
    m_image->resize(image);
    m_image->Zoom = m_zoom;
    // Scroll ranges as a scroll area works them out: no bars when the image fits the whole room.
    QSize room = viewport()->size();
    const QSize most = controlSize();
    if (most.expandedTo(image) == most)
        room = most;
    horizontalScrollBar()->setRange(0, std::max(0, image.width() - room.width()));
    horizontalScrollBar()->setPageStep(room.width());
    verticalScrollBar()->setRange(0, std::max(0, image.height() - room.height()));
    verticalScrollBar()->setPageStep(room.height());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    placeImage();
}

void TQRPreview::placeImage()
{
    const QSize room = viewport()->size();
    const QSize image = m_image->size();
    const int left = image.width() < room.width() ? (room.width() - image.width()) / 2 : -horizontalScrollBar()->value();
    const int top = image.height() < room.height() ? (room.height() - image.height()) / 2 : -verticalScrollBar()->value();
    m_image->move(left, top);
}

void TQRPreview::scrollContentsBy(int, int)
{
    placeImage();
}

void TQRPreview::resizeEvent(QResizeEvent *)
{
    // The viewport changed size (the box, or a scroll bar came or went): keep the image placed.
    placeImage();
}

void TQRPreview::setPageNumber(int n)
{
    if ((n == m_pageNumber && m_image->pictureOk()) || n < 1 || !m_device || n > m_device->PageCount())
        return;
    m_image->loadPage(n);
    m_pageNumber = n;
    m_image->PageNumber = n;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    placeImage();
}

void TQRPreview::reloadFirstPage()
{
    m_pageNumber = 1;
    m_image->PageNumber = 1;
    m_image->loadPage(1);
    layoutImage();
    m_image->update();
}

void TQRPreview::updateImage()
{
    if (m_image->pictureOk() || !m_device || m_device->AvailablePages() < m_pageNumber)
        return;
    ZoomToWidth();
    m_image->loadPage(m_pageNumber);
}

bool TQRPreview::event(QEvent *e)
{
    if (e->type() == TQRNotification::eventType()) {
        const auto *n = static_cast<TQRNotification *>(e);
        if (n->message == TQRNotification::PagesAvailable) {
            if (n->value == m_pageNumber)
                updateImage();
            if (OnPageAvailable)
                OnPageAvailable(this, n->value);
        } else if (n->message == TQRNotification::Progress) {
            if (OnProgressUpdate)
                OnProgressUpdate(this, n->value);
        }
        return true;
    }
    if (e->type() == QEvent::Resize) {
        const bool handled = QAbstractScrollArea::event(e);
        // The box itself changed size: the fit and width modes follow it; the toggles stay as the
        // user left them.
        if (m_mode == ZoomMode::Fit)
            ZoomToFit();
        else if (m_mode == ZoomMode::Width)
            ZoomToWidth();
        layoutImage();
        return handled;
    }
    return QAbstractScrollArea::event(e);
}

} // namespace velkora::print
