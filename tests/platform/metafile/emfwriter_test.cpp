// The EMF writer: what it records plays back as the same picture as drawing directly, and its
// header and object handles are what Windows programs expect of an enhanced metafile.
#include "platform/metafile/emfplayer.h"
#include "platform/metafile/emfwriter.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <gtest/gtest.h>

#include <functional>
#include <set>

using velkora::metafile::EmfPlayer;
using velkora::metafile::EmfWriter;

namespace {

using Scene = std::function<void(QPainter &)>;

quint32 u32At(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
qint32 i32At(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<qint32>(b.constData() + at);
}

QByteArray record(const QSize &size, const Scene &scene, int dpi = 96)
{
    EmfWriter writer(size, dpi);
    QPainter painter(&writer);
    scene(painter);
    painter.end();
    return writer.bytes();
}

QImage direct(const QSize &size, double scale, const Scene &scene)
{
    QImage image(size * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(scale, scale);
    scene(painter);
    return image;
}

QImage played(const QByteArray &emf, const QSize &size, double scale)
{
    QImage image(size * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    EmfPlayer player;
    QString error;
    EXPECT_TRUE(player.load(emf, &error)) << error.toStdString();
    QPainter painter(&image);
    EXPECT_TRUE(player.play(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())), &error)) << error.toStdString();
    return image;
}

// The share of pixels that differ clearly (by more than a quarter of the range in some channel).
double differing(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 1;
    qint64 off = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (std::abs(qRed(pa[x]) - qRed(pb[x])) > 64 || std::abs(qGreen(pa[x]) - qGreen(pb[x])) > 64 ||
                std::abs(qBlue(pa[x]) - qBlue(pb[x])) > 64)
                ++off;
        }
    }
    return double(off) / (double(a.width()) * a.height());
}

double inked(const QImage &a)
{
    QImage white(a.size(), a.format());
    white.fill(Qt::white);
    return differing(a, white);
}

void shapes(QPainter &p)
{
    p.setPen(QPen(QColor(200, 0, 0), 3));
    p.setBrush(QColor(0, 120, 255));
    p.drawRect(10, 10, 80, 50);
    p.setBrush(QBrush(QColor(0, 150, 0), Qt::DiagCrossPattern));
    p.drawEllipse(QRectF(110, 10, 90, 60));
    p.setPen(QPen(Qt::black, 2, Qt::DashLine));
    p.drawLine(10, 90, 200, 110);
    p.setPen(QPen(QColor(120, 0, 120), 4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(20, 120, 80, 60), 30 * 16, 200 * 16);
    p.setBrush(QColor(250, 200, 0));
    p.drawPie(QRectF(120, 120, 70, 70), 0, 90 * 16);
    p.drawChord(QRectF(30, 190, 70, 40), 20 * 16, 160 * 16);
    const QPointF star[] = {{150, 200}, {170, 260}, {120, 220}, {180, 220}, {130, 260}};
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::darkCyan);
    p.drawPolygon(star, 5, Qt::WindingFill);
}

void text(QPainter &p)
{
    QFont face(QStringLiteral("DejaVu Sans"));
    face.setPixelSize(18);
    p.setFont(face);
    p.setPen(Qt::black);
    p.drawText(QPointF(10, 30), QStringLiteral("Kitabın başlığı: ĞÜŞİÖÇ ğüşıöç"));
    face.setBold(true);
    face.setItalic(true);
    face.setPointSize(15);
    p.setFont(face);
    p.setPen(QColor(0, 0, 180));
    p.drawText(QPointF(10, 70), QStringLiteral("Kalın ve eğik, mavi"));
    QFont serif(QStringLiteral("DejaVu Serif"));
    serif.setPixelSize(24);
    serif.setUnderline(true);
    p.setFont(serif);
    p.setPen(QColor(160, 0, 0));
    p.drawText(QPointF(10, 120), QStringLiteral("Altı çizili yazı 12345"));
}

