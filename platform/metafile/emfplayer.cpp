// Plays Windows enhanced metafiles (EMF) onto any QPainter.
#include "emfplayer.h"

#include "dib.h"
#include "gdicanvas.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace velkora::metafile {

namespace {

enum : quint32 {
    EMR_HEADER = 1, EMR_POLYBEZIER, EMR_POLYGON, EMR_POLYLINE, EMR_POLYBEZIERTO, EMR_POLYLINETO, EMR_POLYPOLYLINE,
    EMR_POLYPOLYGON, EMR_SETWINDOWEXTEX, EMR_SETWINDOWORGEX, EMR_SETVIEWPORTEXTEX, EMR_SETVIEWPORTORGEX,
    EMR_SETBRUSHORGEX, EMR_EOF, EMR_SETPIXELV, EMR_SETMAPPERFLAGS, EMR_SETMAPMODE, EMR_SETBKMODE, EMR_SETPOLYFILLMODE,
    EMR_SETROP2, EMR_SETSTRETCHBLTMODE, EMR_SETTEXTALIGN, EMR_SETCOLORADJUSTMENT, EMR_SETTEXTCOLOR, EMR_SETBKCOLOR,
    EMR_OFFSETCLIPRGN, EMR_MOVETOEX, EMR_SETMETARGN, EMR_EXCLUDECLIPRECT, EMR_INTERSECTCLIPRECT,
    EMR_SCALEVIEWPORTEXTEX, EMR_SCALEWINDOWEXTEX, EMR_SAVEDC, EMR_RESTOREDC, EMR_SETWORLDTRANSFORM,
    EMR_MODIFYWORLDTRANSFORM, EMR_SELECTOBJECT, EMR_CREATEPEN, EMR_CREATEBRUSHINDIRECT, EMR_DELETEOBJECT,
    EMR_ANGLEARC, EMR_ELLIPSE, EMR_RECTANGLE, EMR_ROUNDRECT, EMR_ARC, EMR_CHORD, EMR_PIE, EMR_SELECTPALETTE,
    EMR_CREATEPALETTE, EMR_SETPALETTEENTRIES, EMR_RESIZEPALETTE, EMR_REALIZEPALETTE, EMR_EXTFLOODFILL, EMR_LINETO,
    EMR_ARCTO, EMR_POLYDRAW, EMR_SETARCDIRECTION, EMR_SETMITERLIMIT, EMR_BEGINPATH, EMR_ENDPATH, EMR_CLOSEFIGURE,
    EMR_FILLPATH, EMR_STROKEANDFILLPATH, EMR_STROKEPATH, EMR_FLATTENPATH, EMR_WIDENPATH, EMR_SELECTCLIPPATH,
    EMR_ABORTPATH, EMR_GDICOMMENT = 70, EMR_FILLRGN, EMR_FRAMERGN, EMR_INVERTRGN, EMR_PAINTRGN, EMR_EXTSELECTCLIPRGN,
    EMR_BITBLT, EMR_STRETCHBLT, EMR_MASKBLT, EMR_PLGBLT, EMR_SETDIBITSTODEVICE, EMR_STRETCHDIBITS,
    EMR_EXTCREATEFONTINDIRECTW, EMR_EXTTEXTOUTA, EMR_EXTTEXTOUTW, EMR_POLYBEZIER16, EMR_POLYGON16, EMR_POLYLINE16,
    EMR_POLYBEZIERTO16, EMR_POLYLINETO16, EMR_POLYPOLYLINE16, EMR_POLYPOLYGON16, EMR_POLYDRAW16,
    EMR_CREATEMONOBRUSH, EMR_CREATEDIBPATTERNBRUSHPT, EMR_EXTCREATEPEN, EMR_ALPHABLEND = 114,
};

// A bounds-checked view of one record.
class Record
{
public:
    Record(const char *data, quint32 size) : m_data(data), m_size(size) {}
    quint32 size() const { return m_size; }
    bool has(quint32 offset, quint32 bytes) const { return offset <= m_size && bytes <= m_size - offset; }
    quint32 u32(quint32 at) const { return has(at, 4) ? qFromLittleEndian<quint32>(m_data + at) : 0; }
    qint32 i32(quint32 at) const { return static_cast<qint32>(u32(at)); }
    qint16 i16(quint32 at) const { return has(at, 2) ? qFromLittleEndian<qint16>(m_data + at) : 0; }
    quint16 u16(quint32 at) const { return has(at, 2) ? qFromLittleEndian<quint16>(m_data + at) : 0; }
    float f32(quint32 at) const
    {
        const quint32 v = u32(at);
        float f;
        std::memcpy(&f, &v, 4);
        return std::isfinite(f) ? f : 0.0f;
    }
    QByteArrayView bytes(quint32 at, quint32 n) const
    {
        return has(at, n) ? QByteArrayView(m_data + at, n) : QByteArrayView();
    }
    QRectF rect(quint32 at) const // RECTL: left, top, right, bottom
    {
        return QRectF(QPointF(i32(at), i32(at + 4)), QPointF(i32(at + 8), i32(at + 12)));
    }
    QPointF point(quint32 at) const { return QPointF(i32(at), i32(at + 4)); }
    QColor color(quint32 at) const
    {
        const quint32 c = u32(at);
        return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
    }

private:
    const char *m_data;
    quint32 m_size;
};

QPen penFrom(quint32 style, double width, const QColor &color)
{
    QPen pen(color, width);
    switch (style & 0x0F) {
    case 1: pen.setStyle(Qt::DashLine); break;
    case 2: pen.setStyle(Qt::DotLine); break;
    case 3: pen.setStyle(Qt::DashDotLine); break;
    case 4: pen.setStyle(Qt::DashDotDotLine); break;
    case 5: pen.setStyle(Qt::NoPen); break;
    default: pen.setStyle(Qt::SolidLine); break;
    }
    switch (style & 0x0F00) {
    case 0x0100: pen.setCapStyle(Qt::SquareCap); break;
    case 0x0200: pen.setCapStyle(Qt::FlatCap); break;
    default: pen.setCapStyle(Qt::RoundCap); break;
    }
    switch (style & 0xF000) {
    case 0x1000: pen.setJoinStyle(Qt::BevelJoin); break;
    case 0x2000: pen.setJoinStyle(Qt::MiterJoin); break;
    default: pen.setJoinStyle(Qt::RoundJoin); break;
    }
    return pen;
}

QBrush brushFrom(quint32 style, const QColor &color, quint32 hatch)
{
    if (style == 1) // BS_NULL
        return QBrush(Qt::NoBrush);
    if (style == 2) { // BS_HATCHED
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::BDiagPattern, Qt::FDiagPattern,
                                                 Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(color, hatch < 6 ? hatches[hatch] : Qt::CrossPattern);
    }
    return QBrush(color);
}

bool stockObject(quint32 handle, DcState &dc)
{
    switch (handle & 0x7FFFFFFF) {
    case 0: dc.brush = QBrush(Qt::white); return true;
    case 1: dc.brush = QBrush(QColor(192, 192, 192)); return true;
    case 2: dc.brush = QBrush(QColor(128, 128, 128)); return true;
    case 3: dc.brush = QBrush(QColor(64, 64, 64)); return true;
    case 4: dc.brush = QBrush(Qt::black); return true;
    case 5: dc.brush = QBrush(Qt::NoBrush); return true;
    case 6: dc.pen = QPen(Qt::white, 0); return true;
    case 7: dc.pen = QPen(Qt::black, 0); return true;
    case 8: dc.pen = QPen(Qt::NoPen); return true;
    case 10: case 11: case 12: case 13: case 14: case 16: case 17:
        dc.font = GdiObject();
        dc.font.kind = GdiObject::Kind::Font;
        dc.font.font = QFont(QStringLiteral("Arial"));
        dc.font.fontHeight = -12;
        return true;
    case 18: dc.brush = QBrush(Qt::white); return true;
    case 19: dc.pen = QPen(Qt::black, 0); return true;
    default: return true; // the default palette and the rest change nothing that is drawn
    }
}

QPolygonF points32(const Record &r, quint32 countAt, quint32 firstAt)
{
    const quint32 count = r.u32(countAt);
    if (!r.has(firstAt, 0) || count > (r.size() - firstAt) / 8)
        throw Stop{QStringLiteral("a polygon counts more points than its record holds")};
    QPolygonF p;
    p.reserve(static_cast<qsizetype>(count));
    for (quint32 i = 0; i < count; ++i)
        p.append(r.point(firstAt + i * 8));
    return p;
}

QPolygonF points16(const Record &r, quint32 countAt, quint32 firstAt)
{
    const quint32 count = r.u32(countAt);
    if (!r.has(firstAt, 0) || count > (r.size() - firstAt) / 4)
        throw Stop{QStringLiteral("a polygon counts more points than its record holds")};
    QPolygonF p;
    p.reserve(static_cast<qsizetype>(count));
    for (quint32 i = 0; i < count; ++i)
        p.append(QPointF(r.i16(firstAt + i * 4), r.i16(firstAt + i * 4 + 2)));
    return p;
}

std::vector<QPolygonF> polyPolys(const Record &r, bool wide)
{
    const quint32 polys = r.u32(24);
    const quint32 total = r.u32(28);
    const quint32 pointSize = wide ? 8 : 4;
    if (r.size() < 32 || polys > (r.size() - 32) / 4 || total > (r.size() - 32 - polys * 4) / pointSize)
        throw Stop{QStringLiteral("a poly-polygon counts more points than its record holds")};
    std::vector<QPolygonF> out;
    quint32 at = 32 + polys * 4;
    quint32 used = 0;
    for (quint32 k = 0; k < polys; ++k) {
        const quint32 n = r.u32(32 + k * 4);
        if (n > total - used)
            throw Stop{QStringLiteral("a poly-polygon's counts exceed its points")};
        QPolygonF p;
        for (quint32 i = 0; i < n; ++i, at += pointSize)
            p.append(wide ? r.point(at) : QPointF(r.i16(at), r.i16(at + 2)));
        used += n;
        out.push_back(p);
    }
    return out;
}

QImage bitmapOf(const Record &r, quint32 offBmi, quint32 cbBmi, quint32 offBits, quint32 cbBits)
{
    if (cbBmi == 0 || !r.has(offBmi, cbBmi) || !r.has(offBits, cbBits))
        return QImage();
    // A bitmap that claims absurd dimensions stops the picture; one merely in a form we cannot
    // decode is left out and the rest still drawn.
    if (cbBmi >= 12) {
        const bool core = r.u32(offBmi) == 12;
        const qint64 w = core ? r.u16(offBmi + 4) : std::abs(static_cast<qint64>(r.i32(offBmi + 4)));
        const qint64 h = core ? r.u16(offBmi + 6) : std::abs(static_cast<qint64>(r.i32(offBmi + 8)));
        if (w > MaxBitmapSide || h > MaxBitmapSide || w * h > MaxBitmapPixels)
            throw Stop{QStringLiteral("a bitmap of %1 x %2 pixels is larger than a picture may hold").arg(w).arg(h)};
    }
    return imageFromDib(r.bytes(offBmi, cbBmi), r.bytes(offBits, cbBits));
}

// The bits of a 32-bit bitmap with per-pixel alpha, premultiplied, as ALPHABLEND carries them.
QImage premultipliedOf(const Record &r, quint32 offBmi, quint32 cbBmi, quint32 offBits, quint32 cbBits)
{
    if (cbBmi < 40 || !r.has(offBmi, cbBmi) || r.u16(offBmi + 14) != 32 || r.u32(offBmi + 16) != 0)
        return QImage();
    const qint32 w = r.i32(offBmi + 4), h = r.i32(offBmi + 8);
    const qint64 rows = std::abs(static_cast<qint64>(h));
    if (w <= 0 || rows == 0 || w > MaxBitmapSide || rows > MaxBitmapSide || qint64(w) * rows > MaxBitmapPixels)
        return QImage();
    const qint64 need = qint64(w) * rows * 4;
    if (need > cbBits || !r.has(offBits, static_cast<quint32>(need)))
        return QImage();
    QImage image(w, static_cast<int>(rows), QImage::Format_ARGB32_Premultiplied);
    const QByteArrayView bits = r.bytes(offBits, static_cast<quint32>(need));
    for (int y = 0; y < image.height(); ++y) {
        const int from = h > 0 ? image.height() - 1 - y : y; // positive heights are bottom-up
        std::memcpy(image.scanLine(y), bits.data() + qint64(from) * w * 4, size_t(w) * 4);
    }
    return image;
}

class Player
{
public:
    Player(const QByteArray &bytes, const EmfPlayer::Header &header, QPainter *painter, const QTransform &toTarget,
           double pixelsPerMm)
        : m_bytes(bytes), m_canvas(painter, toTarget, pixelsPerMm), m_objects(header.handles)
    {
    }

