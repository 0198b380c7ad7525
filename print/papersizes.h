// Paper sizes and output bins as reports name them, with the codes a printer's settings carry and
// the sizes page pictures are made at.
#pragma once

#include <QPageSize>
#include <QPrinter>

#include <array>

namespace velkora::print {

enum class TQRPaperSize {
    Default, Letter, LetterSmall, Tabloid, Ledger, Legal, Statement, Executive, A3, A4, A4Small, A5, B4, B5,
    Folio, Quarto, qr10X14, qr11X17, Note, Env9, Env10, Env11, Env12, Env14, CSheet, DSheet, ESheet, Custom
};

struct PaperSizeInfo
{
    TQRPaperSize size;
    int code;          // the printer's paper code
    double widthMm;    // 0 for Default and Custom: the printer's or the report's own
    double lengthMm;
    QPageSize::PageSizeId pageSizeId; // the nearest named size of Qt's printing, Custom when none
};

// The table, in order: Default first, Custom last.
const std::array<PaperSizeInfo, 28> &paperSizes();
const PaperSizeInfo &paperSizeInfo(TQRPaperSize size);
// The size whose code is code, searched in table order; nothing matching gives Default.
TQRPaperSize paperSizeForCode(int code);
// The size for one of Qt's page size ids, searched in table order; Default when none matches.
TQRPaperSize paperSizeForPageSizeId(QPageSize::PageSizeId id);

enum class TQRBin {
    First, Upper, Lower, Middle, Manual, Envelope, EnvManual, Auto, Tractor, SmallFormat, LargeFormat,
    LargeCapacity, Cassette, Last
};

// The printer bin code written for a bin (First and Upper are 1; Cassette and Last are 14).
int binCode(TQRBin bin);
// The first bin in table order whose code is code; First when none.
TQRBin binForCode(int code);
// Qt's paper sources are numbered differently: the source a bin is printed from, and back.
QPrinter::PaperSource paperSourceForBin(TQRBin bin);
TQRBin binForPaperSource(QPrinter::PaperSource source);

} // namespace velkora::print
