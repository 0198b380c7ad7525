// Turns the bytes of an RTF picture (PNG, JPEG, DIB, device bitmap, metafile) into an image to show.
#include "picturedecoder.h"

#include "platform/metafile/dib.h"
#include "platform/metafile/emfplayer.h"
#include "platform/metafile/wmfplayer.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <algorithm>

namespace velkora::richedit {

namespace {

QImage readImage(const QByteArray &bytes, const char *format, QString *problem)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > MaxPictureSide || size.height() > MaxPictureSide
                           || qint64(size.width()) * size.height() > MaxPicturePixels)) {
        *problem = QStringLiteral("picture too large (%1×%2)").arg(size.width()).arg(size.height());
        return QImage();
    }
    QImage image = reader.read();
    if (image.isNull())
        *problem = reader.errorString();
    return image;
}

// A device-dependent bitmap: rows of widthBytes, 1, 4, 8, 24 or 32 bits per pixel, top row first.
QImage readDeviceBitmap(const PictureSource &s, QString *problem)
{
    const int w = s.picw, h = s.pich, bpp = s.bitsPerPixel * std::max(1, s.planes);
    const int stride = s.widthBytes > 0 ? s.widthBytes : ((w * bpp + 15) / 16) * 2;
    if (w <= 0 || h <= 0 || w > MaxPictureSide || h > MaxPictureSide || qint64(stride) * h > s.bytes.size()
        || (bpp != 1 && bpp != 24 && bpp != 32)) {
        *problem = QStringLiteral("device bitmap of %1×%2 at %3 bits cannot be read").arg(w).arg(h).arg(bpp);
        return QImage();
    }
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const auto *row = reinterpret_cast<const uchar *>(s.bytes.constData()) + qsizetype(y) * stride;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (bpp == 1)
                out[x] = (row[x / 8] & (0x80 >> (x % 8))) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
            else if (bpp == 24)
                out[x] = qRgb(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
            else
                out[x] = qRgb(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
        }
    }
    return image;
}

} // namespace

QImage placeholderImage(QSize size)
{
    size = size.boundedTo(QSize(2000, 2000)).expandedTo(QSize(8, 8));
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(235, 235, 235));
    QPainter p(&image);
    p.setPen(QColor(150, 150, 150));
    p.drawRect(0, 0, size.width() - 1, size.height() - 1);
    p.drawLine(0, 0, size.width() - 1, size.height() - 1);
    p.drawLine(0, size.height() - 1, size.width() - 1, 0);
    return image;
}

DecodedPicture decodePicture(const PictureSource &s)
{
    DecodedPicture out;
    QImage image;
    const bool metafile = s.kind == PictureKind::Emf || s.kind == PictureKind::Wmf;
    if (s.bytes.size() > MaxPictureBytes) {
        out.problem = QStringLiteral("picture of %1 bytes is too large").arg(s.bytes.size());
    } else {
        switch (s.kind) {
        case PictureKind::Png: image = readImage(s.bytes, "PNG", &out.problem); break;
        case PictureKind::Jpeg: image = readImage(s.bytes, "JPEG", &out.problem); break;
        case PictureKind::Dib:
            image = metafile::imageFromPackedDib(s.bytes);
            if (image.isNull())
                out.problem = QStringLiteral("a device-independent bitmap that cannot be read");
            break;
        case PictureKind::Bitmap: image = readDeviceBitmap(s, &out.problem); break;
        case PictureKind::Emf:
        case PictureKind::Wmf: break; // drawn below, once its size is known
        }
    }
    // The size the picture is shown at: the goal size scaled, else its own extent.
    double w = 0, h = 0;
    if (s.goalw > 0 && s.goalh > 0) {
        w = s.goalw / 15.0;
        h = s.goalh / 15.0;
    } else if (!image.isNull()) {
        w = image.width();
        h = image.height();
    } else if (s.picw > 0 && s.pich > 0) {
        w = metafile ? s.picw * 96.0 / 2540.0 : s.picw;
        h = metafile ? s.pich * 96.0 / 2540.0 : s.pich;
    }
    w = w * std::clamp(s.scalex, 1, 10000) / 100.0;
    h = h * std::clamp(s.scaley, 1, 10000) / 100.0;
    if (w < 1 || h < 1 || w > MaxPictureSide || h > MaxPictureSide) {
        w = image.isNull() ? 32 : std::min<double>(image.width(), MaxPictureSide);
        h = image.isNull() ? 32 : std::min<double>(image.height(), MaxPictureSide);
    }
    out.displaySize = QSizeF(w, h);
    if (metafile && s.bytes.size() <= MaxPictureBytes) {
        // Drawn at the size it is shown at, on white, by the metafile player.
        QImage drawn(QSize(std::max(1, qRound(w)), std::max(1, qRound(h))).boundedTo(QSize(4096, 4096)), QImage::Format_RGB32);
        drawn.fill(Qt::white);
        QPainter painter(&drawn);
        painter.setRenderHint(QPainter::Antialiasing);
        bool played = false;
        if (s.kind == PictureKind::Emf) {
            metafile::EmfPlayer player;
            played = player.load(s.bytes, &out.problem) && player.play(&painter, QRectF(drawn.rect()), &out.problem);
        } else {
            // RTF holds the metafile without its placeable header; its window is set by its records.
            metafile::WmfPlayer player;
            played = player.load(s.bytes, &out.problem) && player.play(&painter, QRectF(drawn.rect()), &out.problem);
        }
        painter.end();
        if (played || out.problem.isEmpty())
            image = drawn;
    }
    if (image.isNull()) {
        out.placeholder = true;
        if (out.problem.isEmpty() && metafile)
            out.problem = QStringLiteral("metafile shown by its size");
        image = placeholderImage(QSize(qRound(w), qRound(h)));
    }
    out.image = image;
    return out;
}

} // namespace velkora::richedit
