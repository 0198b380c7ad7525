// PDF export of a preview's pages: every page picture played into a PDF page of its own size.
#pragma once

#include <QPageSize>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

class QIODevice;
class QPainter;
class QPdfWriter;

namespace velkora::metafile {
class EmfPlayer;
}

namespace velkora::print {

class SupplementaryText;
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

// The size of the paper a page picture was made for: its frame, snapped to a standard paper size
// within a millimetre.
QPageSize pageSizeOf(const metafile::EmfPlayer &page);

// PDF pages written one after the other into a device: page pictures played at PdfExportDpi, or
// pages drawn by the caller. The device holds a finished PDF after finish(); the text of
// characters beyond the basic plane is then still to be added (supplementary()).
class PdfPages
{
public:
    PdfPages(QIODevice *device, const QString &title);
    ~PdfPages();

    // Plays a page picture onto a new page of its own size; over draws on top of it (target: the
    // page in device pixels). Throws PdfExportError for a damaged picture.
    void addPicture(const metafile::EmfPlayer &page, const std::function<void(QPainter &, const QRectF &)> &over = {});
    // A new page of the given size, for the caller to draw on with the returned painter.
    QPainter &addPage(const QPageSize &size);
    int pageCount() const { return m_pages; }
    QPdfWriter &writer() { return *m_writer; }
    void finish();
    const SupplementaryText &supplementary() const { return *m_supplementary; }

private:
    void nextPage(const QPageSize &size);
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<QPainter> m_painter;
    std::unique_ptr<SupplementaryText> m_supplementary;
    int m_pages = 0;
};

// Writes every page of the store (or of the device: its pages while it runs or after) into path as
// a PDF, one PDF page a page, each the size of its picture's frame (snapped to a standard paper size
// within a millimetre, so the program's pages come out as A4) with no margins. The EMF player draws
// the text as text, so the PDF's text can be selected and searched. The file is written in full or
// not at all: a path that cannot be written, a device without pages or a damaged page throws
// PdfExportError and leaves any existing file as it was.
void exportPdf(TQRPageList &pages, const QString &path, const QString &title = QString());
void exportPdf(TQRPrinter &device, const QString &path);

} // namespace velkora::print
