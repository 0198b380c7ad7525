// velkora-dev qrp-info and qrp-to-pdf: a report file's pages described and turned into a PDF, and
// bad input refused with exit status 2 and a message.
#include "print/tqrprinter.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velkora::print;

namespace {

struct ToolRun
{
    int exitCode;
    QString out, err;
};

ToolRun runTool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(VELKORA_DEV_TOOL), args);
    p.waitForFinished(30000); // a tool that hangs fails here
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

// A report file of the given pages, each holding its lines of text; landscape when asked.
void writeReport(const QString &path, const QList<QStringList> &pages, bool landscape = false)
{
    TQRPrinter d;
    if (landscape)
        d.PrinterSettings().setOrientation(QPageLayout::Landscape);
    d.BeginOutput();
    for (const QStringList &lines : pages) {
        d.BeginDevicePage();
        QPainter *p = d.Canvas();
        p->setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
        int y = d.YPos(300);
        for (const QString &line : lines) {
            p->drawText(QPointF(d.XPos(200), y), line);
            y += 24;
        }
    }
    d.EndOutput();
    d.Save(path);
}

} // namespace

TEST(ReportTool, InfoGivesPagesHeaderTimeAndEachPagesSize)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rapor.QRP"));
    writeReport(path, {{QStringLiteral("bir")}, {QStringLiteral("iki")}, {QStringLiteral("üç")}});
    const ToolRun r = runTool({QStringLiteral("qrp-info"), path});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("pages: 3"));
    EXPECT_EQ(lines[1], QStringLiteral("header: 128 bytes, version 3, writer version 309"));
    // Written a moment ago, in local time.
    const QDateTime created = QDateTime::fromString(lines[2].mid(9), Qt::ISODate);
    ASSERT_TRUE(lines[2].startsWith(QStringLiteral("created: ")) && created.isValid()) << lines[2].toStdString();
    EXPECT_LT(std::abs(created.secsTo(QDateTime::currentDateTime())), 120);
    for (int n = 1; n <= 3; ++n) {
        const QRegularExpression page(QStringLiteral("^page %1: 210\\.\\d×297\\.\\d mm, 794×1123 pixels at 96 per inch, \\d+ bytes$").arg(n));
        EXPECT_TRUE(page.match(lines[2 + n]).hasMatch()) << lines[2 + n].toStdString();
    }

    const QString wide = dir.filePath(QStringLiteral("yatay.QRP"));
    writeReport(wide, {{QStringLiteral("yatay")}}, true);
    const ToolRun w = runTool({QStringLiteral("qrp-info"), wide});
    ASSERT_EQ(w.exitCode, 0) << w.err.toStdString();
    EXPECT_TRUE(w.out.contains(QStringLiteral("page 1: 297.")) && w.out.contains(QStringLiteral("1123×794 pixels"))) << w.out.toStdString();
}

TEST(ReportTool, ToPdfWritesEveryPageWithItsTextInOrder)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "poppler-utils are not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rapor.QRP"));
    const QString pdf = dir.filePath(QStringLiteral("rapor.pdf"));
    const QList<QStringList> pages = {{QStringLiteral("Ağaç gölgesinde çalışmak"), QStringLiteral("İğne ipliğe: şişe, ılık")},
                                      {QStringLiteral("İkinci sayfanın tek satırı")}};
    writeReport(path, pages);
    const ToolRun r = runTool({QStringLiteral("qrp-to-pdf"), path, pdf});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QProcess text;
    text.start(pdftotext, {pdf, QStringLiteral("-")});
    text.waitForFinished(30000);
    const QString got = QString::fromUtf8(text.readAllStandardOutput());
    const QStringList pdfPages = got.split(u'\f');
    ASSERT_EQ(pdfPages.size(), 3) << got.toStdString(); // two pages and what follows the last form feed
    for (int n = 0; n < 2; ++n) {
        qsizetype at = 0;
        for (const QString &line : pages[n]) {
            const qsizetype found = pdfPages[n].indexOf(line, at);
            EXPECT_GE(found, at) << line.toStdString() << " on page " << n + 1 << ":\n" << pdfPages[n].toStdString();
            at = std::max(at, found);
        }
    }
}

TEST(ReportTool, BadInputIsRefusedWithStatusTwoAndAMessage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rapor.QRP"));
    writeReport(path, {{QStringLiteral("bir")}});
    const QString junk = dir.filePath(QStringLiteral("bozuk.QRP"));
    QFile j(junk);
    ASSERT_TRUE(j.open(QIODevice::WriteOnly));
    j.write(QByteArray(400, 'x'));
    j.close();

    struct Case
    {
        QStringList args;
        QString message;
    };
    const Case cases[] = {
        {{QStringLiteral("qrp-info")}, QStringLiteral("usage")},
        {{QStringLiteral("qrp-info"), path, path}, QStringLiteral("usage")},
        {{QStringLiteral("qrp-to-pdf"), path}, QStringLiteral("usage")},
        {{QStringLiteral("qrp-info"), dir.filePath(QStringLiteral("yok.QRP"))}, QStringLiteral("File does not exist")},
        {{QStringLiteral("qrp-to-pdf"), dir.filePath(QStringLiteral("yok.QRP")), dir.filePath(QStringLiteral("x.pdf"))},
         QStringLiteral("File does not exist")},
        {{QStringLiteral("qrp-info"), junk}, QStringLiteral("bozuk.QRP")},
        {{QStringLiteral("qrp-to-pdf"), junk, dir.filePath(QStringLiteral("bozuk.pdf"))}, QStringLiteral("bozuk.QRP")},
        {{QStringLiteral("qrp-to-pdf"), path, QStringLiteral("/nonexistent/dir/x.pdf")}, QStringLiteral("Cannot create file")},
    };
    for (const Case &c : cases) {
        const ToolRun r = runTool(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << c.args.join(u' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("bozuk.pdf"))));
}
