// The paper size and bin tables.
#include "papersizes.h"

namespace velkora::print {

const std::array<PaperSizeInfo, 28> &paperSizes()
{
    using P = TQRPaperSize;
    using Q = QPageSize;
    static const std::array<PaperSizeInfo, 28> table = {{
        {P::Default, 0, 0, 0, Q::Custom},
        {P::Letter, 1, 215.9, 279.4, Q::Letter},
        {P::LetterSmall, 2, 215.9, 279.4, Q::Letter},
        {P::Tabloid, 3, 279.4, 431.8, Q::Tabloid},
        {P::Ledger, 4, 431.8, 279.4, Q::Ledger},
        {P::Legal, 5, 215.9, 355.6, Q::Legal},
        {P::Statement, 6, 139.7, 215.9, Q::Statement},
        {P::Executive, 7, 190.5, 254.0, Q::Executive},
        {P::A3, 8, 297.0, 420.0, Q::A3},
        {P::A4, 9, 210.0, 297.0, Q::A4},
        {P::A4Small, 10, 210.0, 297.0, Q::A4Small},
        {P::A5, 11, 148.0, 210.0, Q::A5},
        {P::B4, 12, 250.0, 354.0, Q::B4},
        {P::B5, 13, 182.0, 257.0, Q::JisB5},
        {P::Folio, 14, 215.9, 330.2, Q::FanFoldGermanLegal},
        {P::Quarto, 15, 215.0, 275.0, Q::Quarto},
        {P::qr10X14, 16, 254.0, 355.6, Q::Imperial10x14},
        {P::qr11X17, 17, 279.4, 431.8, Q::Tabloid},
        {P::Note, 18, 215.9, 279.0, Q::Note},
        {P::Env9, 19, 98.43, 225.4, Q::Envelope9},
        {P::Env10, 20, 104.8, 241.3, Q::Envelope10},
        {P::Env11, 21, 114.3, 263.5, Q::Envelope11},
        {P::Env12, 22, 101.6, 279.4, Q::Envelope12},
        {P::Env14, 23, 127.0, 292.1, Q::Envelope14},
        {P::CSheet, 24, 100.0, 100.0, Q::Custom},
        {P::DSheet, 25, 100.0, 100.0, Q::Custom},
        {P::ESheet, 26, 100.0, 100.0, Q::Custom},
        {P::Custom, 256, 0, 0, Q::Custom},
    }};
    return table;
}

const PaperSizeInfo &paperSizeInfo(TQRPaperSize size)
{
    return paperSizes()[static_cast<size_t>(size)];
}

TQRPaperSize paperSizeForCode(int code)
{
    for (const PaperSizeInfo &p : paperSizes())
        if (p.code == code)
            return p.size;
    return TQRPaperSize::Default;
}

TQRPaperSize paperSizeForPageSizeId(QPageSize::PageSizeId id)
{
    if (id == QPageSize::Custom)
        return TQRPaperSize::Default;
    for (const PaperSizeInfo &p : paperSizes())
        if (p.pageSizeId == id)
            return p.size;
    return TQRPaperSize::Default;
}

namespace {

struct BinInfo
{
    TQRBin bin;
    int code;
    QPrinter::PaperSource source;
};

constexpr BinInfo Bins[] = {
    {TQRBin::First, 1, QPrinter::OnlyOne},        {TQRBin::Upper, 1, QPrinter::Upper},
    {TQRBin::Lower, 2, QPrinter::Lower},          {TQRBin::Middle, 3, QPrinter::Middle},
    {TQRBin::Manual, 4, QPrinter::Manual},        {TQRBin::Envelope, 5, QPrinter::Envelope},
    {TQRBin::EnvManual, 6, QPrinter::EnvelopeManual}, {TQRBin::Auto, 7, QPrinter::Auto},
    {TQRBin::Tractor, 8, QPrinter::Tractor},      {TQRBin::SmallFormat, 9, QPrinter::SmallFormat},
    {TQRBin::LargeFormat, 10, QPrinter::LargeFormat}, {TQRBin::LargeCapacity, 11, QPrinter::LargeCapacity},
    {TQRBin::Cassette, 14, QPrinter::Cassette},   {TQRBin::Last, 14, QPrinter::Cassette},
};

} // namespace

int binCode(TQRBin bin)
{
    return Bins[static_cast<int>(bin)].code;
}

TQRBin binForCode(int code)
{
    for (const BinInfo &b : Bins)
        if (b.code == code)
            return b.bin;
    return TQRBin::First;
}

QPrinter::PaperSource paperSourceForBin(TQRBin bin)
{
    return Bins[static_cast<int>(bin)].source;
}

TQRBin binForPaperSource(QPrinter::PaperSource source)
{
    for (const BinInfo &b : Bins)
        if (b.source == source)
            return b.bin;
    return TQRBin::First;
}

} // namespace velkora::print
