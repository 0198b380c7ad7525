// The report engine with the program's two layouts: one page with titles and body where the layout
// puts them, a long body carried on over further pages, the preview's run and its closing, printing
// directly, and the print options dialog.
#include "emftext.h"
#include "printtesting.h"
#include "platform/metafile/emfplayer.h"
#include "print/pdfexport.h"
#include "print/reportforms.h"
#include "print/tqrprogressform.h"
#include "print/tqrstandardpreview.h"
#include "store/bookstore.h"
#include "support/bookfixture.h"

#include <QAction>
#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::print;
using namespace velkora::testing;

namespace {

struct Book : OpenBook
{
    using OpenBook::OpenBook;
    Book(const QString &topic, const QString &title, const QString &body) : OpenBook({{topic, {{title, body}}}}) {}
};

QString rtf(const QString &text)
{
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ") + text + u'}';
}

QString numbered(int lines)
{
    QString body;
    for (int i = 1; i <= lines; ++i)
        body += QStringLiteral("Sat\\'fdr %1\\par ").arg(i, 3, 10, QChar(u'0'));
    return rtf(body);
}

// Runs a report onto page pictures and returns its device.
std::unique_ptr<TQRPrinter> run(TQuickRep &report)
{
    auto device = std::make_unique<TQRPrinter>();
    report.Run(*device);
    return device;
}

} // namespace

TEST(Report, WithTitlesGivesOnePageWithTheCurrentRecords)
{
    Book book({{QStringLiteral("Cümle"), {{QStringLiteral("Basit Cümleler"), rtf(QStringLiteral("G\\'f6vde metni.\\par"))},
                                           {QStringLiteral("Birleşik"), rtf(QStringLiteral("\\'ddkinci.\\par"))}}}});
    book.store.ADOQuery2->next(); // the second subtopic is the current one
    TForm2 form(book.store.ADOQuery1, book.store.ADOQuery2);
    auto device = run(*form.QuickRep1);
    ASSERT_EQ(device->PageCount(), 1);
    EXPECT_EQ(emfText(*device->GetPage(1)), QStringLiteral("Cümle\nBirleşik\nİkinci."));
    EXPECT_TRUE(form.QuickRep1->Available());
    // Outside a run the titles show their field names again.
    EXPECT_EQ(form.QRDBText1->Caption(), QStringLiteral("Baslik"));

    TForm3 textOnly(book.store.ADOQuery2);
    auto second = run(*textOnly.QuickRep1);
    ASSERT_EQ(second->PageCount(), 1);
    EXPECT_EQ(emfText(*second->GetPage(1)), QStringLiteral("İkinci."));
}

TEST(Report, AnEmptyBodyAnEmptyListAndMarginsThatLeaveNoRoom)
{
    Book book({{QStringLiteral("Boş"), {}}});
    TForm2 form(book.store.ADOQuery1, book.store.ADOQuery2);
    auto device = run(*form.QuickRep1);
    ASSERT_EQ(device->PageCount(), 1); // printed even without a subtopic
    EXPECT_EQ(emfText(*device->GetPage(1)), QStringLiteral("Boş"));

    form.QuickRep1->Page.TopMargin = 2000;
    form.QuickRep1->Page.BottomMargin = 1500;
    run(*form.QuickRep1);
    EXPECT_EQ(form.QuickRep1->Page.TopMargin, 0);
    EXPECT_EQ(form.QuickRep1->Page.BottomMargin, 0);
    EXPECT_EQ(form.QuickRep1->Page.LeftMargin, 100);

    form.QuickRep1->PrintIfEmpty = false;
    EXPECT_EQ(run(*form.QuickRep1)->PageCount(), 0);
}

TEST(Report, ALongBodyGoesOnOverFurtherPagesAfterTheFirstAsLaidOut)
{
    Book book({{QStringLiteral("Uzun"), {{QStringLiteral("Satırlar"), numbered(250)}}}});
    TForm2 form(book.store.ADOQuery1, book.store.ADOQuery2);
    auto device = run(*form.QuickRep1);
    ASSERT_GE(device->PageCount(), 2);
    QStringList lines;
    for (int n = 1; n <= device->PageCount(); ++n)
        lines += emfText(*device->GetPage(n)).split(u'\n');
    // Titles on the first page only, then every line of the body once, in order.
    ASSERT_EQ(lines.size(), 252);
    EXPECT_EQ(lines[0], QStringLiteral("Uzun"));
    EXPECT_EQ(lines[1], QStringLiteral("Satırlar"));
    for (int i = 0; i < 250; ++i)
        EXPECT_EQ(lines[i + 2], QStringLiteral("Satır %1").arg(i + 1, 3, 10, QChar(u'0')));
}

