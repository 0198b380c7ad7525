// Writes a QTextDocument as one RTF document in the form the rich-edit control writes bodies.
#pragma once

#include <QByteArray>

class QTextDocument;

namespace velkora::richedit {

// The output begins "{\rtf1\ansi\ansicpg1254\deff0" and holds a font table, a colour table and
// the content: character and paragraph formats, bullets and numbering (the \pn form, which Word,
// LibreOffice and the Windows control all read), tables (nested ones with \itap), links as
// HYPERLINK fields, pictures (metafiles and JPEG with their original bytes, everything else as PNG)
// and objects with their data and result picture. Characters outside code page 1254 go out as
// \uN?. The output depends only on the content: writing what was read from it again gives the
// same bytes.
class RtfWriter
{
public:
    // resources: the document whose resources (pictures, object data) the content refers to, when it
    // is not `document` itself (a copied selection).
    static QByteArray write(const QTextDocument &document, const QTextDocument *resources = nullptr);

    // Text as it stands in such a document: \ { } escaped, tabs and line breaks as control words,
    // characters of code page 1254 above 127 as \'hh, all others as \uN?.
    static QByteArray escapedText(const QString &text);
};

} // namespace velkora::richedit
