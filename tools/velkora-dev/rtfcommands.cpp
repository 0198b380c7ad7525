// The rtf-… commands of velkora-dev.
#include "rtfcommands.h"

#include "platform/richedit/documentcomparison.h"
#include "platform/richedit/rtfreader.h"
#include "platform/richedit/rtfwriter.h"

#include <QFile>
#include <QTextDocument>

#include <cstdio>

namespace velkora::tools {

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "velkora-dev: %s\n", message.toLocal8Bit().constData());
    return 2;
}

void write(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

} // namespace

int rtfCommand(const QString &command, const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(file, f.errorString()));
    const QByteArray bytes = f.readAll();
    QTextDocument document;
    QString error;
    QStringList warnings;
    if (!richedit::RtfReader::read(bytes, &document, &error, &warnings))
        return fail(QStringLiteral("%1 is not an RTF document: %2").arg(file, error));
    for (const QString &w : std::as_const(warnings))
        std::fprintf(stderr, "velkora-dev: note: %s\n", w.toLocal8Bit().constData());
    if (command == u"rtf-text") {
        write(document.toPlainText().toUtf8() + '\n');
        return 0;
    }
    if (command == u"rtf-html") {
        write(document.toHtml().toUtf8());
        return 0;
    }
    if (command == u"rtf-roundtrip") {
        const QByteArray written = richedit::RtfWriter::write(document);
        QTextDocument again;
        if (!richedit::RtfReader::read(written, &again, &error)) {
            std::printf("the written document cannot be read back: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
        const QStringList differences = richedit::documentDifferences(document, again);
        const QByteArray rewritten = richedit::RtfWriter::write(again);
        for (const QString &d : differences)
            std::printf("%s\n", d.toLocal8Bit().constData());
        if (rewritten != written)
            std::printf("writing the document read back gives other bytes (%lld and %lld bytes)\n",
                        static_cast<long long>(written.size()), static_cast<long long>(rewritten.size()));
        if (!differences.isEmpty() || rewritten != written)
            return 1;
        std::printf("same document: %lld characters, %lld bytes of RTF\n",
                    static_cast<long long>(document.characterCount()), static_cast<long long>(written.size()));
        return 0;
    }
    return fail(QStringLiteral("unknown command %1").arg(command));
}

} // namespace velkora::tools
