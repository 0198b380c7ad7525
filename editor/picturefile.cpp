// Picture files for "Resim": the formats the program knows by extension, reading a file into a
// picture, and putting the picture on the clipboard the way the editor's paste takes it.
#include "picturefile.h"

#include "jpegorientation.h"
#include "jpegreader.h"
#include "platform/metafile/emfplayer.h"
#include "platform/metafile/emfwriter.h"
#include "platform/metafile/wmfplayer.h"

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeData>
#include <QPainter>
#include <QTransform>
#include <QtEndian>

#include <algorithm>

namespace velkora::editor {

namespace {

// A picture file larger than this is not read at all.
constexpr qint64 MaxPictureFileBytes = 256ll * 1024 * 1024;

// Qt's readers word their failures in the user's language and vaguely ("Unknown error"); the
// picture messages are the program's own, in English, as the other picture readers give them.
QImage readWithQt(const QByteArray &bytes, const char *format, const QString &invalid, int *frames = nullptr)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    if (!reader.canRead())
        throw EditorError(invalid);
    // The size the header claims, checked before the reader takes memory for the pixels.
    const QSize size = reader.size();
    if (size.isValid()
        && (size.width() > MaxPictureSide || size.height() > MaxPictureSide
            || static_cast<qint64>(size.width()) * size.height() > MaxPicturePixels))
        throw EditorError(QStringLiteral("Image too large (%1 x %2)").arg(size.width()).arg(size.height()));
    if (frames)
        *frames = std::max(1, reader.imageCount());
    QImage image;
    if (!reader.read(&image) || image.isNull())
        throw EditorError(invalid);
    return image;
}

// Qt's GIF reader shows a frame whose data is cut short with the missing part black; a GIF whose
// first frame does not lie whole in the file is refused here.
void checkGif(const QByteArray &b)
{
    const auto byteAt = [&](qsizetype at) {
        if (at >= b.size())
            throw EditorError(QStringLiteral("GIF image is cut short"));
        return static_cast<quint8>(b[at]);
    };
    const auto colourTable = [](quint8 flags) { return (flags & 0x80) ? 3 * (qsizetype(1) << ((flags & 7) + 1)) : 0; };
    if (b.size() < 13 || !(b.startsWith("GIF87a") || b.startsWith("GIF89a")))
        throw EditorError(QStringLiteral("Invalid GIF image"));
    qsizetype at = 13 + colourTable(byteAt(10));
    // Data sub-blocks: a length byte and that many bytes, up to a length of 0.
    const auto skipBlocks = [&] {
        for (quint8 n = byteAt(at++); n != 0; n = byteAt(at++))
            at += n;
    };
    for (;;) {
        switch (byteAt(at++)) {
        case 0x21: // an extension: its label, then its blocks
            ++at;
            skipBlocks();
            break;
        case 0x2c: // the first frame: its descriptor, colours, code size and data
            at += 9 + colourTable(byteAt(at + 8));
            ++at;
            skipBlocks();
            return;
        case 0x3b:
            throw EditorError(QStringLiteral("GIF image holds no picture"));
        default:
            throw EditorError(QStringLiteral("Invalid GIF image"));
        }
    }
}

// Qt's bitmap reader fills pixel data that is cut short; a bitmap whose uncompressed pixels do not
// all lie in the file is refused here, as is one whose header claims too many pixels.
void checkBitmap(const QByteArray &b)
{
    const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); };
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    if (b.size() < 26 || !b.startsWith("BM"))
        throw EditorError(QStringLiteral("Invalid bitmap"));
    const qint64 offset = u32(10);
    const quint32 header = u32(14);
    qint64 width = 0, height = 0;
    quint32 bits = 0, compression = 0;
    if (header == 12) {
        width = u16(18);
        height = u16(20);
        bits = u16(24);
    } else if (header >= 40 && b.size() >= 34) {
        width = static_cast<qint32>(u32(18));
        height = static_cast<qint32>(u32(22));
        bits = u16(28);
        compression = u32(30);
    } else {
        throw EditorError(QStringLiteral("Invalid bitmap"));
    }
    height = height < 0 ? -height : height;
    if (width <= 0 || height <= 0 || width > MaxPictureSide || height > MaxPictureSide || width * height > MaxPicturePixels)
        throw EditorError(QStringLiteral("Invalid bitmap size (%1 x %2)").arg(width).arg(height));
    if (compression == 0 || compression == 3 || compression == 6) {
        const qint64 row = (width * bits + 31) / 32 * 4;
        if (offset + row * height > b.size())
            throw EditorError(QStringLiteral("Bitmap data is cut short"));
    }
}

// The turn that makes a picture of the EXIF orientation given upright.
QTransform exifTransform(int orientation, QSize size)
{
    QTransform t;
    switch (orientation) {
    case 2: t = QTransform(-1, 0, 0, 1, size.width(), 0); break;
    case 3: t.rotate(180); break;
    case 4: t = QTransform(1, 0, 0, -1, 0, size.height()); break;
    case 5: t = QTransform(0, 1, 1, 0, 0, 0); break;
    case 6: t.rotate(90); break;
    case 7: t = QTransform(0, -1, -1, 0, 0, 0); break;
    case 8: t.rotate(270); break;
    default: break;
    }
    return t;
}