TEST(Report, ThePreviewRunsUntilItsWindowClosesAndAPrintRequestPrintsDirectly)
{
    Book book({{QStringLiteral("Önizleme"), {{QStringLiteral("Alt"), rtf(QStringLiteral("Yaz\\'fdlacak.\\par"))}}}});
    TForm2 form(book.store.ADOQuery1, book.store.ADOQuery2);
    TQuickRep &report = *form.QuickRep1;
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    report.makePrinter = [&] {
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(pdf);
        return p;
    };
    int opened = 0;
    QPointer<TQRPrinter> shown;
    report.openPreview = [&](TQRPrinter *device) -> QWidget * {
        ++opened;
        shown = device;
        device->setShowingPreview(true);
        // The person looks at the page, presses "Print", then closes the window.
        QTimer::singleShot(50, [device] { device->Print(); });
        QTimer::singleShot(300, [device] {
            device->ClosePreview();
        });
        return nullptr;
    };
    report.PreviewReport();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(report.QRPrinter(), nullptr); // released with the window
    EXPECT_TRUE(report.Available());
    QFile printed(pdf);
    ASSERT_TRUE(printed.open(QIODevice::ReadOnly)) << "the print request printed nothing";
    EXPECT_TRUE(printed.readAll().startsWith("%PDF"));
}

TEST(Report, TheProgressWindowShowsEveryFifthPercent)
{
    TQRPrinter device;
    TQRProgressForm form(&device);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Printing progress"));
    EXPECT_EQ(form.size(), QSize(149, 97));
    QCoreApplication::sendEvent(&form, new TQRNotification(TQRNotification::Progress, 40));
    EXPECT_EQ(form.Info->text(), QStringLiteral("40%  Completed"));
    EXPECT_EQ(form.Gauge->value(), 40);
    QCoreApplication::sendEvent(&form, new TQRNotification(TQRNotification::Progress, 42));
    EXPECT_EQ(form.Gauge->value(), 40);
    form.CancelButton->click();
    EXPECT_TRUE(device.Cancelled());
}

// The print options dialog over a book of one subtopic, with its two report layouts.
struct Options
{
    Book book{{{QStringLiteral("Konu"), {{QStringLiteral("Alt"), rtf(QStringLiteral("metin\\par"))}}}}};
    TForm2 titles{book.store.ADOQuery1, book.store.ADOQuery2};
    TForm3 text{book.store.ADOQuery2};
    TForm4 dialog{&titles, &text};
};

TEST(PrintOptions, YazdirPreviewsTheChosenLayoutAndDoesNothingWithoutAChoice)
{
    Options o;
    TForm2 &titles = o.titles;
    TForm3 &text = o.text;
    TForm4 &dialog = o.dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Yazdırma Seçenekleri"));
    EXPECT_EQ(dialog.size(), QSize(260, 87));
    EXPECT_FALSE(dialog.RadioBtn1->isChecked());
    EXPECT_FALSE(dialog.RadioBtn2->isChecked());
    QStringList previews;
    titles.QuickRep1->openPreview = [&](TQRPrinter *) -> QWidget * { previews << QStringLiteral("titles"); return nullptr; };
    text.QuickRep1->openPreview = [&](TQRPrinter *) -> QWidget * { previews << QStringLiteral("text"); return nullptr; };
    dialog.BtnYazdir->click();
    EXPECT_TRUE(previews.isEmpty());
    dialog.RadioBtn2->setChecked(true);
    dialog.BtnYazdir->click();
    EXPECT_EQ(previews, QStringList{QStringLiteral("text")});
    EXPECT_TRUE(dialog.RadioBtn2->isChecked()); // the choice stays
    dialog.RadioBtn1->setChecked(true);
    EXPECT_FALSE(dialog.RadioBtn2->isChecked());
    dialog.BtnYazdir->click();
    EXPECT_EQ(previews, (QStringList{QStringLiteral("text"), QStringLiteral("titles")}));
}

