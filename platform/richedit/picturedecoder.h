// Turns the bytes of an RTF picture (PNG, JPEG, DIB, device bitmap, metafile) into an image to show.
#pragma once

#include "richtextproperties.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

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

// A grey frame of the given size that stands for a picture that cannot be drawn.
QImage placeholderImage(QSize size);

} // namespace velkora::richedit
