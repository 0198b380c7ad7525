// Printing for real: a CUPS scheduler of the test's own (private socket, spool and queue) receives
// the jobs, a queue device of ours writes them into files, and poppler reads them back.
#include "emftext.h"
#include "printtesting.h"
#include "print/reportforms.h"
#include "print/tqrprinter.h"
#include "store/bookstore.h"
#include "support/bookfixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

using namespace velkora;
using namespace velkora::print;
using velkora::testing::pageWithText;

namespace {

// A scheduler on a socket in a temporary folder, with one queue "Velkora" whose device writes each
// job into out/job-N.out. Stopped by its PID when the suite ends.
class PrivateCups
{
public:
    PrivateCups()
    {
        m_dir.setAutoRemove(true);
        const QString d = m_dir.path();
        QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                     QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        for (const char *sub : {"spool", "tmp", "cache", "state", "out", "bin/backend"})
            QDir(d).mkpath(QString::fromLatin1(sub));
        for (const char *sub : {"tmp", "out"})
            QFile::setPermissions(d + u'/' + QString::fromLatin1(sub), QFileDevice::Permissions(0x7777));
        for (const char *sub : {"filter", "daemon", "cgi-bin", "notifier", "monitor", "driver"})
            QFile::link(QStringLiteral("/usr/lib/cups/") + QString::fromLatin1(sub), d + QStringLiteral("/bin/") + QString::fromLatin1(sub));
        write(QStringLiteral("bin/backend/capture"),
              "#!/bin/sh\n"
              "if [ $# -eq 0 ]; then echo 'direct capture \"Unknown\" \"Capture\"'; exit 0; fi\n"
              "dir=${DEVICE_URI#capture:}\n"
              "if [ -n \"$6\" ]; then cat \"$6\"; else cat; fi > \"$dir/job-$1.tmp\" && mv \"$dir/job-$1.tmp\" \"$dir/job-$1.out\"\n");
        // Owned by root and for root alone: the scheduler then runs the device as root.
        QFile::setPermissions(d + QStringLiteral("/bin/backend/capture"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        write(QStringLiteral("cupsd.conf"),
              QStringLiteral("Listen %1/cups.sock\nLogLevel warn\nBrowsing Off\nDefaultAuthType None\nWebInterface No\n"
                             "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n").arg(d).toUtf8());
        write(QStringLiteral("cups-files.conf"),
              QStringLiteral("ServerRoot %1\nRequestRoot %1/spool\nTempDir %1/tmp\nCacheDir %1/cache\nStateDir %1/state\n"
                             "ErrorLog %1/error_log\nAccessLog %1/access_log\nPageLog %1/page_log\n"
                             "DataDir /usr/share/cups\nServerBin %1/bin\n").arg(d).toUtf8());
        if (!QFile::exists(QStringLiteral("/usr/sbin/cupsd"))) {
            m_problem = QStringLiteral("cupsd is not installed (scripts/setup installs cups-daemon)");
            return;
        }
        m_cupsd.start(QStringLiteral("/usr/sbin/cupsd"), {QStringLiteral("-f"), QStringLiteral("-c"), d + QStringLiteral("/cupsd.conf"),
                                                          QStringLiteral("-s"), d + QStringLiteral("/cups-files.conf")});
        if (!m_cupsd.waitForStarted(5000)) {
            m_problem = QStringLiteral("cupsd did not start: ") + m_cupsd.errorString();
            return;
        }
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(socket()) && clock.elapsed() < 10000 && m_cupsd.state() == QProcess::Running)
            QThread::msleep(50);
        if (!QFile::exists(socket())) {
            m_problem = QStringLiteral("cupsd did not open its socket: ") + QString::fromLocal8Bit(m_cupsd.readAllStandardError());
            return;
        }
        qputenv("CUPS_SERVER", socket().toLocal8Bit());
        QProcess admin;
        admin.start(QStringLiteral("lpadmin"), {QStringLiteral("-p"), QStringLiteral("Velkora"), QStringLiteral("-v"),
                                                QStringLiteral("capture:") + d + QStringLiteral("/out"), QStringLiteral("-E")});
        if (!admin.waitForFinished(10000) || admin.exitCode() != 0)
            m_problem = QStringLiteral("lpadmin failed: ") + QString::fromLocal8Bit(admin.readAllStandardError());
        // Two queues with a driver description: one for a colour printer, one for a printer without
        // colour. Both take the PDF as it is and write it into out/ as the first queue does.
        for (const auto &[queue, colour] : {std::pair{"Renkli", true}, std::pair{"Siyah", false}}) {
            const QString ppd = d + u'/' + QString::fromLatin1(queue) + QStringLiteral(".ppd");
            write(QString::fromLatin1(queue) + QStringLiteral(".ppd"), driverDescription(queue, colour));
            QProcess add;
            add.start(QStringLiteral("lpadmin"), {QStringLiteral("-p"), QString::fromLatin1(queue), QStringLiteral("-v"),
                                                  QStringLiteral("capture:") + d + QStringLiteral("/out"), QStringLiteral("-P"), ppd,
                                                  QStringLiteral("-E")});
            if (!add.waitForFinished(10000) || add.exitCode() != 0)
                m_problem = QStringLiteral("lpadmin failed: ") + QString::fromLocal8Bit(add.readAllStandardError());
        }
    }
    // A small driver description: A4 and Letter, colour or not, PDF passed through unchanged.
    static QByteArray driverDescription(const char *name, bool colour)
    {
        return QByteArrayLiteral("*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
                                 "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"VELKORA.PPD\"\n"
                                 "*Manufacturer: \"Velkora\"\n*Product: \"(Velkora)\"\n")
               + "*ModelName: \"" + name + "\"\n*ShortNickName: \"" + name + "\"\n*NickName: \"" + name + "\"\n"
               + "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: " + (colour ? "True" : "False") + "\n"
               + "*DefaultColorSpace: " + (colour ? "RGB" : "Gray") + "\n*FileSystem: False\n*Throughput: \"1\"\n"
               "*LandscapeOrientation: Plus90\n*TTRasterizer: Type42\n"
               "*cupsFilter2: \"application/pdf application/pdf 0 -\"\n"
               "*OpenUI *PageSize/Media Size: PickOne\n*OrderDependency: 10 AnySetup *PageSize\n*DefaultPageSize: A4\n"
               "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
               "*PageSize Letter/Letter: \"<</PageSize[612 792]>>setpagedevice\"\n*CloseUI: *PageSize\n"
               "*OpenUI *PageRegion: PickOne\n*OrderDependency: 10 AnySetup *PageRegion\n*DefaultPageRegion: A4\n"
               "*PageRegion A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
               "*PageRegion Letter/Letter: \"<</PageSize[612 792]>>setpagedevice\"\n*CloseUI: *PageRegion\n"
               "*DefaultImageableArea: A4\n*ImageableArea A4/A4: \"0 0 595 842\"\n*ImageableArea Letter/Letter: \"0 0 612 792\"\n"
               "*DefaultPaperDimension: A4\n*PaperDimension A4/A4: \"595 842\"\n*PaperDimension Letter/Letter: \"612 792\"\n";
    }
    ~PrivateCups()
    {
        if (m_cupsd.state() == QProcess::Running) {
            ::kill(pid_t(m_cupsd.processId()), SIGTERM);
            m_cupsd.waitForFinished(5000);
        }
    }
    QString problem() const { return m_problem; }
    QString socket() const { return m_dir.filePath(QStringLiteral("cups.sock")); }
    // The jobs received so far, waiting up to ten seconds for count of them.
    QStringList jobs(int count) const
    {
        QElapsedTimer clock;
        clock.start();
        QStringList found;
        do {
            found = QDir(m_dir.filePath(QStringLiteral("out"))).entryList({QStringLiteral("*.out")}, QDir::Files, QDir::Name);
            if (found.size() >= count)
                break;
            QThread::msleep(100);
        } while (clock.elapsed() < 10000);
        QStringList paths;
        for (const QString &f : found)
            paths << m_dir.filePath(QStringLiteral("out/") + f);
        return paths;
    }

private:
    void write(const QString &name, const QByteArray &text)
    {
        QFile f(m_dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
    }
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/velkora-cups-XXXXXX")};
    QProcess m_cupsd;
    QString m_problem;
};

PrivateCups *cups = nullptr;

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class RealPrinting : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { cups = new PrivateCups; }
    static void TearDownTestSuite()
    {
        delete cups;
        cups = nullptr;
    }
    void SetUp() override
    {
        if (!cups->problem().isEmpty())
            GTEST_SKIP() << cups->problem().toStdString();
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext is missing (scripts/setup installs poppler-utils)";
    }
    static std::unique_ptr<QPrinter> queue(const QString &name = QStringLiteral("Velkora"))
    {
        const QPrinterInfo info = QPrinterInfo::printerInfo(name);
        EXPECT_FALSE(info.isNull()) << "the private queue is not seen by Qt's printing";
        return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
};


} // namespace

TEST_F(RealPrinting, PagesGoToTheQueueOnA4WithTheirText)
{
    TQRPrinter d(nullptr, queue());
    ASSERT_TRUE(d.PrinterOK());
    EXPECT_EQ(d.PrinterSettings().Device, QStringLiteral("Velkora"));
    d.Destination = TQRDestination::qrdPrinter;
    d.Title = QStringLiteral("Velkora sınaması");
    d.BeginOutput();
    pageWithText(d, QStringLiteral("Birinci sayfa: çğıöşü"));
    pageWithText(d, QStringLiteral("İkinci sayfa"));
    d.EndOutput();
    const QStringList jobs = cups->jobs(1);
    ASSERT_EQ(jobs.size(), 1);
    const QString info = run(QStringLiteral("pdfinfo"), {jobs[0]});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 84[12]")))) << info.toStdString();
    const QString text = run(QStringLiteral("pdftotext"), {jobs[0], QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("Birinci sayfa: çğıöşü"))) << text.toStdString();
    EXPECT_LT(text.indexOf(QStringLiteral("Birinci")), text.indexOf(QStringLiteral("İkinci")));
}

TEST_F(RealPrinting, StoredPagesOfAReportFilePrintStretchedOverThePage)
{
    QTemporaryDir dir;
    const QString qrp = dir.filePath(QStringLiteral("rapor.qrp"));
    {
        TQRPrinter preview(nullptr, queue());
        preview.BeginOutput();
        for (int n = 1; n <= 3; ++n)
            pageWithText(preview, QStringLiteral("Saklanan sayfa %1").arg(n));
        preview.EndOutput();
        preview.Save(qrp);
    }
    const int before = int(cups->jobs(0).size());
    TQRPrinter d(nullptr, queue());
    d.Load(qrp);
    d.FirstPage = 2; // pages 2 and 3 of the file
    d.Print();
    const QStringList jobs = cups->jobs(before + 1);
    ASSERT_EQ(jobs.size(), before + 1);
    const QString text = run(QStringLiteral("pdftotext"), {jobs.last(), QStringLiteral("-")});
    EXPECT_FALSE(text.contains(QStringLiteral("Saklanan sayfa 1")));
    EXPECT_TRUE(text.contains(QStringLiteral("Saklanan sayfa 2")));
    EXPECT_TRUE(text.contains(QStringLiteral("Saklanan sayfa 3")));
}

TEST_F(RealPrinting, PrintFromThePreviewRunsTheReportAgainOnTheQueue)
{
    velkora::testing::BookFixture book({{QStringLiteral("Yazıcı Konusu"),
                                         {{QStringLiteral("Yazıcı Alt Konusu"),
                                           QStringLiteral("{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 "
                                                          "Kuyru\\'f0a giden g\\'f6vde.\\par}")}}}});
    const QString previous = QDir::currentPath();
    QDir::setCurrent(book.folder());
    store::BookStore store;
    store.connect();
    store.openQueries();
    TForm2 layout(store.ADOQuery1, store.ADOQuery2);
    TQuickRep &report = *layout.QuickRep1;
    report.makePrinter = [] { return queue(); };
    report.ShowProgress = false;
    const int before = int(cups->jobs(0).size());
    report.openPreview = [](TQRPrinter *device) -> QWidget * {
        device->setShowingPreview(true);
        // "Print" in the preview, then the window closes.
        QTimer::singleShot(20, [device] { device->Print(); });
        QTimer::singleShot(400, [device] { device->ClosePreview(); });
        return nullptr;
    };
    report.PreviewReport();
    QDir::setCurrent(previous);
    const QStringList jobs = cups->jobs(before + 1);
    ASSERT_EQ(jobs.size(), before + 1);
    const QString text = run(QStringLiteral("pdftotext"), {jobs.last(), QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("Yazıcı Konusu"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Yazıcı Alt Konusu")));
    EXPECT_TRUE(text.contains(QStringLiteral("Kuyruğa giden gövde.")));
    EXPECT_LT(text.indexOf(QStringLiteral("Yazıcı Alt Konusu")), text.indexOf(QStringLiteral("Kuyruğa")));
}

namespace {

// A body of many paragraphs, each a long line of numbered words, as RTF.
QString longBody(int paragraphs, QStringList *words)
{
    QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ");
    for (int p = 0; p < paragraphs; ++p) {
        for (int w = 0; w < 18; ++w) {
            const QString word = QStringLiteral("k%1s%2").arg(p).arg(w);
            *words << word;
            rtf += word + u' ';
        }
        rtf += QStringLiteral("\\par ");
    }
    return rtf + u'}';
}

// The x (in points) of the right end of each word pdftotext -bbox finds, by word.
QMap<QString, double> wordRights(const QString &pdf)
{
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    QMap<QString, double> rights;
    static const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    for (auto m = word.globalMatch(html); m.hasNext();) {
        const auto w = m.next();
        rights.insert(w.captured(3), w.captured(2).toDouble());
    }
    return rights;
}

} // namespace

TEST_F(RealPrinting, AManyParagraphBodyPrintsAtThePreviewsWidthAndPageCount)
{
    QStringList words;
    velkora::testing::BookFixture book({{QStringLiteral("Uzun"), {{QStringLiteral("Gövde"), longBody(300, &words)}}}});
    const QString previous = QDir::currentPath();
    QDir::setCurrent(book.folder());
    store::BookStore store;
    store.connect();
    store.openQueries();
    TForm3 layout(store.ADOQuery2);
    TQuickRep &report = *layout.QuickRep1;
    report.makePrinter = [] { return queue(); };
    report.ShowProgress = false;
    const int before = int(cups->jobs(0).size());
    int previewPages = 0;
    report.openPreview = [&previewPages](TQRPrinter *device) -> QWidget * {
        device->setShowingPreview(true);
        // "Print" once the preview's pages are all made; the window closes when the job is out.
        auto *poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, poll, [poll, device, &previewPages] {
            if (device->Status() != TQRPrinterStatus::mpFinished)
                return;
            poll->deleteLater();
            previewPages = device->PageCount();
            device->Print();
            QTimer::singleShot(200, [device] { device->ClosePreview(); });
        });
        poll->start(20);
        return nullptr;
    };
    report.PreviewReport();
    QDir::setCurrent(previous);
    const QStringList jobs = cups->jobs(before + 1);
    ASSERT_EQ(jobs.size(), before + 1);
    const QString info = run(QStringLiteral("pdfinfo"), {jobs.last()});
    EXPECT_GT(previewPages, 1);
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(previewPages)))) << info.toStdString();
    const QMap<QString, double> rights = wordRights(jobs.last());
    // Every word printed, and the lines reach the right part of the body box (21.17 to 190.76 mm).
    int missing = 0;
    double rightmost = 0;
    for (const QString &w : std::as_const(words)) {
        if (!rights.contains(w))
            ++missing;
        rightmost = std::max(rightmost, rights.value(w));
    }
    EXPECT_EQ(missing, 0);
    EXPECT_GT(rightmost / 72 * 25.4, 160.0);
    EXPECT_LT(rightmost / 72 * 25.4, 191.0);
}

// The preview shows colours; the printer gets them too unless its driver says it has none: a queue
// without a driver and one whose driver declares colour print red as red, a monochrome one in grey.
TEST_F(RealPrinting, ColoursReachTheQueueUnlessThePrinterHasNone)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
        GTEST_SKIP() << "pdftoppm is missing (scripts/setup installs poppler-utils)";
    QTemporaryDir dir;
    for (const auto &[name, colour] : {std::pair{"Velkora", true}, std::pair{"Renkli", true}, std::pair{"Siyah", false}}) {
        SCOPED_TRACE(name);
        const int before = int(cups->jobs(0).size());
        TQRPrinter d(nullptr, queue(QString::fromLatin1(name)));
        ASSERT_TRUE(d.PrinterOK());
        EXPECT_EQ(d.PrinterSettings().Colour, colour);
        d.Destination = TQRDestination::qrdPrinter;
        d.BeginOutput();
        d.BeginDevicePage();
        d.Canvas()->fillRect(QRect(d.XPos(200), d.YPos(200), d.XSize(500), d.YSize(500)), QColor(220, 0, 0));
        d.EndOutput();
        const QStringList jobs = cups->jobs(before + 1);
        ASSERT_EQ(jobs.size(), before + 1);
        const QString png = dir.filePath(QString::fromLatin1(name));
        run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-singlefile"), QStringLiteral("-png"),
                                         jobs.last(), png});
        const QImage page(png + QStringLiteral(".png"));
        ASSERT_FALSE(page.isNull());
        // The middle of the square, 45 mm in and down: red, or the grey red becomes.
        const QColor middle = page.pixelColor(int(45 / 25.4 * 20), int(45 / 25.4 * 20));
        if (colour)
            EXPECT_TRUE(middle.red() > 180 && middle.green() < 60 && middle.blue() < 60) << middle.name().toStdString();
        else
            EXPECT_TRUE(middle.red() == middle.green() && middle.green() == middle.blue()) << middle.name().toStdString();
    }
}
