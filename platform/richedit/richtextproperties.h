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
// Images: the picture's stored form, so a metafile or JPEG goes back out with its own bytes.
inline constexpr int PictureKind = QTextFormat::UserProperty + 20;   // PictureKind as int
inline constexpr int PictureData = QTextFormat::UserProperty + 21;   // resource URL of the original bytes
inline constexpr int PictureExtent = QTextFormat::UserProperty + 22; // QSizeF: \picw, \pich as read
inline constexpr int ObjectData = QTextFormat::UserProperty + 23;    // resource URL of the {\object …} head
} // namespace property

// How a picture's bytes are stored in RTF.
enum class PictureKind { Png = 1, Jpeg, Emf, Wmf, Dib, Bitmap };

// An image resource type of our own for original picture bytes and object data.
inline constexpr int OriginalBytesResource = QTextDocument::UserResource + 1;

// Adds bytes to a document as a resource under a fresh name and returns the name.
QUrl addBytesResource(QTextDocument *document, const QString &prefix, const QByteArray &bytes);
QByteArray bytesResource(const QTextDocument *document, const QUrl &name);

} // namespace velkora::richedit
