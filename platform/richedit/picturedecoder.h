// Turns the bytes of an RTF picture (PNG, JPEG, DIB, device bitmap, metafile) into an image to show.
#pragma once

#include "richtextproperties.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QUrl>

class QTextDocument;

namespace velkora::richedit {

// Bounds on what a picture may cost; a larger one is shown as a placeholder, never decoded.
inline constexpr qint64 MaxPictureBytes = 64ll * 1024 * 1024;
inline constexpr qint64 MaxPicturePixels = 64ll * 1024 * 1024;
inline constexpr int MaxPictureSide = 16384;

struct PictureSource
{
    PictureKind kind = PictureKind::Png;
    QByteArray bytes;
    int picw = 0, pich = 0;         // bitmaps: pixels; metafiles: 0.01 mm (or the metafile's units)
    int goalw = 0, goalh = 0;       // twips, 0 when not given
    int scalex = 100, scaley = 100; // percent
    int bitsPerPixel = 1, planes = 1, widthBytes = 0; // device bitmaps (\wbitmap)
};

struct DecodedPicture
{
    QImage image;         // never null: a placeholder when the bytes could not be shown
    QSizeF displaySize;   // in pixels at 96 per inch, as the document lays it out
    bool placeholder = false;
    QString problem;      // why a placeholder was shown
};

DecodedPicture decodePicture(const PictureSource &source);

// The size a picture is shown at, in pixels at 96 per inch, found without decoding it.
QSizeF pictureDisplaySize(const PictureSource &source);

// A grey frame of the given size that stands for a picture that cannot be drawn; the reason, when
// given, is written inside it.
QImage placeholderImage(QSize size, const QString &reason = QString());

// Makes the picture the image resource `name` of the document, decoded only when the document
// first needs its pixels (to draw it, print it or write it as PNG), not when the document is read:
// a damaged picture then costs only its own frame, drawn with the reason in it. Copies of the
// document made with clone() get their pictures through shareDeferredPictures().
void addDeferredPicture(QTextDocument *document, const QUrl &name, const PictureSource &source);
void shareDeferredPictures(const QTextDocument *from, QTextDocument *to);
// Forgets the pictures not decoded yet: the document is being emptied or read anew.
void clearDeferredPictures(QTextDocument *document);

} // namespace velkora::richedit
