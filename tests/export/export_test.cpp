// The whole book out, checked where it reaches the reader: the PDF as pdfinfo, qpdf and pdftotext
// read it, the EPUB as epubcheck and its text, the web page as an HTML parser reads it; a cancelled
// or failed export leaves nothing behind; the command line and the dialog.
#include "export/bookexport.h"
#include "export/bookwalk.h"
#include "export/exportdialog.h"
#include "export/pdfupdate.h"
#include "platform/metafile/emfwriter.h"
#include "platform/richedit/rtfreader.h"
#include "support/bookfixture.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using bookexport::Format;

namespace {

struct Ran
{
    int status = -1;
    QByteArray out, err;
};

Ran run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(180000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

bool have(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

QByteArray imageBytes(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage squares(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(QRect(QPoint(2, 2), size / 2), colour);
    return image;
}

QByteArray metafile()
{
    metafile::EmfWriter emf(QSize(120, 60));
    QPainter p(&emf);
    p.setPen(QPen(Qt::darkGreen, 3));
    p.drawEllipse(QRect(5, 5, 110, 50));
    p.end();
    return emf.bytes();
}

const QByteArray Jpeg = imageBytes(squares({40, 30}, Qt::red), "JPEG");

// The bodies of the test book: formats, a table, a link, pictures of every kind, an object.
QString formattedBody()
{
    return QStringLiteral(
        "{\\rtf1\\ansi\\ansicpg1254\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset162 Arial;}{\\f1\\froman\\fcharset162 Times New Roman;}}"
        "{\\colortbl ;\\red200\\green0\\blue0;}"
        "\\pard\\qc\\f0\\fs28 {\\b Ortal\\'fd kal\\'fdn} ba\\'fel\\'fdk\\par"
        "\\pard\\li720\\fi-360\\fs20 Girintili {\\i e\\'f0ik} {\\ul alt\\'e7izili} {\\cf1 k\\'fdrm\\'fdz\\'fd} H{\\dn4 2}O ve x{\\super 2}\\par"
        "\\pard{\\pntext\\f0\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf0\\pnindent360{\\pntxtb\\'b7}}\\li720\\fi-360 Birinci madde\\par"
        "{\\pntext\\f0\\'b7\\tab}Ikinci madde\\par"
        "\\pard\\trowd\\cellx2000\\cellx4000 H\\'fccre bir\\cell H\\'fccre iki\\cell\\row"
        "\\trowd\\cellx2000\\cellx4000 \\'dc\\'e7\\cell D\\'f6rt\\cell\\row"
        "\\pard {\\field{\\*\\fldinst HYPERLINK \"https://www.velkora.org/\"}{\\fldrslt Velkora sitesi}} ve \\'f6teki\\par"
        "}");
}

QString picturesBody()
{
    const QByteArray png = imageBytes(squares({32, 24}, Qt::blue), "PNG");
    const QByteArray dib = imageBytes(squares({16, 16}, Qt::green), "BMP").mid(14);
    const QByteArray emf = metafile();
    return QStringLiteral(
               "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Resimlerden \\'f6nce\\par"
               "{\\pict\\pngblip\\picw32\\pich24\\picwgoal480\\pichgoal360 %1}\\par"
               "{\\pict\\jpegblip\\picw40\\pich30\\picwgoal600\\pichgoal450 %2}\\par"
               "{\\pict\\emfblip\\picw3175\\pich1588\\picwgoal1800\\pichgoal900 %3}\\par"
               "{\\pict\\dibitmap0\\picw16\\pich16 %4}\\par"
               "{\\object\\objemb{\\*\\objclass Paint.Picture}\\objw480\\objh360{\\*\\objdata 01050000020000000e000000}"
               "{\\result{\\pict\\pngblip\\picw32\\pich24\\picwgoal480\\pichgoal360 %1}}}\\par "
               "Resimlerden sonra\\par}")
        .arg(hex(png), hex(Jpeg), hex(emf), hex(dib));
}

QString longBody()
{
    QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1254\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ");
    for (int i = 1; i <= 260; ++i)
        rtf += QStringLiteral("Uzun g\\'f6vdenin %1. paragraf\\'fd, sayfalar boyunca s\\'fcrer.\\par ").arg(i);
    return rtf + u'}';
}

std::vector<TopicSpec> testBook()
{
    return {{"Biçimler & <Özel>", {{"Biçimli Metin", formattedBody()}, {"Resimli", picturesBody()}}},
            {"Boş Konu", {}},
            {"Uzun Konu", {{"Uzun Gövde", longBody()}, {"Düz Metin", "Düz metin: RTF olmayan gövde ğüşiöç."}}}};
}

// Text as a reader compares it: blanks of any kind and count as one.
QString words(QString text)
{
    text.replace(QChar::Nbsp, u' ');
    return text.simplified();
}

QString readerText(const QString &stored)
{
    QString text;
    if (!richedit::RtfReader::readText(stored.toLatin1(), &text))
        text = stored;
    return words(text);
}

QString taglessText(QString html)
{
    html.remove(QRegularExpression(QStringLiteral("<head>.*</head>"), QRegularExpression::DotMatchesEverythingOption));
    html.remove(QRegularExpression(QStringLiteral("</?(span|a|img)\\b[^>]*>"))); // inside a line of text
    html.replace(QRegularExpression(QStringLiteral("<[^>]*>")), QStringLiteral(" "));
    html.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    html.replace(QStringLiteral("&quot;"), QStringLiteral("\"")).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return words(html);
}

// Every text of needles is found in haystack, one after the other.
void expectInOrder(const QString &haystack, const QStringList &needles)
{
    qsizetype from = 0;
    for (const QString &n : needles) {
        const qsizetype at = haystack.indexOf(n, from);
        EXPECT_GE(at, 0) << "not found (in order): " << n.left(120).toStdString();
        if (at >= 0)
            from = at + n.size();
    }
}

// The titles and body texts of the test book, in the book's order (subtopics by title).
QStringList bookTexts(const std::vector<TopicSpec> &topics)
{
    QStringList texts;
    for (const TopicSpec &t : topics) {
        texts << t.title;
        std::vector<SubtopicSpec> subtopics = t.subtopics;
        std::sort(subtopics.begin(), subtopics.end(), [](const SubtopicSpec &a, const SubtopicSpec &b) {
            return QString::localeAwareCompare(a.title, b.title) < 0;
        });
        for (const SubtopicSpec &s : subtopics)
            texts << s.title << readerText(s.body);
    }
    return texts;
}

class BookExport : public ::testing::Test
{
protected:
    BookExport() : book(testBook()) {}

    QString out(const QString &name) const { return QDir(outDir.path()).filePath(name); }

    bookexport::Options options(const QString &name)
    {
        bookexport::Options o;
        o.connectionString = book.connectionString();
        o.output = out(name);
        o.format = *bookexport::formatOf(name);
        o.bookTitle = QStringLiteral("Deneme Kitabı");
        return o;
    }

    // What lies in the output folder, hidden files included.
    QStringList outFiles() const
    {
        return QDir(outDir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    BookFixture book;
    QTemporaryDir outDir;
};

} // namespace

TEST_F(BookExport, PdfHasItsContentsOutlinePageNumbersAndEveryBodyInOrder)
{
    if (!have(QStringLiteral("pdftotext")) || !have(QStringLiteral("qpdf")) || !have(QStringLiteral("pdfinfo")))
        GTEST_SKIP() << "poppler-utils or qpdf missing (scripts/setup installs them)";
    ASSERT_TRUE(bookexport::exportBook(options(QStringLiteral("kitap.pdf"))));
    EXPECT_EQ(outFiles(), QStringList{"kitap.pdf"});
    const QString pdf = out(QStringLiteral("kitap.pdf"));
    const Ran check = run(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf});
    EXPECT_EQ(check.status, 0) << check.out.toStdString() << check.err.toStdString();

    const QString info = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {pdf}).out);
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Deneme Kitabı")))) << info.toStdString();
    const int pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
    // The contents, one page each for the two short subtopics and the plain one, and the long body over several.
    ASSERT_GE(pages, 7) << info.toStdString();

    QStringList pageTexts;
    for (int n = 1; n <= pages; ++n)
        pageTexts << QString::fromUtf8(run(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(n), QStringLiteral("-l"),
                                                                          QString::number(n), QStringLiteral("-layout"), pdf, QStringLiteral("-")}).out);
    // Every page carries its number on its last line; the contents come first.
    for (int n = 1; n <= pages; ++n) {
        QStringList lines = pageTexts[n - 1].split(QRegularExpression(QStringLiteral("[\n\f]")), Qt::SkipEmptyParts);
        lines.removeIf([](const QString &l) { return l.trimmed().isEmpty(); });
        ASSERT_FALSE(lines.isEmpty()) << "page " << n;
        EXPECT_EQ(lines.last().trimmed(), QString::number(n)) << "page " << n;
    }
    const QString contents = pageTexts[0];
    EXPECT_TRUE(contents.contains("İçindekiler"));
    EXPECT_TRUE(contents.contains("Deneme Kitabı"));

    // The outline: topics, and their subtopics, each pointing at the page that starts with it, as
    // the contents page says.
    const Ran json = run(QStringLiteral("qpdf"), {QStringLiteral("--json"), QStringLiteral("--json-key=outlines"), pdf});
    const QJsonArray outline = QJsonDocument::fromJson(json.out).object().value("outlines").toArray();
    ASSERT_EQ(outline.size(), 3) << json.out.toStdString();
    QStringList seen;
    for (const QJsonValue &topic : outline) {
        seen << topic["title"].toString();
        for (const QJsonValue &sub : topic["kids"].toArray()) {
            const QString title = sub["title"].toString();
            const int page = sub["destpageposfrom1"].toInt();
            seen << title;
            ASSERT_GE(page, 2);
            ASSERT_LE(page, pages);
            EXPECT_TRUE(words(pageTexts[page - 1]).startsWith(words(topic["title"].toString() + u' ' + title)))
                << title.toStdString() << " on page " << page << ": " << pageTexts[page - 1].left(200).toStdString();
            EXPECT_TRUE(contents.contains(QRegularExpression(QRegularExpression::escape(title) + QStringLiteral("[ .]+") + QString::number(page))))
                << title.toStdString();
        }
    }
    EXPECT_EQ(seen, (QStringList{"Biçimler & <Özel>", "Biçimli Metin", "Resimli", "Boş Konu", "Uzun Konu", "Düz Metin", "Uzun Gövde"}));
    EXPECT_EQ(outline[1]["kids"].toArray().size(), 0);
    EXPECT_EQ(outline[1]["destpageposfrom1"].toInt(), outline[2]["kids"][0]["destpageposfrom1"].toInt());

    // The text of the whole book, selectable and in order; the long body over several pages.
    QString all;
    for (int n = 2; n <= pages; ++n)
        all += words(QString::fromUtf8(run(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(n), QStringLiteral("-l"),
                                                                          QString::number(n), pdf, QStringLiteral("-")}).out)
                         .trimmed()
                         .section(u'\n', 0, -2)) + u' '; // without the page number
    expectInOrder(all, {"Ortalı kalın başlık", "Girintili eğik altçizili kırmızı", "Birinci madde", "Ikinci madde", "Hücre bir", "Velkora sitesi",
                        "Resimlerden önce", "Resimlerden sonra", "Düz metin: RTF olmayan gövde ğüşiöç.", "Uzun gövdenin 1. paragrafı",
                        "Uzun gövdenin 260. paragrafı, sayfalar boyunca sürer."});
    for (int i = 1; i <= 260; ++i)
        EXPECT_EQ(all.count(QStringLiteral("Uzun gövdenin %1. paragrafı,").arg(i)), 1) << i;
    int longPages = 0;
    for (const QString &t : pageTexts)
        longPages += t.contains("Uzun gövdenin") ? 1 : 0;
    EXPECT_GE(longPages, 2);

