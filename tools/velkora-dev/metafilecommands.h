// The metafile-… commands of velkora-dev.
#pragma once

#include <QStringList>

namespace velkora::tools {

// metafile-render IN OUT.png [--width W] and metafile-info IN. Returns the exit status: 0 done,
// 2 bad input (a message on standard error).
int metafileCommand(const QStringList &args);

} // namespace velkora::tools
