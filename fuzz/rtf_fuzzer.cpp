// Fuzz target: any bytes given to the RTF reader end in a document or a refusal, what was read can
// be drawn (which decodes its pictures) and written again.
#include "platform/richedit/rtfreader.h"
#include "platform/richedit/rtfwriter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTextDocument document;
    if (velkora::richedit::RtfReader::read(QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)),
                                           &document)) {
        QImage page(200, 300, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        document.setTextWidth(200);
        document.drawContents(&painter, QRectF(page.rect()));
        painter.end();
        velkora::richedit::RtfWriter::write(document);
    }
    return 0;
}
