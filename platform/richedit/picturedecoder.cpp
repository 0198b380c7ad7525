// Turns the bytes of an RTF picture (PNG, JPEG, DIB, device bitmap, metafile) into an image to show.
#include "picturedecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

#include <algorithm>

namespace velkora::richedit {

namespace {

quint32 le32(const QByteArray &b, qsizetype at)
{
    return at + 4 <= b.size() ? qFromLittleEndian<quint32>(b.constData() + at) : 0;
}
quint16 le16(const QByteArray &b, qsizetype at)
{
    return at + 2 <= b.size() ? qFromLittleEndian<quint16>(b.constData() + at) : 0;
}

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

// A packed DIB (BITMAPINFOHEADER, colour table, bits) read by prefixing the BMP file header.
QImage readDib(const QByteArray &dib, QString *problem)
{
    const quint32 headerSize = le32(dib, 0);
    if (headerSize != 12 && headerSize < 40) {
        *problem = QStringLiteral("not a device-independent bitmap");
        return QImage();
    }
    quint32 colours = 0, bitCount, compression = 0;
    if (headerSize == 12) {
        bitCount = le16(dib, 10);
        if (bitCount <= 8)
            colours = 1u << bitCount;
    } else {
        bitCount = le16(dib, 14);
        compression = le32(dib, 16);
        colours = le32(dib, 32);
        if (colours == 0 && bitCount <= 8)
            colours = 1u << bitCount;
    }
    if (colours > 256) {
        *problem = QStringLiteral("bad colour table");
        return QImage();
    }
    quint32 masks = (headerSize == 40 && (compression == 3 || compression == 6)) ? 12 : 0;
    const quint32 offset = 14 + headerSize + masks + colours * (headerSize == 12 ? 3 : 4);
    QByteArray file;
    file.reserve(dib.size() + 14);
    file.append("BM");
    quint32 v = qToLittleEndian<quint32>(static_cast<quint32>(dib.size() + 14));
    file.append(reinterpret_cast<const char *>(&v), 4);
    file.append(QByteArray(4, '\0'));
    v = qToLittleEndian<quint32>(offset);
    file.append(reinterpret_cast<const char *>(&v), 4);
    file.append(dib);
    return readImage(file, "BMP", problem);
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
        case PictureKind::Dib: image = readDib(s.bytes, &out.problem); break;
        case PictureKind::Bitmap: image = readDeviceBitmap(s, &out.problem); break;
        case PictureKind::Emf:
        case PictureKind::Wmf: break; // drawn by the metafile player where there is one
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