    void run();
    GdiCanvas &canvas() { return m_canvas; }

private:
    void record(quint32 type, const Record &r);
    GdiObject &object(quint32 index)
    {
        if (index == 0 || index >= m_objects.size())
            throw Stop{QStringLiteral("an object index %1 outside the table").arg(index)};
        return m_objects[index];
    }

    const QByteArray &m_bytes;
    GdiCanvas m_canvas;
    std::vector<GdiObject> m_objects;
};

void Player::run()
{
    qsizetype pos = 0;
    quint32 count = 0;
    while (pos + 8 <= m_bytes.size()) {
        const quint32 type = qFromLittleEndian<quint32>(m_bytes.constData() + pos);
        const quint32 size = qFromLittleEndian<quint32>(m_bytes.constData() + pos + 4);
        if (size < 8 || size % 4 != 0 || size > m_bytes.size() - pos)
            throw Stop{QStringLiteral("record %1 at byte %2 has a size of %3 bytes").arg(count).arg(pos).arg(size)};
        if (++count > EmfPlayer::MaxRecords)
            throw Stop{QStringLiteral("more than %1 records").arg(EmfPlayer::MaxRecords)};
        if (type == EMR_EOF)
            return;
        record(type, Record(m_bytes.constData() + pos, size));
        pos += size;
    }
}

void Player::record(quint32 type, const Record &r)
{
    DcState &dc = m_canvas.dc();
    switch (type) {
    case EMR_HEADER: break;
    case EMR_SETWINDOWEXTEX: dc.windowExt = QSizeF(r.i32(8), r.i32(12)); break;
    case EMR_SETWINDOWORGEX: dc.windowOrg = r.point(8); break;
    case EMR_SETVIEWPORTEXTEX: dc.viewportExt = QSizeF(r.i32(8), r.i32(12)); break;
    case EMR_SETVIEWPORTORGEX: dc.viewportOrg = r.point(8); break;
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
        const double xn = r.i32(8), xd = r.i32(12), yn = r.i32(16), yd = r.i32(20);
        if (xd != 0 && yd != 0) {
            QSizeF &ext = type == EMR_SCALEVIEWPORTEXTEX ? dc.viewportExt : dc.windowExt;
            ext = QSizeF(ext.width() * xn / xd, ext.height() * yn / yd);
        }
        break;
    }
    case EMR_SETMAPMODE: m_canvas.setMapMode(r.i32(8)); break;
    case EMR_SETBKMODE: dc.bkMode = r.i32(8); break;
    case EMR_SETPOLYFILLMODE: dc.polyFill = r.i32(8); break;
    case EMR_SETROP2: dc.rop2 = r.i32(8); break;
    case EMR_SETTEXTALIGN: dc.textAlign = r.i32(8); break;
    case EMR_SETTEXTCOLOR: dc.textColor = r.color(8); break;
    case EMR_SETBKCOLOR: dc.bkColor = r.color(8); break;
    case EMR_MOVETOEX: m_canvas.moveTo(r.point(8)); break;
    case EMR_LINETO: m_canvas.lineTo(r.point(8)); break;
    case EMR_SETPIXELV: m_canvas.setPixel(r.point(8), r.color(16)); break;
    case EMR_SAVEDC: m_canvas.saveDC(); break;
    case EMR_RESTOREDC: m_canvas.restoreDC(r.i32(8)); break;
    case EMR_SETWORLDTRANSFORM:
        m_canvas.setWorldTransform(QTransform(r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28)));
        break;
    case EMR_MODIFYWORLDTRANSFORM:
        m_canvas.modifyWorldTransform(QTransform(r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28)),
                                      r.i32(32));
        break;
    case EMR_SELECTOBJECT: {
        const quint32 handle = r.u32(8);
        if (handle & 0x80000000) {
            stockObject(handle, dc);
            break;
        }
        const GdiObject &o = object(handle);
        switch (o.kind) {
        case GdiObject::Kind::Pen: dc.pen = o.pen; break;
        case GdiObject::Kind::Brush: dc.brush = o.brush; break;
        case GdiObject::Kind::Font: dc.font = o; break;
        default: break;
        }
        break;
    }
    case EMR_DELETEOBJECT: {
        const quint32 handle = r.u32(8);
        if (!(handle & 0x80000000))
            object(handle) = GdiObject();
        break;
    }
    case EMR_CREATEPEN: {
        GdiObject &o = object(r.u32(8));
        o = GdiObject();
        o.kind = GdiObject::Kind::Pen;
        o.pen = penFrom(r.u32(12), r.i32(16), r.color(24));
        break;
    }
    case EMR_EXTCREATEPEN: {
        GdiObject &o = object(r.u32(8));
        o = GdiObject();
        o.kind = GdiObject::Kind::Pen;
        o.pen = penFrom(r.u32(28), r.u32(32), r.color(40));
        if (r.u32(36) == 1) // a pen with a null brush draws nothing
            o.pen.setStyle(Qt::NoPen);
        break;
    }
    case EMR_CREATEBRUSHINDIRECT: {
        GdiObject &o = object(r.u32(8));
        o = GdiObject();
        o.kind = GdiObject::Kind::Brush;
        o.brush = brushFrom(r.u32(12), r.color(16), r.u32(20));
        break;
    }
    case EMR_CREATEDIBPATTERNBRUSHPT:
    case EMR_CREATEMONOBRUSH: {
        GdiObject &o = object(r.u32(8));
        o = GdiObject();
        o.kind = GdiObject::Kind::Brush;
        const QImage pattern = bitmapOf(r, r.u32(16), r.u32(20), r.u32(24), r.u32(28));
        o.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
        break;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
        GdiObject &o = object(r.u32(8));
        o = GdiObject();
        o.kind = GdiObject::Kind::Font;
        o.fontHeight = r.i32(12);
        o.escapement = r.i32(20);
        QString face;
        for (quint32 i = 0; i < 32; ++i) {
            const quint16 c = r.u16(40 + i * 2);
            if (c == 0)
                break;
            face += QChar(c);
        }
        o.font = QFont(face.isEmpty() ? QStringLiteral("Arial") : face);
        const int weight = r.i32(28);
        o.font.setWeight(weight >= 600 ? QFont::Bold : weight > 0 && weight < 350 ? QFont::Light : QFont::Normal);
        o.font.setItalic(r.bytes(32, 1).size() && r.bytes(32, 1)[0]);
        o.font.setUnderline(r.bytes(33, 1).size() && r.bytes(33, 1)[0]);
        o.font.setStrikeOut(r.bytes(34, 1).size() && r.bytes(34, 1)[0]);
        break;
    }
    case EMR_CREATEPALETTE: object(r.u32(8)) = GdiObject{GdiObject::Kind::Palette, {}, {}, {}, 0, 0, {}}; break;
    case EMR_RECTANGLE: m_canvas.rectangle(r.rect(8)); break;
    case EMR_ELLIPSE: m_canvas.ellipse(r.rect(8)); break;
    case EMR_ROUNDRECT: m_canvas.roundRect(r.rect(8), QSizeF(r.i32(24), r.i32(28))); break;
    case EMR_ARC: m_canvas.arc(r.rect(8), r.point(24), r.point(32), GdiCanvas::ArcKind::Arc); break;
    case EMR_ARCTO: m_canvas.arc(r.rect(8), r.point(24), r.point(32), GdiCanvas::ArcKind::ArcTo); break;
    case EMR_CHORD: m_canvas.arc(r.rect(8), r.point(24), r.point(32), GdiCanvas::ArcKind::Chord); break;
    case EMR_PIE: m_canvas.arc(r.rect(8), r.point(24), r.point(32), GdiCanvas::ArcKind::Pie); break;
    case EMR_POLYGON: m_canvas.polygon(points32(r, 24, 28)); break;
    case EMR_POLYLINE: m_canvas.polyline(points32(r, 24, 28)); break;
    case EMR_POLYLINETO: m_canvas.polylineTo(points32(r, 24, 28)); break;
    case EMR_POLYBEZIER: m_canvas.polyBezier(points32(r, 24, 28), false); break;
    case EMR_POLYBEZIERTO: m_canvas.polyBezier(points32(r, 24, 28), true); break;
    case EMR_POLYGON16: m_canvas.polygon(points16(r, 24, 28)); break;
    case EMR_POLYLINE16: m_canvas.polyline(points16(r, 24, 28)); break;
    case EMR_POLYLINETO16: m_canvas.polylineTo(points16(r, 24, 28)); break;
    case EMR_POLYBEZIER16: m_canvas.polyBezier(points16(r, 24, 28), false); break;
    case EMR_POLYBEZIERTO16: m_canvas.polyBezier(points16(r, 24, 28), true); break;
    case EMR_POLYPOLYGON: m_canvas.polyPolygon(polyPolys(r, true)); break;
    case EMR_POLYPOLYGON16: m_canvas.polyPolygon(polyPolys(r, false)); break;
    case EMR_POLYPOLYLINE: m_canvas.polyPolyline(polyPolys(r, true)); break;
    case EMR_POLYPOLYLINE16: m_canvas.polyPolyline(polyPolys(r, false)); break;
    case EMR_BEGINPATH: m_canvas.beginPath(); break;
    case EMR_ENDPATH: m_canvas.endPath(); break;
    case EMR_ABORTPATH: m_canvas.abortPath(); break;
    case EMR_CLOSEFIGURE: m_canvas.closeFigure(); break;
    case EMR_FILLPATH: m_canvas.fillPath(); break;
    case EMR_STROKEPATH: m_canvas.strokePath(); break;
    case EMR_STROKEANDFILLPATH: m_canvas.strokeAndFillPath(); break;
    case EMR_SELECTCLIPPATH: m_canvas.selectClipPath(r.i32(8)); break;
    case EMR_INTERSECTCLIPRECT: m_canvas.intersectClipRect(r.rect(8)); break;
    case EMR_EXCLUDECLIPRECT: m_canvas.excludeClipRect(r.rect(8)); break;
    case EMR_EXTSELECTCLIPRGN: {
        const quint32 cb = r.u32(8);
        const int mode = r.i32(12);
        if (cb < 32 || !r.has(16, cb)) {
            m_canvas.selectClipRegion(std::nullopt, mode);
            break;
        }
        const quint32 n = r.u32(16 + 8);
        if (n > (cb - 32) / 16)
            throw Stop{QStringLiteral("a clip region counts more rectangles than it holds")};
        QPainterPath region;
        for (quint32 i = 0; i < n; ++i)
            region.addRect(r.rect(16 + 32 + i * 16).normalized());
        m_canvas.selectClipRegion(region, mode);
        break;
    }
    case EMR_EXTTEXTOUTW:
    case EMR_EXTTEXTOUTA: {
        const QPointF reference = r.point(36);
        const quint32 chars = r.u32(44);
        const quint32 offString = r.u32(48);
        const quint32 options = r.u32(52);
        const QRectF rect = r.rect(56);
        const quint32 offDx = r.u32(72);
        const quint32 unit = type == EMR_EXTTEXTOUTW ? 2 : 1;
        if (chars > r.size() || !r.has(offString, chars * unit))
            throw Stop{QStringLiteral("a text record counts more characters than it holds")};
        QString text;
        text.reserve(static_cast<qsizetype>(chars));
        for (quint32 i = 0; i < chars; ++i)
            text += unit == 2 ? QChar(r.u16(offString + i * 2)) : QChar(char16_t(static_cast<uchar>(r.bytes(offString + i, 1)[0])));
        std::vector<int> dx;
        if (offDx && r.has(offDx, chars * 4)) {
            dx.reserve(chars);
            for (quint32 i = 0; i < chars; ++i)
                dx.push_back(r.i32(offDx + i * 4));
        }
        m_canvas.textOut(reference, text, dx, rect, options & 2, options & 4);
        break;
    }
    case EMR_STRETCHDIBITS: {
        const QRectF dest(r.i32(24), r.i32(28), r.i32(72), r.i32(76));
        const QRectF src(r.i32(32), r.i32(36), r.i32(40), r.i32(44));
        const QImage image = bitmapOf(r, r.u32(48), r.u32(52), r.u32(56), r.u32(60));
        m_canvas.drawImage(dest, image, QRectF(src.x(), image.height() - src.y() - src.height(), src.width(), src.height()),
                           r.u32(68));
        break;
    }
    case EMR_SETDIBITSTODEVICE: {
        const QImage image = bitmapOf(r, r.u32(48), r.u32(52), r.u32(56), r.u32(60));
        const QRectF dest(r.i32(24), r.i32(28), r.i32(40), r.i32(44));
        m_canvas.drawImage(dest, image, QRectF(), 0x00CC0020);
        break;
    }
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_ALPHABLEND: {
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const quint32 rop = type == EMR_ALPHABLEND ? 0x00CC0020 : r.u32(40);
        const quint32 cbBmi = r.u32(88);
        if (cbBmi == 0) { // no source: a pattern fill
            m_canvas.drawImage(dest, QImage(), QRectF(), rop);
            break;
        }
        QImage image;
        if (type == EMR_ALPHABLEND && (r.u32(40) >> 24) == 1) // AC_SRC_ALPHA
            image = premultipliedOf(r, r.u32(84), cbBmi, r.u32(92), r.u32(96));
        if (image.isNull())
            image = bitmapOf(r, r.u32(84), cbBmi, r.u32(92), r.u32(96));
        QRectF src(r.i32(44), r.i32(48), dest.width(), dest.height());
        if (type != EMR_BITBLT && r.has(100, 8))
            src.setSize(QSizeF(r.i32(100), r.i32(104)));
        m_canvas.drawImage(dest, image, src, rop);
        break;
    }
    case EMR_GDICOMMENT: break; // EMF+ and private data: the GDI records that follow draw the picture
    default: break;             // records that draw nothing here, or that this player does not know
    }
}

} // namespace

