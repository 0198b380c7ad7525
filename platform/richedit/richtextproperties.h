// What a body's document carries beyond Qt's own formats, so that RTF read and written again keeps it.
#pragma once

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <QTextFormat>
#include <QUrl>

#include <QTextDocument>

namespace velkora::richedit {

namespace property {
// Character formats.
inline constexpr int Language = QTextFormat::UserProperty + 1;      // \langN
inline constexpr int RaiseHalfPoints = QTextFormat::UserProperty + 2; // \upN (positive) or \dnN (negative)
inline constexpr int Hidden = QTextFormat::UserProperty + 3;        // \v
inline constexpr int Highlight = QTextFormat::UserProperty + 4;     // background came from \highlight
inline constexpr int Charset = QTextFormat::UserProperty + 5;       // the font's \fcharset
// A font named in the RTF with its code page's tag ("Arial TUR"): that name and its {\*\fname},
// kept for writing while the run's family is still the one they stand for (see fontFamilyFor).
inline constexpr int FontTableName = QTextFormat::UserProperty + 6;
inline constexpr int FontAlternateName = QTextFormat::UserProperty + 7;
inline constexpr int FontAlternateIsFalt = QTextFormat::UserProperty + 8; // given as {\*\falt}, not {\*\fname}
// Paragraphs of a list: the paragraph's own first-line indent (\fi) in pixels, Qt's TextIndent
// then holding where the first line's text is drawn (see setFirstLineIndent).
inline constexpr int FirstLineIndent = QTextFormat::UserProperty + 10;
// Lists: the numbering level (1 outermost), which Qt's list indent does not carry here.
inline constexpr int ListLevel = QTextFormat::UserProperty + 11;
// Images: the picture's stored form, so a metafile or JPEG goes back out with its own bytes.
inline constexpr int PictureKind = QTextFormat::UserProperty + 20;   // PictureKind as int
inline constexpr int PictureData = QTextFormat::UserProperty + 21;   // resource URL of the original bytes
inline constexpr int PictureExtent = QTextFormat::UserProperty + 22; // QSizeF: \picw, \pich as read
inline constexpr int ObjectData = QTextFormat::UserProperty + 23;    // resource URL of the {\object …} head
} // namespace property

// A paragraph's first-line indent (\fi) in pixels: where its first line starts, from the left indent.
double firstLineIndent(const QTextBlockFormat &format);
// Sets the first-line indent of a paragraph that is (listed) or is not in a list. The lines of a
// list paragraph are placed as the rich-edit control places them: the bullet or number stands at
// the paragraph's start and the text of the first line begins at the left indent, like the lines
// after it, or, when the start leaves less than 10 points before the left indent, 10 points after
// the start. Qt draws the bullet just left of the first line's text, so the text's place is what
// Qt's TextIndent holds, and the paragraph's own indent is kept in FirstLineIndent.
void setFirstLineIndent(QTextBlockFormat &format, double pixels, bool listed);
// The numbering level of a list, 1 for the outermost.
int listLevel(const QTextListFormat &format);

// How a picture's bytes are stored in RTF.
enum class PictureKind { Png = 1, Jpeg, Emf, Wmf, Dib, Bitmap };

// An image resource type of our own for original picture bytes and object data.
inline constexpr int OriginalBytesResource = QTextDocument::UserResource + 1;

// Adds bytes to a document as a resource under a fresh name and returns the name.
QUrl addBytesResource(QTextDocument *document, const QString &prefix, const QByteArray &bytes);
QByteArray bytesResource(const QTextDocument *document, const QUrl &name);

} // namespace velkora::richedit
