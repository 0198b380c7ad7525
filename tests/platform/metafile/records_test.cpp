// The players on small metafiles built record by record, each checked at the pixels it should paint:
// map modes with window and viewport extents, clipping inside SAVEDC/RESTOREDC, paths, and the
// bitmap form a pasted picture takes in a WMF.
#include "platform/metafile/emfplayer.h"
#include "platform/metafile/wmfplayer.h"

#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

using velkora::metafile::EmfPlayer;
using velkora::metafile::WmfPlayer;

namespace {

class Bytes
{
public:
    Bytes &u16(quint16 v) { put(qToLittleEndian(v)); return *this; }
    Bytes &i16(qint16 v) { put(qToLittleEndian(v)); return *this; }
    Bytes &u32(quint32 v) { put(qToLittleEndian(v)); return *this; }
    Bytes &i32(qint32 v) { put(qToLittleEndian(v)); return *this; }
    Bytes &raw(const QByteArray &b) { data += b; return *this; }
    QByteArray data;

private:
    template <typename T>
    void put(T v) { data.append(reinterpret_cast<const char *>(&v), sizeof v); }
};

using Records = std::vector<std::pair<quint32, std::vector<qint32>>>;

// An EMF of 100 x 100 pixels at 96 dpi whose records are given as (type, parameters).
QByteArray emf(const Records &records)
{
    Bytes body;
    quint32 count = 1;
    for (const auto &[type, params] : records) {
        body.u32(type).u32(8 + 4 * quint32(params.size()));
        for (qint32 p : params)
            body.i32(p);
        ++count;
    }
    body.u32(14).u32(20).u32(0).u32(16).u32(20); // EOF
    ++count;
    Bytes h;
    h.u32(1).u32(108).i32(0).i32(0).i32(99).i32(99).i32(0).i32(0).i32(2645).i32(2645);
    h.u32(0x464D4520).u32(0x10000).u32(108 + quint32(body.data.size())).u32(count).u16(8).u16(0);
    h.u32(0).u32(0).u32(0).i32(100).i32(100).i32(26).i32(26).u32(0).u32(0).u32(0).i32(26458).i32(26458);
    return h.data + body.data;
}

qint32 bitsOf(float f)
{
    qint32 v;
    std::memcpy(&v, &f, 4);
    return v;
}

// EXTCREATEFONTINDIRECTW of Arial as object `handle`, `height` logical units high.
std::pair<quint32, std::vector<qint32>> font(qint32 handle, qint32 height)
{
    std::vector<qint32> p{handle, height, 0, 0, 0, 400, 0, 0};
    const QString face = QStringLiteral("Arial");
    for (int i = 0; i < 16; ++i) {
        const quint16 lo = 2 * i < face.size() ? face.at(2 * i).unicode() : 0;
        const quint16 hi = 2 * i + 1 < face.size() ? face.at(2 * i + 1).unicode() : 0;
        p.push_back(qint32(lo | (quint32(hi) << 16)));
    }
    return {82, p};
}

// EXTTEXTOUTW of "HHHH" at (x, y), each character `advance` units on.
std::pair<quint32, std::vector<qint32>> text(qint32 x, qint32 y, qint32 advance)
{
    // Bounds, graphics mode, scales, reference, count, string offset, options, rectangle, dx offset.
    std::vector<qint32> p{0, 0, -1, -1, 1, 0, 0, x, y, 4, 76, 0, 0, 0, -1, -1, 84};
    p.push_back('H' | ('H' << 16));
    p.push_back('H' | ('H' << 16));
    for (int i = 0; i < 4; ++i)
        p.push_back(advance);
    return {84, p};
}

QImage play(const QByteArray &bytes, QString *error, int side = 200)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QRectF target(0, 0, side, side);
    bool ok = false;
    if (EmfPlayer::isEmf(bytes)) {
        EmfPlayer p;
        ok = p.load(bytes, error) && p.play(&painter, target, error);
    } else {
        WmfPlayer p;
        ok = p.load(bytes, error) && p.play(&painter, target, error);
    }
    EXPECT_TRUE(ok) << error->toStdString();
    return image;
}

constexpr qint32 Red = 0x0000FF, Blue = 0xFF0000, Green = 0x00FF00, Yellow = 0x00FFFF;
constexpr qint32 NullPen = qint32(0x80000008);

} // namespace