bool EmfPlayer::isEmf(const QByteArray &bytes)
{
    return bytes.size() >= 88 && qFromLittleEndian<quint32>(bytes.constData()) == EMR_HEADER &&
           qFromLittleEndian<quint32>(bytes.constData() + 40) == 0x464D4520;
}

bool EmfPlayer::isWhole(const QByteArray &bytes)
{
    if (!isEmf(bytes))
        return false;
    qsizetype pos = 0;
    while (pos + 8 <= bytes.size()) {
        const quint32 type = qFromLittleEndian<quint32>(bytes.constData() + pos);
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + pos + 4);
        if (size < 8 || size % 4 != 0 || size > bytes.size() - pos || (pos == 0 && size < 88))
            return false;
        pos += size;
        if (type == EMR_EOF)
            return pos == bytes.size();
    }
    return false;
}

bool EmfPlayer::load(const QByteArray &bytes, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (bytes.size() > MaxBytes)
        return fail(QStringLiteral("the metafile is larger than %1 bytes").arg(MaxBytes));
    if (!isEmf(bytes))
        return fail(QStringLiteral("not an enhanced metafile (no EMF header)"));
    const Record r(bytes.constData(), static_cast<quint32>(std::min<qsizetype>(bytes.size(), qFromLittleEndian<quint32>(bytes.constData() + 4))));
    Header h;
    // Header rectangles are kept within a range whose sizes fit an int; real ones are far smaller.
    const auto headerRect = [&r](quint32 at) {
        const auto c = [&r, at](quint32 i) { return std::clamp(r.i32(at + i), -(1 << 28), 1 << 28); };
        return QRect(QPoint(c(0), c(4)), QPoint(c(8), c(12)));
    };
    h.bounds = headerRect(8);
    h.frame = headerRect(24);
    h.version = r.u32(44);
    h.bytes = r.u32(48);
    h.records = r.u32(52);
    h.handles = r.u16(56);
    h.devicePixels = QSize(r.i32(72), r.i32(76));
    h.deviceMillimetres = QSize(r.i32(80), r.i32(84));
    if (h.handles > MaxHandles)
        return fail(QStringLiteral("the metafile declares %1 objects").arg(h.handles));
    if (h.devicePixels.width() <= 0 || h.devicePixels.height() <= 0 || h.deviceMillimetres.width() <= 0
        || h.deviceMillimetres.height() <= 0)
        return fail(QStringLiteral("the metafile's reference device has no size"));
    if (h.deviceMillimetres.width() > MaxDeviceMillimetres || h.deviceMillimetres.height() > MaxDeviceMillimetres)
        return fail(QStringLiteral("the metafile's reference device is %1 x %2 mm").arg(h.deviceMillimetres.width()).arg(h.deviceMillimetres.height()));
    // Headers of 108 bytes and more also give the device in micrometres, the finer measure; some
    // writers put their description there instead, so it counts only when it agrees with the
    // millimetres.
    const auto agrees = [](qint32 micrometres, qint32 millimetres) {
        return micrometres > 0 && std::abs(qint64(micrometres) - qint64(millimetres) * 1000) < 1000;
    };
    if (r.u32(4) >= 108 && agrees(r.i32(100), h.deviceMillimetres.width()) && agrees(r.i32(104), h.deviceMillimetres.height()))
        h.deviceMicrometres = QSize(r.i32(100), r.i32(104));
    else
        h.deviceMicrometres = h.deviceMillimetres * 1000;
    m_bytes = bytes;
    m_header = h;
    return true;
}

