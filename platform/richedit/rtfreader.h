// Reads an RTF document into a QTextDocument: text, character and paragraph formats, lists,
// tables, links, pictures and embedded objects.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

class QTextDocument;

namespace velkora::richedit {

// The reader is tolerant the way Word is: a missing closing brace ends the document where the
// input ends, a stray closing brace in the middle is passed over, text after the last brace is
// ignored, unknown control words and {\*…} destinations are skipped. It is bounded: nesting depth,
// group count, picture and \bin sizes and the document's length are limited (see the constants
// in the source), so no input makes it crash, hang or allocate without bound.
class RtfReader
{
public:
    static constexpr int MaxGroupDepth = 256;           // deeper groups are read but their formats not kept
    static constexpr qint64 MaxGroups = 8'000'000;      // a document with more is cut there
    static constexpr qint64 MaxBinaryBytes = 64ll << 20; // one \bin run or one picture
    static constexpr qint64 MaxTextLength = 16'777'215; // the control's text limit
    // Nested tables deeper than this are flattened into the deepest one kept: laying out a table
    // lays out each cell more than once, so the cost doubles with every level of nesting (sixteen
    // levels of a few hundred bytes kept the editor busy for half an hour).
    static constexpr int MaxTableDepth = 5;

    // Replaces the document's content with the RTF. Returns false, leaving the document untouched,
    // when the bytes are not an RTF document (they do not begin "{\rtf", blanks aside); error then
    // says why. Warnings list what was passed over (a picture that could not be decoded, a cut).
    static bool read(QByteArrayView rtf, QTextDocument *document, QString *error = nullptr,
                     QStringList *warnings = nullptr);

    // The text a reader sees of the RTF, without building a document: as the document read would
    // give it, paragraph by paragraph (each ending in a line break, as does each table cell),
    // without pictures, objects and hidden text. False, with nothing read, when it is not RTF.
    static bool readText(QByteArrayView rtf, QString *text);

    // Whether the bytes start like an RTF document, ignoring letter case ("{\rtf").
    static bool looksLikeRtf(QByteArrayView bytes);
};

} // namespace velkora::richedit
