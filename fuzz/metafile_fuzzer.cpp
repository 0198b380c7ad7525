// Fuzz target for the metafile players, built once per player (emf_fuzzer, wmf_fuzzer): any bytes
// are refused, or played to the end or to the record where they stop, without a crash, a hang or
// an unbounded allocation.
#include "platform/metafile/emfplayer.h"
#include "platform/metafile/wmfplayer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

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
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    player.play(&painter, QRectF(0, 0, 64, 64));
    return 0;
}
