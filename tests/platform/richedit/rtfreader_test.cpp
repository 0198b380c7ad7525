// What the RTF reader makes of bodies: text in its code pages, formats, lists, tables, links,
// pictures and objects, and how it copes with damaged input.
#include "platform/richedit/codepages.h"
#include "platform/richedit/documentcomparison.h"
#include "platform/richedit/richtextproperties.h"
#include "platform/richedit/rtfreader.h"
#include "platform/richedit/rtfwriter.h"
#include "support/bookfixture.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QStringDecoder>
#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace velkora::richedit;

namespace {

QString textOf(const QByteArray &rtf)
{
    QTextDocument doc;
    EXPECT_TRUE(RtfReader::read(rtf, &doc)) << rtf.toStdString();
    // The raw text keeps no-break spaces and line breaks as they are; only paragraphs become \n.
    return doc.toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

QTextCharFormat formatAt(QTextDocument &doc, int position)
{
    QTextCursor c(&doc);
    c.setPosition(position + 1);
    return c.charFormat();
}

} // namespace

TEST(RtfReader, TextInItsCodePages)
{
    struct Case { QByteArray rtf; QString text; };
    const Case cases[] = {
        {"{\\rtf1\\ansi\\ansicpg1254 I\\'f0d\\'fdr \\'dd\\'fe}", QStringLiteral("Iğdır İş")},
        {"{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 \\'cc\\'e8\\'f0}", QStringLiteral("Мир")},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS Gothic;}}\\f0 \\'82\\'a0\\'82\\'a2}", QStringLiteral("あい")},
        {"{\\rtf1\\ansi\\uc1 a\\u305?b\\u-3913?c}", QStringLiteral("aıb\uF0B7c")},
        {"{\\rtf1\\ansi\\uc2 \\u8364\\'80\\'80x\\uc0\\u8364 y}", QStringLiteral("€x€y")},
        {"{\\rtf1\\ansi \\u-10179?\\u-8704?}", QStringLiteral("😀")}, // a surrogate pair
        {"{\\rtf1\\ansi a\\~b\\emdash c\\endash d\\bullet\\lquote\\rquote\\ldblquote\\rdblquote\\tab e}",
         QStringLiteral("a\u00A0b—c–d•‘’“”\te")},
        {"{\\rtf1\\ansi a\\{b\\}c\\\\d}", QStringLiteral("a{b}c\\d")},
        {"{\\rtf1\\ansi a{\\*\\unknown hidden}b{\\*\\generator x;}c}", QStringLiteral("abc")},
        {"{\\rtf1\\ansi line\\line next\\par para}", QStringLiteral("line\u2028next\npara")},
        {"{\\rtf1foobar}", QStringLiteral("foobar")},
        {"{\\rtf1\\ansi\\ansicpg0 x\\'e9}", QStringLiteral("xé")}, // an invalid code page falls back
    };
    for (const Case &c : cases)
        EXPECT_EQ(textOf(c.rtf), c.text) << c.rtf.toStdString();

    // Escapes of the one-byte pages are decoded by a table: every byte as the page's decoder has it
    // in a run of all 256 (the bytes a page leaves out included).
    QByteArray every(256, '\0');
    for (int b = 0; b < 256; ++b)
        every[b] = char(b);
    for (const int cp : {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 10000, 10006, 10029, 10081}) {
        const QByteArray name = velkora::richedit::codecNameForCodePage(cp);
        QStringDecoder whole(name.constData());
        ASSERT_TRUE(whole.isValid()) << cp;
        velkora::richedit::CodePageDecoder decoder(cp);
        EXPECT_EQ(decoder.decode(every), whole.decode(every)) << cp;
        const QByteArray igdir("I\xf0" "d\xfd" "r");
        EXPECT_EQ(decoder.decode(igdir), cp == 1254 ? QStringLiteral("Iğdır") : whole.decode(igdir)) << cp;
    }
}

