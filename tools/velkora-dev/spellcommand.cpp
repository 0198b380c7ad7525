// The spell command of velkora-dev.
#include "spellcommand.h"

#include "platform/richedit/codepages.h"
#include "platform/richedit/rtfreader.h"
#include "spelling/speller.h"
#include "spelling/wordscanner.h"

#include <QFile>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdio>

namespace velkora::tools {

namespace {

constexpr qint64 MaxFileBytes = 256 * 1024 * 1024;

int fail(const QString &message)
{
    std::fprintf(stderr, "velkora-dev: %s\n", message.toLocal8Bit().constData());
    return 2;
}

// The file's lines: an RTF document's paragraphs, or a text file's lines (UTF-8, or the Turkish
// Windows code page when it is not UTF-8).
QStringList linesOf(const QByteArray &bytes, QString *error)
{
    if (richedit::RtfReader::looksLikeRtf(bytes)) {
        QTextDocument document;
        if (!richedit::RtfReader::read(bytes, &document, error))
            return {};
        QStringList lines;
        for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
            lines << b.text();
        return lines;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = richedit::CodePageDecoder(1254).decode(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    return text.split(u'\n');
}

} // namespace

int spellCommand(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(file, f.errorString()));
    if (f.size() > MaxFileBytes)
        return fail(QStringLiteral("%1 is larger than %2 MB").arg(file).arg(MaxFileBytes / (1024 * 1024)));
    QString error;
    const QStringList lines = linesOf(f.readAll(), &error);
    if (!error.isEmpty())
        return fail(QStringLiteral("%1 is not an RTF document: %2").arg(file, error));

    // The person's own words count, as in the program.
    spelling::Speller speller;
    if (!speller.available())
        return fail(spelling::Speller::missingHint());
    speller.waitUntilReady();
    bool any = false;
    for (int n = 0; n < lines.size(); ++n) {
        const QString &line = lines[n];
        spelling::scanWords(line, 0, [&](int start, int length) {
            const QString word = line.mid(start, length);
            if (!speller.isCorrect(word)) {
                std::printf("%s %d:%d\n", word.toUtf8().constData(), n + 1, start + 1);
                any = true;
            }
            return true;
        });
    }
    return any ? 1 : 0;
}

} // namespace velkora::tools
