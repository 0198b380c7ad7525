// The print preview window: page navigation and its keys, zoom and its modes, the image's place,
// the state before the first page, save and load of report files, closing, and the PDF export read
// back with poppler's pdftotext and pdftoppm.
#include "platform/metafile/emfplayer.h"
#include "print/pdfexport.h"
#include "print/tqrpreview.h"
#include "print/tqrprinter.h"
#include "print/tqrstandardpreview.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace velkora;
using namespace velkora::print;

namespace {

// Each page gets a block of its own colour, so a look at the image tells which page it shows.
QColor pageColour(int n)
{
    static const QColor colours[] = {QColor(200, 0, 0), QColor(0, 150, 0), QColor(0, 0, 200), QColor(200, 150, 0)};
    return colours[(n - 1) % 4];
}

void drawPage(TQRPrinter &d, int n, const QStringList &lines)
{
    d.BeginDevicePage();
    QPainter *p = d.Canvas();
    ASSERT_NE(p, nullptr);
    p->fillRect(QRect(100, 100, 200, 200), pageColour(n));
    p->setPen(Qt::black);
    p->setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
    int y = d.YPos(900);
    for (const QString &line : lines) {
        p->drawText(QPointF(d.XPos(200), y), line);
        y += 24;
    }
}

void makePages(TQRPrinter &d, int count)
{
    d.BeginOutput();
    for (int n = 1; n <= count; ++n)
        drawPage(d, n, {QStringLiteral("Sayfa %1").arg(n)});
    d.EndOutput();
}

// The colour the image shows in the middle of page n's block.
QColor blockColour(TQRStandardPreview &w)
{
    TQRPreviewImage *image = w.QRPreview()->PreviewImage();
    const QImage shot = image->grab().toImage();
    const QSizeF page = w.QRPreview()->pageSize();
    return shot.pixelColor(int(200 * shot.width() / page.width()), int(200 * shot.height() / page.height()));
}

bool near(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 && std::abs(a.blue() - b.blue()) < 40;
}

QAction *action(TQRStandardPreview &w, const char *name)
{
    return w.findChild<QAction *>(QString::fromLatin1(name));
}

void press(TQRStandardPreview &w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(w.QRPreview()->viewport(), Qt::Key(key), mods);
}

// A preview on a device, shown at a known size, with the device's notifications handled.
struct Shown
{
    explicit Shown(TQRPrinter *d, QSize size = QSize(800, 600)) : window(new TQRStandardPreview(d))
    {
        window->resize(size);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        QCoreApplication::processEvents();
    }
    ~Shown()
    {
        delete window.data();
    }
    TQRStandardPreview *operator->() const { return window; }
    TQRStandardPreview &operator*() const { return *window; }
    QPointer<TQRStandardPreview> window;
};

// Records what the device tells its report.
class Report : public QObject
{
public:
    std::vector<int> seen;
    bool event(QEvent *e) override
    {
        if (e->type() != TQRNotification::eventType())
            return QObject::event(e);
        seen.push_back(static_cast<TQRNotification *>(e)->message);
        return true;
    }
};

QByteArray run(const QString &program, const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

} // namespace

TEST(PrintPreview, OnePageStaysOnPageOneWhateverKeyIsPressed)
{
    TQRPrinter d;
    makePages(d, 1);
    Shown w(&d);
    EXPECT_EQ(w->statusText(1), QStringLiteral("Page 1 of 1"));
    ASSERT_TRUE(w->QRPreview()->PreviewImage()->pictureOk());
    // Opened on a device that has already finished: Print is on; printer setup waits for a
    // page-available notification, which this device sent before it had a client.
    EXPECT_TRUE(action(*w, "Print")->isEnabled());
    EXPECT_FALSE(action(*w, "PrintSetup")->isEnabled());
    for (int key : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End}) {
        press(*w, key);
        EXPECT_EQ(w->QRPreview()->PageNumber(), 1) << key;
        EXPECT_EQ(w->statusText(1), QStringLiteral("Page 1 of 1")) << key;
    }
    EXPECT_TRUE(near(blockColour(*w), pageColour(1)));
}

