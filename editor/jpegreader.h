// JPEG pictures decoded with libjpeg-turbo, for inserting a JPEG file into a body.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace velkora::editor {

// Bounds on a picture the program decodes: more pixels or a longer side is refused before any
// pixel memory is taken.
inline constexpr qint64 MaxPicturePixels = 64ll * 1024 * 1024;
inline constexpr int MaxPictureSide = 32768;

// Decodes a whole JPEG (grey, colour or CMYK) into an RGB image. A warning of the library (a file
// cut short, damaged data) counts as a failure: the image stays null and error gets libjpeg's own
// message.
QImage readJpeg(const QByteArray &bytes, QString *error);

} // namespace velkora::editor
