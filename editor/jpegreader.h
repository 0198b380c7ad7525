// JPEG pictures decoded with libjpeg-turbo, for inserting a JPEG file into a body.
#pragma once

#include "platform/richedit/picturedecoder.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace velkora::editor {

// Bounds on a picture the program decodes: more pixels or a longer side is refused before any
// pixel memory is taken. They are the body's own, so a picture that goes in also comes back after
// the body is saved and read again.
inline constexpr qint64 MaxPicturePixels = richedit::MaxPicturePixels;
inline constexpr int MaxPictureSide = richedit::MaxPictureSide;

// Decodes a whole JPEG (grey, colour or CMYK) into an RGB image. A file cut short or damaged image
// data counts as a failure: the image stays null and error gets libjpeg's own message. Stray bytes
// between markers, which many cameras write, are passed over as every viewer does.
QImage readJpeg(const QByteArray &bytes, QString *error);

} // namespace velkora::editor
