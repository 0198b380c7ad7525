// The three writers behind exportBook: each walks the book once (HTML twice: titles, then bodies)
// and writes its format into out. False when progress cancelled.
#pragma once

#include "bookexport.h"

class QFileDevice;
class QIODevice;

namespace velkora::bookexport {

class BookWalk;

bool writePdf(BookWalk &walk, const Options &options, QFileDevice &out, const Progress &progress);
bool writeEpub(BookWalk &walk, const Options &options, QIODevice &out, const Progress &progress);
bool writeHtml(BookWalk &walk, const Options &options, QIODevice &out, const Progress &progress);

// The words the exports write around the book's own text.
inline const QString ContentsHeading = QStringLiteral("İçindekiler");

} // namespace velkora::bookexport
