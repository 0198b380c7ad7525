// Picture files for "Resim": the formats the program knows by extension, reading a file into a
// picture, and putting the picture on the clipboard the way the editor's paste takes it.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <stdexcept>

class QClipboard;
class QMimeData;

namespace velkora::editor {

// A failure an editor command shows through the default error display.
class EditorError : public std::runtime_error
{
public:
    explicit EditorError(const QString &message) : std::runtime_error(message.toUtf8().toStdString()) {}
};

enum class PictureKind { Bitmap, Metafile, Jpeg, Gif, Icon, AnimatedCursor };

// The clipboard type under which a GIF's own bytes travel beside its first frame.
QString gifClipboardType();
// The clipboard type of an enhanced metafile.
QString emfClipboardType();

struct LoadedPicture
{
    PictureKind kind = PictureKind::Bitmap;
    QImage image;     // bitmaps, JPEG, GIF (first frame), icons: the pixels
    QByteArray bytes; // the file's bytes (a GIF's go on the clipboard with it)
    QByteArray emf;   // metafiles: an enhanced metafile (a WMF converted)
    int frames = 1;   // GIF: how many frames the file holds
};

// The registered extensions, lower case, in the order the program knows them.
QStringList pictureExtensions();

// Reads a picture file; the extension (any letter case) decides its kind. Throws EditorError with
// "Unknown picture file extension (.ext)" for an extension no format is registered for, and with
// the reader's message for content it refuses: damaged, cut short, or claiming more than
// MaxPicturePixels, which is refused before any pixel memory is taken.
LoadedPicture loadPictureFile(const QString &path);
LoadedPicture loadPicture(const QByteArray &bytes, const QString &extension);

// Empties the clipboard and puts the picture on it: a bitmap (JPEG and GIF pictures as the bitmap
// decoded from them, a GIF with its bytes under gifClipboardType()), a metafile as an enhanced
// metafile. An icon or animated cursor throws EditorError("Clipboard does not support Icons") and
// leaves the clipboard empty.
void putOnClipboard(const LoadedPicture &picture, QClipboard *clipboard);

} // namespace velkora::editor