QSizeF EmfPlayer::naturalSize() const
{
    const QRect f = m_header.frame.normalized();
    if (f.width() > 0 && f.height() > 0)
        return QSizeF(f.width() / 100.0 * 96 / 25.4, f.height() / 100.0 * 96 / 25.4);
    const QRect b = m_header.bounds.normalized();
    return QSizeF(b.width() + 1, b.height() + 1);
}

bool EmfPlayer::play(QPainter *painter, const QRectF &target, QString *error, const SupplementaryDrawn &supplementaryDrawn) const
{
    if (m_bytes.isEmpty() || !painter)
        return false;
    // The frame (0.01 mm) in the reference device's pixels is what the target shows.
    const double pxPerMmX = 1000.0 * m_header.devicePixels.width() / m_header.deviceMicrometres.width();
    const double pxPerMmY = 1000.0 * m_header.devicePixels.height() / m_header.deviceMicrometres.height();
    QRectF source(m_header.frame.left() / 100.0 * pxPerMmX, m_header.frame.top() / 100.0 * pxPerMmY,
                  (m_header.frame.width()) / 100.0 * pxPerMmX, (m_header.frame.height()) / 100.0 * pxPerMmY);
    if (source.width() <= 0 || source.height() <= 0)
        source = QRectF(m_header.bounds.normalized());
    if (source.width() <= 0 || source.height() <= 0)
        source = QRectF(0, 0, 1, 1);
    return playInto(painter, source, target, error, [&](const QTransform &toDevice) {
        Player player(m_bytes, m_header, painter, toDevice, pxPerMmX);
        player.canvas().supplementaryDrawn = supplementaryDrawn;
        player.run();
    });
}

