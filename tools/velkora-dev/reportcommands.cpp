// The qrp-… commands of velkora-dev.
#include "reportcommands.h"

#include "platform/metafile/emfplayer.h"
#include "print/pdfexport.h"
#include "print/tqrpagelist.h"

#include <QDateTime>
#include <QFile>
#include <QtEndian>

#include <cstdio>

namespace velkora::tools {

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "velkora-dev: %s\n", message.toLocal8Bit().constData());
    return 2;
}

void print(const QString &line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
}

// A report file's creation time: days since 30 December 1899, local time.
QString creationTime(double days)
{
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0));
    return epoch.addMSecs(qint64(days * 86400000.0 + (days >= 0 ? 0.5 : -0.5))).toString(Qt::ISODate);
}

int info(const QString &path)
{
    print::TQRPageList pages;
    pages.LoadFromFile(path);
    // The store checked the header; the two version numbers are read from it as they stand.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    const QByteArray head = file.read(4);
    print(QStringLiteral("pages: %1").arg(pages.PageCount()));
    print(QStringLiteral("header: %1 bytes, version %2, writer version %3")
              .arg(pages.headerSize())
              .arg(qFromLittleEndian<qint16>(head.constData()))
              .arg(qFromLittleEndian<qint16>(head.constData() + 2)));
    print(QStringLiteral("created: %1").arg(creationTime(pages.CreationTime())));
    for (int n = 1; n <= pages.PageCount(); ++n) {
        const std::optional<QByteArray> page = pages.GetPage(n);
        metafile::EmfPlayer player;
        QString error;
        if (!page || !player.load(*page, &error))
            return fail(QStringLiteral("%1: page %2 is not a page picture %3").arg(path).arg(n).arg(error));
        const QRect frame = player.header().frame;
        const QSizeF natural = player.naturalSize();
        print(QStringLiteral("page %1: %2×%3 mm, %4×%5 pixels at 96 per inch, %6 bytes")
                  .arg(n)
                  .arg(frame.width() / 100.0, 0, 'f', 1)
                  .arg(frame.height() / 100.0, 0, 'f', 1)
                  .arg(natural.width(), 0, 'f', 0)
                  .arg(natural.height(), 0, 'f', 0)
                  .arg(page->size()));
    }
    return 0;
}

} // namespace

int reportCommand(const QStringList &args)
{
    const bool toPdf = args.value(0) == u"qrp-to-pdf";
    if ((toPdf && args.size() != 3) || (!toPdf && (args.value(0) != u"qrp-info" || args.size() != 2)))
        return fail(QStringLiteral("usage: qrp-info IN.QRP | qrp-to-pdf IN.QRP OUT.pdf"));
    if (!QFile::exists(args[1]))
        return fail(QStringLiteral("%1: File does not exist").arg(args[1]));
    try {
        if (!toPdf)
            return info(args[1]);
        print::TQRPageList pages;
        pages.LoadFromFile(args[1]);
        print::exportPdf(pages, args[2]);
        return 0;
    } catch (const print::ReportFileError &e) {
        return fail(QStringLiteral("%1: %2").arg(args[1], e.message()));
    } catch (const print::PdfExportError &e) {
        return fail(e.message());
    } catch (const std::exception &e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace velkora::tools
