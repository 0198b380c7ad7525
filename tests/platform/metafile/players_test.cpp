// The EMF and WMF players on real files written by other programs, and on damaged ones.
#include "platform/metafile/emfplayer.h"
#include "platform/metafile/emfwriter.h"
#include "platform/metafile/wmfplayer.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <gtest/gtest.h>

using velkora::metafile::EmfPlayer;
using velkora::metafile::EmfWriter;
using velkora::metafile::WmfPlayer;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Plays bytes of either kind into a white image; false with the message when refused or stopped.
bool render(const QByteArray &bytes, QImage *image, QString *error)
{
    QSizeF natural;
    EmfPlayer emf;
    WmfPlayer wmf;
    const bool isEmf = EmfPlayer::isEmf(bytes);
    if (isEmf ? !emf.load(bytes, error) : !wmf.load(bytes, error))
        return false;
    natural = isEmf ? emf.naturalSize() : wmf.naturalSize();
    if (natural.isEmpty()) {
        *error = QStringLiteral("no size");
        return false;
    }
    const QSize size = natural.scaled(400, 400, Qt::KeepAspectRatio).toSize().expandedTo(QSize(1, 1));
    *image = QImage(size, QImage::Format_RGB32);
    image->fill(QColor(250, 0, 250)); // not white, so white drawings show too
    QPainter painter(image);
    const QRectF target(QPointF(0, 0), QSizeF(size));
    return isEmf ? emf.play(&painter, target, error) : wmf.play(&painter, target, error);
}

bool blank(const QImage &image)
{
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] != first)
                return false;
        }
    }
    return true;
}

QByteArray sampleEmf()
{
    EmfWriter writer(QSize(200, 100));
    QPainter p(&writer);
    p.setBrush(Qt::red);
    p.drawRect(10, 10, 80, 40);
    p.drawText(QPointF(20, 80), QStringLiteral("Örnek"));
    p.end();
    return writer.bytes();
}

} // namespace

