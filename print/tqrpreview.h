// The page view of the print preview: a scroll box holding one image that paints the page shown.
#pragma once

#include "platform/metafile/emfplayer.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

namespace velkora::print {

class TQRPrinter;

// Paints one page picture stretched over itself: a white page, the picture, a 1-pixel black frame
// and a 2-pixel shadow on the right and at the bottom (the last 2 pixels of each side). Without a
// picture it paints nothing.
class TQRPreviewImage : public QWidget
{
public:
    explicit TQRPreviewImage(QWidget *parent = nullptr);

    QPointer<TQRPrinter> QRPrinter;
    int PageNumber = 1;
    int Zoom = 100;

    // Fetches page n's picture from the device, releasing the one held; false (and no picture) when
    // the device has no such page yet.
    bool loadPage(int n);
    bool pictureOk() const { return m_picture.has_value(); }
    const metafile::EmfPlayer *picture() const { return m_picture ? &*m_picture : nullptr; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<metafile::EmfPlayer> m_picture;
};

// The scroll box. Its size for the zoom arithmetic is the room it offers without scroll bars, so
// a scroll bar appearing never changes the zoom. It is the client window of its device: the
// device's posted notifications arrive in event() (pages available: show the first page when it
// is ready, then OnPageAvailable; progress: OnProgressUpdate).
class TQRPreview : public QAbstractScrollArea
{
public:
    enum class ZoomMode { Fit, Width, Other };
    static constexpr int MinZoom = 2, MaxZoom = 2000;

    explicit TQRPreview(QWidget *parent = nullptr);
    ~TQRPreview() override;

    TQRPrinter *QRPrinter() const { return m_device; }
    // Binds a device (or none): the previous device, when this was its client, leaves its preview
    // state; the new one gets this control as its client and enters its preview state; page 1.
    void setQRPrinter(TQRPrinter *device);

    int PageNumber() const { return m_pageNumber; }
    // Goes to page n, ignored when it is the page shown with its picture, below 1, above the device's
    // page count, or when there is no device. Scrolls back to the top-left corner.
    void setPageNumber(int n);
    // Shows page 1 again after the device's pages were replaced (a loaded report file).
    void reloadFirstPage();

    int Zoom() const { return m_zoom; }
    // Accepted only within MinZoom..MaxZoom; the mode becomes Other.
    void setZoom(int z);
    ZoomMode zoomMode() const { return m_mode; }
    void ZoomToFit();
    void ZoomToWidth();
    void Zoom100();

    // The page at 100 % in screen pixels, from the device's paper.
    QSizeF pageSize() const;
    // The room the box offers the image (without scroll bars).
    QSize controlSize() const;
    TQRPreviewImage *PreviewImage() const { return m_image; }
    // Sizes and places the image for the zoom: centred where it is smaller than the box, at the
    // top or left edge otherwise; scroll bars back to 0.
    void layoutImage();

    std::function<void(TQRPreview *, int)> OnPageAvailable;
    std::function<void(TQRPreview *, int)> OnProgressUpdate;

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateImage();
    void placeImage();

    QPointer<TQRPrinter> m_device;
    TQRPreviewImage *m_image;
    int m_pageNumber = 1;
    int m_zoom = 100;
    ZoomMode m_mode = ZoomMode::Other;
};

} // namespace velkora::print
