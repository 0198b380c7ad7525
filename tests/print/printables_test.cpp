// Titles and bodies on an EMF page: where they stand, what fits, and a long body carried on over
// further pages with no line lost or repeated.
#include "emftext.h"
#include "printtesting.h"
#include "platform/metafile/emfplayer.h"
#include "platform/richedit/richeditcontrol.h"
#include "print/printables.h"
#include "print/tqrprinter.h"
#include "store/bookstore.h"
#include "support/bookfixture.h"

#include <QDir>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::print;
using namespace velkora::testing;

namespace {

// A book in the working folder with its two queries open on the first topic and subtopic.
struct Book : OpenBook
{
    using OpenBook::OpenBook;
    Book(const QString &topic, const QString &title, const QString &body) : OpenBook({{topic, {{title, body}}}}) {}
};

QString numberedBody(int lines)
{
    QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1254\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ");
    for (int i = 1; i <= lines; ++i)
        rtf += QStringLiteral("Sat\\'fdr %1\\par ").arg(i, 3, 10, QChar(u'0'));
    return rtf + u'}';
}

// The layout with titles, as the report places its printables.
void placeTitles(TQRDBText &topic, TQRDBText &subtopic, store::BookStore &s)
{
    topic.DataSet = s.ADOQuery1;
    topic.DataField = QStringLiteral("Baslik");
    topic.Left = 849.3;
    topic.Width = 127.0;
    topic.Height = 60.9;
    topic.Alignment = Qt::AlignHCenter;
    topic.Transparent = false;
    topic.Font = QFont(QStringLiteral("Arial"), 12, QFont::Bold);
    subtopic.DataSet = s.ADOQuery2;
    subtopic.DataField = QStringLiteral("Altkonu");
    subtopic.Left = 105.8;
    subtopic.Top = 63.5;
    subtopic.Width = 129.6;
    subtopic.Height = 45.0;
    subtopic.Transparent = false;
    subtopic.Font = QFont(QStringLiteral("Arial"), 10, QFont::Bold);
}

void placeBody(TQRDBRichText &body, store::BookStore &s, double top, double height)
{
    body.DataSet = s.ADOQuery2;
    body.DataField = QStringLiteral("Aciklama");
    body.Left = 211.7;
    body.Top = top;
    body.Width = 1696.0;
    body.Height = height;
}

QImage render(const QByteArray &emf)
{
    metafile::EmfPlayer player;
    EXPECT_TRUE(player.load(emf));
    QImage image(794, 1123, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    player.play(&p, QRectF(0, 0, 794, 1123));
    return image;
}

// The box of every pixel that is not white.
QRect inked(const QImage &image, const QRect &within)
{
    QRect box;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

TEST(Printables, TitlesAndBodyStandWhereTheLayoutPutsThem)
{
    Book book(QStringLiteral("Cümle Bilgisi"), QStringLiteral("Öge\r\nikinci satır"),
              QStringLiteral("{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 K\\'fdsa bir g\\'f6vde.\\par}"));
    TQRPrinter device;
    TQRDBText topic, subtopic;
    TQRDBRichText body;
    placeTitles(topic, subtopic, book.store);
    placeBody(body, book.store, 211.7, 2521.5);
    for (TQRPrintable *p : std::initializer_list<TQRPrintable *>{&topic, &subtopic, &body}) {
        p->Device = &device;
        p->PrepareForRun();
    }
    device.BeginOutput();
    device.BeginDevicePage();
    topic.PrintAt(100, 100); // the band stands at the margins
    subtopic.PrintAt(100, 100);
    body.PrintAt(0, 0);
    device.EndOutput();
    EXPECT_TRUE(body.PrintFinished);
    const QByteArray page = *device.GetPage(1);
    // The title break keeps only its first part: the box holds one line.
    EXPECT_EQ(emfText(page), QStringLiteral("Cümle Bilgisi\nÖge\nKısa bir gövde."));

    // The centred title grew about its centre (101.28 mm across); the subtopic starts at 20.58 mm.
    const QImage image = render(page);
    const double px = 96 / 25.4;
    const QRect title = inked(image, QRect(0, int(10 * px), 794, int(6 * px)));
    EXPECT_NEAR(title.center().x(), 101.28 * px, 3);
    EXPECT_NEAR(topic.Left + topic.Width / 2, 849.3 + 127.0 / 2, 1);
    const QRect sub = inked(image, QRect(0, int(16.4 * px), 794, int(4 * px)));
    EXPECT_NEAR(sub.left(), 20.58 * px, 3);
    const QRect text = inked(image, QRect(0, int(21.17 * px), 794, 1123 - int(21.17 * px)));
    EXPECT_NEAR(text.left(), 21.17 * px, 3);
    EXPECT_LT(text.bottom(), 273.31 * px);

    // Drawn directly with the same font at the same place, the title looks the same.
    QImage direct(794, 1123, QImage::Format_RGB32);
    direct.fill(Qt::white);
    {
        QPainter p(&direct);
        QFont f(QStringLiteral("Arial"), 12, QFont::Bold);
        p.setFont(f);
        const QFontMetricsF m(f, &direct);
        const double x = (100 + topic.Left + topic.Width / 2) * 96 / 254 - m.horizontalAdvance(QStringLiteral("Cümle Bilgisi")) / 2;
        p.drawText(QPointF(x, 100 * 96 / 254.0 + m.ascent()), QStringLiteral("Cümle Bilgisi"));
    }
    const QRect band(0, int(10 * px), 794, int(6 * px));
    EXPECT_EQ(inked(direct, band).center().x(), title.center().x());
    topic.FinishRun();
    EXPECT_EQ(topic.Caption(), QStringLiteral("Baslik"));
}

TEST(Printables, ALongBodyCarriesOnOverFurtherPagesWithNoLineLostOrRepeated)
{
    Book book(QStringLiteral("Uzun"), QStringLiteral("Satırlar"), numberedBody(300));
    TQRPrinter device;
    TQRDBRichText body;
    placeBody(body, book.store, 127.0, 2606.1);
    body.Device = &device;
    body.PrepareForRun();
    device.BeginOutput();
    int pages = 0;
    int firstPageEnd = -1;
    do {
        device.BeginDevicePage();
        body.PrintAt(0, 0);
        if (++pages == 1) {
            // The first page ends where the rich-edit control's own formatting of the box ends.
            richedit::RichEditControl control;
            ASSERT_TRUE(control.streamInRtf(numberedBody(300).toLatin1()));
            const QRect box(QPoint(device.XPos(body.Left), device.YPos(body.Top)),
                            QPoint(device.XPos(body.Left + body.Width) - 1, device.YPos(body.Top + body.Height) - 1));
            firstPageEnd = control.formatRange(device.Canvas(), box, 0, -1, false);
            EXPECT_EQ(body.NextCharacter(), firstPageEnd);
        }
    } while (!body.PrintFinished && pages < 50);
    device.EndOutput();
    ASSERT_GT(pages, 2);
    EXPECT_LT(pages, 50);

    QStringList all;
    for (int n = 1; n <= pages; ++n) {
        const QByteArray page = *device.GetPage(n);
        const QStringList lines = emfText(page).split(u'\n');
        all += lines;
        // Every line drawn stands inside the box: none cut at its foot.
        const QImage image = render(page);
        const QRect text = inked(image, QRect(0, 0, 794, 1123));
        EXPECT_GE(text.top(), int(12.7 * 96 / 25.4) - 1) << "page " << n;
        EXPECT_LE(text.bottom(), int(273.31 * 96 / 25.4) + 1) << "page " << n;
    }
    ASSERT_EQ(all.size(), 300) << all.join(u'|').toStdString();
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(all[i], QStringLiteral("Satır %1").arg(i + 1, 3, 10, QChar(u'0')));
}

TEST(Printables, APlainTextBodyAndAnEmptySubtopic)
{
    Book book(QStringLiteral("Düz"), QStringLiteral("Metin"), QStringLiteral("Düz metin gövde\r\nikinci satır"));
    TQRPrinter device;
    TQRDBRichText body;
    placeBody(body, book.store, 127.0, 2606.1);
    body.Device = &device;
    body.PrepareForRun();
    device.BeginOutput();
    device.BeginDevicePage();
    body.PrintAt(0, 0);
    device.EndOutput();
    EXPECT_EQ(emfText(*device.GetPage(1)), QStringLiteral("Düz metin gövde\nikinci satır"));
}
