// Photographs taken with the camera turned: their EXIF orientation, and the same photograph upright.
#pragma once

#include <QByteArray>

namespace velkora::editor {

// The EXIF orientation a JPEG's first APP1 segment gives (1 to 8), or 1 when it gives none or the
// segment is damaged. 1 is upright; 6 and 8 are turned a quarter, 3 a half; 2, 4, 5, 7 mirrored.
int jpegOrientation(const QByteArray &jpeg);

// The same JPEG turned upright without decoding it again (a lossless transform of its blocks; an
// edge of fewer pixels than one block is trimmed where the transform cannot move it), its EXIF
// orientation then set to 1, so every reader shows it upright whether or not it reads EXIF. Empty
// when the JPEG cannot be transformed.
QByteArray uprightJpeg(const QByteArray &jpeg, int orientation);

} // namespace velkora::editor