TEST(MetafilePlayers, EveryCorpusFileRendersOrIsRefusedWithAMessage)
{
    const QDir dir(QStringLiteral(VELKORA_CORPUS_DIR));
    const QStringList files = dir.entryList({QStringLiteral("*.emf"), QStringLiteral("*.wmf")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        GTEST_SKIP() << "no metafile corpus at " << VELKORA_CORPUS_DIR;
    int rendered = 0;
    for (const QString &name : files) {
        SCOPED_TRACE(name.toStdString());
        QImage image;
        QString error;
        const bool ok = render(readAll(dir.filePath(name)), &image, &error);
        if (name.contains(QLatin1String("corrupt"))) {
            // Deliberately damaged: drawing may stop part way, but never silently.
            if (!ok) {
                EXPECT_FALSE(error.isEmpty());
            }
            continue;
        }
        EXPECT_TRUE(ok) << error.toStdString();
        // Two files draw nothing a GDI player can show: one only selects objects, the other holds
        // EMF+ records alone, with no GDI records behind them.
        const bool empty = name == QLatin1String("emf2svg-test-030.emf") || name == QLatin1String("uemf-test_libuemf_p_ref.emf");
        if (ok) {
            EXPECT_EQ(blank(image), empty);
            ++rendered;
        }
    }
    EXPECT_GE(rendered, 40);
}

TEST(MetafilePlayers, WmfHeadersPlaceableAndStandard)
{
    const QDir dir(QStringLiteral(VELKORA_CORPUS_DIR));
    const QByteArray placeable = readAll(dir.filePath(QStringLiteral("libwmf-fjftest.wmf")));
    if (placeable.isEmpty())
        GTEST_SKIP() << "no metafile corpus";
    ASSERT_EQ(qFromLittleEndian<quint32>(placeable.constData()), 0x9AC6CDD7u);
    WmfPlayer player;
    ASSERT_TRUE(player.load(placeable));
    EXPECT_TRUE(player.placeable());
    const qint16 left = qFromLittleEndian<qint16>(placeable.constData() + 6);
    const qint16 right = qFromLittleEndian<qint16>(placeable.constData() + 10);
    const quint16 inch = qFromLittleEndian<quint16>(placeable.constData() + 14);
    EXPECT_EQ(player.unitsPerInch(), inch);
    EXPECT_NEAR(player.naturalSize().width(), (right - left) * 96.0 / inch, 1.0);

    // The same records without the placeable header still play, sized from the window they set.
    const QByteArray standard = placeable.mid(22);
    WmfPlayer bare;
    QString error;
    ASSERT_TRUE(bare.load(standard, &error)) << error.toStdString();
    EXPECT_FALSE(bare.placeable());
    EXPECT_FALSE(bare.naturalSize().isEmpty());
    QImage image;
    EXPECT_TRUE(render(standard, &image, &error)) << error.toStdString();
    EXPECT_FALSE(blank(image));
}

TEST(MetafilePlayers, DamagedInputIsRefusedOrStopsWithAMessage)
{
    const QByteArray good = sampleEmf();
    QString error;
    EmfPlayer player;

    EXPECT_FALSE(player.load(QByteArray("not a metafile at all"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(player.load(good.left(60), &error));
    EXPECT_FALSE(error.isEmpty());

    // Every truncation and every record size made to lie either refuses or stops with a message.
    for (qsizetype cut = 108; cut < good.size(); cut += 12) {
        QImage image;
        error.clear();
        if (!render(good.left(cut), &image, &error)) {
            EXPECT_FALSE(error.isEmpty()) << "cut at " << cut;
        }
    }
    for (qsizetype at = 108; at + 8 <= good.size(); at += qFromLittleEndian<quint32>(good.constData() + at + 4)) {
        for (quint32 lie : {0u, 3u, 0x7FFFFFF0u, 0xFFFFFFFCu}) {
            QByteArray bad = good;
            qToLittleEndian<quint32>(lie, bad.data() + at + 4);
            QImage image;
            error.clear();
            EXPECT_FALSE(render(bad, &image, &error)) << "record at " << at << " sized " << lie;
            EXPECT_FALSE(error.isEmpty());
        }
    }

    // A bitmap claiming absurd dimensions is not allocated.
    EmfWriter writer(QSize(50, 50));
    {
        QPainter p(&writer);
        QImage tiny(4, 4, QImage::Format_RGB32);
        tiny.fill(Qt::blue);
        p.drawImage(QPointF(0, 0), tiny);
    }
    QByteArray huge = writer.bytes();
    const qsizetype dib = huge.indexOf(QByteArray::fromHex("28000000040000000400000001002000"));
    ASSERT_GT(dib, 0);
    qToLittleEndian<qint32>(200000, huge.data() + dib + 4);
    qToLittleEndian<qint32>(200000, huge.data() + dib + 8);
    QImage image;
    error.clear();
    EXPECT_FALSE(render(huge, &image, &error));
    EXPECT_FALSE(error.isEmpty());

    // A WMF whose header claims more than the file holds.
    const QByteArray wmf = readAll(QStringLiteral(VELKORA_CORPUS_DIR "/libwmf-sample.wmf"));
    if (!wmf.isEmpty()) {
        WmfPlayer w;
        const bool loaded = w.load(wmf.left(wmf.size() / 2), &error);
        if (loaded) {
            QImage half;
            EXPECT_FALSE(render(wmf.left(wmf.size() / 2), &half, &error));
        }
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(MetafilePlayers, GlyphCrashReproducerRendersAtEveryWidth)
{
    // A fuzzed EMF whose text is squashed a thousandfold by its world transform once crashed
    // the font engine when drawn 64 pixels wide.
    const QByteArray bytes = readAll(QStringLiteral(VELKORA_CORPUS_DIR "/../regress/emf-glyph-crash.emf"));
    if (bytes.isEmpty())
        GTEST_SKIP() << "no regression corpus";
    EmfPlayer player;
    ASSERT_TRUE(player.load(bytes));
    for (const int width : {16, 32, 64, 100, 128, 256, 512, 1024}) {
        QImage image(width, width * 2 / 3 + 1, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        QString error;
        player.play(&painter, QRectF(image.rect()), &error);
        // It is damaged further on: drawing stops there with a message.
        EXPECT_FALSE(error.isEmpty());
    }
}
