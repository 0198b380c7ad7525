// Compares two documents as a reader of the body sees them: text, formats and pictures.
#pragma once

#include <QStringList>

class QTextDocument;

namespace velkora::richedit {

// The differences between two documents, one line each ("block 3: alignment 1 ≠ 4"), at most
// `limit` of them; empty when they show the same content with the same formats and pictures.
// Formats are compared resolved against each document's default font, so an inherited size and
// an explicit size of the same value are equal.
QStringList documentDifferences(const QTextDocument &a, const QTextDocument &b, int limit = 20);

} // namespace velkora::richedit
