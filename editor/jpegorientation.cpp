// Reads a JPEG's EXIF orientation and turns the photograph upright with TurboJPEG's lossless transform.
#include "jpegorientation.h"

#include <QtEndian>

#include <turbojpeg.h>

namespace velkora::editor {

namespace {

// Where the orientation's value lies in the bytes (its first byte), and whether it is big-endian;
// -1 when there is none. Reads only the segments before the image data, each inside the bytes.
qsizetype orientationAt(const QByteArray &b, bool *bigEndian)
{
    const auto u8 = [&](qsizetype i) { return static_cast<uchar>(b[i]); };
    if (b.size() < 4 || u8(0) != 0xFF || u8(1) != 0xD8)
        return -1;
    qsizetype at = 2;
    while (at + 4 <= b.size()) {
        if (u8(at) != 0xFF)
            return -1;
        const int marker = u8(at + 1);
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01 || marker == 0xFF) {
            at += marker == 0xFF ? 1 : 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // the image data: no more metadata before it
            return -1;
        const qsizetype length = (qsizetype(u8(at + 2)) << 8) | u8(at + 3);
        if (length < 2 || at + 2 + length > b.size())
            return -1;
        const qsizetype body = at + 4, end = at + 2 + length;
        if (marker == 0xE1 && end - body >= 14 && b.mid(body, 6) == QByteArrayView("Exif\0\0", 6)) {
            const qsizetype tiff = body + 6;
            const bool big = b.mid(tiff, 2) == "MM";
            if (!big && b.mid(tiff, 2) != "II")
                return -1;
            const auto u16 = [&](qsizetype i) -> qint64 {
                if (i < tiff || i + 2 > end)
                    return -1;
                return big ? qFromBigEndian<quint16>(b.constData() + i) : qFromLittleEndian<quint16>(b.constData() + i);
            };
            const auto u32 = [&](qsizetype i) -> qint64 {
                if (i < tiff || i + 4 > end)
                    return -1;
                return big ? qFromBigEndian<quint32>(b.constData() + i) : qFromLittleEndian<quint32>(b.constData() + i);
            };
            const qint64 ifd = u32(tiff + 4);
            if (ifd < 8 || tiff + ifd + 2 > end)
                return -1;
            const qint64 count = u16(tiff + ifd);
            for (qint64 i = 0; i < count; ++i) {
                const qsizetype entry = tiff + qsizetype(ifd) + 2 + qsizetype(i) * 12;
                if (entry + 12 > end)
                    return -1;
                if (u16(entry) == 0x0112 && u16(entry + 2) == 3) { // orientation, a SHORT
                    *bigEndian = big;
                    return entry + 8;
                }
            }
            return -1;
        }
        at = end;
    }
    return -1;
}

} // namespace

int jpegOrientation(const QByteArray &jpeg)
{
    bool big = false;
    const qsizetype at = orientationAt(jpeg, &big);
    if (at < 0)
        return 1;
    const int v = big ? qFromBigEndian<quint16>(jpeg.constData() + at) : qFromLittleEndian<quint16>(jpeg.constData() + at);
    return v >= 1 && v <= 8 ? v : 1;
}

QByteArray uprightJpeg(const QByteArray &jpeg, int orientation)
{
    static const int operations[] = {TJXOP_NONE,      TJXOP_NONE,  TJXOP_HFLIP,     TJXOP_ROT180, TJXOP_VFLIP,
                                     TJXOP_TRANSPOSE, TJXOP_ROT90, TJXOP_TRANSVERSE, TJXOP_ROT270};
    if (orientation < 2 || orientation > 8)
        return {};
    tjhandle handle = tjInitTransform();
    if (!handle)
        return {};
    tjtransform transform{};
    transform.op = operations[orientation];
    transform.options = TJXOPT_TRIM;
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    const int failed = tjTransform(handle, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                                   static_cast<unsigned long>(jpeg.size()), 1, &out, &outSize, &transform, 0);
    QByteArray upright;
    if (!failed && out && outSize > 0)
        upright = QByteArray(reinterpret_cast<const char *>(out), qsizetype(outSize));
    tjFree(out);
    tjDestroy(handle);
    if (upright.isEmpty())
        return {};
    // The EXIF block came along unchanged: it must not turn the picture a second time.
    bool big = false;
    const qsizetype at = orientationAt(upright, &big);
    if (at >= 0) {
        if (big)
            qToBigEndian<quint16>(1, upright.data() + at);
        else
            qToLittleEndian<quint16>(1, upright.data() + at);
    }
    return upright;
}

} // namespace velkora::editor