TEST(PrintPreview, PagesGoByButtonsAndKeysAndStopAtTheEnds)
{
    TQRPrinter d;
    makePages(d, 4);
    Shown w(&d);
    auto expectPage = [&](int n, const char *step) {
        EXPECT_EQ(w->QRPreview()->PageNumber(), n) << step;
        EXPECT_EQ(w->statusText(1), QStringLiteral("Page %1 of 4").arg(n)) << step;
        EXPECT_TRUE(near(blockColour(*w), pageColour(n))) << step;
    };
    expectPage(1, "start");
    press(*w, Qt::Key_PageUp);
    expectPage(1, "Page Up on the first page");
    press(*w, Qt::Key_PageDown);
    expectPage(2, "Page Down");
    press(*w, Qt::Key_End);
    expectPage(4, "End");
    press(*w, Qt::Key_PageDown);
    expectPage(4, "Page Down on the last page");
    press(*w, Qt::Key_PageUp, Qt::ControlModifier);
    expectPage(1, "Ctrl+Page Up");
    press(*w, Qt::Key_PageDown, Qt::ControlModifier);
    expectPage(4, "Ctrl+Page Down");
    press(*w, Qt::Key_PageUp, Qt::ControlModifier | Qt::ShiftModifier);
    expectPage(3, "Ctrl+Shift+Page Up goes one page back");
    press(*w, Qt::Key_Home);
    expectPage(1, "Home");
    action(*w, "ToolButton2")->trigger();
    expectPage(2, "Next page");
    action(*w, "LastPage")->trigger();
    expectPage(4, "Last page");
    action(*w, "PreviousPage")->trigger();
    expectPage(3, "Previous page");
    action(*w, "FirstPage")->trigger();
    expectPage(1, "First page");
    // A new page starts at the top-left corner.
    w->QRPreview()->setZoom(300);
    w->QRPreview()->verticalScrollBar()->setValue(500);
    action(*w, "ToolButton2")->trigger();
    EXPECT_EQ(w->QRPreview()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(w->QRPreview()->PreviewImage()->pos(), QPoint(0, 0));
}

TEST(PrintPreview, ToolbarHasItsItemsHintsAndGroups)
{
    TQRPrinter d;
    Shown w(&d);
    const std::pair<const char *, const char *> hints[] = {
        {"ZoomFit", "Zoom to fit"}, {"Zoom100", "100%"}, {"ZoomToWidth", "Zoom to width"},
        {"FirstPage", "First page"}, {"PreviousPage", "Previous page"}, {"ToolButton2", "Next page"},
        {"LastPage", "Last page"}, {"PrintSetup", "Printer setup"}, {"Print", "Print"},
        {"SaveReport", "Save Report"}, {"LoadReport", "Load Report"}};
    for (const auto &[name, hint] : hints) {
        QAction *a = action(*w, name);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_EQ(a->toolTip(), QString::fromUtf8(hint)) << name;
        EXPECT_FALSE(a->icon().isNull()) << name;
    }
    for (const char *divider : {"ToolButton1", "Separator1", "Separator2", "Separator3", "Separator4"})
        EXPECT_NE(action(*w, divider), nullptr) << divider;
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Print Preview"));
    EXPECT_TRUE(action(*w, "ZoomToWidth")->isChecked());
    action(*w, "ZoomFit")->trigger();
    EXPECT_TRUE(action(*w, "ZoomFit")->isChecked());
    EXPECT_FALSE(action(*w, "ZoomToWidth")->isChecked());
    auto *close = w->findChild<QPushButton *>(QStringLiteral("ExitButton"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), QStringLiteral("&Close"));

    TQRPrinter titled;
    titled.Title = QStringLiteral("Konu raporu");
    Shown t(&titled);
    EXPECT_EQ(t->windowTitle(), QStringLiteral("Konu raporu"));
}

TEST(PrintPreview, ZoomOutsideTwoToTwoThousandIsIgnored)
{
    TQRPrinter d;
    makePages(d, 1);
    Shown w(&d);
    TQRPreview *v = w->QRPreview();
    const QSizeF page = v->pageSize();
    v->setZoom(150);
    for (int bad : {1, 0, -5, 2001}) {
        v->setZoom(bad);
        EXPECT_EQ(v->Zoom(), 150) << bad;
    }
    for (int good : {2, 2000}) {
        v->setZoom(good);
        EXPECT_EQ(v->Zoom(), good);
        EXPECT_EQ(v->PreviewImage()->width(), int(std::lround(page.width() * good / 100)) + 4);
        EXPECT_EQ(v->PreviewImage()->height(), int(std::lround(page.height() * good / 100)) + 4);
    }
}

TEST(PrintPreview, ResizingFollowsTheZoomModeChosen)
{
    TQRPrinter d;
    Shown w(&d);
    makePages(d, 1);
    QCoreApplication::processEvents();
    TQRPreview *v = w->QRPreview();
    const QSizeF page = v->pageSize();
    // The first page came in at width zoom.
    EXPECT_EQ(v->zoomMode(), TQRPreview::ZoomMode::Width);
    for (QSize size : {QSize(900, 700), QSize(500, 800), QSize(1200, 500)}) {
        w->resize(size);
        QCoreApplication::processEvents();
        const QSize room = v->controlSize();
        EXPECT_EQ(v->Zoom(), int(std::lround(room.width() / page.width() * 90))) << size.width();
        // The zoom is a whole percentage: the page is 90 % of the room within half a percent of itself.
        EXPECT_NEAR(v->PreviewImage()->width() - 4, room.width() * 0.9, page.width() * 0.005 + 1) << size.width();
    }
    EXPECT_TRUE(action(*w, "ZoomToWidth")->isChecked());

    action(*w, "ZoomFit")->trigger();
    for (QSize size : {QSize(900, 700), QSize(500, 800), QSize(1200, 500)}) {
        w->resize(size);
        QCoreApplication::processEvents();
        const QSize room = v->controlSize();
        const int expected = std::min(int(std::lround(room.width() / page.width() * 95)), int(std::lround(room.height() / page.height() * 95)));
        EXPECT_EQ(v->Zoom(), expected) << size.width();
        // The whole page fits, and the limiting side takes 95 % of the room.
        EXPECT_LE(v->PreviewImage()->width(), room.width());
        EXPECT_LE(v->PreviewImage()->height(), room.height());
        const double used = std::max((v->PreviewImage()->width() - 4) / double(room.width()),
                                     (v->PreviewImage()->height() - 4) / double(room.height()));
        const double slack = 0.005 * std::max(page.width() / room.width(), page.height() / room.height()) + 0.002;
        EXPECT_NEAR(used, 0.95, slack) << size.width();
    }

    action(*w, "Zoom100")->trigger();
    w->resize(900, 1400);
    QCoreApplication::processEvents();
    EXPECT_EQ(v->Zoom(), 100);
    const QPoint before = v->PreviewImage()->pos();
    w->resize(1400, 1400);
    QCoreApplication::processEvents();
    EXPECT_EQ(v->Zoom(), 100);
    EXPECT_EQ(v->PreviewImage()->width(), int(std::lround(page.width())) + 4);
    EXPECT_EQ(v->PreviewImage()->pos().x(), (v->viewport()->width() - v->PreviewImage()->width()) / 2);
    EXPECT_GT(v->PreviewImage()->pos().x(), before.x());
    EXPECT_TRUE(action(*w, "Zoom100")->isChecked());
}

TEST(PrintPreview, SmallImageIsCentredLargeOneStartsTopLeftWithScrollBars)
{
    TQRPrinter d;
    makePages(d, 1);
    Shown w(&d);
    TQRPreview *v = w->QRPreview();
    v->setZoom(30);
    QCoreApplication::processEvents();
    const QSize room = v->viewport()->size();
    const QSize image = v->PreviewImage()->size();
    EXPECT_EQ(v->PreviewImage()->pos(), QPoint((room.width() - image.width()) / 2, (room.height() - image.height()) / 2));
    EXPECT_FALSE(v->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(v->verticalScrollBar()->isVisible());

    v->setZoom(250);
    QCoreApplication::processEvents();
    EXPECT_EQ(v->PreviewImage()->pos(), QPoint(0, 0));
    EXPECT_TRUE(v->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(v->verticalScrollBar()->isVisible());
    EXPECT_EQ(v->horizontalScrollBar()->value(), 0);
    v->horizontalScrollBar()->setValue(100);
    EXPECT_EQ(v->PreviewImage()->pos().x(), -100);
}

TEST(PrintPreview, ImagePaintsPageFrameAndShadow)
{
    TQRPrinter d;
    makePages(d, 1);
    Shown w(&d);
    w->QRPreview()->setZoom(50);
    const QImage shot = w->QRPreview()->PreviewImage()->grab().toImage();
    const int W = shot.width(), H = shot.height();
    EXPECT_EQ(shot.pixelColor(0, H / 2), QColor(Qt::black));       // frame, left
    EXPECT_EQ(shot.pixelColor(W - 3, H / 2), QColor(Qt::black));   // frame, right
    EXPECT_EQ(shot.pixelColor(W - 1, H / 2), QColor(Qt::black));   // shadow, right
    EXPECT_EQ(shot.pixelColor(W / 2, H - 1), QColor(Qt::black));   // shadow, bottom
    EXPECT_EQ(shot.pixelColor(W / 2, H * 3 / 4), QColor(Qt::white)); // the empty page
    EXPECT_TRUE(near(blockColour(*w), pageColour(1)));
}

TEST(PrintPreview, BeforeTheFirstPageNothingIsShownAndPrintingIsOff)
{
    TQRPrinter d;
    Shown w(&d);
    EXPECT_EQ(d.Client, w->QRPreview());
    EXPECT_TRUE(d.ShowingPreview());
    EXPECT_EQ(w->statusText(1), QStringLiteral("Page 1 of 0"));
    EXPECT_EQ(w->statusText(0), QStringLiteral("0%"));
    d.BeginOutput();
    drawPage(d, 1, {QStringLiteral("ilk")});
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->QRPreview()->PreviewImage()->pictureOk());
    EXPECT_FALSE(action(*w, "PrintSetup")->isEnabled());
    EXPECT_FALSE(action(*w, "Print")->isEnabled());
    const QImage blank = w->QRPreview()->PreviewImage()->grab().toImage();
    EXPECT_EQ(blank.pixelColor(blank.width() - 1, blank.height() / 2), blank.pixelColor(1, 1)); // no shadow painted
    drawPage(d, 2, {QStringLiteral("ikinci")});
    QCoreApplication::processEvents();
    // The first page shows at width zoom as soon as it is finished; printing waits for the end.
    EXPECT_TRUE(w->QRPreview()->PreviewImage()->pictureOk());
    EXPECT_EQ(w->QRPreview()->zoomMode(), TQRPreview::ZoomMode::Width);
    EXPECT_EQ(w->statusText(1), QStringLiteral("Page 1 of 2"));
    EXPECT_FALSE(action(*w, "Print")->isEnabled());
    d.EndOutput();
    QCoreApplication::processEvents();
    EXPECT_TRUE(action(*w, "PrintSetup")->isEnabled());
    EXPECT_TRUE(action(*w, "Print")->isEnabled());
    EXPECT_TRUE(near(blockColour(*w), pageColour(1)));
}

TEST(PrintPreview, ProgressShowsInStepsOfFiveAndClearsAtTheEnds)
{
    TQRPrinter d;
    Shown w(&d);
    const std::pair<int, const char *> steps[] = {{3, "0%"}, {5, "5%"}, {8, "5%"}, {10, "10%"}, {100, ""}, {40, ""}, {0, ""}};
    for (const auto &[p, shown] : steps) {
        d.setProgress(p);
        QCoreApplication::processEvents();
        EXPECT_EQ(w->statusText(0), QString::fromUtf8(shown)) << p;
    }
}

TEST(PrintPreview, SavedReportLoadsBackWithTheSamePages)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rapor.QRP"));
    TQRPrinter made;
    makePages(made, 3);
    {
        Shown w(&made);
        QString asked;
        w->askSaveFile = [&](QWidget *, const QString &title, const QString &filters, const QString &suffix) {
            asked = title + u'|' + filters + u'|' + suffix;
            return TQRStandardPreview::FileChoice{path, TQRStandardPreview::ReportFileType};
        };
        action(*w, "SaveReport")->trigger();
        EXPECT_EQ(asked, QStringLiteral("Save report|QuickReport file(*.QRP);;PDF Dosyası (*.pdf)|QRP"));
        ASSERT_TRUE(QFile::exists(path));
    }
    TQRPrinter other;
    makePages(other, 1);
    Shown w(&other);
    action(*w, "ToolButton2")->trigger();
    QString asked;
    w->askOpenFile = [&](QWidget *, const QString &title, const QString &filters) {
        asked = title + u'|' + filters;
        return TQRStandardPreview::FileChoice{path, filters};
    };
    QStringList messages;
    w->showMessage = [&](QWidget *, const QString &m) { messages << m; };
    w->showError = [&](QWidget *, const QString &m) { messages << m; };
    action(*w, "LoadReport")->trigger();
    EXPECT_EQ(asked, QStringLiteral("Load report|QuickReport file (*.QRP)"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    ASSERT_EQ(other.PageCount(), 3);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(other.GetPage(n), made.GetPage(n)) << n;
    EXPECT_EQ(w->statusText(1), QStringLiteral("Page 1 of 3"));
    EXPECT_FALSE(action(*w, "PrintSetup")->isEnabled());
    EXPECT_TRUE(action(*w, "Print")->isEnabled());
    EXPECT_TRUE(near(blockColour(*w), pageColour(1)));
    press(*w, Qt::Key_End);
    EXPECT_TRUE(near(blockColour(*w), pageColour(3)));
}

TEST(PrintPreview, SavingBeforeTheRunHasFinishedWritesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("erken.QRP"));
    TQRPrinter d;
    Shown w(&d);
    d.BeginOutput();
    drawPage(d, 1, {QStringLiteral("yarım")});
    for (const QString &type : {TQRStandardPreview::ReportFileType, TQRStandardPreview::PdfFileType}) {
        w->askSaveFile = [&](QWidget *, const QString &, const QString &, const QString &) {
            return TQRStandardPreview::FileChoice{path, type};
        };
        action(*w, "SaveReport")->trigger();
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_FALSE(QFile::exists(path + QStringLiteral(".pdf")));
    }
    d.EndOutput();
}

TEST(PrintPreview, LoadingAMissingFileSaysSoAndChangesNothing)
{
    TQRPrinter d;
    Shown w(&d);
    makePages(d, 2);
    QCoreApplication::processEvents();
    const QByteArray before = *d.GetPage(1);
    QStringList messages, errors;
    w->showMessage = [&](QWidget *, const QString &m) { messages << m; };
    w->showError = [&](QWidget *, const QString &m) { errors << m; };
    w->askOpenFile = [&](QWidget *, const QString &, const QString &) {
        return TQRStandardPreview::FileChoice{QStringLiteral("/nonexistent/yok.QRP"), TQRStandardPreview::LoadFileType};
    };
    action(*w, "LoadReport")->trigger();
    EXPECT_EQ(messages, QStringList{QStringLiteral("File does not exist")}); // a plain message, not an error
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(d.PageCount(), 2);
    EXPECT_EQ(*d.GetPage(1), before);
    EXPECT_FALSE(d.LoadedFromFile());
    EXPECT_TRUE(action(*w, "PrintSetup")->isEnabled());
}

TEST(PrintPreview, ADamagedReportFileIsRefusedWithItsMessageAndThePreviewStaysAsItWas)
{
    QTemporaryDir dir;
    TQRPrinter source;
    makePages(source, 2);
    const QString good = dir.filePath(QStringLiteral("iyi.QRP"));
    source.Save(good);
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    const QString cut = dir.filePath(QStringLiteral("kesik.QRP"));
    const QString junk = dir.filePath(QStringLiteral("bozuk.QRP"));
    QFile c(cut);
    ASSERT_TRUE(c.open(QIODevice::WriteOnly));
    c.write(bytes.left(bytes.size() - 300));
    c.close();
    QFile j(junk);
    ASSERT_TRUE(j.open(QIODevice::WriteOnly));
    j.write(QByteArray(600, '\x7f'));
    j.close();

    TQRPrinter d;
    Shown w(&d);
    makePages(d, 3);
    QCoreApplication::processEvents();
    press(*w, Qt::Key_PageDown);
    const QByteArray page2 = *d.GetPage(2);
    for (const QString &bad : {cut, junk}) {
        // What the device says of the file is what the user reads.
        QString expected;
        try {
            TQRPrinter probe;
            probe.Load(bad);
        } catch (const ReportFileError &e) {
            expected = e.message();
        }
        ASSERT_FALSE(expected.isEmpty()) << bad.toStdString();
        QStringList messages, errors;
        w->showMessage = [&](QWidget *, const QString &m) { messages << m; };
        w->showError = [&](QWidget *, const QString &m) { errors << m; };
        w->askOpenFile = [&](QWidget *, const QString &, const QString &) {
            return TQRStandardPreview::FileChoice{bad, TQRStandardPreview::LoadFileType};
        };
        action(*w, "LoadReport")->trigger();
        EXPECT_EQ(errors, QStringList{expected}); // shown as an error
        EXPECT_TRUE(messages.isEmpty());
        EXPECT_EQ(d.PageCount(), 3);
        EXPECT_EQ(*d.GetPage(2), page2);
        EXPECT_FALSE(d.LoadedFromFile());
        EXPECT_EQ(w->QRPreview()->PageNumber(), 2);
        EXPECT_EQ(w->statusText(1), QStringLiteral("Page 2 of 3"));
        EXPECT_TRUE(action(*w, "PrintSetup")->isEnabled());
        EXPECT_TRUE(near(blockColour(*w), pageColour(2)));
    }
}

TEST(PrintPreview, EscClosesTheWindowAndTellsTheReport)
{
    for (bool byButton : {false, true}) {
        TQRPrinter d;
        makePages(d, 1);
        Report report;
        d.MasterReport = &report;
        bool afterPreview = false;
        d.AfterPreview = [&] { afterPreview = true; };
        Shown w(&d);
        ASSERT_TRUE(d.ShowingPreview());
        if (byButton)
            QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("ExitButton")), Qt::LeftButton);
        else
            press(*w, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(w.window.isNull()) << byButton;
        EXPECT_EQ(report.seen, std::vector<int>{TQRNotification::PreviewClosed}) << byButton;
        EXPECT_FALSE(d.ShowingPreview());
        EXPECT_TRUE(afterPreview);
        EXPECT_EQ(d.Client, nullptr);
    }
}

TEST(PrintPreview, PrintSetupAndPrintGoToTheDevice)
{
    TQRPrinter d;
    Report report;
    d.MasterReport = &report;
    int setups = 0;
    d.OnPrintSetup = [&] { ++setups; };
    Shown w(&d);
    // Printer setup waits for the page-available notification of a finished run.
    EXPECT_FALSE(action(*w, "PrintSetup")->isEnabled());
    makePages(d, 1);
    QCoreApplication::processEvents();
    ASSERT_TRUE(action(*w, "PrintSetup")->isEnabled());
    action(*w, "PrintSetup")->trigger();
    EXPECT_EQ(setups, 1);
    action(*w, "Print")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(report.seen, std::vector<int>{TQRNotification::PrintRequest});
}

// PDF export through the save dialog's second file type: real text in order, the page as the
// preview draws it.
TEST(PdfExport, SavedAsPdfTheTextReadsBackInOrderAndThePageLooksLikeThePreview)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftotext.isEmpty() || pdftoppm.isEmpty())
        GTEST_SKIP() << "poppler-utils are not installed";
    QTemporaryDir dir;
    const QStringList first = {QStringLiteral("Çağdaş Türkçe sözlük: ığdır, şoför, öğün"),
                               QStringLiteral("İkinci satır: Işık, Ünlü, Göz"),
                               QStringLiteral("Üçüncü satır biter.")};
    const QStringList second = {QStringLiteral("Sonraki sayfa: çekirdek ağacı")};
    TQRPrinter d;
    d.BeginOutput();
    drawPage(d, 1, first);
    drawPage(d, 2, second);
    d.EndOutput();
    Shown w(&d);
    const QString chosen = dir.filePath(QStringLiteral("rapor"));
    w->askSaveFile = [&](QWidget *, const QString &, const QString &, const QString &) {
        return TQRStandardPreview::FileChoice{chosen, TQRStandardPreview::PdfFileType};
    };
    QStringList messages;
    w->showMessage = [&](QWidget *, const QString &m) { messages << m; };
    w->showError = [&](QWidget *, const QString &m) { messages << m; };
    action(*w, "SaveReport")->trigger();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    const QString pdf = chosen + QStringLiteral(".pdf");
    ASSERT_TRUE(QFile::exists(pdf));

    int status = -1;
    const QString text = QString::fromUtf8(run(pdftotext, {pdf, QStringLiteral("-")}, &status));
    ASSERT_EQ(status, 0);
    qsizetype at = 0;
    for (const QString &line : first + second) {
        const qsizetype found = text.indexOf(line, at);
        EXPECT_GE(found, at) << line.toStdString() << " in\n" << text.toStdString();
        if (found >= 0)
            at = found + line.size();
    }
    EXPECT_EQ(text.count(u'\f'), 2); // two pages

    const QString info = QString::fromUtf8(run(QStandardPaths::findExecutable(QStringLiteral("pdfinfo")), {pdf}));
    EXPECT_TRUE(info.contains(QStringLiteral("(A4)"))) << info.toStdString();

    // Page 1 rendered by poppler against page 1 played by the preview's player at the same size.
    const QString png = dir.filePath(QStringLiteral("sayfa"));
    run(pdftoppm, {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                   QStringLiteral("1"), QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf, png},
        &status);
    ASSERT_EQ(status, 0);
    const QImage rendered = QImage(png + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
    ASSERT_FALSE(rendered.isNull());
    auto played = [&](int n) {
        QImage image(rendered.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        metafile::EmfPlayer player;
        EXPECT_TRUE(player.load(*d.GetPage(n)));
        QPainter p(&image);
        player.play(&p, QRectF(QPointF(0, 0), image.size()));
        p.end();
        return image.convertToFormat(QImage::Format_Grayscale8);
    };
    auto difference = [&](const QImage &other) {
        double sum = 0;
        for (int y = 0; y < rendered.height(); ++y) {
            const uchar *a = rendered.constScanLine(y), *b = other.constScanLine(y);
            for (int x = 0; x < rendered.width(); ++x)
                sum += std::abs(int(a[x]) - int(b[x]));
        }
        return sum / (rendered.width() * rendered.height());
    };
    const double same = difference(played(1));
    const double otherPage = difference(played(2));
    // Measured: about 0.5 for the same page (anti-aliasing of the text), about 2 for the next page.
    EXPECT_LT(same, 1.0) << "the next page differs by " << otherPage;
    EXPECT_GT(otherPage, same * 3);
}

TEST(PdfExport, APlaceThatCannotBeWrittenIsRefusedWithAMessage)
{
    TQRPrinter d;
    makePages(d, 1);
    Shown w(&d);
    w->askSaveFile = [&](QWidget *, const QString &, const QString &, const QString &) {
        return TQRStandardPreview::FileChoice{QStringLiteral("/nonexistent/klasör/rapor.pdf"), TQRStandardPreview::PdfFileType};
    };
    QStringList messages;
    w->showError = [&](QWidget *, const QString &m) { messages << m; };
    action(*w, "SaveReport")->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Cannot create file \"/nonexistent/klasör/rapor.pdf\""))) << messages[0].toStdString();

    TQRPrinter empty;
    EXPECT_THROW(exportPdf(empty, QStringLiteral("/tmp/never.pdf")), PdfExportError);
}
