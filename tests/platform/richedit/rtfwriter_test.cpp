// The RTF the writer produces: its fixed beginning, its code page, and documents that come back
// the same, byte for byte on the second writing.
#include "platform/richedit/documentcomparison.h"
#include "platform/richedit/richtextproperties.h"
#include "platform/richedit/rtfreader.h"
#include "platform/richedit/rtfwriter.h"

#include <QImage>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace velkora::richedit;

namespace {

// A body built the way the editor builds one: typed text, formats, a list, a table, a picture.
void fillBody(QTextDocument &doc)
{
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 10));
    QTextCursor c(&doc);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("Türkçe "));
    c.insertText(QStringLiteral("kalın"), bold);
    QTextCharFormat red;
    red.setForeground(QColor(200, 0, 0));
    red.setFontPointSize(14);
    red.setFontFamilies({QStringLiteral("Times New Roman")});
    c.insertText(QStringLiteral(" kırmızı → ✓ 😀"), red);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setLeftMargin(20);
    centred.setTextIndent(-10);
    c.insertBlock(centred, QTextCharFormat());
    c.insertText(QStringLiteral("ortada {parantez} \\ ters"));
    c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    c.createList(bullets);
    c.insertText(QStringLiteral("madde bir"));
    c.insertBlock();
    c.insertText(QStringLiteral("madde iki"));
    c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    QTextTable *table = c.insertTable(2, 2);
    table->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("a"));
    table->cellAt(1, 1).firstCursorPosition().insertText(QStringLiteral("d"));
    c.setPosition(table->lastPosition() + 1);
    c.insertText(QStringLiteral("resim: "));
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::blue);
    doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("pasted")), image);
    QTextImageFormat picture;
    picture.setName(QStringLiteral("pasted"));
    picture.setWidth(40);
    picture.setHeight(30);
    c.insertImage(picture);
    QTextCharFormat link;
    link.setAnchor(true);
    link.setAnchorHref(QStringLiteral("https://example.org/"));
    c.insertText(QStringLiteral(" bağlantı"), link);
}

} // namespace

TEST(RtfWriter, WritesTheControlsHeaderAndCodePage1254)
{
    QTextDocument doc;
    fillBody(doc);
    const QByteArray rtf = RtfWriter::write(doc);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1254\\deff0")) << rtf.left(60).toStdString();
    EXPECT_TRUE(rtf.contains("T\\'fcrk\\'e7e")); // Türkçe in code page 1254
    EXPECT_TRUE(rtf.contains("k\\'fdrm\\'fdz\\'fd"));
    EXPECT_TRUE(rtf.contains("\\u8594?")); // → is not in the code page
    EXPECT_TRUE(rtf.contains("\\u-10179?\\u-8704?")); // nor is 😀, written as its two halves
    EXPECT_TRUE(rtf.contains("\\{parantez\\} \\\\ ters"));
    EXPECT_TRUE(rtf.contains("{\\*\\pn\\pnlvlblt"));
    EXPECT_TRUE(rtf.contains("\\cell") && rtf.contains("\\row"));
    EXPECT_TRUE(rtf.contains("\\pngblip"));
    EXPECT_TRUE(rtf.contains("HYPERLINK \"https://example.org/\""));
    for (const char c : rtf)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80); // 7-bit throughout
}

TEST(RtfWriter, ReadingWhatWasWrittenGivesTheSameDocumentAndBytes)
{
    QTextDocument doc;
    fillBody(doc);
    const QByteArray first = RtfWriter::write(doc);
    QTextDocument again;
    again.setDefaultFont(doc.defaultFont());
    ASSERT_TRUE(RtfReader::read(first, &again));
    EXPECT_EQ(documentDifferences(doc, again), QStringList());
    const QByteArray second = RtfWriter::write(again);
    EXPECT_EQ(second, first);

    // Empty documents and a document ending in an empty paragraph keep their paragraphs.
    for (const QString &text : {QString(), QStringLiteral("a\n"), QStringLiteral("\n\nb")}) {
        QTextDocument plain;
        plain.setPlainText(text);
        QTextDocument back;
        ASSERT_TRUE(RtfReader::read(RtfWriter::write(plain), &back));
        EXPECT_EQ(back.toPlainText(), text);
        EXPECT_EQ(back.blockCount(), plain.blockCount());
    }
}

TEST(RtfWriter, MetafilesAndObjectsGoOutWithTheirOwnBytes)
{
    const QByteArray wmf = "{\\rtf1\\ansi {\\pict\\wmetafile8\\picw1000\\pich500\\picwgoal567\\pichgoal283 d7cdc69a0000}"
                           "{\\object\\objemb{\\*\\objclass Paint.Picture}\\objw100\\objh100{\\*\\objdata 01050000}"
                           "{\\result{\\pict\\emfblip\\picw10\\pich10 0100000000}}}}";
    QTextDocument doc;
    ASSERT_TRUE(RtfReader::read(wmf, &doc));
    const QByteArray out = RtfWriter::write(doc);
    EXPECT_TRUE(out.contains("\\wmetafile8\\picw1000\\pich500\\picwgoal567\\pichgoal283\nd7cdc69a0000\n}"))
        << out.toStdString();
    EXPECT_TRUE(out.contains("{\\object\\objemb{\\*\\objclass Paint.Picture}\\objw100\\objh100{\\*\\objdata 01050000}"
                             "{\\result {\\pict\\emfblip"))
        << out.toStdString();
}
