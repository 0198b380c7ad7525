// The output device: page pictures at screen resolution, states and their failures, the page range
// on a printer, notifications, loading a report file with its paper guessed, printing stored pages.
#include "emftext.h"
#include "printtesting.h"
#include "platform/metafile/emfplayer.h"
#include "print/tqrprintdialog.h"
#include "print/tqrprinter.h"

#include <QPrintDialog>

#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::print;
using velkora::testing::pageWithText;

namespace {

// Collects the notifications a device posts to its client.
class Client : public QObject
{
public:
    std::vector<std::pair<int, int>> seen;
    bool event(QEvent *e) override
    {
        if (e->type() != TQRNotification::eventType())
            return QObject::event(e);
        const auto *n = static_cast<TQRNotification *>(e);
        seen.emplace_back(n->message, n->value);
        return true;
    }
};

// A printer that writes PDF into a file: a stand-in for a real queue where one is not needed.
std::unique_ptr<QPrinter> pdfPrinter(const QString &path)
{
    auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
    p->setOutputFormat(QPrinter::PdfFormat);
    p->setOutputFileName(path);
    return p;
}


} // namespace

TEST(OutputDevice, PagePicturesAreA4AtScreenResolutionAndGoIntoTheStore)
{
    TQRPrinter d;
    Client client;
    d.Client = &client;
    EXPECT_THROW(d.BeginDevicePage(), std::runtime_error); // "Illegal call to NewPage"
    d.BeginOutput();
    EXPECT_EQ(d.Status(), TQRPrinterStatus::mpBusy);
    EXPECT_DOUBLE_EQ(d.XFactor, TQRPrinter::screenDpi() / 254.0);
    EXPECT_EQ(d.XSize(d.PaperWidthValue()), 794);
    EXPECT_EQ(d.YSize(d.PaperLengthValue()), 1123);
    try {
        d.BeginOutput();
        FAIL() << "a busy device began again";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "QRPrinter not ready");
    }
    pageWithText(d, QStringLiteral("Birinci sayfa"));
    pageWithText(d, QStringLiteral("İkinci sayfa"));
    EXPECT_EQ(d.PageCount(), 2);
    EXPECT_FALSE(d.GetPage(3).has_value());
    d.EndOutput();
    EXPECT_EQ(d.Status(), TQRPrinterStatus::mpFinished);
    ASSERT_EQ(d.PageList().PageCount(), 2);
    const std::optional<QByteArray> second = d.GetPage(2);
    ASSERT_TRUE(second.has_value());
    metafile::EmfPlayer player;
    ASSERT_TRUE(player.load(*second));
    EXPECT_NEAR(player.naturalSize().width(), 794, 1);
    EXPECT_NEAR(player.naturalSize().height(), 1123, 1);
    EXPECT_EQ(velkora::testing::emfText(*second), QStringLiteral("İkinci sayfa"));
    QCoreApplication::processEvents();
    // One "pages available" as each page is closed, the last one at the end.
    ASSERT_EQ(client.seen.size(), 2u);
    EXPECT_EQ(client.seen[0], std::make_pair(int(TQRNotification::PagesAvailable), 1));
    EXPECT_EQ(client.seen[1], std::make_pair(int(TQRNotification::PagesAvailable), 2));
}

TEST(OutputDevice, CoordinatesTakeTheWastes)
{
    TQRPrinter d;
    d.XFactor = d.YFactor = 2.0;
    d.LeftWaste = 50;
    d.TopWaste = 30;
    EXPECT_EQ(d.XPos(150), 200);
    EXPECT_EQ(d.YPos(30), 0);
    EXPECT_EQ(d.XSize(150), 300);
    d.PrinterSettings().setOrientation(QPageLayout::Landscape);
    EXPECT_DOUBLE_EQ(d.PaperWidthValue(), 2970);
    EXPECT_DOUBLE_EQ(d.PaperLengthValue(), 2100);
}

TEST(OutputDevice, APageRangeOutsideTheReportStartsNoJob)
{
    QTemporaryDir dir;
    const QString none = dir.filePath(QStringLiteral("none.pdf"));
    {
        TQRPrinter d(nullptr, pdfPrinter(none));
        d.Destination = TQRDestination::qrdPrinter;
        d.FirstPage = 2;
        d.LastPage = 3;
        d.BeginOutput();
        pageWithText(d, QStringLiteral("yalnız sayfa"));
        EXPECT_FALSE(d.PageInRange());
        d.EndOutput();
    }
    EXPECT_FALSE(QFile::exists(none)); // drawn into a picture that was thrown away

    const QString two = dir.filePath(QStringLiteral("two.pdf"));
    TQRPrinter d(nullptr, pdfPrinter(two));
    d.Destination = TQRDestination::qrdPrinter;
    d.FirstPage = 2;
    d.LastPage = 3;
    int afterPrint = 0;
    d.AfterPrint = [&] { ++afterPrint; };
    d.BeginOutput();
    for (int n = 1; n <= 4; ++n)
        pageWithText(d, QStringLiteral("sayfa %1").arg(n));
    d.EndOutput();
    EXPECT_EQ(afterPrint, 1);
    QFile pdf(two);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 2);
}

