// The text a reader sees of a body, which is what the search indexes.
#pragma once

#include <QByteArrayView>
#include <QString>

namespace velkora::search {

// The body read as the editor reads it (RTF through the program's reader; anything else as plain
// text), without its pictures, objects and hidden text, paragraphs ending in a line break. Control
// characters become blanks. The last few bodies read are remembered (per thread), so a save that
// changes only a title does not read its body again.
QString bodyText(QByteArrayView stored);

} // namespace velkora::search
