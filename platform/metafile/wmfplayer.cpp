// Plays Windows metafiles (WMF), with or without the placeable header, onto any QPainter.
#include "wmfplayer.h"

#include "dib.h"
#include "gdicanvas.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <vector>

namespace velkora::metafile {

namespace {

constexpr quint32 PlaceableKey = 0x9AC6CDD7;

// One record's parameters as 16-bit words, bounds-checked.
class Params
{
public:
    Params(const char *data, quint32 words) : m_data(data), m_words(words) {}
    quint32 words() const { return m_words; }
    qint16 w(quint32 i) const { return i < m_words ? qFromLittleEndian<qint16>(m_data + i * 2) : 0; }
    quint16 u(quint32 i) const { return static_cast<quint16>(w(i)); }
    quint32 u32(quint32 i) const { return u(i) | (quint32(u(i + 1)) << 16); }
    QColor color(quint32 i) const
    {
        const quint32 c = u32(i);
        return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
    }
    QByteArrayView bytes(quint32 firstWord, quint32 count) const
    {
        if (firstWord > m_words || count > (m_words - firstWord) * 2)
            return QByteArrayView();
        return QByteArrayView(m_data + firstWord * 2, count);
    }
    // left, top, right, bottom stored as bottom, right, top, left
    QRectF rectReversed(quint32 i) const { return QRectF(QPointF(w(i + 3), w(i + 2)), QPointF(w(i + 1), w(i))); }

private:
    const char *m_data;
    quint32 m_words;
};

QPen wmfPen(quint16 style, int width, const QColor &color)
{
    QPen pen(color, width);
    switch (style & 0x0F) {
    case 1: pen.setStyle(Qt::DashLine); break;
    case 2: pen.setStyle(Qt::DotLine); break;
    case 3: pen.setStyle(Qt::DashDotLine); break;
    case 4: pen.setStyle(Qt::DashDotDotLine); break;
    case 5: pen.setStyle(Qt::NoPen); break;
    default: break;
    }
    return pen;
}

QBrush wmfBrush(quint16 style, const QColor &color, quint16 hatch)
{
    if (style == 1)
        return QBrush(Qt::NoBrush);
    if (style == 2) {
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::BDiagPattern, Qt::FDiagPattern,
                                                 Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(color, hatch < 6 ? hatches[hatch] : Qt::CrossPattern);
    }
    return QBrush(color);
}

class Player
{
public:
    Player(const QByteArray &bytes, qsizetype first, int objects, QPainter *painter, const QTransform &toTarget,
           const QRectF &source)
        : m_bytes(bytes), m_first(first), m_canvas(painter, toTarget, 96 / 25.4), m_objects(static_cast<size_t>(objects))
    {
        // The records' window is mapped onto the picture's box in "device" units.
        DcState &dc = m_canvas.dc();
        m_canvas.setMapMode(8);
        dc.windowOrg = source.topLeft();
        dc.windowExt = source.size();
        dc.viewportOrg = source.topLeft();
        dc.viewportExt = source.size();
    }

    void run();

private:
    void record(quint16 function, const Params &p);
    GdiObject &slot(quint16 index)
    {
        if (index >= m_objects.size())
            throw Stop{QStringLiteral("an object index %1 outside the table").arg(index)};
        return m_objects[index];
    }
    void create(const GdiObject &o)
    {
        for (GdiObject &s : m_objects) {
            if (s.kind == GdiObject::Kind::None) {
                s = o;
                return;
            }
        }
        // A full table: the object is dropped, as Windows does when it cannot add one.
    }
    QPolygonF points(const Params &p, quint32 countAt)
    {
        const quint32 n = p.u(countAt);
        if (n > (p.words() - countAt - 1) / 2)
            throw Stop{QStringLiteral("a polygon counts more points than its record holds")};
        QPolygonF out;
        for (quint32 i = 0; i < n; ++i)
            out.append(QPointF(p.w(countAt + 1 + i * 2), p.w(countAt + 2 + i * 2)));
        return out;
    }
    QImage dib(const Params &p, quint32 firstWord)
    {
        return imageFromPackedDib(p.bytes(firstWord, (p.words() - std::min(p.words(), firstWord)) * 2));
    }

