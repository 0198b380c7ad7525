// Builds bodies in the RTF form the editor writes, from a light mark-up used for sample books.
#pragma once

#include <QByteArray>
#include <QString>

namespace velkora::tools {

// Escapes text for an RTF body in code page 1254: \ { } are escaped, characters of the code
// page above 127 become \'hh and the rest \uN? (N signed 16-bit, as RTF wants).
QByteArray rtfEscaped(const QString &text);

// Turns mark-up lines into a whole RTF document beginning "{\rtf1\ansi\ansicpg1254\deff0":
// **bold**, //italic//, lines starting "- " as bullets, "[resim]" as the picture, blank lines
// between paragraphs. The picture is a PNG drawn here.
QByteArray markupToRtf(const QStringList &lines);

// A small PNG picture of an open book, for the sample.
QByteArray samplePicturePng(int width, int height);

} // namespace velkora::tools
