// The spell command of velkora-dev.
#pragma once

#include <QString>

namespace velkora::tools {

// Prints the unknown words of an RTF or text file, a line each: the word, then its line (an RTF
// file's paragraph) and column, from 1 ("yanlız 2:23"). Returns 0 when there were none, 1 when there
// were, 2 on bad input or a missing dictionary (a message on standard error).
int spellCommand(const QString &file);

} // namespace velkora::tools