    const QByteArray &m_bytes;
    qsizetype m_first;
    GdiCanvas m_canvas;
    std::vector<GdiObject> m_objects;
    QStringDecoder m_ansi{"windows-1252"};
};

void Player::run()
{
    qsizetype pos = m_first;
    quint32 count = 0;
    while (pos + 6 <= m_bytes.size()) {
        const quint32 words = qFromLittleEndian<quint32>(m_bytes.constData() + pos);
        const quint16 function = qFromLittleEndian<quint16>(m_bytes.constData() + pos + 4);
        if (function == 0)
            return; // META_EOF
        if (words < 3 || words > (m_bytes.size() - pos) / 2)
            throw Stop{QStringLiteral("record %1 at byte %2 has a size of %3 words").arg(count).arg(pos).arg(words)};
        if (++count > WmfPlayer::MaxRecords)
            throw Stop{QStringLiteral("more than %1 records").arg(WmfPlayer::MaxRecords)};
        record(function, Params(m_bytes.constData() + pos + 6, words - 3));
        pos += qsizetype(words) * 2;
    }
}

void Player::record(quint16 f, const Params &p)
{
    DcState &dc = m_canvas.dc();
    switch (f) {
    case 0x001E: m_canvas.saveDC(); break;
    case 0x0127: m_canvas.restoreDC(p.w(0)); break;
    case 0x0102: dc.bkMode = p.w(0); break;
    case 0x0103: break; // the map mode: the window is always stretched over the picture's box
    case 0x0104: dc.rop2 = p.w(0); break;
    case 0x0106: dc.polyFill = p.w(0); break;
    case 0x012E: dc.textAlign = p.u(0); break;
    case 0x0201: dc.bkColor = p.color(0); break;
    case 0x0209: dc.textColor = p.color(0); break;
    case 0x020B: dc.windowOrg = QPointF(p.w(1), p.w(0)); break;
    case 0x020C:
        if (p.w(0) != 0 && p.w(1) != 0)
            dc.windowExt = QSizeF(p.w(1), p.w(0));
        break;
    case 0x020F: dc.windowOrg += QPointF(p.w(1), p.w(0)); break;
    case 0x0213: m_canvas.lineTo(QPointF(p.w(1), p.w(0))); break;
    case 0x0214: m_canvas.moveTo(QPointF(p.w(1), p.w(0))); break;
    case 0x0324: m_canvas.polygon(points(p, 0)); break;
    case 0x0325: m_canvas.polyline(points(p, 0)); break;
    case 0x0538: {
        const quint32 polys = p.u(0);
        if (polys > p.words())
            throw Stop{QStringLiteral("a poly-polygon counts more polygons than its record holds")};
        std::vector<QPolygonF> all;
        quint32 at = 1 + polys;
        for (quint32 k = 0; k < polys; ++k) {
            const quint32 n = p.u(1 + k);
            if (at + n * 2 > p.words())
                throw Stop{QStringLiteral("a poly-polygon counts more points than its record holds")};
            QPolygonF poly;
            for (quint32 i = 0; i < n; ++i, at += 2)
                poly.append(QPointF(p.w(at), p.w(at + 1)));
            all.push_back(poly);
        }
        m_canvas.polyPolygon(all);
        break;
    }
    case 0x0415: m_canvas.excludeClipRect(p.rectReversed(0)); break;
    case 0x0416: m_canvas.intersectClipRect(p.rectReversed(0)); break;
    case 0x0418: m_canvas.ellipse(p.rectReversed(0)); break;
    case 0x041B: m_canvas.rectangle(p.rectReversed(0)); break;
    case 0x041F: m_canvas.setPixel(QPointF(p.w(3), p.w(2)), p.color(0)); break;
    case 0x061C: m_canvas.roundRect(p.rectReversed(2), QSizeF(p.w(1), p.w(0))); break;
    case 0x0817:
    case 0x081A:
    case 0x0830: {
        const auto kind = f == 0x0817 ? GdiCanvas::ArcKind::Arc : f == 0x081A ? GdiCanvas::ArcKind::Pie : GdiCanvas::ArcKind::Chord;
        m_canvas.arc(p.rectReversed(4), QPointF(p.w(3), p.w(2)), QPointF(p.w(1), p.w(0)), kind);
        break;
    }
    case 0x0521: { // TEXTOUT: count, string, y, x
        const quint32 n = p.u(0);
        const quint32 words = (n + 1) / 2;
        if (1 + words + 2 > p.words())
            throw Stop{QStringLiteral("a text record counts more characters than it holds")};
        const QString text = m_ansi.decode(p.bytes(1, n));
        m_canvas.textOut(QPointF(p.w(2 + words), p.w(1 + words)), text, {}, QRectF(), false, false);
        break;
    }
    case 0x0A32: { // EXTTEXTOUT: y, x, count, options, [rect], string, [dx]
        const QPointF at(p.w(1), p.w(0));
        const quint32 n = p.u(2);
        const quint16 options = p.u(3);
        quint32 next = 4;
        QRectF rect;
        if (options & 0x0006) {
            rect = QRectF(QPointF(p.w(4), p.w(5)), QPointF(p.w(6), p.w(7)));
            next = 8;
        }
        if (next + (n + 1) / 2 > p.words())
            throw Stop{QStringLiteral("a text record counts more characters than it holds")};
        const QString text = m_ansi.decode(p.bytes(next, n));
        next += (n + 1) / 2;
        std::vector<int> dx;
        if (next + n <= p.words()) {
            for (quint32 i = 0; i < n; ++i)
                dx.push_back(p.w(next + i));
        }
        m_canvas.textOut(at, text, dx, rect, options & 0x0002, options & 0x0004);
        break;
    }
    case 0x02FA: { // CREATEPENINDIRECT
        GdiObject o;
        o.kind = GdiObject::Kind::Pen;
        o.pen = wmfPen(p.u(0), p.w(1), p.color(3));
        create(o);
        break;
    }
    case 0x02FC: {
        GdiObject o;
        o.kind = GdiObject::Kind::Brush;
        o.brush = wmfBrush(p.u(0), p.color(1), p.u(3));
        create(o);
        break;
    }
    case 0x0142: { // DIBCREATEPATTERNBRUSH: style, usage, DIB
        GdiObject o;
        o.kind = GdiObject::Kind::Brush;
        const QImage pattern = dib(p, 2);
        o.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
        create(o);
        break;
    }
    case 0x02FB: { // CREATEFONTINDIRECT
        GdiObject o;
        o.kind = GdiObject::Kind::Font;
        o.fontHeight = p.w(0);
        o.escapement = p.w(2);
        const QByteArrayView face = p.bytes(9, std::min<quint32>(32, (p.words() > 9 ? p.words() - 9 : 0) * 2));
        const qsizetype end = face.indexOf('\0');
        o.font = QFont(m_ansi.decode(end >= 0 ? face.first(end) : face));
        if (o.font.family().isEmpty())
            o.font = QFont(QStringLiteral("Arial"));
        o.font.setWeight(p.w(4) >= 600 ? QFont::Bold : QFont::Normal);
        o.font.setItalic(p.u(5) & 0xff);
        o.font.setUnderline(p.u(5) >> 8);
        o.font.setStrikeOut(p.u(6) & 0xff);
        create(o);
        break;
    }
    case 0x00F7: // CREATEPALETTE
    case 0x06FF: { // CREATEREGION
        GdiObject o;
        o.kind = f == 0x00F7 ? GdiObject::Kind::Palette : GdiObject::Kind::Region;
        create(o);
        break;
    }
    case 0x012D: { // SELECTOBJECT
        const GdiObject &o = slot(p.u(0));
        switch (o.kind) {
        case GdiObject::Kind::Pen: dc.pen = o.pen; break;
        case GdiObject::Kind::Brush: dc.brush = o.brush; break;
        case GdiObject::Kind::Font: dc.font = o; break;
        default: break;
        }
        break;
    }
    case 0x01F0: slot(p.u(0)) = GdiObject(); break;
    case 0x0F43: { // STRETCHDIB: rop, usage, srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest, DIB
        const QImage image = dib(p, 11);
        const QRectF dest(p.w(10), p.w(9), p.w(8), p.w(7));
        // The source is counted from the bitmap's bottom row.
        const QRectF src(p.w(6), image.height() - p.w(5) - p.w(3), p.w(4), p.w(3));
        m_canvas.drawImage(dest, image, src, p.u32(0));
        break;
    }
    case 0x0B41: // DIBSTRETCHBLT: rop, [reserved], srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest, DIB
        if (p.words() <= 11) { // no bitmap: a pattern fill
            m_canvas.drawImage(QRectF(p.w(10), p.w(9), p.w(8), p.w(7)), QImage(), QRectF(), p.u32(0));
        } else {
            m_canvas.drawImage(QRectF(p.w(9), p.w(8), p.w(7), p.w(6)), dib(p, 10), QRectF(p.w(5), p.w(4), p.w(3), p.w(2)),
                               p.u32(0));
        }
        break;
    case 0x0940: // DIBBITBLT: rop, [reserved], ySrc, xSrc, height, width, yDest, xDest, DIB
        if (p.words() <= 9) {
            m_canvas.drawImage(QRectF(p.w(8), p.w(7), p.w(6), p.w(5)), QImage(), QRectF(), p.u32(0));
        } else {
            m_canvas.drawImage(QRectF(p.w(7), p.w(6), p.w(5), p.w(4)), dib(p, 8), QRectF(p.w(3), p.w(2), p.w(5), p.w(4)),
                               p.u32(0));
        }
        break;
    default: break; // escapes, palettes and records this player does not know
    }
}

} // namespace

bool WmfPlayer::isWmf(const QByteArray &bytes)
{
    if (bytes.size() >= 22 && qFromLittleEndian<quint32>(bytes.constData()) == PlaceableKey)
        return true;
    if (bytes.size() < 18)
        return false;
    const quint16 type = qFromLittleEndian<quint16>(bytes.constData());
    const quint16 header = qFromLittleEndian<quint16>(bytes.constData() + 2);
    return (type == 1 || type == 2) && header == 9;
}

bool WmfPlayer::load(const QByteArray &bytes, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (bytes.size() > MaxBytes)
        return fail(QStringLiteral("the metafile is larger than %1 bytes").arg(MaxBytes));
    if (!isWmf(bytes))
        return fail(QStringLiteral("not a Windows metafile (no WMF header)"));
    qsizetype at = 0;
    m_placeable = qFromLittleEndian<quint32>(bytes.constData()) == PlaceableKey;
    if (m_placeable) {
        const auto w = [&](int i) { return qFromLittleEndian<qint16>(bytes.constData() + 6 + i * 2); };
        // The box's right and bottom lie just outside it: a box of 0..1000 is 1000 units across.
        m_box = QRect(w(0), w(1), w(2) - w(0), w(3) - w(1)).normalized();
        m_inch = qFromLittleEndian<quint16>(bytes.constData() + 14);
        if (m_inch == 0)
            m_inch = 1440;
        at = 22;
    }
    if (bytes.size() < at + 18)
        return fail(QStringLiteral("the metafile ends inside its header"));
    const quint16 headerWords = qFromLittleEndian<quint16>(bytes.constData() + at + 2);
    if (headerWords != 9)
        return fail(QStringLiteral("the metafile's header has %1 words").arg(headerWords));
    m_objects = qFromLittleEndian<quint16>(bytes.constData() + at + 10);
    m_first = at + 18;
    m_bytes = bytes;
    if (!m_placeable) {
        // The box is the window the records set.
        QPoint org;
        QSize ext;
        qsizetype pos = m_first;
        for (int n = 0; pos + 10 <= m_bytes.size() && n < 10000; ++n) {
            const quint32 words = qFromLittleEndian<quint32>(m_bytes.constData() + pos);
            const quint16 f = qFromLittleEndian<quint16>(m_bytes.constData() + pos + 4);
            if (f == 0 || words < 3 || words > (m_bytes.size() - pos) / 2)
                break;
            const qint16 a = qFromLittleEndian<qint16>(m_bytes.constData() + pos + 6);
            const qint16 b = words >= 5 ? qFromLittleEndian<qint16>(m_bytes.constData() + pos + 8) : 0;
            if (f == 0x020B && org.isNull())
                org = QPoint(b, a);
            if (f == 0x020C && ext.isEmpty())
                ext = QSize(b, a);
            pos += qsizetype(words) * 2;
        }
        m_box = ext.isEmpty() ? QRect(0, 0, 1000, 1000) : QRect(org, ext).normalized();
        m_inch = 96;
    }
    return true;
}

QSizeF WmfPlayer::naturalSize() const
{
    const QSizeF size(m_box.width() * 96.0 / m_inch, m_box.height() * 96.0 / m_inch);
    if (m_placeable || size.isEmpty())
        return size;
    // Without the placeable header the window's units are unknown: its shape is kept, taken as
    // pixels, and a large one is brought down to a size a page holds.
    const double longest = std::max(size.width(), size.height());
    return longest > UnsizedSide ? size * (UnsizedSide / longest) : size;
}

bool WmfPlayer::play(QPainter *painter, const QRectF &target, QString *error) const
{
    if (m_bytes.isEmpty() || !painter)
        return false;
    const QRectF source = m_box.width() > 0 && m_box.height() > 0 ? QRectF(m_box) : QRectF(0, 0, 1, 1);
    return playInto(painter, source, target, error, [&](const QTransform &toDevice) {
        Player player(m_bytes, m_first, m_objects, painter, toDevice, source);
        player.run();
    });
}

QMap<quint16, int> WmfPlayer::recordCounts() const
{
    QMap<quint16, int> counts;
    qsizetype pos = m_first;
    while (pos + 6 <= m_bytes.size()) {
        const quint32 words = qFromLittleEndian<quint32>(m_bytes.constData() + pos);
        const quint16 f = qFromLittleEndian<quint16>(m_bytes.constData() + pos + 4);
        ++counts[f];
        if (f == 0 || words < 3 || words > (m_bytes.size() - pos) / 2)
            break;
        pos += qsizetype(words) * 2;
    }
    return counts;
}

QString WmfPlayer::recordName(quint16 f)
{
    static const QMap<quint16, const char *> names = {
        {0x0000, "EOF"}, {0x001E, "SAVEDC"}, {0x0127, "RESTOREDC"}, {0x0102, "SETBKMODE"}, {0x0103, "SETMAPMODE"},
        {0x0104, "SETROP2"}, {0x0106, "SETPOLYFILLMODE"}, {0x012E, "SETTEXTALIGN"}, {0x0201, "SETBKCOLOR"},
        {0x0209, "SETTEXTCOLOR"}, {0x020B, "SETWINDOWORG"}, {0x020C, "SETWINDOWEXT"}, {0x0213, "LINETO"},
        {0x0214, "MOVETO"}, {0x0324, "POLYGON"}, {0x0325, "POLYLINE"}, {0x0538, "POLYPOLYGON"}, {0x0418, "ELLIPSE"},
        {0x041B, "RECTANGLE"}, {0x061C, "ROUNDRECT"}, {0x0817, "ARC"}, {0x081A, "PIE"}, {0x0830, "CHORD"},
        {0x0521, "TEXTOUT"}, {0x0A32, "EXTTEXTOUT"}, {0x02FA, "CREATEPENINDIRECT"}, {0x02FC, "CREATEBRUSHINDIRECT"},
        {0x02FB, "CREATEFONTINDIRECT"}, {0x012D, "SELECTOBJECT"}, {0x01F0, "DELETEOBJECT"}, {0x0F43, "STRETCHDIB"},
        {0x0B41, "DIBSTRETCHBLT"}, {0x0940, "DIBBITBLT"}, {0x0626, "ESCAPE"}, {0x00F7, "CREATEPALETTE"},
        {0x0234, "SELECTPALETTE"}, {0x0416, "INTERSECTCLIPRECT"}, {0x0415, "EXCLUDECLIPRECT"}};
    const auto it = names.constFind(f);
    return it != names.cend() ? QString::fromLatin1(*it) : QStringLiteral("RECORD_0x%1").arg(f, 4, 16, QLatin1Char('0'));
}

} // namespace velkora::metafile