    // Each line of the contents is a link to its page.
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("/Subtype /Link"), 3 + 4);
}

// The link annotations of a PDF's page, in order: the page (from 1) each one leads to.
QList<int> linkTargets(const QString &pdf, int page)
{
    const QJsonObject json = QJsonDocument::fromJson(
        run(QStringLiteral("qpdf"), {QStringLiteral("--json=2"), QStringLiteral("--json-key=pages"), QStringLiteral("--json-key=qpdf"), pdf}).out).object();
    const QJsonObject objects = json["qpdf"].toArray().at(1).toObject();
    QHash<QString, int> pageOf;
    for (const QJsonValue &p : json["pages"].toArray())
        pageOf.insert(p.toObject().value("object").toString(), p.toObject().value("pageposfrom1").toInt());
    const auto object = [&objects](const QJsonValue &ref) { return objects.value("obj:" + ref.toString()).toObject().value("value"); };
    const QJsonObject thePage = object(json["pages"].toArray().at(page - 1).toObject().value("object")).toObject();
    const QJsonValue annots = thePage.value("/Annots").isString() ? object(thePage.value("/Annots")) : thePage.value("/Annots");
    QList<int> targets;
    for (const QJsonValue &ref : annots.toArray())
        targets << pageOf.value(object(ref).toObject().value("/Dest").toArray().at(0).toString(), -1);
    return targets;
}

