// PDF export of a preview's pages: every page picture played into a PDF page of its own size.
#pragma once

#include <QString>

#include <stdexcept>

namespace velkora::print {

class TQRPageList;
class TQRPrinter;

// Why an export wrote nothing, in words for the user.
class PdfExportError : public std::runtime_error
{
public:
    explicit PdfExportError(const QString &message);
    QString message() const;
};

// The resolution the PDF's page is drawn at: text is text and lines are vectors at any resolution;
// this only sets how finely positions are rounded, so it is well above any printer's.
constexpr int PdfExportDpi = 1200;

// Writes every page of the store (or of the device: its pages while it runs or after) into path as
// a PDF, one PDF page a page, each the size of its picture's frame (snapped to a standard paper size
// within a millimetre, so the program's pages come out as A4) with no margins. The EMF player draws
// the text as text, so the PDF's text can be selected and searched. The file is written in full or
// not at all: a path that cannot be written, a device without pages or a damaged page throws
// PdfExportError and leaves any existing file as it was.
void exportPdf(TQRPageList &pages, const QString &path, const QString &title = QString());
void exportPdf(TQRPrinter &device, const QString &path);

} // namespace velkora::print
