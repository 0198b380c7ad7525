// A body as XHTML: what the editor shows of it, for the e-book and the web page.
#pragma once

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <functional>

class QTextDocument;

namespace velkora::bookexport {

// A picture of a body as a file of its own: a JPEG or PNG's own bytes, anything else (metafiles,
// device bitmaps) drawn to PNG, metafiles at twice the size they are shown at.
struct Picture
{
    QByteArray bytes;
    QByteArray mediaType; // image/png or image/jpeg
    QString extension;    // png or jpg
    QSizeF shownSize;     // in CSS pixels, as the editor shows it
};

// Reads a stored body (RTF, or plain text) into document as the editor would show it.
void readBody(const QString &stored, QTextDocument *document);

// The document as XHTML elements for inside <body>: paragraphs with their alignment and indents,
// lists, tables, character formats (font, size, bold, italic, underline, strike-out, colours,
// super- and subscript), web links, and pictures, whose src is what picture returns for each.
// Hidden text is left out. Only characters XML allows are written.
QString bodyXhtml(const QTextDocument &document, const std::function<QString(const Picture &)> &picture);

// Text escaped for XML character data and attribute values, characters XML forbids left out.
QString xmlText(QStringView text);

// The style sheet the written elements expect.
QString bodyStyleSheet();

} // namespace velkora::bookexport
