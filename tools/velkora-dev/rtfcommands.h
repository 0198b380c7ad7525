// The rtf-… commands of velkora-dev.
#pragma once

#include <QString>

namespace velkora::tools {

// rtf-text, rtf-html, rtf-roundtrip on one file. Returns the exit status: 0 done, 1 the round trip
// differs, 2 bad input (a message on standard error).
int rtfCommand(const QString &command, const QString &file);

} // namespace velkora::tools