TEST(OutputDevice, LoadingAReportFileGuessesThePaperAndPrintsTheStoredPages)
{
    QTemporaryDir dir;
    const QString qrp = dir.filePath(QStringLiteral("sayfalar.qrp"));
    {
        TQRPrinter d;
        d.PrinterSettings().setOrientation(QPageLayout::Landscape);
        d.BeginOutput();
        pageWithText(d, QStringLiteral("yatay bir"));
        pageWithText(d, QStringLiteral("yatay iki"));
        d.EndOutput();
        d.Save(qrp);
    }
    const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
    TQRPrinter d(nullptr, pdfPrinter(printed));
    d.OnPrintSetup = [] {};
    d.Load(qrp);
    EXPECT_EQ(d.Status(), TQRPrinterStatus::mpFinished);
    EXPECT_TRUE(d.LoadedFromFile());
    EXPECT_EQ(d.PageCount(), 2);
    EXPECT_FALSE(d.OnPrintSetup);
    // A4 and A4Small measure the same; the later one in the table wins.
    EXPECT_EQ(d.PrinterSettings().PaperSize, TQRPaperSize::A4Small);
    EXPECT_EQ(d.PrinterSettings().Orientation, QPageLayout::Landscape);
    EXPECT_EQ(velkora::testing::emfText(*d.GetPage(2)), QStringLiteral("yatay iki"));

    d.Print(); // no report behind the pages: the stored pages are printed
    QFile pdf(printed);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 2);

    // A damaged file is refused and the device keeps its pages.
    const QString bad = dir.filePath(QStringLiteral("bozuk.qrp"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(300, 'x'));
    f.close();
    EXPECT_THROW(d.Load(bad), std::exception);
    EXPECT_EQ(d.PageCount(), 2);
    EXPECT_TRUE(d.GetPage(1).has_value());

    // A run still making its pages does not take a file under it.
    TQRPrinter busy;
    busy.BeginOutput();
    pageWithText(busy, QStringLiteral("yapılıyor"));
    EXPECT_THROW(busy.Load(qrp), ReportFileError);
    EXPECT_EQ(busy.Status(), TQRPrinterStatus::mpBusy);
    EXPECT_FALSE(busy.LoadedFromFile());
    busy.EndOutput();
}

TEST(OutputDevice, PrinterSetupTakesRangeCopiesAndOrientationOnlyWhenConfirmed)
{
    TQRPrinter d;
    d.BeginOutput();
    for (int n = 1; n <= 3; ++n)
        pageWithText(d, QStringLiteral("sayfa"));
    d.EndOutput();
    TQRPrinterSettings report;
    const bool cancelled = printerSetup(report, &d, nullptr, [](QPrintDialog &dialog) {
        EXPECT_EQ(dialog.minPage(), 1);
        EXPECT_EQ(dialog.maxPage(), 3);
        EXPECT_EQ(dialog.fromPage(), 1);
        EXPECT_EQ(dialog.toPage(), 3);
        EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintToFile));
        EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintSelection));
        EXPECT_TRUE(dialog.testOption(QAbstractPrintDialog::PrintPageRange));
        dialog.printer()->setCopyCount(4);
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(report.Copies, 1);

    const bool confirmed = printerSetup(report, &d, nullptr, [](QPrintDialog &dialog) {
        dialog.printer()->setCopyCount(2);
        dialog.printer()->setPageOrientation(QPageLayout::Landscape);
        dialog.setPrintRange(QAbstractPrintDialog::PageRange);
        dialog.setFromTo(2, 3);
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(report.Copies, 2);
    EXPECT_EQ(report.Orientation, QPageLayout::Landscape);
    EXPECT_EQ(report.FirstPage, 2);
    EXPECT_EQ(report.LastPage, 3);
    printerSetup(report, nullptr, nullptr, [](QPrintDialog &dialog) {
        EXPECT_EQ(dialog.maxPage(), 9999); // no pages yet: any range
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(report.FirstPage, 0);
    EXPECT_EQ(report.LastPage, 0);
}