QByteArray metafileAsEmf(const QByteArray &bytes, bool enhanced)
{
    QString error;
    if (enhanced) {
        metafile::EmfPlayer player;
        if (!player.load(bytes, &error))
            throw EditorError(error.isEmpty() ? QStringLiteral("Invalid metafile") : error);
        return bytes;
    }
    metafile::WmfPlayer player;
    if (!player.load(bytes, &error))
        throw EditorError(error.isEmpty() ? QStringLiteral("Invalid metafile") : error);
    // The clipboard carries enhanced metafiles: the WMF is played into one of its own size and shape.
    QSizeF natural = player.naturalSize();
    const double longest = std::max(natural.width(), natural.height());
    if (longest > MaxPictureSide)
        natural *= MaxPictureSide / longest;
    const QSize size = natural.toSize().expandedTo(QSize(1, 1));
    metafile::EmfWriter writer(size);
    QPainter painter(&writer);
    if (!player.play(&painter, QRectF(QPointF(0, 0), QSizeF(size)), &error))
        throw EditorError(error.isEmpty() ? QStringLiteral("Invalid metafile") : error);
    painter.end();
    return writer.bytes();
}

} // namespace

QString gifClipboardType()
{
    return QStringLiteral("application/x-qt-windows-mime;value=\"JvGIF Image\"");
}

QString emfClipboardType()
{
    return QStringLiteral("image/x-emf");
}

QStringList pictureExtensions()
{
    return {QStringLiteral("bmp"), QStringLiteral("wmf"), QStringLiteral("emf"), QStringLiteral("jpeg"),
            QStringLiteral("jpg"), QStringLiteral("gif"), QStringLiteral("ico"), QStringLiteral("ani")};
}

LoadedPicture loadPictureFile(const QString &path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (!pictureExtensions().contains(extension))
        throw EditorError(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EditorError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    if (file.size() > MaxPictureFileBytes)
        throw EditorError(QStringLiteral("Picture file too large"));
    return loadPicture(file.readAll(), extension);
}

LoadedPicture loadPicture(const QByteArray &bytes, const QString &extension)
{
    LoadedPicture p;
    p.bytes = bytes;
    if (extension == u"bmp") {
        p.kind = PictureKind::Bitmap;
        checkBitmap(bytes);
        p.image = readWithQt(bytes, "bmp", QStringLiteral("Invalid bitmap"));
    } else if (extension == u"wmf" || extension == u"emf") {
        p.kind = PictureKind::Metafile;
        p.emf = metafileAsEmf(bytes, extension == u"emf");
    } else if (extension == u"jpg" || extension == u"jpeg") {
        p.kind = PictureKind::Jpeg;
        QString error;
        p.image = readJpeg(bytes, &error);
        if (p.image.isNull())
            throw EditorError(error);
        // A photograph taken with the camera turned goes in upright: its own bytes turned, so the
        // body, the printed page and any other program reading the saved RTF all show it so.
        if (const int orientation = jpegOrientation(bytes); orientation != 1) {
            const QByteArray upright = uprightJpeg(bytes, orientation);
            QImage turned = upright.isEmpty() ? QImage() : readJpeg(upright, &error);
            if (!turned.isNull()) {
                p.bytes = upright;
                p.image = turned;
            } else {
                // Not transformable as it is: the picture turned and stored anew.
                p.image = p.image.transformed(exifTransform(orientation, p.image.size()));
                QByteArray encoded;
                QBuffer buffer(&encoded);
                buffer.open(QIODevice::WriteOnly);
                QImageWriter writer(&buffer, "jpeg");
                writer.setQuality(92);
                if (writer.write(p.image))
                    p.bytes = encoded;
                else
                    p.kind = PictureKind::Bitmap; // goes in as its pixels
            }
        }
    } else if (extension == u"gif") {
        p.kind = PictureKind::Gif;
        checkGif(bytes);
        p.image = readWithQt(bytes, "gif", QStringLiteral("Invalid GIF image"), &p.frames); // the first frame
    } else if (extension == u"ico") {
        p.kind = PictureKind::Icon;
        p.image = readWithQt(bytes, "ico", QStringLiteral("Invalid icon"));
    } else if (extension == u"ani") {
        p.kind = PictureKind::AnimatedCursor;
        if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "ACON")
            throw EditorError(QStringLiteral("Invalid animated cursor"));
    } else {
        throw EditorError(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
    }
    return p;
}

void putOnClipboard(const LoadedPicture &picture, QClipboard *clipboard)
{
    clipboard->clear();
    if (picture.kind == PictureKind::Icon || picture.kind == PictureKind::AnimatedCursor)
        throw EditorError(QStringLiteral("Clipboard does not support Icons"));
    auto *data = new QMimeData;
    if (picture.kind == PictureKind::Metafile) {
        data->setData(emfClipboardType(), picture.emf);
    } else {
        data->setImageData(picture.image);
        if (picture.kind == PictureKind::Gif)
            data->setData(gifClipboardType(), picture.bytes);
        // Beside the bitmap, the JPEG's own bytes: the body keeps them instead of a far larger
        // lossless copy of the pixels, which would also take long to make.
        if (picture.kind == PictureKind::Jpeg)
            data->setData(QStringLiteral("image/jpeg"), picture.bytes);
    }
    clipboard->setMimeData(data);
}

} // namespace velkora::editor
