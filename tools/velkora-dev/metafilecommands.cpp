// The metafile-… commands of velkora-dev.
#include "metafilecommands.h"

#include "platform/metafile/emfplayer.h"
#include "platform/metafile/wmfplayer.h"

#include <QFile>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace velkora::tools {

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "velkora-dev: %s\n", message.toLocal8Bit().constData());
    return 2;
}

void print(const QString &line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
}

} // namespace

int metafileCommand(const QStringList &args)
{
    const bool render = args.value(0) == u"metafile-render";
    if ((render && args.size() != 3 && args.size() != 5) || (!render && args.size() != 2))
        return fail(QStringLiteral("usage: metafile-render IN OUT.png [--width W] | metafile-info IN"));
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(args[1], in.errorString()));
    const QByteArray bytes = in.readAll();
    metafile::EmfPlayer emf;
    metafile::WmfPlayer wmf;
    QString error;
    const bool isEmf = metafile::EmfPlayer::isEmf(bytes);
    if (isEmf ? !emf.load(bytes, &error) : !wmf.load(bytes, &error))
        return fail(QStringLiteral("%1: %2").arg(args[1], error));
    const QSizeF natural = isEmf ? emf.naturalSize() : wmf.naturalSize();
    if (!render) {
        if (isEmf) {
            const auto &h = emf.header();
            print(QStringLiteral("type: EMF, version 0x%1").arg(h.version, 0, 16));
            print(QStringLiteral("bounds: %1,%2 %3×%4 device units").arg(h.bounds.left()).arg(h.bounds.top())
                      .arg(h.bounds.width()).arg(h.bounds.height()));
            print(QStringLiteral("frame: %1,%2 %3×%4 (0.01 mm)").arg(h.frame.left()).arg(h.frame.top())
                      .arg(h.frame.width()).arg(h.frame.height()));
            print(QStringLiteral("device: %1×%2 pixels, %3×%4 mm").arg(h.devicePixels.width()).arg(h.devicePixels.height())
                      .arg(h.deviceMillimetres.width()).arg(h.deviceMillimetres.height()));
            print(QStringLiteral("bytes: %1, records: %2, handles: %3").arg(h.bytes).arg(h.records).arg(h.handles));
            const auto counts = emf.recordCounts();
            for (auto it = counts.cbegin(); it != counts.cend(); ++it)
                print(QStringLiteral("  %1 %2").arg(metafile::EmfPlayer::recordName(it.key()), -24).arg(it.value()));
        } else {
            print(QStringLiteral("type: WMF%1").arg(wmf.placeable() ? QStringLiteral(" (placeable)") : QString()));
            print(QStringLiteral("box: %1,%2 %3×%4 at %5 units per inch").arg(wmf.box().left()).arg(wmf.box().top())
                      .arg(wmf.box().width()).arg(wmf.box().height()).arg(wmf.unitsPerInch()));
            print(QStringLiteral("objects: %1").arg(wmf.objectCount()));
            const auto counts = wmf.recordCounts();
            for (auto it = counts.cbegin(); it != counts.cend(); ++it)
                print(QStringLiteral("  %1 %2").arg(metafile::WmfPlayer::recordName(it.key()), -24).arg(it.value()));
        }
        print(QStringLiteral("natural size: %1×%2 pixels at 96 per inch").arg(natural.width(), 0, 'f', 1).arg(natural.height(), 0, 'f', 1));
        return 0;
    }
    int width = qRound(natural.width());
    if (args.size() == 5) {
        if (args[3] != u"--width")
            return fail(QStringLiteral("usage: metafile-render IN OUT.png [--width W]"));
        bool ok = false;
        width = args[4].toInt(&ok);
        if (!ok || width <= 0 || width > 8192)
            return fail(QStringLiteral("the width must be a number from 1 to 8192"));
    }
    width = std::clamp(width, 1, 8192);
    const int height = std::clamp(natural.width() > 0 ? qRound(width * natural.height() / natural.width()) : width, 1, 8192);
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool played = isEmf ? emf.play(&painter, QRectF(0, 0, width, height), &error)
                              : wmf.play(&painter, QRectF(0, 0, width, height), &error);
    painter.end();
    if (!played)
        std::fprintf(stderr, "velkora-dev: note: drawing stopped: %s\n", error.toLocal8Bit().constData());
    if (!image.save(args[2], "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(args[2]));
    return 0;
}

} // namespace velkora::tools