TEST(MetafileRecords, EmfMapModeClipPathAndSavedState)
{
    // Logical units: 1000 across the 100-pixel picture, so 200 pixels of target are 1000 units.
    const QByteArray bytes = emf({
        {17, {8}},                     // SETMAPMODE MM_ANISOTROPIC
        {9, {1000, 1000}},             // SETWINDOWEXTEX
        {11, {100, 100}},              // SETVIEWPORTEXTEX
        {37, {NullPen}},               // SELECTOBJECT the null pen
        {39, {1, 0, Red, 0}},          // CREATEBRUSHINDIRECT 1: solid red
        {37, {1}},
        {43, {0, 0, 500, 500}},        // RECTANGLE: the top-left quarter
        {33, {}},                      // SAVEDC
        {30, {500, 500, 1000, 1000}},  // INTERSECTCLIPRECT: the bottom-right quarter
        {39, {2, 0, Blue, 0}},
        {37, {2}},
        {43, {0, 0, 1000, 1000}},      // everything, but only the clip shows
        {39, {3, 0, Green, 0}},
        {37, {3}},
        {59, {}},                      // BEGINPATH: a triangle in the bottom-right quarter
        {27, {600, 900}},              // MOVETOEX
        {54, {900, 900}},              // LINETO
        {54, {750, 600}},
        {61, {}},                      // CLOSEFIGURE
        {60, {}},                      // ENDPATH
        {62, {0, 0, 1000, 1000}},      // FILLPATH
        {34, {-1}},                    // RESTOREDC: the clip is gone again
        {39, {4, 0, Yellow, 0}},
        {37, {4}},
        {43, {500, 0, 1000, 500}},     // the top-right quarter
        {40, {2}}, {40, {3}},          // DELETEOBJECT
    });
    QString error;
    const QImage image = play(bytes, &error);
    EXPECT_EQ(image.pixel(50, 50), qRgb(255, 0, 0));     // red, not overdrawn by the clipped blue
    EXPECT_EQ(image.pixel(110, 190), qRgb(0, 0, 255));   // blue inside the clip
    EXPECT_EQ(image.pixel(150, 160), qRgb(0, 255, 0));   // the path's triangle
    EXPECT_EQ(image.pixel(150, 50), qRgb(255, 255, 0));  // drawn after the clip was restored away
    EXPECT_EQ(image.pixel(50, 150), qRgb(255, 255, 255)); // nothing drew there
}

TEST(MetafileRecords, WmfPlaceableWindowAndStretchedBitmap)
{
    // Records of the standard WMF: size in 16-bit words, function, parameters.
    Bytes records;
    const auto rec = [&records](quint16 function, std::initializer_list<qint16> params, const QByteArray &tail = {}) {
        records.u32(3 + quint32(params.size()) + quint32(tail.size() / 2)).u16(function);
        for (qint16 p : params)
            records.i16(p);
        records.raw(tail);
    };
    rec(0x020B, {0, 0});       // SETWINDOWORG y, x
    rec(0x020C, {1000, 1000}); // SETWINDOWEXT y, x
    rec(0x02FA, {5, 0, 0, 0, 0});                   // CREATEPENINDIRECT: null pen (object 0)
    rec(0x012D, {0});                               // SELECTOBJECT
    rec(0x02FC, {0, qint16(Blue & 0xFFFF), qint16(Blue >> 16), 0}); // CREATEBRUSHINDIRECT: solid blue (object 1)
    rec(0x012D, {1});
    rec(0x041B, {1000, 500, 500, 0}); // RECTANGLE bottom, right, top, left: the bottom-left quarter
    // A 2 x 2 24-bit bitmap, bottom-up: blue, green / red, white; stretched over the top-right quarter.
    Bytes dib;
    dib.u32(40).i32(2).i32(2).u16(1).u16(24).u32(0).u32(16).i32(0).i32(0).u32(0).u32(0);
    dib.raw(QByteArray::fromHex("ff0000" "00ff00" "0000")).raw(QByteArray::fromHex("0000ff" "ffffff" "0000"));
    // STRETCHDIB: rop, usage, source height, width, y, x, destination height, width, y, x.
    rec(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 500, 500, 0, 500}, dib.data);
    rec(0x0000, {}); // EOF

    Bytes header;
    header.u16(1).u16(9).u16(0x300).u32(9 + quint32(records.data.size() / 2)).u16(2).u32(40).u16(0);
    Bytes placeable;
    placeable.u32(0x9AC6CDD7).u16(0).i16(0).i16(0).i16(1000).i16(1000).u16(1440).u32(0);
    quint16 sum = 0;
    for (int i = 0; i < 20; i += 2)
        sum ^= qFromLittleEndian<quint16>(placeable.data.constData() + i);
    placeable.u16(sum);
    const QByteArray bytes = placeable.data + header.data + records.data;

    WmfPlayer player;
    ASSERT_TRUE(player.load(bytes));
    EXPECT_TRUE(player.placeable());
    EXPECT_NEAR(player.naturalSize().width(), 1000 * 96.0 / 1440, 0.01);
    QString error;
    const QImage image = play(bytes, &error);
    EXPECT_EQ(image.pixel(50, 150), qRgb(0, 0, 255));     // the rectangle
    EXPECT_EQ(image.pixel(50, 50), qRgb(255, 255, 255));  // untouched
    EXPECT_EQ(image.pixel(110, 10), qRgb(255, 0, 0));     // the bitmap's top row: red, white
    EXPECT_EQ(image.pixel(190, 10), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(110, 90), qRgb(0, 0, 255));     // its bottom row: blue, green
    EXPECT_EQ(image.pixel(190, 90), qRgb(0, 255, 0));
}

