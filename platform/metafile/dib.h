// Device-independent bitmaps as metafiles and RTF carry them: a BITMAPINFO and the bits.
#pragma once

#include <QByteArrayView>
#include <QImage>

namespace velkora::metafile {

inline constexpr int MaxBitmapSide = 16384;
inline constexpr qint64 MaxBitmapPixels = 64ll * 1024 * 1024;

// Decodes a bitmap from its BITMAPINFO (header and colour table) and its bits; a null image when
// they are damaged, truncated or larger than the limits above.
QImage imageFromDib(QByteArrayView info, QByteArrayView bits);
// The same for a packed DIB, the bits following the header and colour table.
QImage imageFromPackedDib(QByteArrayView dib);

} // namespace velkora::metafile