void bitmap(QPainter &p)
{
    QImage tile(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < tile.height(); ++y) {
        for (int x = 0; x < tile.width(); ++x)
            tile.setPixel(x, y, qRgb(x * 6, y * 8, (x + y) % 2 ? 255 : 0));
    }
    p.drawImage(QRectF(10, 10, 120, 90), tile);
    p.drawImage(QPointF(150, 20), tile);
    // A picture with transparency blends with what is under it.
    p.fillRect(QRect(10, 150, 200, 40), QColor(200, 0, 0));
    QImage glass(60, 60, QImage::Format_ARGB32);
    glass.fill(Qt::transparent);
    for (int y = 10; y < 50; ++y) {
        for (int x = 0; x < 60; ++x)
            glass.setPixel(x, y, qRgba(0, 0, 255, x * 4));
    }
    p.drawImage(QPointF(30, 140), glass);
}

void clipped(QPainter &p)
{
    p.setClipRect(QRect(20, 20, 100, 60));
    p.fillRect(QRect(0, 0, 220, 140), QColor(0, 90, 0));
    p.setClipping(false);
    p.save();
    p.translate(120, 70);
    p.rotate(30);
    p.setPen(QPen(Qt::red, 2));
    p.setBrush(Qt::yellow);
    p.drawRect(-30, -20, 60, 40);
    p.restore();
    p.setPen(QPen(Qt::blue, 2));
    p.drawLine(0, 130, 220, 130);
}

struct Case
{
    const char *name;
    Scene scene;
    double tolerance;
};

} // namespace

TEST(EmfWriter, PlaysBackAsDrawnDirectlyAtOneAndTwoTimes)
{
    const QSize size(220, 280);
    const Case cases[] = {
        {"shapes", shapes, 0.02},
        {"text", text, 0.03},
        {"bitmap", bitmap, 0.01},
        {"clip and transform", clipped, 0.02},
    };
    for (const Case &c : cases) {
        const QByteArray emf = record(size, c.scene);
        for (double scale : {1.0, 2.0}) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(scale));
            const QImage want = direct(size, scale, c.scene);
            const QImage got = played(emf, size, scale);
            ASSERT_GT(inked(want), 0.01);
            EXPECT_LT(differing(want, got), c.tolerance);
            if (HasFailure()) {
                want.save(QStringLiteral("/tmp/emfwriter-%1-%2-want.png").arg(QLatin1String(c.name)).arg(scale));
                got.save(QStringLiteral("/tmp/emfwriter-%1-%2-got.png").arg(QLatin1String(c.name)).arg(scale));
            }
        }
    }
}