TEST(MetafileRecords, TextUnderAnyTransformAtAnyTargetSizeIsDrawnOrLeftOut)
{
    // World transforms that squash, stretch, shrink or flatten text, with fonts from tiny to huge
    // and advances from none to absurd; the font engine's glyph cache must never see such glyphs.
    struct Case
    {
        float m11, m12, m21, m22;
        qint32 height, advance;
        int inkAt; // the target size at which the text must show, 0 where only surviving counts
    };
    const Case cases[] = {
        {1, 0, 0, 1, -20, 12, 200},                 // ordinary text
        {32, 0, 0, 0.02f, -34, 3, 0},               // a hundred times wider than high
        {27.7f, -0.01f, 16.0f, 0.0176f, -29, 2, 0}, // squashed and sheared
        {0.02f, 0, 0, 32, -34, 12, 0},              // a hundred times higher than wide
        {0.001f, 0, 0, 0.001f, -12, 12, 0},         // a thousandth of a pixel
        {1, 0, 0, 0, -20, 12, 0},                   // flattened to a line
        {400, 0, 0, 400, -20, 12, 0},               // huge
        {1, 0, 0, 1, -120, 12, 1024},               // over a thousand pixels high: filled as outlines
        {1, 0, 0, 1, -20, 100000000, 200},          // advances far past the page: the first still shows
        {1, 0, 0, 1, -1000000000, 12, 0},           // a height no font has
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.m11 << ' ' << c.m12 << ' ' << c.m21 << ' ' << c.m22 << " height " << c.height);
        const QByteArray bytes = emf({
            {35, {bitsOf(c.m11), bitsOf(c.m12), bitsOf(c.m21), bitsOf(c.m22), 0, 0}}, // SETWORLDTRANSFORM
            font(1, c.height),
            {37, {1}},
            {22, {0}}, // SETTEXTALIGN top left
            text(0, 0, c.advance),
        });
        for (const int side : {16, 23, 64, 200, 1024}) {
            QString error;
            const QImage image = play(bytes, &error, side);
            if (side == c.inkAt) {
                bool inked = false;
                for (int y = 0; y < image.height() && !inked; ++y)
                    for (int x = 0; x < image.width() && !inked; ++x)
                        inked = image.pixel(x, y) != qRgb(255, 255, 255);
                EXPECT_TRUE(inked);
            }
        }
    }
}

TEST(MetafileRecords, BitmapSourcesPastTheBitmapsEdgesDrawOnlyWhatItHas)
{
    // STRETCHDIBITS of a 2 x 2 red bitmap naming a source of 4 x 4 from (-1, -1): only the
    // bitmap's own pixels land, at the place the record gives them, the rest stays white.
    Bytes dib;
    dib.u32(40).i32(2).i32(2).u16(1).u16(24).u32(0).u32(16).i32(0).i32(0).u32(0).u32(0);
    dib.raw(QByteArray::fromHex("0000ff0000ff0000")).raw(QByteArray::fromHex("0000ff0000ff0000"));
    std::vector<qint32> p{0, 0, 99, 99, 0, 0, -1, -1, 4, 4, 80, 40, 120, 16, 0, 0x00CC0020, 100, 100};
    for (qsizetype i = 0; i < dib.data.size(); i += 4)
        p.push_back(qFromLittleEndian<qint32>(dib.data.constData() + i));
    // Offsets: header at 80, 40 bytes; bits at 120, 16 bytes (two rows of 8).
    QString error;
    const QImage image = play(emf({{81, p}}), &error);
    // The destination is the whole picture (200 target pixels for 100 units); the bitmap is the
    // source's middle half, so the target's middle half is red and its edges white.
    EXPECT_EQ(image.pixel(100, 100), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(60, 60), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(20, 20), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(180, 180), qRgb(255, 255, 255));

    // A destination millions of pixels wide is drawn only where it reaches the target.
    p[16] = 100000000;
    p[17] = 100000000;
    p[6] = 0;
    p[7] = 0;
    p[8] = 2;
    p[9] = 2;
    const QImage huge = play(emf({{81, p}}), &error);
    EXPECT_EQ(huge.pixel(100, 100), qRgb(255, 0, 0));
}
