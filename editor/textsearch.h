// Searching a body's text for the find and replace commands.
#pragma once

#include <QString>

class QTextDocument;

namespace velkora::editor {

// Finds text in the document between min and max (max -1: the end), one paragraph at a time as the
// rich-edit control matches. With richedit::FindDown the search runs forward from min; otherwise
// backward from min down to max, the nearest match that ends at or before min first. Without
// richedit::FindMatchCase both sides are compared in Turkish lower case (I/ı, İ/i); with
// richedit::FindWholeWord a match has no letter or digit on either side. Returns the match's start
// or -1; matchEnd gets its end. Never wraps around.
int findText(const QTextDocument *document, const QString &text, int min, int max, int flags, int *matchEnd = nullptr);

} // namespace velkora::editor