TEST(RtfReader, CharacterFormats)
{
    QTextDocument doc;
    ASSERT_TRUE(RtfReader::read("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}"
                                "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                                "\\f0\\fs20 n\\b b\\b0\\i i\\i0\\ul u\\ulnone\\strike s\\strike0\\super p\\nosupersub"
                                "\\sub q\\nosupersub\\cf1 r\\cf0\\highlight2 h\\highlight0\\f1\\fs36 t\\plain z\\caps c\\caps0"
                                "\\uld d\\ulnone\\up6 x\\up0 {\\v v}w}",
                                &doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("nbiuspqrhtzcdxvw"));
    EXPECT_EQ(formatAt(doc, 0).fontPointSize(), 10);
    EXPECT_EQ(formatAt(doc, 1).fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatAt(doc, 2).fontItalic());
    EXPECT_TRUE(formatAt(doc, 3).fontUnderline());
    EXPECT_TRUE(formatAt(doc, 4).fontStrikeOut());
    EXPECT_EQ(formatAt(doc, 5).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(formatAt(doc, 6).verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_EQ(formatAt(doc, 7).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(doc, 8).background().color(), QColor(0, 0, 255));
    EXPECT_EQ(formatAt(doc, 9).fontFamilies().toStringList(), QStringList{QStringLiteral("Times New Roman")});
    EXPECT_EQ(formatAt(doc, 9).fontPointSize(), 18);
    EXPECT_EQ(formatAt(doc, 10).fontPointSize(), 12); // \plain: RTF's default of 12 points
    EXPECT_FALSE(formatAt(doc, 10).fontItalic());
    EXPECT_EQ(formatAt(doc, 11).fontCapitalization(), QFont::AllUppercase);
    EXPECT_EQ(formatAt(doc, 12).underlineStyle(), QTextCharFormat::DotLine);
    EXPECT_EQ(formatAt(doc, 13).intProperty(property::RaiseHalfPoints), 6);
    EXPECT_TRUE(formatAt(doc, 14).boolProperty(property::Hidden));
    EXPECT_FALSE(formatAt(doc, 15).boolProperty(property::Hidden));
}

TEST(RtfReader, ParagraphsAndBothKindsOfLists)
{
    QTextDocument doc;
    ASSERT_TRUE(RtfReader::read(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}"
        "\\pard\\qc\\li720\\ri360\\fi-360\\sb120\\sa240\\sl360\\slmult1\\tx1440\\tqr\\tx5000 centred\\par"
        "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-200\\li200 one\\par"
        "{\\pntext\\f1\\'B7\\tab}two\\par"
        "\\pard right\\qr\\par"
        "{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}\\listid7}}"
        "{\\*\\listoverridetable{\\listoverride\\listid7\\ls1}}"
        "\\pard\\ls1{\\listtext 1.\\tab}first\\par{\\listtext 2.\\tab}second\\par\\pard\\qj last}",
        &doc));
    EXPECT_EQ(doc.blockCount(), 7);
    const QTextBlock centred = doc.begin();
    EXPECT_EQ(centred.text(), QStringLiteral("centred"));
    const QTextBlockFormat f = centred.blockFormat();
    EXPECT_EQ(f.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_DOUBLE_EQ(f.leftMargin(), 48);
    EXPECT_DOUBLE_EQ(f.rightMargin(), 24);
    EXPECT_DOUBLE_EQ(f.textIndent(), -24);
    EXPECT_DOUBLE_EQ(f.topMargin(), 8);
    EXPECT_DOUBLE_EQ(f.bottomMargin(), 16);
    EXPECT_EQ(f.lineHeightType(), QTextBlockFormat::ProportionalHeight);
    EXPECT_DOUBLE_EQ(f.lineHeight(), 150);
    ASSERT_EQ(f.tabPositions().size(), 2);
    EXPECT_EQ(f.tabPositions()[1].type, QTextOption::RightTab);

    const QTextBlock one = centred.next(), two = one.next();
    ASSERT_TRUE(one.textList());
    EXPECT_EQ(one.textList(), two.textList()); // the bullet text the writer showed is not content
    EXPECT_EQ(one.text(), QStringLiteral("one"));
    EXPECT_EQ(one.textList()->format().style(), QTextListFormat::ListDisc);
    const QTextBlock right = two.next();
    EXPECT_FALSE(right.textList());
    EXPECT_EQ(right.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight); // applies to the whole paragraph
    const QTextBlock first = right.next();
    ASSERT_TRUE(first.textList());
    EXPECT_EQ(first.textList()->format().style(), QTextListFormat::ListDecimal);
    EXPECT_EQ(first.text(), QStringLiteral("first"));
    EXPECT_EQ(first.next().textList(), first.textList());
    EXPECT_EQ(doc.lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
}

TEST(RtfReader, TablesLinksPicturesAndObjects)
{
    QTextDocument doc;
    QByteArray png;
    {
        QImage tiny(2, 2, QImage::Format_RGB32);
        tiny.fill(Qt::green);
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        tiny.save(&buffer, "PNG");
    }
    ASSERT_TRUE(RtfReader::read(
        "{\\rtf1\\ansi before\\par\\trowd\\cellx1000\\cellx2000\\intbl a\\cell b\\cell\\row"
        "\\trowd\\cellx1000\\cellx2000\\intbl c\\cell d\\cell\\row\\pard after "
        "{\\field{\\*\\fldinst{HYPERLINK \"http://example.org/\"}}{\\fldrslt{\\ul link}}} "
        "{\\pict\\pngblip\\picw2\\pich2\\picwgoal300\\pichgoal150 " + png.toHex() + "}"
        "{\\pict\\wmetafile8\\picw2540\\pich2540\\picwgoal1440\\pichgoal1440 0100090000}"
        "{\\object\\objemb{\\*\\objclass Paint.Picture}{\\*\\objdata 0105}{\\result{\\pict\\pngblip " + png.toHex() + "}}}}",
        &doc));
    QTextCursor c(&doc);
    c.setPosition(doc.toPlainText().indexOf(u'a'));
    QTextTable *table = c.currentTable();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 2);
    EXPECT_EQ(table->cellAt(1, 1).firstCursorPosition().block().text(), QStringLiteral("d"));
    EXPECT_EQ(doc.begin().text(), QStringLiteral("before")); // no empty paragraph between text and table

    const int link = doc.toPlainText().indexOf(QStringLiteral("link"));
    EXPECT_EQ(formatAt(doc, link).anchorHref(), QStringLiteral("http://example.org/"));
    EXPECT_FALSE(formatAt(doc, link + 4).isAnchor());

    QList<QTextImageFormat> images;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                images.append(it.fragment().charFormat().toImageFormat());
        }
    }
    ASSERT_EQ(images.size(), 3);
    EXPECT_DOUBLE_EQ(images[0].width(), 20); // the goal size, 300 twips
    EXPECT_DOUBLE_EQ(images[0].height(), 10);
    EXPECT_EQ(doc.resource(QTextDocument::ImageResource, QUrl(images[0].name())).value<QImage>().size(), QSize(2, 2));
    // A metafile keeps its bytes for writing back.
    EXPECT_EQ(images[1].intProperty(property::PictureKind), static_cast<int>(PictureKind::Wmf));
    EXPECT_EQ(bytesResource(&doc, images[1].property(property::PictureData).toUrl()), QByteArray::fromHex("0100090000"));
    // An object is shown by its result and keeps its data.
    const QByteArray head = bytesResource(&doc, images[2].property(property::ObjectData).toUrl());
    EXPECT_TRUE(head.startsWith("{\\object\\objemb")) << head.toStdString();
    EXPECT_TRUE(head.contains("\\objdata 0105"));
}

TEST(RtfReader, DamagedInputIsReadAsWordWouldOrRefused)
{
    QTextDocument doc;
    QString error;
    EXPECT_FALSE(RtfReader::read("", &doc, &error));
    EXPECT_FALSE(RtfReader::read("{}", &doc, &error));
    EXPECT_FALSE(RtfReader::read("/{\\rtf1 x}", &doc, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(RtfReader::looksLikeRtf("{\\RTF1 x}"));

    EXPECT_EQ(textOf("{\\rtf1\\ansi missing {\\b brace"), QStringLiteral("missing brace")); // truncated
    EXPECT_EQ(textOf("{\\rtf1\\ansi done}}} trailing garbage\0\0"), QStringLiteral("done"));
    EXPECT_EQ(textOf("{\\rtf1\\ansi one}{\\b two}\\par three}"), QStringLiteral("onetwo\nthree")); // a stray brace
    EXPECT_EQ(textOf("{\\rtf1\\ansi a\\'4"), QStringLiteral("a\x04"));
    EXPECT_EQ(textOf("{\\rtf1\\ansi {\\pict\\pngblip\\bin999999999 }x}"), QString()); // \bin past the end

    // Deep nesting and many groups are bounded: this finishes quickly and keeps the text.
    QByteArray deep = "{\\rtf1\\ansi ";
    deep += QByteArray(200000, '{') + "deep" + QByteArray(200000, '}') + "}";
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(textOf(deep), QStringLiteral("deep"));
    EXPECT_LT(timer.elapsed(), 5000);

    // Tables nested deeper than the reader keeps are flattened into the deepest one, text kept
    // (found by the fuzzer: sixteen levels took the layout half an hour).
    QByteArray nested = "{\\rtf1\\ansi\\pard\\intbl\\itap16 inner\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\nestrow}\\cell\\row}";
    ASSERT_TRUE(RtfReader::read(nested, &doc));
    int depth = 0;
    for (QTextFrame *frame = doc.rootFrame(); !frame->childFrames().isEmpty(); frame = frame->childFrames().first())
        depth += qobject_cast<QTextTable *>(frame->childFrames().first()) != nullptr;
    EXPECT_EQ(depth, RtfReader::MaxTableDepth);
    EXPECT_TRUE(doc.toPlainText().contains(QStringLiteral("inner")));

    // Found by the fuzzer: numbering words at the document's own level.
    QFile crash(QStringLiteral(VELKORA_TEST_DATA "/rtf/numbering-at-document-level.rtf"));
    ASSERT_TRUE(crash.open(QIODevice::ReadOnly));
    EXPECT_TRUE(RtfReader::read(crash.readAll(), &doc));
    EXPECT_TRUE(RtfReader::read("{\\rtf1\\pn\\pnlvlblt x}", &doc));
}

TEST(RtfReader, EveryCorpusFileLoadsAndRoundTrips)
{
    const QString corpus = velkora::testing::corpusFolder();
    if (corpus.isEmpty())
        GTEST_SKIP() << "no shared corpus in this checkout (../shared/corpus)";
    const QDir dir(corpus + QStringLiteral("/rtf"));
    const QStringList refused = {QStringLiteral("osxcart-RtfInterpreterTest_fail_0.rtf"),
                                 QStringLiteral("osxcart-RtfInterpreterTest_fail_3.rtf"),
                                 QStringLiteral("osxcart-RtfParserTest_fail_0-noheader.rtf"),
                                 QStringLiteral("rtfpipe-RtfParserTest_fail_4-empty.rtf")};
    int files = 0;
    for (const QString &name : dir.entryList({QStringLiteral("*.rtf")}, QDir::Files)) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QTextDocument doc;
        const bool read = RtfReader::read(f.readAll(), &doc);
        EXPECT_EQ(read, !refused.contains(name)) << name.toStdString();
        if (!read)
            continue;
        ++files;
        const QByteArray written = RtfWriter::write(doc);
        QTextDocument again;
        ASSERT_TRUE(RtfReader::read(written, &again)) << name.toStdString();
        EXPECT_EQ(documentDifferences(doc, again), QStringList()) << name.toStdString();
        EXPECT_EQ(RtfWriter::write(again), written) << name.toStdString();
    }
    EXPECT_GT(files, 70);
}

TEST(RtfReader, PicturesAreDecodedWhenDrawnAndAFailedOneIsAFrameWithItsReason)
{
    // A damaged metafile costs nothing while the body is only read; drawn, it is a grey frame of
    // its size with the reason written in it, and the text around it still shows.
    const QByteArray damaged = "{\\rtf1\\ansi before {\\pict\\emfblip\\picw2540\\pich1270\\picwgoal1500\\pichgoal750 "
                               "0100000008000000}after}";
    QTextDocument doc;
    ASSERT_TRUE(RtfReader::read(damaged, &doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("before \uFFFCafter"));
    QTextImageFormat image;
    for (auto it = doc.begin().begin(); !it.atEnd(); ++it) {
        if (it.fragment().charFormat().isImageFormat())
            image = it.fragment().charFormat().toImageFormat();
    }
    ASSERT_TRUE(image.isValid());
    EXPECT_DOUBLE_EQ(image.width(), 100);
    const QImage shown = doc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
    ASSERT_EQ(shown.size(), QSize(100, 50));
    EXPECT_EQ(shown.pixel(50, 2), qRgb(235, 235, 235)); // the placeholder's grey, not white
    int dark = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 2; x < shown.width() - 2; ++x)
            dark += qGray(shown.pixel(x, y)) < 120;
    EXPECT_GT(dark, 20); // the reason's letters
    // Written back, the picture keeps its own bytes though it could not be shown.
    EXPECT_TRUE(RtfWriter::write(doc).contains("0100000008000000"));

    // The body that once crashed the program at start: read, drawn at two sizes, written.
    const QString corpus = velkora::testing::corpusFolder();
    if (corpus.isEmpty())
        GTEST_SKIP() << "no shared corpus in this checkout (../shared/corpus)";
    QFile f(corpus + QStringLiteral("/regress/body-with-emf-glyph-crash.rtf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QTextDocument body;
    ASSERT_TRUE(RtfReader::read(f.readAll(), &body));
    for (const int width : {64, 600}) {
        body.setTextWidth(width);
        QImage page(width, 400, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        body.drawContents(&painter);
    }
    QTextDocument again;
    EXPECT_TRUE(RtfReader::read(RtfWriter::write(body), &again));
}

TEST(RtfReader, FootnotesAndEndnotesKeepTheirTextWhereTheirMarkStands)
{
    const QByteArray rtf = "{\\rtf1\\ansi\\fs24 Ana metin{\\super\\chftn}{\\footnote\\pard\\plain\\fs20{\\super\\chftn} Dipnot metni.\\par"
                           " ikinci satir}{\\footnote\\ftnalt son not} devam.\\par Yeni paragraf.}";
    QTextDocument doc;
    ASSERT_TRUE(RtfReader::read(rtf, &doc));
    const QString text = doc.toPlainText();
    EXPECT_EQ(text, QStringLiteral("Ana metin [ Dipnot metni. ikinci satir] [son not] devam.\nYeni paragraf."));
    // The note is set smaller than the text around it.
    QTextCursor c(&doc);
    c.setPosition(text.indexOf(QStringLiteral("Dipnot")) + 1);
    const double note = c.charFormat().fontPointSize();
    c.setPosition(text.indexOf(QStringLiteral("devam")) + 1);
    EXPECT_LT(note, c.charFormat().fontPointSize());
    // Written and read again, the words are all there.
    QTextDocument again;
    ASSERT_TRUE(RtfReader::read(RtfWriter::write(doc), &again));
    EXPECT_EQ(again.toPlainText(), text);

    // A note in a table cell, begun as Word begins it, stays in that cell of the one table.
    QTextDocument table;
    ASSERT_TRUE(RtfReader::read("{\\rtf1\\ansi\\trowd\\cellx2000\\cellx4000\\intbl A{\\footnote\\pard\\plain Not}B\\cell C\\cell\\row}", &table));
    int tables = 0;
    for (QTextFrame *f : table.rootFrame()->childFrames())
        tables += qobject_cast<QTextTable *>(f) != nullptr;
    EXPECT_EQ(tables, 1);
    const QTextTable *t = qobject_cast<QTextTable *>(table.rootFrame()->childFrames().value(0));
    ASSERT_TRUE(t);
    QTextCursor first = t->cellAt(0, 0).firstCursorPosition();
    first.setPosition(t->cellAt(0, 0).lastCursorPosition().position(), QTextCursor::KeepAnchor);
    EXPECT_EQ(first.selectedText(), QStringLiteral("A [Not]B"));
}

// Windows names a family once more for each code page ("Arial TUR", "Times New Roman CE"), and RTF
// writers store those names, often with the family as an alternate: the runs are in their family
// (a Times run is serif), and writing the body again keeps the names and their alternates.
TEST(RtfReader, FontNamesTaggedWithACodePageAreTheirFamilyAndAreWrittenBackAsStored)
{
    const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1254{\\fonttbl"
                           "{\\f0\\froman\\fcharset162 Times New Roman TUR{\\*\\fname Times New Roman;};}"
                           "{\\f1\\fswiss\\fcharset162 Arial TUR;}"
                           "{\\f2\\fswiss\\fcharset238 Arial CE{\\*\\falt Arial};}"
                           "{\\f3\\fmodern\\fcharset204 Courier New Cyr;}"
                           "{\\f4\\fswiss\\fcharset161 Arial Greek;}{\\f5\\fswiss\\fcharset186 Arial Baltic;}"
                           "{\\f6\\fnil Tahoma;}}"
                           "\\f0 serif \\f1 sans \\f2 orta \\f3 mono \\f4 yunan \\f5 balt \\f6 tahoma\\par}";
    QTextDocument doc;
    ASSERT_TRUE(RtfReader::read(rtf, &doc));
    const QString text = doc.toPlainText();
    const std::pair<const char *, const char *> runs[] = {{"serif", "Times New Roman"}, {"sans", "Arial"}, {"orta", "Arial"},
                                                          {"mono", "Courier New"},      {"yunan", "Arial"}, {"balt", "Arial"},
                                                          {"tahoma", "Tahoma"}};
    for (const auto &[word, family] : runs) {
        const QTextCharFormat f = formatAt(doc, int(text.indexOf(QString::fromLatin1(word))));
        EXPECT_EQ(f.fontFamilies().toStringList().value(0), QString::fromLatin1(family)) << word;
    }
    // Drawn in the family's face: the Times run with a serif face.
    const QFont serif = formatAt(doc, int(text.indexOf(u"serif"))).font();
    EXPECT_TRUE(QFontInfo(serif).family().contains(QStringLiteral("Serif"))) << QFontInfo(serif).family().toStdString();

    const QByteArray written = RtfWriter::write(doc);
    for (const char *entry : {"Times New Roman TUR{\\*\\fname Times New Roman;};}", "Arial TUR;}", "Arial CE{\\*\\falt Arial};}",
                              "Courier New Cyr;}", "Arial Greek;}", "Arial Baltic;}", "Tahoma;}"})
        EXPECT_TRUE(written.contains(entry)) << entry << " in " << written.toStdString();

    // A run given another font is written with that font's own name.
    QTextCursor c(&doc);
    c.setPosition(int(text.indexOf(u"serif")));
    c.setPosition(int(text.indexOf(u"serif")) + 6, QTextCursor::KeepAnchor); // the run with its blank
    QTextCharFormat other;
    other.setFontFamilies({QStringLiteral("Liberation Mono")});
    c.mergeCharFormat(other);
    const QByteArray again = RtfWriter::write(doc);
    EXPECT_TRUE(again.contains("Liberation Mono;}")) << again.toStdString();
    EXPECT_FALSE(again.contains("Times New Roman TUR")) << again.toStdString();
}

// The search reads bodies as text alone; what it finds must be what the editor shows. Tables
// aside (the document keeps empty paragraphs around them), the lines are the same.
TEST(RtfReader, TextAloneIsTheTextTheDocumentShows)
{
    const auto lines = [](const QString &text) { return text.split(u'\n', Qt::SkipEmptyParts); };
    const auto shown = [](const QTextDocument &doc) {
        QString out;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                if (!f.isImageFormat() && !f.hasProperty(property::Hidden))
                    out += it.fragment().text();
            }
            out += u'\n';
        }
        return out;
    };
    QList<QByteArray> bodies = {
        "{\\rtf1\\ansi\\ansicpg1254 T\\'fcrk\\'e7e {\\b kal\\'fdn}\\par ikinci\\par}",
        "{\\rtf1 g\\v izli\\v0 r\\'fcn\\u305?r {\\*\\unknown x} son}",
        "{\\rtf1 a\\cell b\\cell\\row sonra\\par {\\pict\\pngblip 89504e47} {\\object{\\*\\objdata 0102}} bitti}",
        "{\\rtf1 ", "{\\rtf1 satır\\line iki\\tab sekme\\par\\par}"};
    const QString corpus = velkora::testing::corpusFolder();
    if (!corpus.isEmpty()) {
        const QDir dir(corpus + QStringLiteral("/rtf"));
        for (const QString &name : dir.entryList({QStringLiteral("*.rtf")}, QDir::Files)) {
            QFile f(dir.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            bodies.append(f.readAll());
        }
    }
    for (const QByteArray &rtf : bodies) {
        QTextDocument doc;
        QString text;
        ASSERT_EQ(RtfReader::read(rtf, &doc), RtfReader::readText(rtf, &text));
        if (RtfReader::looksLikeRtf(rtf))
            EXPECT_EQ(lines(text), lines(shown(doc))) << rtf.left(200).toStdString();
    }
    QString text = QStringLiteral("önceki");
    EXPECT_FALSE(RtfReader::readText("not rtf", &text));
    EXPECT_TRUE(text.isEmpty());
}