TEST(EmfWriter, HeaderFieldsAreThoseOfAnEnhancedMetafile)
{
    // An A5 page at 96 dpi: 559 x 794 pixels.
    const QSize size(559, 794);
    const QByteArray emf = record(size, [](QPainter &p) {
        p.setPen(Qt::black);
        p.drawRect(50, 60, 100, 40);
        p.drawText(QPointF(60, 200), QStringLiteral("Sayfa"));
    });
    ASSERT_GE(emf.size(), 108);
    EXPECT_EQ(u32At(emf, 0), 1u);                   // EMR_HEADER
    EXPECT_EQ(u32At(emf, 4), 108u);                 // its size: no description, no pixel format
    EXPECT_EQ(emf.mid(40, 4), QByteArray(" EMF"));
    EXPECT_EQ(u32At(emf, 44), 0x10000u);
    EXPECT_EQ(u32At(emf, 48), quint32(emf.size())); // bytes
    // Frame: the whole page in 0.01 mm, inclusive.
    EXPECT_EQ(i32At(emf, 24), 0);
    EXPECT_EQ(i32At(emf, 28), 0);
    EXPECT_EQ(i32At(emf, 32), qRound(559 * 2540.0 / 96) - 1);
    EXPECT_EQ(i32At(emf, 36), qRound(794 * 2540.0 / 96) - 1);
    // Bounds hold what was drawn, inside the page.
    EXPECT_LE(i32At(emf, 8), 50);
    EXPECT_LE(i32At(emf, 12), 60);
    EXPECT_GE(i32At(emf, 16), 150);
    EXPECT_LE(i32At(emf, 16), 558);
    // The reference device: the page in pixels and millimetres at the resolution it was made for.
    EXPECT_EQ(i32At(emf, 72), 559);
    EXPECT_EQ(i32At(emf, 76), 794);
    EXPECT_EQ(i32At(emf, 80), 148);
    EXPECT_EQ(i32At(emf, 84), 210);
    EXPECT_EQ(i32At(emf, 100), 147902); // micrometres, finer than the millimetres
    EXPECT_EQ(i32At(emf, 104), 210079);

    // Record count and sizes agree with the records, the last being EOF.
    quint32 records = 0, lastType = 0;
    for (qsizetype at = 0; at < emf.size();) {
        const quint32 type = u32At(emf, at), bytes = u32At(emf, at + 4);
        ASSERT_GE(bytes, 8u);
        ASSERT_EQ(bytes % 4, 0u);
        ASSERT_LE(at + bytes, emf.size());
        lastType = type;
        ++records;
        at += bytes;
    }
    EXPECT_EQ(u32At(emf, 52), records);
    EXPECT_EQ(lastType, 14u);

    // The same page made for a 120 dpi screen says so.
    const QByteArray hi = record(QSize(700, 992), [](QPainter &p) { p.drawLine(0, 0, 10, 10); }, 120);
    EXPECT_EQ(i32At(hi, 72), 700);
    EXPECT_EQ(i32At(hi, 80), 148);
    EXPECT_EQ(i32At(hi, 32), qRound(700 * 2540.0 / 120) - 1);
    EmfPlayer player;
    ASSERT_TRUE(player.load(hi));
    EXPECT_NEAR(player.naturalSize().width(), 560, 1.5); // 148 mm at 96 per inch
}

TEST(EmfWriter, ObjectHandlesAreCreatedSelectedAndDeletedInTurn)
{
    const QByteArray emf = record(QSize(300, 300), [](QPainter &p) {
        for (int i = 0; i < 50; ++i) {
            p.setPen(QPen(QColor(i * 5, 0, 0), 1 + i % 3));
            p.setBrush(QColor(0, i * 5, 0));
            p.drawRect(i * 5, i * 5, 20, 20);
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPixelSize(10 + i % 7);
            p.setFont(f);
            p.drawText(QPointF(10, 10 + i * 5), QString::number(i));
        }
    });
    const quint32 handles = qFromLittleEndian<quint16>(emf.constData() + 56);
    std::set<quint32> live, selected;
    int created = 0, deleted = 0;
    for (qsizetype at = u32At(emf, 4); at < emf.size(); at += u32At(emf, at + 4)) {
        const quint32 type = u32At(emf, at);
        if (type == 38 || type == 39 || type == 82) { // CREATEPEN, CREATEBRUSHINDIRECT, EXTCREATEFONTINDIRECTW
            const quint32 h = u32At(emf, at + 8);
            EXPECT_GT(h, 0u);
            EXPECT_LT(h, handles);
            EXPECT_TRUE(live.insert(h).second) << "handle " << h << " created twice without delete";
            ++created;
        } else if (type == 37) { // SELECTOBJECT: a live object or a stock one
            const quint32 h = u32At(emf, at + 8);
            EXPECT_TRUE((h & 0x80000000u) || live.count(h)) << "selects handle " << h;
        } else if (type == 40) { // DELETEOBJECT
            const quint32 h = u32At(emf, at + 8);
            EXPECT_EQ(live.erase(h), 1u) << "deletes handle " << h;
            ++deleted;
        }
    }
    EXPECT_GE(created, 100);
    EXPECT_EQ(created, deleted);
    EXPECT_TRUE(live.empty());
    // Deleted handles are used again, so the table stays small.
    EXPECT_LT(handles, 10u);
}
