// PDF export: plays the stored EMF page pictures through QPdfWriter into a file saved whole.
#include "pdfexport.h"

#include "pdfsupplementarytext.h"
#include "tqrpagelist.h"
#include "tqrprinter.h"

#include "platform/metafile/emfplayer.h"

#include <QBuffer>
#include <QGlyphRun>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <cmath>
#include <functional>
#include <optional>

namespace velkora::print {

PdfExportError::PdfExportError(const QString &message) : std::runtime_error(message.toStdString()) {}

QString PdfExportError::message() const
{
    return QString::fromStdString(what());
}

namespace {

using PageSource = std::function<std::optional<QByteArray>(int)>;

QPageSize pageSizeOf(const metafile::EmfPlayer &page)
{
    const QRect frame = page.header().frame;
    QSizeF mm(frame.width() / 100.0, frame.height() / 100.0);
    if (mm.width() <= 0 || mm.height() <= 0)
        mm = page.naturalSize() * (25.4 / 96.0);
    // The frame of a page made at screen resolution is a fraction of a millimetre off its paper
    // (an A4 page at 96 per inch is 210.08 mm wide): a standard size that close is the page's size.
    const QPageSize::PageSizeId id = QPageSize::id(mm, QPageSize::Millimeter, QPageSize::FuzzyMatch);
    if (id != QPageSize::Custom) {
        const QSizeF standard = QPageSize::size(id, QPageSize::Millimeter);
        if (std::abs(standard.width() - mm.width()) <= 1 && std::abs(standard.height() - mm.height()) <= 1)
            return QPageSize(id);
        // A landscape page matches its portrait size turned round.
    }
    const QPageSize::PageSizeId turned = QPageSize::id(mm.transposed(), QPageSize::Millimeter, QPageSize::FuzzyMatch);
    if (turned != QPageSize::Custom) {
        const QSizeF standard = QPageSize::size(turned, QPageSize::Millimeter).transposed();
        if (std::abs(standard.width() - mm.width()) <= 1 && std::abs(standard.height() - mm.height()) <= 1)
            return QPageSize(standard, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    }
    return QPageSize(mm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
}

metafile::EmfPlayer pageAt(const PageSource &source, int n)
{
    std::optional<QByteArray> bytes;
    try {
        bytes = source(n);
    } catch (const std::exception &e) {
        throw PdfExportError(QStringLiteral("Page %1 cannot be read: %2").arg(n).arg(QString::fromLocal8Bit(e.what())));
    }
    metafile::EmfPlayer player;
    QString error;
    if (!bytes || !player.load(*bytes, &error))
        throw PdfExportError(QStringLiteral("Page %1 is not a page picture").arg(n));
    return player;
}

void exportPages(int count, const PageSource &source, const QString &path, const QString &title)
{
    if (count < 1)
        throw PdfExportError(QStringLiteral("There are no pages to export"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw PdfExportError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    metafile::EmfPlayer page = pageAt(source, 1);
    // Written into memory first: the text of characters beyond the basic plane is added to the
    // finished PDF before it goes to the file.
    QBuffer written;
    written.open(QIODevice::WriteOnly);
    SupplementaryText supplementary;
    {
        QPdfWriter writer(&written);
        writer.setResolution(PdfExportDpi);
        writer.setCreator(QStringLiteral("Velkora"));
        writer.setTitle(title);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(pageSizeOf(page));
        QPainter painter;
        if (!painter.begin(&writer))
            throw PdfExportError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
        const auto drawn = [&](const QGlyphRun &run, char32_t c) { supplementary.drawn(run, c); };
        for (int n = 1;; ++n) {
            const QRectF target(QPointF(0, 0), writer.pageLayout().fullRectPixels(writer.resolution()).size());
            QString error;
            if (!page.play(&painter, target, &error, drawn)) {
                painter.end();
                file.cancelWriting();
                throw PdfExportError(QStringLiteral("Page %1 is damaged: %2").arg(n).arg(error));
            }
            if (n == count)
                break;
            try {
                page = pageAt(source, n + 1);
            } catch (...) {
                painter.end();
                file.cancelWriting();
                throw;
            }
            writer.setPageSize(pageSizeOf(page));
            writer.newPage();
        }
        painter.end();
    }
    const QByteArray pdf = supplementary.complete(written.data());
    if (file.write(pdf) != pdf.size() || !file.commit())
        throw PdfExportError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
}

} // namespace

void exportPdf(TQRPageList &pages, const QString &path, const QString &title)
{
    exportPages(pages.PageCount(), [&](int n) { return pages.GetPage(n); }, path, title);
}

void exportPdf(TQRPrinter &device, const QString &path)
{
    exportPages(device.PageList().PageCount(), [&](int n) { return device.GetPage(n); }, path, device.Title);
}

} // namespace velkora::print