QMap<quint32, int> EmfPlayer::recordCounts() const
{
    QMap<quint32, int> counts;
    qsizetype pos = 0;
    while (pos + 8 <= m_bytes.size()) {
        const quint32 type = qFromLittleEndian<quint32>(m_bytes.constData() + pos);
        const quint32 size = qFromLittleEndian<quint32>(m_bytes.constData() + pos + 4);
        if (size < 8 || size > m_bytes.size() - pos)
            break;
        ++counts[type];
        if (type == EMR_EOF)
            break;
        pos += size;
    }
    return counts;
}

QString EmfPlayer::recordName(quint32 type)
{
    static const QMap<quint32, const char *> names = {
        {EMR_HEADER, "HEADER"}, {EMR_POLYGON, "POLYGON"}, {EMR_POLYLINE, "POLYLINE"}, {EMR_EOF, "EOF"},
        {EMR_SETMAPMODE, "SETMAPMODE"}, {EMR_SETWINDOWEXTEX, "SETWINDOWEXTEX"}, {EMR_SETWINDOWORGEX, "SETWINDOWORGEX"},
        {EMR_SETVIEWPORTEXTEX, "SETVIEWPORTEXTEX"}, {EMR_SETVIEWPORTORGEX, "SETVIEWPORTORGEX"},
        {EMR_SELECTOBJECT, "SELECTOBJECT"}, {EMR_CREATEPEN, "CREATEPEN"}, {EMR_CREATEBRUSHINDIRECT, "CREATEBRUSHINDIRECT"},
        {EMR_DELETEOBJECT, "DELETEOBJECT"}, {EMR_RECTANGLE, "RECTANGLE"}, {EMR_ELLIPSE, "ELLIPSE"},
        {EMR_EXTTEXTOUTW, "EXTTEXTOUTW"}, {EMR_EXTTEXTOUTA, "EXTTEXTOUTA"}, {EMR_EXTCREATEFONTINDIRECTW, "EXTCREATEFONTINDIRECTW"},
        {EMR_STRETCHDIBITS, "STRETCHDIBITS"}, {EMR_BITBLT, "BITBLT"}, {EMR_STRETCHBLT, "STRETCHBLT"},
        {EMR_SAVEDC, "SAVEDC"}, {EMR_RESTOREDC, "RESTOREDC"}, {EMR_SETWORLDTRANSFORM, "SETWORLDTRANSFORM"},
        {EMR_MODIFYWORLDTRANSFORM, "MODIFYWORLDTRANSFORM"}, {EMR_GDICOMMENT, "GDICOMMENT"}, {EMR_POLYGON16, "POLYGON16"},
        {EMR_POLYLINE16, "POLYLINE16"}, {EMR_POLYPOLYGON16, "POLYPOLYGON16"}, {EMR_POLYBEZIERTO16, "POLYBEZIERTO16"},
        {EMR_BEGINPATH, "BEGINPATH"}, {EMR_ENDPATH, "ENDPATH"}, {EMR_FILLPATH, "FILLPATH"},
        {EMR_STROKEANDFILLPATH, "STROKEANDFILLPATH"}, {EMR_STROKEPATH, "STROKEPATH"}, {EMR_EXTSELECTCLIPRGN, "EXTSELECTCLIPRGN"},
        {EMR_INTERSECTCLIPRECT, "INTERSECTCLIPRECT"}, {EMR_EXTCREATEPEN, "EXTCREATEPEN"}, {EMR_MOVETOEX, "MOVETOEX"},
        {EMR_LINETO, "LINETO"}, {EMR_SETTEXTCOLOR, "SETTEXTCOLOR"}, {EMR_SETBKMODE, "SETBKMODE"},
        {EMR_SETTEXTALIGN, "SETTEXTALIGN"}, {EMR_SETBKCOLOR, "SETBKCOLOR"}, {EMR_SETPOLYFILLMODE, "SETPOLYFILLMODE"},
        {EMR_SETROP2, "SETROP2"}, {EMR_SETSTRETCHBLTMODE, "SETSTRETCHBLTMODE"}};
    const auto it = names.constFind(type);
    return it != names.cend() ? QString::fromLatin1(*it) : QStringLiteral("RECORD_%1").arg(type);
}

} // namespace velkora::metafile
