// Turns the bytes of an RTF picture (PNG, JPEG, DIB, device bitmap, metafile) into an image to show.
#include "picturedecoder.h"

#include "platform/metafile/dib.h"
#include "platform/metafile/emfplayer.h"
#include "platform/metafile/wmfplayer.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QPointer>
#include <QTextDocument>

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

QImage placeholderImage(QSize size, const QString &reason)
{
    size = size.boundedTo(QSize(2000, 2000)).expandedTo(QSize(8, 8));
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(235, 235, 235));
    QPainter p(&image);
    p.setPen(QColor(150, 150, 150));
    p.drawRect(0, 0, size.width() - 1, size.height() - 1);
    // The reason as a whole where it fits, else the short form, else a cross alone.
    const QRect inner = image.rect().adjusted(3, 3, -3, -3);
    const QString shortText = QStringLiteral("Resim gösterilemiyor");
    const QStringList texts = reason.isEmpty() ? QStringList() : QStringList{shortText + QStringLiteral(": ") + reason, shortText};
    for (const QString &text : texts) {
        for (const int pixels : {11, 9}) {
            QFont font(QStringLiteral("Arial"));
            font.setPixelSize(pixels);
            const QRect needed = QFontMetrics(font).boundingRect(inner, Qt::TextWordWrap, text);
            if (needed.height() > inner.height() || needed.width() > inner.width())
                continue;
            p.setFont(font);
            p.setPen(QColor(60, 60, 60));
            p.drawText(inner, Qt::AlignCenter | Qt::TextWordWrap, text);
            return image;
        }
    }
    p.drawLine(0, 0, size.width() - 1, size.height() - 1);
    p.drawLine(0, size.height() - 1, size.width() - 1, 0);
    return image;
}

namespace {

// The pixel size a picture's own bytes give it, read from its header only; empty when unknown.
QSize naturalPixels(const PictureSource &s)
{
    switch (s.kind) {
    case PictureKind::Png:
    case PictureKind::Jpeg: {
        QBuffer buffer;
        buffer.setData(s.bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, s.kind == PictureKind::Png ? "PNG" : "JPEG");
        reader.setAutoTransform(false);
        const QSize size = reader.size();
        return size.isValid() ? size : QSize();
    }
    case PictureKind::Dib: {
        const auto at = [&](qsizetype i, int n) -> qint64 {
            if (i + n > s.bytes.size())
                return 0;
            qint64 v = 0;
            for (int k = n - 1; k >= 0; --k)
                v = (v << 8) | static_cast<uchar>(s.bytes.at(i + k));
            return n == 4 ? static_cast<qint32>(v) : v;
        };
        const bool core = at(0, 4) == 12;
        const qint64 w = core ? at(4, 2) : at(4, 4), h = core ? at(6, 2) : std::abs(at(8, 4));
        return w > 0 && h > 0 && w <= MaxPictureSide && h <= MaxPictureSide ? QSize(int(w), int(h)) : QSize();
    }
    case PictureKind::Bitmap:
        return s.picw > 0 && s.pich > 0 ? QSize(s.picw, s.pich) : QSize();
    case PictureKind::Emf: {
        // Its frame (0.01 mm), at 96 pixels per inch.
        metafile::EmfPlayer player;
        return player.load(s.bytes) ? player.naturalSize().toSize() : QSize();
    }
    case PictureKind::Wmf: {
        // Its placeable header's box and units per inch, else its window (see WmfPlayer).
        metafile::WmfPlayer player;
        return player.load(s.bytes) ? player.naturalSize().toSize() : QSize();
    }
    }
    return QSize();
}

} // namespace

