// Objects embedded in or linked from a body: a file's bytes (or its path) with a class, shown by its
// picture or an icon, stored in the body's RTF as \object with \objemb or \objlink, the bytes in
// \objdata and the look in \result.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

namespace velkora::objects {

// Limits on what an object may hold when read from a body.
inline constexpr qsizetype MaxObjectBytes = 64 * 1024 * 1024;
inline constexpr int MaxObjectName = 1024;

struct EmbeddedObject
{
    QString className;   // "Velkora.Text", "Velkora.Picture" or "Velkora.File"
    QString fileName;    // embedded: the file's own name; linked: its full path
    QByteArray data;     // embedded: the file's bytes (empty for a link)
    bool linked = false;
    bool asIcon = false; // shown as an icon rather than by its content
    bool blank = false;  // created new and not filled yet

    // The full type name the user sees ("Metin Belgesi", "Resim", or the file type's own).
    QString typeName() const;
    // The verbs in the order the object gives them; the first is the default.
    QStringList verbs() const;
    // The bytes as they stand now: the embedded bytes, or a linked file's current content.
    QByteArray content() const;
    // What the body shows: the picture of a picture object shown by content, else an icon with the
    // file's name under it.
    QImage look() const;
    // The whole {\object …} group, its \result holding look() as a PNG picture.
    QByteArray toRtf() const;
    // The \objdata bytes: class, name and content in the layout of an OLE 1 object stream.
    QByteArray objectData() const;
};

// The kinds a new object can be created as, with their type names.
struct NewObjectKind
{
    QString className;
    QString typeName;
    QString fileName; // the name the empty file gets
};
QList<NewObjectKind> newObjectKinds();
// An object created new of a kind: an empty text document or a white picture.
EmbeddedObject createBlank(const QString &className);
// An object from a file: embedded (its bytes read now) or linked (its path kept). A picture file
// becomes a picture object; any other file is kept as a file of its type. Throws std::runtime_error
// when the file cannot be read or is too large.
EmbeddedObject fromFile(const QString &path, bool link);

// Reads an object back from the head of its \object group (as the RTF reader keeps it: from
// "{\object" up to the \result). Empty when the head holds no object this program wrote.
std::optional<EmbeddedObject> fromRtfHead(const QByteArray &head);

} // namespace velkora::objects
