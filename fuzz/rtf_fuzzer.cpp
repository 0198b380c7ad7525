// Fuzz target: any bytes given to the RTF reader end in a document or a refusal, and what was
// read can be written again.
#include "platform/richedit/rtfreader.h"
#include "platform/richedit/rtfwriter.h"

#include <QGuiApplication>
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
                                           &document))
        velkora::richedit::RtfWriter::write(document);
    return 0;
}
