// Fuzz target for report files: any bytes are refused with a message when loaded, or load and
// give every page (up to a bound) in forward and backward order, the first one played onto a small
// image, without a crash, a hang or an unbounded allocation.
#include "platform/metafile/emfplayer.h"
#include "print/tqrpagelist.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unistd.h>

using velkora::print::ReportFileError;
using velkora::print::TQRPageList;

namespace {

constexpr int MaxPagesFetched = 64;
QString inputFile;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    inputFile = QDir::tempPath() + QStringLiteral("/qrp_fuzzer-%1.qrp").arg(::getpid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile file(inputFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    TQRPageList store;
    try {
        store.LoadFromFile(inputFile);
    } catch (const ReportFileError &) {
        QFile::remove(inputFile);
        return 0;
    }
    QFile::remove(inputFile); // the store reads the open file, which outlives its name
    const int pages = std::min(store.PageCount(), MaxPagesFetched);
    try {
        for (int n = 1; n <= pages; ++n)
            store.GetPage(n);
        for (int n = pages; n >= 1; n -= 3)
            store.GetPage(n);
        store.GetPage(store.PageCount() / 2 + 1);
        if (const std::optional<QByteArray> first = store.GetPage(1)) {
            velkora::metafile::EmfPlayer player;
            if (player.load(*first)) {
                QImage image(64, 90, QImage::Format_RGB32);
                image.fill(Qt::white);
                QPainter painter(&image);
                player.play(&painter, QRectF(image.rect()));
            }
        }
    } catch (const ReportFileError &) {
        // A loaded file is checked whole; a page that cannot be read after that is a finding.
        __builtin_trap();
    }
    return 0;
}