TEST(Report, ABodyWithAPictureAndATableIsDrawnWithItsCellsText)
{
    // A 2 x 2 blue picture as a PNG blip, then a table of two cells.
    QImage blue(2, 2, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    blue.save(&buffer, "PNG");
    const QString body = rtf(QStringLiteral("Resim: {\\pict\\pngblip\\picw2\\pich2\\picwgoal1440\\pichgoal1440 ") +
                             QString::fromLatin1(png.toHex()) +
                             QStringLiteral("}\\par\\trowd\\cellx2000\\cellx4000 sol h\\'fccre\\cell sa\\'f0 h\\'fccre\\cell\\row\\pard sonra\\par"));
    Book book({{QStringLiteral("Tablo"), {{QStringLiteral("Resimli"), body}}}});
    TForm3 form(book.store.ADOQuery2);
    auto device = run(*form.QuickRep1);
    ASSERT_EQ(device->PageCount(), 1);
    const QString text = emfText(*device->GetPage(1));
    for (const QString &part : {QStringLiteral("Resim:"), QStringLiteral("sol hücre"), QStringLiteral("sağ hücre"), QStringLiteral("sonra")})
        EXPECT_TRUE(text.contains(part)) << part.toStdString() << " in " << text.toStdString();
    // The picture is on the page: an inch of blue below the body's top.
    metafile::EmfPlayer player;
    ASSERT_TRUE(player.load(*device->GetPage(1)));
    QImage page(794, 1123, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    player.play(&painter, QRectF(0, 0, 794, 1123));
    painter.end();
    int bluePixels = 0;
    for (int y = 40; y < 300; ++y)
        for (int x = 70; x < 300; ++x)
            bluePixels += page.pixelColor(x, y) == QColor(0, 0, 255);
    EXPECT_GT(bluePixels, 80 * 80);
}

TEST(PrintOptions, AFailedRunIsShownAndTheDialogGoesOn)
{
    Options o;
    TForm3 &text = o.text;
    TForm4 &dialog = o.dialog;
    QStringList shown;
    dialog.showError = [&](const QString &m, QWidget *) { shown << m; };
    text.QuickRep1->openPreview = [](TQRPrinter *) -> QWidget * { throw std::runtime_error("Failed to Load Stream"); };
    dialog.RadioBtn2->setChecked(true);
    dialog.BtnYazdir->click();
    EXPECT_EQ(shown, QStringList{QStringLiteral("Failed to Load Stream")});
    EXPECT_TRUE(text.QuickRep1->Available());
}

TEST(Report, PrintedLandscapeTheBodyLosesNoLineBelowThePaperEdge)
{
    Book book({{QStringLiteral("Yatay"), {{QStringLiteral("Satırlar"), numbered(120)}}}});
    TForm3 form(book.store.ADOQuery2);
    form.QuickRep1->Page.Orientation = QPageLayout::Landscape; // as the printer setup leaves it
    std::swap(form.QuickRep1->Page.Width, form.QuickRep1->Page.Length);
    auto device = run(*form.QuickRep1);
    QStringList lines;
    for (int n = 1; n <= device->PageCount(); ++n)
        lines += emfText(*device->GetPage(n)).split(u'\n');
    ASSERT_EQ(lines.size(), 120);
    EXPECT_EQ(lines.last(), QStringLiteral("Satır 120"));
}

TEST(Report, AFailedPrintFromThePreviewIsShownNotThrown)
{
    Book book({{QStringLiteral("Konu"), {{QStringLiteral("Alt"), rtf(QStringLiteral("metin\\par"))}}}});
    TForm2 form(book.store.ADOQuery1, book.store.ADOQuery2);
    TQuickRep &report = *form.QuickRep1;
    report.makePrinter = [] {
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(QStringLiteral("/proc/velkora/cannot/be/written.pdf"));
        return p;
    };
    QStringList shown;
    report.showError = [&](const QString &m) { shown << m; };
    TQRNotification request(TQRNotification::PrintRequest, 0);
    QCoreApplication::sendEvent(&report, &request);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(report.Available());
}

// A report file that cannot be loaded into the preview opened from the print options is shown
// through the program's error display, as the other failures of a run, over the preview (which the
// display then keeps in front), not over the main window.
TEST(PrintOptions, ThePreviewsLoadFailuresGoToTheErrorDisplayOverThePreview)
{
    Options o;
    TForm4 &dialog = o.dialog;
    QStringList shown;
    std::vector<bool> overPreview;
    dialog.showError = [&](const QString &m, QWidget *over) {
        shown << m;
        overPreview.push_back(qobject_cast<TQRStandardPreview *>(over) != nullptr);
    };
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bozuk.QRP"));
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'A'));
    }
    // Once the preview is up and its run has finished: load the damaged file, then close it.
    bool acted = false;
    int waited = 0;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        auto *preview = dialog.findChild<TQRStandardPreview *>();
        if (++waited > 500) { // ten seconds: give up and let the test fail
            if (preview)
                preview->close();
            poll.stop();
            return;
        }
        if (!preview || preview->statusText(1) != QStringLiteral("Page 1 of 1"))
            return;
        poll.stop();
        preview->askOpenFile = [&](QWidget *, const QString &, const QString &) {
            return TQRStandardPreview::FileChoice{bad, TQRStandardPreview::LoadFileType};
        };
        preview->findChild<QAction *>(QStringLiteral("LoadReport"))->trigger();
        acted = true;
        preview->close();
    });
    poll.start();
    dialog.RadioBtn2->setChecked(true);
    dialog.BtnYazdir->click(); // returns when the preview is closed
    ASSERT_TRUE(acted);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("is not a report file or is damaged"))) << shown[0].toStdString();
    EXPECT_EQ(overPreview, std::vector<bool>{true});
    // A failure of the options dialog's own run is shown over the dialog.
    o.text.QuickRep1->openPreview = [](TQRPrinter *) -> QWidget * { throw std::runtime_error("Failed to Load Stream"); };
    dialog.BtnYazdir->click();
    EXPECT_EQ(overPreview, (std::vector<bool>{true, false}));
}

