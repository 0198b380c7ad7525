// Fuzz target: any RTF the reader takes gives XHTML that an XML parser reads to its end, as an
// e-book's chapters must be; its pictures become PNG or JPEG files.
#include "export/xhtmlbody.h"
#include "platform/richedit/rtfreader.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <QXmlStreamReader>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTextDocument document;
    if (!velkora::richedit::RtfReader::read(QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)), &document))
        return 0;
    const QString body = velkora::bookexport::bodyXhtml(document, [](const velkora::bookexport::Picture &p) {
        if (!p.bytes.startsWith("\x89PNG") && !p.bytes.startsWith("\xFF\xD8\xFF"))
            std::abort();
        return QStringLiteral("p.") + p.extension;
    });
    QXmlStreamReader xml(QStringLiteral("<div xmlns=\"http://www.w3.org/1999/xhtml\">") + body + QStringLiteral("</div>"));
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError()) {
        std::fprintf(stderr, "not well-formed: %s\n", qPrintable(xml.errorString()));
        std::abort();
    }
    return 0;
}
