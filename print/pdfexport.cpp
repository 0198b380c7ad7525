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
    // Written into memory first: the text of characters beyond the basic plane is added to the
    // finished PDF before it goes to the file.
    QBuffer written;
    written.open(QIODevice::WriteOnly);
    QByteArray pdf;
    {
        PdfPages pages(&written, title);
        // A page that cannot be read or played throws, and the unfinished file is dropped.
        for (int n = 1; n <= count; ++n)
            pages.addPicture(pageAt(source, n));
        pages.finish();
        pdf = pages.supplementary().complete(written.data());
    }
    if (file.write(pdf) != pdf.size() || !file.commit())
        throw PdfExportError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
}

} // namespace

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

PdfPages::PdfPages(QIODevice *device, const QString &title)
    : m_writer(std::make_unique<QPdfWriter>(device)), m_painter(std::make_unique<QPainter>()),
      m_supplementary(std::make_unique<SupplementaryText>())
{
    m_writer->setResolution(PdfExportDpi);
    m_writer->setCreator(QStringLiteral("Velkora"));
    m_writer->setTitle(title);
    m_writer->setPageMargins(QMarginsF(0, 0, 0, 0));
}

PdfPages::~PdfPages()
{
    if (m_painter->isActive())
        m_painter->end();
}

void PdfPages::nextPage(const QPageSize &size)
{
    if (m_pages == 0) {
        m_writer->setPageSize(size);
        if (!m_painter->begin(m_writer.get()))
            throw PdfExportError(QStringLiteral("The PDF cannot be written"));
    } else {
        m_writer->setPageSize(size);
        m_writer->newPage();
    }
    ++m_pages;
}

QPainter &PdfPages::addPage(const QPageSize &size)
{
    nextPage(size);
    return *m_painter;
}

void PdfPages::addPicture(const metafile::EmfPlayer &page, const std::function<void(QPainter &, const QRectF &)> &over)
{
    nextPage(pageSizeOf(page));
    const QRectF target(QPointF(0, 0), m_writer->pageLayout().fullRectPixels(m_writer->resolution()).size());
    const auto drawn = [this](const QGlyphRun &run, char32_t c) { m_supplementary->drawn(run, c); };
    QString error;
    if (!page.play(m_painter.get(), target, &error, drawn))
        throw PdfExportError(QStringLiteral("Page %1 is damaged: %2").arg(m_pages).arg(error));
    if (over) {
        m_painter->save();
        over(*m_painter, target);
        m_painter->restore();
    }
}

void PdfPages::finish()
{
    if (m_painter->isActive())
        m_painter->end();
}

void exportPdf(TQRPageList &pages, const QString &path, const QString &title)
{
    exportPages(pages.PageCount(), [&](int n) { return pages.GetPage(n); }, path, title);
}

void exportPdf(TQRPrinter &device, const QString &path)
{
    exportPages(device.PageList().PageCount(), [&](int n) { return device.GetPage(n); }, path, device.Title);
}

} // namespace velkora::print