QSizeF pictureDisplaySize(const PictureSource &s)
{
    const bool metafile = s.kind == PictureKind::Emf || s.kind == PictureKind::Wmf;
    const QSize natural = s.bytes.size() > MaxPictureBytes ? QSize() : naturalPixels(s);
    // The goal size scaled, else its own extent. A metafile's extent in the RTF (0.01 mm) comes
    // before the size its records give, which for a picture from RTF lacks the placeable header.
    double w = 0, h = 0;
    if (s.goalw > 0 && s.goalh > 0) {
        w = s.goalw / 15.0;
        h = s.goalh / 15.0;
    } else if (metafile && s.picw > 0 && s.pich > 0) {
        w = s.picw * 96.0 / 2540.0;
        h = s.pich * 96.0 / 2540.0;
    } else if (natural.isValid() && !natural.isEmpty()) {
        w = natural.width();
        h = natural.height();
    } else if (s.picw > 0 && s.pich > 0) {
        w = metafile ? s.picw * 96.0 / 2540.0 : s.picw;
        h = metafile ? s.pich * 96.0 / 2540.0 : s.pich;
    }
    w = w * std::clamp(s.scalex, 1, 10000) / 100.0;
    h = h * std::clamp(s.scaley, 1, 10000) / 100.0;
    if (w >= 1 && h >= 1 && (w > MaxPictureSide || h > MaxPictureSide)) {
        // Too large to show: brought down whole, its shape kept.
        const double scale = MaxPictureSide / std::max(w, h);
        w = std::max(1.0, w * scale);
        h = std::max(1.0, h * scale);
    }
    if (w < 1 || h < 1) {
        w = natural.isValid() && !natural.isEmpty() ? std::min(natural.width(), MaxPictureSide) : 32;
        h = natural.isValid() && !natural.isEmpty() ? std::min(natural.height(), MaxPictureSide) : 32;
    }
    return QSizeF(w, h);
}

DecodedPicture decodePicture(const PictureSource &s)
{
    DecodedPicture out;
    out.displaySize = pictureDisplaySize(s);
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
    const double w = out.displaySize.width(), h = out.displaySize.height();
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
        image = placeholderImage(QSize(qRound(w), qRound(h)), out.problem);
    }
    out.image = image;
    return out;
}

namespace {

// The pictures of one document not decoded yet, kept as a child of the document.
class DeferredPictures : public QObject
{
public:
    explicit DeferredPictures(QTextDocument *document) : QObject(document) {}
    QHash<QUrl, PictureSource> sources;
};

DeferredPictures *deferredOf(const QTextDocument *document)
{
    for (QObject *child : document->children()) {
        if (auto *pictures = dynamic_cast<DeferredPictures *>(child))
            return pictures;
    }
    return nullptr;
}

// Decodes a picture of `owner` on its first use and keeps the image in `owner`.
QTextDocument::ResourceProvider providerFor(QTextDocument *owner)
{
    return [doc = QPointer<QTextDocument>(owner)](const QUrl &url) -> QVariant {
        DeferredPictures *pictures = doc ? deferredOf(doc) : nullptr;
        if (!pictures)
            return QVariant();
        const auto it = pictures->sources.constFind(url);
        if (it == pictures->sources.constEnd())
            return QVariant();
        const QImage image = decodePicture(*it).image;
        pictures->sources.erase(it);
        doc->addResource(QTextDocument::ImageResource, url, QVariant(image));
        return QVariant(image);
    };
}

} // namespace

void addDeferredPicture(QTextDocument *document, const QUrl &name, const PictureSource &source)
{
    DeferredPictures *pictures = deferredOf(document);
    if (!pictures) {
        pictures = new DeferredPictures(document);
        document->setResourceProvider(providerFor(document));
    }
    pictures->sources.insert(name, source);
}

void clearDeferredPictures(QTextDocument *document)
{
    if (DeferredPictures *pictures = deferredOf(document))
        pictures->sources.clear();
}

void shareDeferredPictures(const QTextDocument *from, QTextDocument *to)
{
    if (deferredOf(from))
        to->setResourceProvider(providerFor(const_cast<QTextDocument *>(from)));
}

} // namespace velkora::richedit