namespace {

// A long body as people write them: paragraphs of mixed sizes, spacing before and after, exact and
// proportional line spacing, bold and italic runs, wrapped lines; with an emoji and a letter outside
// the basic plane, and an emoji alone. Its words, in order, go into words.
QString variedBody(int paragraphs, QStringList *words, const QString &font = QStringLiteral("Arial"))
{
    static const char *const sizes[] = {"\\fs16", "\\fs20", "\\fs24", "\\fs30", "\\fs18"};
    static const char *const spacing[] = {"", "\\sb120\\sa60", "\\sl-300\\slmult0", "\\sl360\\slmult1", "\\sa240", "\\sl-200\\slmult0"};
    QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0 %1;}{\\f1 Times New Roman;}}\\f0\\fs20 ").arg(font);
    for (int p = 0; p < paragraphs; ++p) {
        rtf += QStringLiteral("\\pard") + QString::fromLatin1(spacing[p % 6]) + QString::fromLatin1(sizes[p % 5]) + u' ';
        const int count = 4 + (p * 7) % 40;
        for (int w = 0; w < count; ++w) {
            QString word = QStringLiteral("p%1k%2").arg(p).arg(w);
            QString written = word;
            if (w == 3 && p % 11 == 0) { // an emoji and a mathematical letter, as the RTF writes them
                word += QStringLiteral("😀𝐀");
                written += QStringLiteral("\\u-10179?\\u-8704?\\u-10187?\\u-9216?");
            } else if (w == 5 && p % 7 == 0) { // an emoji alone, which DejaVu Sans has itself
                word += QStringLiteral("😀");
                written += QStringLiteral("\\u-10179?\\u-8704?");
            }
            *words << word;
            if (w % 9 == 4)
                written = QStringLiteral("{\\b ") + written + u'}';
            else if (w % 13 == 7)
                written = QStringLiteral("{\\i\\f1 ") + written + u'}';
            rtf += written + u' ';
        }
        rtf += QStringLiteral("\\par ");
    }
    return rtf + u'}';
}

QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

// Each line of a long body is on exactly one page of the PDF, also the line a page ends on: the
// text a reader searches or copies is the body's text, word for word, in order.
// In a body whose own font has the emoji (DejaVu Sans), as in one that borrows it from another.
TEST(PdfOfAReport, ALongBodysTextReadsBackWordForWordWithoutRepeatsAtPageBreaks)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext is missing (scripts/setup installs poppler-utils)";
    for (const QString font : {QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")}) {
        SCOPED_TRACE(font.toStdString());
        QStringList words;
        Book book({{QStringLiteral("Uzun"), {{QStringLiteral("Karışık"), variedBody(font == u"Arial" ? 900 : 300, &words, font)}}}});
        TForm3 form(book.store.ADOQuery2);
        auto device = run(*form.QuickRep1);
        ASSERT_GT(device->PageCount(), 3);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("uzun.pdf"));
        exportPdf(*device, pdf);
        const QStringList read = pdfText(pdf).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        EXPECT_EQ(read.size(), words.size());
        for (qsizetype i = 0; i < std::min(read.size(), words.size()); ++i)
            if (read[i] != words[i]) {
                ADD_FAILURE() << "word " << i << ": " << read[i].toStdString() << " instead of " << words[i].toStdString();
                break;
            }
    }
}
