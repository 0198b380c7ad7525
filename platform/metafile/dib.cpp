// Device-independent bitmaps as metafiles and RTF carry them: a BITMAPINFO and the bits.
#include "dib.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

namespace velkora::metafile {

namespace {

quint32 u32(QByteArrayView b, qsizetype at)
{
    return at >= 0 && at + 4 <= b.size() ? qFromLittleEndian<quint32>(b.data() + at) : 0;
}
quint16 u16(QByteArrayView b, qsizetype at)
{
    return at >= 0 && at + 2 <= b.size() ? qFromLittleEndian<quint16>(b.data() + at) : 0;
}

// Bytes of the header, the masks and the colour table; 0 when the header is not one of a DIB.
qsizetype infoSize(QByteArrayView info, int *width, int *height, int *bits)
{
    const quint32 headerSize = u32(info, 0);
    quint32 colours = 0, compression = 0;
    if (headerSize == 12) {
        *width = u16(info, 4);
        *height = static_cast<qint16>(u16(info, 6));
        *bits = u16(info, 10);
        if (*bits <= 8)
            colours = 1u << *bits;
        return 12 + colours * 3;
    }
    if (headerSize < 40 || headerSize > 124)
        return 0;
    *width = static_cast<qint32>(u32(info, 4));
    *height = static_cast<qint32>(u32(info, 8));
    *bits = u16(info, 14);
    compression = u32(info, 16);
    colours = u32(info, 32);
    if (colours == 0 && *bits <= 8)
        colours = 1u << *bits;
    if (colours > 256)
        return 0;
    const quint32 masks = (headerSize == 40 && (compression == 3 || compression == 6)) ? 12 : 0;
    return headerSize + masks + colours * 4;
}

} // namespace

QImage imageFromDib(QByteArrayView info, QByteArrayView bits)
{
    int width = 0, height = 0, depth = 0;
    const qsizetype size = infoSize(info, &width, &height, &depth);
    if (size == 0 || size > info.size() || width <= 0 || height == 0 || width > MaxBitmapSide
        || std::abs(height) > MaxBitmapSide || qint64(width) * std::abs(height) > MaxBitmapPixels)
        return QImage();
    QByteArray file;
    file.reserve(14 + size + bits.size());
    file.append("BM");
    quint32 v = qToLittleEndian<quint32>(static_cast<quint32>(14 + size + bits.size()));
    file.append(reinterpret_cast<const char *>(&v), 4);
    file.append(QByteArray(4, '\0'));
    v = qToLittleEndian<quint32>(static_cast<quint32>(14 + size));
    file.append(reinterpret_cast<const char *>(&v), 4);
    file.append(info.first(size).toByteArray());
    file.append(bits.toByteArray());
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "BMP");
    return reader.read();
}

QImage imageFromPackedDib(QByteArrayView dib)
{
    int width = 0, height = 0, depth = 0;
    const qsizetype size = infoSize(dib, &width, &height, &depth);
    if (size == 0 || size > dib.size())
        return QImage();
    return imageFromDib(dib.first(size), dib.sliced(size));
}

} // namespace velkora::metafile