// The page numbers a contents page gives, line by line.
QList<int> contentsNumbers(const QString &pageText)
{
    QList<int> numbers;
    static const QRegularExpression line(QStringLiteral("^\\s*\\S.*?\\s(\\d+)\\s*$"));
    const QStringList lines = pageText.split(u'\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) { // the last line with text is the page's own number
        const QRegularExpressionMatch m = line.match(lines[i]);
        if (m.hasMatch() && !lines[i].trimmed().startsWith(QString::number(m.captured(1).toInt())))
            numbers << m.captured(1).toInt();
    }
    return numbers;
}

TEST(BookExportPdf, ContentsOverTwoPagesAnEmptyLastTopicAndAnEmojiAllLeadWhereTheySay)
{
    if (!have(QStringLiteral("pdftotext")) || !have(QStringLiteral("qpdf")))
        GTEST_SKIP() << "poppler-utils or qpdf missing (scripts/setup installs them)";
    std::vector<SubtopicSpec> many;
    for (int i = 1; i <= 70; ++i)
        many.push_back({QStringLiteral("Başlık %1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("Gövde numarası %1.").arg(i)});
    BookFixture book({{"Kalabalık", many},
                      {"Emoji", {{"Gülen Yüz", "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 DejaVu Sans;}}\\f0 Bir g\\u252?len y\\u252?z: \\u-10179?\\u-8704? bitti.\\par}"}}},
                      {"Son Boş Konu", {}}});
    QTemporaryDir dir;
    bookexport::Options o;
    o.connectionString = book.connectionString();
    o.output = dir.filePath(QStringLiteral("k.pdf"));
    o.bookTitle = QStringLiteral("Kalabalık Kitap");
    ASSERT_TRUE(bookexport::exportBook(o));
    const Ran check = run(QStringLiteral("qpdf"), {QStringLiteral("--check"), o.output});
    EXPECT_EQ(check.status, 0) << check.out.toStdString() << check.err.toStdString();
    const auto pageText = [&o](int n) {
        return QString::fromUtf8(run(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(n), QStringLiteral("-l"), QString::number(n),
                                                                  QStringLiteral("-layout"), o.output, QStringLiteral("-")}).out);
    };
    // 3 topics and 71 subtopics: two pages of contents, then a page for each subtopic.
    const QString first = pageText(1), second = pageText(2);
    EXPECT_TRUE(first.contains("İçindekiler"));
    EXPECT_TRUE(second.contains("Son Boş Konu"));
    EXPECT_FALSE(pageText(3).contains("İçindekiler"));
    const QList<int> numbers = contentsNumbers(first) + contentsNumbers(second);
    ASSERT_EQ(numbers.size(), 74) << first.toStdString();
    const int last = 2 + 71;
    EXPECT_EQ(numbers.first(), 3);
    EXPECT_EQ(numbers.last(), last); // the empty last topic leads to the last page there is
    // Every line's link leads to the page its number names, which begins with that title.
    EXPECT_EQ(linkTargets(o.output, 1) + linkTargets(o.output, 2), numbers);
    EXPECT_TRUE(pageText(3).simplified().startsWith("Kalabalık Başlık 01 Gövde numarası 1."));
    EXPECT_TRUE(pageText(72).simplified().startsWith("Kalabalık Başlık 70"));
    EXPECT_EQ(pageText(last).trimmed().section(u'\n', -1).trimmed(), QString::number(last));
    // The emoji is text a reader can find (the fonts' maps completed in the same update).
    EXPECT_TRUE(pageText(last).contains(QStringLiteral("Bir gülen yüz: \U0001F600 bitti."))) << pageText(last).toStdString();
}

TEST(BookExportPdf, AKilledExportLeavesNothingBehind)
{
    std::vector<SubtopicSpec> many;
    for (int i = 1; i <= 400; ++i)
        many.push_back({QStringLiteral("Alt konu %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("Gövde %1.").arg(i)});
    BookFixture book({{"Konu", many}});
    QTemporaryDir dir;
    QProcess p;
    p.start(QStringLiteral(VELKORA_BOOK_TOOL), {QStringLiteral("export"), book.path(), dir.filePath(QStringLiteral("k.pdf"))});
    ASSERT_TRUE(p.waitForStarted());
    QThread::msleep(400);
    p.kill();
    p.waitForFinished();
    // Nothing, or the whole file when it was quicker than the kill: never a part, never a hidden file.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    if (!left.isEmpty()) {
        EXPECT_EQ(left, QStringList{"k.pdf"});
        EXPECT_EQ(run(QStringLiteral("qpdf"), {QStringLiteral("--check"), dir.filePath(QStringLiteral("k.pdf"))}).status, 0);
    }
}

TEST_F(BookExport, EpubPassesEpubcheckAndHoldsEveryBodysTextAndPicture)
{
    if (!have(QStringLiteral("unzip")))
        GTEST_SKIP() << "unzip missing (scripts/setup installs it)";
    ASSERT_TRUE(bookexport::exportBook(options(QStringLiteral("kitap.epub"))));
    const QString epub = out(QStringLiteral("kitap.epub"));
    const QString jar = QStringLiteral("/usr/share/java/epubcheck.jar");
    if (QFile::exists(jar) && have(QStringLiteral("java"))) {
        const Ran check = run(QStringLiteral("java"), {QStringLiteral("-jar"), jar, epub});
        EXPECT_EQ(check.status, 0) << check.out.toStdString() << check.err.toStdString();
        EXPECT_TRUE(check.out.contains("No errors or warnings detected")) << check.out.toStdString();
    } else {
        ADD_FAILURE() << "epubcheck is missing (scripts/setup installs it): only the XML was checked";
    }

    const QString list = QString::fromUtf8(run(QStringLiteral("unzip"), {QStringLiteral("-Z1"), epub}).out);
    const QStringList entries = list.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(entries.first(), "mimetype");
    const auto entry = [&](const QString &name) { return run(QStringLiteral("unzip"), {QStringLiteral("-p"), epub, name}).out; };
    const QString opf = QString::fromUtf8(entry(QStringLiteral("OEBPS/content.opf")));
    EXPECT_TRUE(opf.contains("<dc:title>Deneme Kitabı</dc:title>"));
    EXPECT_TRUE(opf.contains("<dc:language>tr</dc:language>"));
    const QString nav = taglessText(QString::fromUtf8(entry(QStringLiteral("OEBPS/nav.xhtml"))));
    expectInOrder(nav, {"İçindekiler", "Biçimler & <Özel>", "Biçimli Metin", "Resimli", "Boş Konu", "Uzun Konu", "Düz Metin", "Uzun Gövde"});

    // The chapters' text is the bodies' text, titles between them, in the book's order.
    QString text, markup;
    for (const QString &name : entries)
        if (name.endsWith(".xhtml") || name.endsWith(".opf") || name.endsWith(".xml")) {
            QXmlStreamReader xml(entry(name));
            while (!xml.atEnd())
                xml.readNext();
            EXPECT_FALSE(xml.hasError()) << name.toStdString() << ": " << xml.errorString().toStdString();
        }
    for (const QString &name : entries)
        if (name.startsWith("OEBPS/c") && name.endsWith(".xhtml")) {
            const QString chapter = QString::fromUtf8(entry(name));
            markup += chapter;
            text += taglessText(chapter) + u' ';
        }
    EXPECT_TRUE(words(text) == bookTexts(testBook()).join(u' ')) << words(text).left(600).toStdString();

    // Formats carried as CSS; the JPEG with its own bytes; the metafile drawn at twice its size.
    for (const char *css : {"text-align:center", "font-weight:bold", "font-style:italic", "text-decoration:underline", "color:#c80000",
                            "vertical-align:sub", "vertical-align:super", "<ul", "<table", "href=\"https://www.velkora.org/\"",
                            "margin-left:"})
        EXPECT_TRUE(markup.contains(QString::fromLatin1(css))) << css;
    QStringList pictures;
    for (const QString &name : entries)
        if (name.startsWith("OEBPS/images/"))
            pictures << name;
    EXPECT_EQ(pictures.size(), 4) << list.toStdString(); // the object's picture is the PNG's twin
    bool jpeg = false, drawn = false;
    for (const QString &name : pictures) {
        const QByteArray bytes = entry(name);
        EXPECT_TRUE(markup.contains(name.mid(6))) << name.toStdString();
        if (name.endsWith(".jpg"))
            jpeg = bytes == Jpeg;
        const QImage image = QImage::fromData(bytes);
        EXPECT_FALSE(image.isNull()) << name.toStdString();
        if (image.size() == QSize(240, 120))
            drawn = true; // 120 x 60 points' worth of metafile (1800 x 900 twips) at twice 96 per inch
    }
    EXPECT_TRUE(jpeg);
    EXPECT_TRUE(drawn);
}

TEST_F(BookExport, HtmlIsOneFileAParserReadsWithContentsTitlesAndBodies)
{
    ASSERT_TRUE(bookexport::exportBook(options(QStringLiteral("kitap.html"))));
    QFile file(out(QStringLiteral("kitap.html")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    if (have(QStringLiteral("xmllint"))) {
        const Ran lint = run(QStringLiteral("xmllint"), {QStringLiteral("--html"), QStringLiteral("--noout"), file.fileName()});
        EXPECT_EQ(lint.status, 0);
        EXPECT_TRUE(lint.err.isEmpty()) << lint.err.toStdString();
    }
    // Self-contained: the pictures inside, nothing fetched from elsewhere.
    EXPECT_EQ(html.count("<img src=\"data:image/"), 5);
    EXPECT_FALSE(html.contains(QRegularExpression(QStringLiteral("src=\"(?!data:)"))));
    // The contents list links to every subtopic, and the anchors are there.
    const QRegularExpression link(QStringLiteral("<a href=\"#([^\"]+)\">"));
    int links = 0;
    for (auto it = link.globalMatch(html); it.hasNext(); ++links)
        EXPECT_TRUE(html.contains(QStringLiteral("id=\"%1\"").arg(it.next().captured(1))));
    EXPECT_EQ(links, 3 + 4);
    const QString text = taglessText(html);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Deneme Kitabı İçindekiler ") + QStringList{"Biçimler & <Özel>", "Biçimli Metin", "Resimli"}.join(u' ')));
    EXPECT_TRUE(text.endsWith(bookTexts(testBook()).join(u' '))) << text.left(600).toStdString();
}

TEST_F(BookExport, ChosenTopicsAndBodiesWithoutTitles)
{
    const QList<bookexport::TopicEntry> topics = bookexport::topicsOf(book.connectionString());
    ASSERT_EQ(topics.size(), 3);
    EXPECT_EQ(topics[2].title, "Uzun Konu");
    EXPECT_EQ(topics[2].subtopics, 2);
    EXPECT_EQ(topics[1].subtopics, 0);

    bookexport::Options o = options(QStringLiteral("secilen.html"));
    o.topics = {topics[2].key};
    o.withTitles = false;
    ASSERT_TRUE(bookexport::exportBook(o));
    QFile file(o.output);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    const QString body = html.mid(html.indexOf("</div>"));
    EXPECT_FALSE(html.contains("Biçimli"));
    EXPECT_FALSE(body.contains("<h2>"));
    EXPECT_FALSE(body.contains("Uzun Gövde")); // a title, only in the contents
    EXPECT_TRUE(taglessText(body).contains("Düz metin: RTF olmayan gövde ğüşiöç. Uzun gövdenin 1. paragrafı"));

    // A chosen topic without subtopics: nothing to write, said, and nothing written.
    o.topics = {topics[1].key};
    o.output = out(QStringLiteral("bos.pdf"));
    o.format = Format::Pdf;
    try {
        bookexport::exportBook(o);
        ADD_FAILURE() << "an export of no subtopic succeeded";
    } catch (const bookexport::ExportError &e) {
        EXPECT_EQ(e.message(), "Seçilen konularda alt konu yok.");
    }
    EXPECT_FALSE(QFile::exists(o.output));
}

TEST_F(BookExport, ACancelOrAFailureLeavesNoFileAndAnOldOneAsItWas)
{
    for (const QString name : {QStringLiteral("kitap.pdf"), QStringLiteral("kitap.epub"), QStringLiteral("kitap.html")}) {
        // Cancelled after the first subtopic (the PDF also between the long body's pages).
        int calls = 0;
        EXPECT_FALSE(bookexport::exportBook(options(name), [&calls](int done, int) { return ++calls < 2 && done < 2; }))
            << name.toStdString();
        EXPECT_EQ(outFiles(), QStringList()) << name.toStdString();

        // An existing file of that name is left whole by a cancel, and replaced by an export.
        QFile old(out(name));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("eski dosya");
        old.close();
        EXPECT_FALSE(bookexport::exportBook(options(name), [](int done, int) { return done < 3; }));
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), "eski dosya");
        old.close();
        EXPECT_EQ(outFiles(), QStringList{name});
        EXPECT_TRUE(bookexport::exportBook(options(name)));
        EXPECT_GT(QFileInfo(out(name)).size(), 1000);
        EXPECT_EQ(outFiles(), QStringList{name});
        QFile::remove(out(name));
    }

    const auto refused = [this](bookexport::Options o, const QString &why) {
        try {
            bookexport::exportBook(o);
            ADD_FAILURE() << "exported: " << why.toStdString();
        } catch (const bookexport::ExportError &e) {
            EXPECT_TRUE(e.message().contains(why)) << e.message().toStdString();
        }
        EXPECT_EQ(outFiles(), QStringList());
    };
    bookexport::Options o = options(QStringLiteral("kitap.pdf"));
    o.output = outDir.path();
    refused(o, QStringLiteral("bir dosya adı değil"));
    o.output = out(QStringLiteral("yok/kitap.pdf"));
    refused(o, QStringLiteral("yazılamıyor"));
    o = options(QStringLiteral("kitap.epub"));
    o.connectionString.replace(QStringLiteral("*.417305"), QStringLiteral("yanlış"));
    refused(o, QStringLiteral("Kitap okunamadı"));
}

TEST(BookExportPdfUpdate, AFileThatIsNotAsExpectedIsLeftAsItWas)
{
    QTemporaryDir dir;
    for (const QByteArray &bytes : {QByteArray("%PDF-1.4\nnot really\n%%EOF\n"), QByteArray("startxref\n99999999\n%%EOF"),
                                    QByteArray("xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size 1 >>\nstartxref\n0\n%%EOF\n"),
                                    QByteArray(4096, '\0')}) {
        QFile file(dir.filePath(QStringLiteral("x.pdf")));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
        file.write(bytes);
        bookexport::PdfFinish finish;
        finish.outline = {{QStringLiteral("Bir"), 0, {}}};
        QString error;
        EXPECT_FALSE(bookexport::finishPdf(file, finish, &error)) << bytes.left(40).toStdString();
        EXPECT_FALSE(error.isEmpty());
        file.seek(0);
        EXPECT_EQ(file.readAll(), bytes);
    }
}

TEST_F(BookExport, TheCommandLineExportsByTheNamesFormatAndRefusesBadInput)
{
    const QString tool = QStringLiteral(VELKORA_BOOK_TOOL);
    const Ran ok = run(tool, {QStringLiteral("export"), book.path(), out(QStringLiteral("k.epub")), QStringLiteral("--topic"),
                              QStringLiteral("Uzun Konu"), QStringLiteral("--title"), QStringLiteral("Başka Ad")});
    EXPECT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out.trimmed(), out(QStringLiteral("k.epub")).toUtf8());
    const QString opf = QString::fromUtf8(run(QStringLiteral("unzip"), {QStringLiteral("-p"), out(QStringLiteral("k.epub")), QStringLiteral("OEBPS/content.opf")}).out);
    if (have(QStringLiteral("unzip")))
        EXPECT_TRUE(opf.contains("<dc:title>Başka Ad</dc:title>"));
    QFile::remove(out(QStringLiteral("k.epub")));

    const struct
    {
        QStringList args;
        const char *said;
    } bad[] = {
        {{QStringLiteral("export"), book.path(), out(QStringLiteral("k.docx"))}, ".pdf, .epub or .html"},
        {{QStringLiteral("export"), book.path(), out(QStringLiteral("k.pdf")), QStringLiteral("--topic"), QStringLiteral("Olmayan")}, "no topic"},
        {{QStringLiteral("export"), out(QStringLiteral("yok.mdb")), out(QStringLiteral("k.pdf"))}, "no book"},
        {{QStringLiteral("--password"), QStringLiteral("yanlış"), QStringLiteral("export"), book.path(), out(QStringLiteral("k.pdf"))}, "okunamadı"},
        {{QStringLiteral("export"), book.path(), out(QStringLiteral("yok/k.html"))}, "yazılamıyor"},
    };
    for (const auto &b : bad) {
        const Ran r = run(tool, b.args);
        EXPECT_EQ(r.status, 2) << b.args.join(' ').toStdString();
        EXPECT_TRUE(QString::fromLocal8Bit(r.err).contains(QString::fromUtf8(b.said))) << r.err.toStdString();
    }
    EXPECT_EQ(outFiles(), QStringList());
}

TEST_F(BookExport, TheDialogNamesTheFileAfterTheFormatAndExportsItsChoice)
{
    bookexport::ExportDialog dialog(bookexport::topicsOf(book.connectionString()), outDir.path(), QStringLiteral("Deneme: Kitabı/1"));
    QStringList errors;
    dialog.showError = [&errors](const QString &m, QWidget *) { errors << m; };
    EXPECT_EQ(dialog.fileName(), out(QStringLiteral("Deneme Kitabı1.pdf")));
    dialog.RadioEpub->setChecked(true);
    EXPECT_EQ(dialog.fileName(), out(QStringLiteral("Deneme Kitabı1.epub")));
    dialog.RadioHtml->setChecked(true);
    EXPECT_EQ(dialog.fileName(), out(QStringLiteral("Deneme Kitabı1.html")));
    EXPECT_EQ(dialog.Konular->count(), 3);

    // Nothing chosen, or a name that does not fit the format: said, and the dialog stays.
    for (int i = 0; i < 3; ++i)
        dialog.Konular->item(i)->setCheckState(Qt::Unchecked);
    dialog.accept();
    EXPECT_EQ(errors.value(0), "En az bir konu seçin.");
    dialog.Konular->item(0)->setCheckState(Qt::Checked);
    dialog.DosyaAdi->setText(out(QStringLiteral("a.pdf")));
    dialog.accept();
    EXPECT_TRUE(errors.value(1).contains(".html")) << errors.value(1).toStdString();
    dialog.DosyaAdi->setText(out(QStringLiteral("yok/a.html")));
    dialog.accept();
    EXPECT_EQ(errors.value(2), QStringLiteral("\"%1\" klasörüne yazılamıyor.").arg(out(QStringLiteral("yok"))));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    // An existing file is replaced only when the person agrees.
    dialog.DosyaAdi->setText(out(QStringLiteral("a.html")));
    QFile existing(out(QStringLiteral("a.html")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    bool asked = false;
    dialog.ask = [&asked](const QString &, QWidget *) { return !(asked = true); };
    dialog.accept();
    EXPECT_TRUE(asked);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    dialog.ask = [](const QString &, QWidget *) { return true; };
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(dialog.run(book.connectionString()));
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(existing.readAll());
    EXPECT_TRUE(html.contains("Biçimli Metin"));
    EXPECT_FALSE(html.contains("Uzun Gövde"));
    EXPECT_EQ(errors.size(), 3);
}
