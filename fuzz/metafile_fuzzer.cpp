// Fuzz target for the metafile players, built once per player (emf_fuzzer, wmf_fuzzer): any bytes
// are refused, or played at some target size to the end or to the record where they stop, without a crash, a hang or
// an unbounded allocation.
#include "platform/metafile/emfplayer.h"
#include "platform/metafile/wmfplayer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <iterator>

#ifdef VELKORA_FUZZ_WMF
using Player = velkora::metafile::WmfPlayer;
#else
using Player = velkora::metafile::EmfPlayer;
#endif

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    Player player;
    if (!player.load(bytes))
        return 0;
    player.naturalSize();
    player.recordCounts();
    // The target's size comes from the input's last byte, so sizes from thumbnails to a page are
    // all tried: a picture's text and bitmaps land on the device at very different scales.
    static constexpr int Widths[] = {16, 23, 64, 100, 256, 512, 1024};
    const int width = Widths[data[size - 1] % std::size(Widths)];
    QImage image(width, width * 3 / 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    player.play(&painter, QRectF(image.rect()));
    return 0;
}
