// The qrp-… commands of velkora-dev: report files read without the program.
#pragma once

#include <QStringList>

namespace velkora::tools {

// qrp-info IN.QRP (page count, header, creation time, each page's size) and qrp-to-pdf IN.QRP OUT.pdf.
// Returns the exit status: 0 done, 2 bad input (a message on standard error).
int reportCommand(const QStringList &args);

} // namespace velkora::tools
