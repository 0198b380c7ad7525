// The text a reader sees of a body, which is what the search indexes.
#pragma once

#include <QByteArrayView>
#include <QString>

namespace velkora::search {

// The body read as the editor reads it (RTF through the program's reader; anything else as plain
// text), without its pictures, objects and hidden text, paragraphs ending in a line break. Control
// characters become blanks. The bodies read last (up to a few megabytes of text) are remembered
// per thread: a save that changes only a title does not read its body again, nor does a search
// typed letter by letter read its best subtopics again for each letter.
QString bodyText(QByteArrayView stored);
// The same for a body whose digest (bodyDigest) the caller has made already.
QString bodyText(QByteArrayView stored, const QByteArray &digest);
// The digest bodies are remembered by.
QByteArray bodyDigest(QByteArrayView stored);

} // namespace velkora::search
