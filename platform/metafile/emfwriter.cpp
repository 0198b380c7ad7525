// Records what a QPainter draws as a Windows enhanced metafile (EMF).
#include "emfwriter.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPaintEngine>
#include <QPainterPath>
#include <QTextItem>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace velkora::metafile {

namespace {

enum : quint32 {
    EMR_HEADER = 1, EMR_POLYGON = 3, EMR_POLYLINE = 4, EMR_EOF = 14, EMR_SETMAPMODE = 17, EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19, EMR_SETTEXTALIGN = 22, EMR_SETTEXTCOLOR = 24, EMR_SAVEDC = 33, EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35, EMR_MODIFYWORLDTRANSFORM = 36, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_ELLIPSE = 42, EMR_RECTANGLE = 43,
    EMR_POLYPOLYGON = 8, EMR_EXTSELECTCLIPRGN = 75, EMR_STRETCHDIBITS = 81, EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84, EMR_ALPHABLEND = 114,
};
constexpr quint32 NullPen = 0x80000008, NullBrush = 0x80000005;

class Out
{
public:
    void u32(quint32 v)
    {
        const quint32 le = qToLittleEndian(v);
        m_data.append(reinterpret_cast<const char *>(&le), 4);
    }
    void i32(qint32 v) { u32(static_cast<quint32>(v)); }
    void u16(quint16 v)
    {
        const quint16 le = qToLittleEndian(v);
        m_data.append(reinterpret_cast<const char *>(&le), 2);
    }
    void f32(float f)
    {
        quint32 v;
        std::memcpy(&v, &f, 4);
        u32(v);
    }
    void bytes(const char *p, qsizetype n) { m_data.append(p, n); }
    void pad() { while (m_data.size() % 4) m_data.append('\0'); }
    QByteArray &data() { return m_data; }

private:
    QByteArray m_data;
};

bool isOpaque(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) != 255)
                return false;
        }
    }
    return true;
}

quint32 colorRef(const QColor &c)
{
    const QColor rgb = c.toRgb();
    return quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16);
}

} // namespace

class EmfPaintEngine : public QPaintEngine
{
public:
    explicit EmfPaintEngine(EmfWriter *device)
        : QPaintEngine(QPaintEngine::PrimitiveTransform | QPaintEngine::PatternBrush | QPaintEngine::PatternTransform | QPaintEngine::PixmapTransform |
                       QPaintEngine::PainterPaths | QPaintEngine::AlphaBlend),
          m_device(device)
    {
    }

    bool begin(QPaintDevice *) override
    {
        m_records.data().clear();
        m_count = 0;
        m_nextHandle = 1;
        m_free.clear();
        m_pen = m_brush = m_font = 0;
        m_penSet = m_brushSet = m_fontSet = m_textColorSet = false;
        m_fillMode = 0;
        m_bounds = QRect();
        record(EMR_SETMAPMODE, [](Out &o) { o.u32(1); });   // MM_TEXT: one unit, one pixel
        record(EMR_SETBKMODE, [](Out &o) { o.u32(1); });    // TRANSPARENT
        record(EMR_SETTEXTALIGN, [](Out &o) { o.u32(24); }); // TA_BASELINE | TA_LEFT
        record(EMR_SAVEDC, [](Out &) {});                    // the clip-free state, restored on clip changes
        return true;
    }
    bool end() override
    {
        record(EMR_RESTOREDC, [](Out &o) { o.i32(-1); });
        for (quint32 h : {m_pen, m_brush, m_font}) {
            if (h)
                record(EMR_DELETEOBJECT, [h](Out &o) { o.u32(h); });
        }
        m_pen = m_brush = m_font = 0;
        finish();
        return true;
    }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState &state) override
    {
        const QPaintEngine::DirtyFlags flags = state.state();
        if (flags & DirtyPen)
            m_qpen = state.pen();
        if (flags & DirtyBrush)
            m_qbrush = state.brush();
        if (flags & DirtyFont)
            m_qfont = state.font();
        if (flags & DirtyTransform)
            m_transform = state.transform();
        if (flags & (DirtyClipRegion | DirtyClipPath | DirtyClipEnabled)) {
            if (flags & DirtyClipEnabled)
                m_clipOn = state.isClipEnabled();
            if (flags & DirtyClipRegion) {
                m_clip = QPainterPath();
                m_clip.addRegion(state.clipRegion());
                m_clip = m_transform.map(m_clip);
                m_clipOn = state.clipOperation() != Qt::NoClip;
            }
            if (flags & DirtyClipPath) {
                m_clip = m_transform.map(state.clipPath());
                m_clipOn = state.clipOperation() != Qt::NoClip;
            }
            writeClip();
        }
    }

    void drawPath(const QPainterPath &path) override
    {
        const QList<QPolygonF> polys = path.toSubpathPolygons(m_transform);
        if (polys.isEmpty())
            return;
        if (m_qbrush.style() != Qt::NoBrush) {
            selectPen(QPen(Qt::NoPen));
            selectBrush(m_qbrush);
            fillMode(path.fillRule());
            polyPolygon(polys);
        }
        if (m_qpen.style() != Qt::NoPen) {
            selectPen(m_qpen);
            selectBrush(QBrush(Qt::NoBrush));
            for (const QPolygonF &p : polys) {
                const bool closed = p.size() > 2 && p.isClosed();
                polyline(closed ? EMR_POLYGON : EMR_POLYLINE, p);
            }
        }
    }
    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override
    {
        QPolygonF p;
        for (int i = 0; i < count; ++i)
            p.append(m_transform.map(points[i]));
        if (mode == PolylineMode) {
            selectPen(m_qpen);
            selectBrush(QBrush(Qt::NoBrush));
            polyline(EMR_POLYLINE, p);
            return;
        }
        selectPen(m_qpen);
        selectBrush(m_qbrush);
        fillMode(mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
        polyline(EMR_POLYGON, p);
    }
    void drawRects(const QRectF *rects, int count) override
    {
        for (int i = 0; i < count; ++i) {
            if (!m_transform.isScaling() && !m_transform.isRotating()) {
                selectPen(m_qpen);
                selectBrush(m_qbrush);
                const QRectF r = m_transform.mapRect(rects[i]);
                box(EMR_RECTANGLE, r);
            } else {
                QPainterPath path;
                path.addRect(rects[i]);
                drawPath(path);
            }
        }
    }
    void drawEllipse(const QRectF &r) override
    {
        if (m_transform.isRotating()) {
            QPainterPath path;
            path.addEllipse(r);
            drawPath(path);
            return;
        }
        selectPen(m_qpen);
        selectBrush(m_qbrush);
        box(EMR_ELLIPSE, m_transform.mapRect(r));
    }
    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        const QString text = item.text();
        if (text.isEmpty())
            return;
        const QFont font = item.font();
        selectFont(font);
        const quint32 color = colorRef(m_qpen.color());
        if (!m_textColorSet || color != m_textColor) {
            record(EMR_SETTEXTCOLOR, [color](Out &o) { o.u32(color); });
            m_textColor = color;
            m_textColorSet = true;
        }
        // A painter's transform that scales or turns goes into the world transform so the text
        // keeps its shape; a mere shift moves the reference point.
        const bool shaped = m_transform.type() > QTransform::TxTranslate;
        const QTransform t = m_transform;
        if (shaped) {
            record(EMR_SETWORLDTRANSFORM, [&](Out &o) {
                o.f32(float(t.m11())); o.f32(float(t.m12())); o.f32(float(t.m21())); o.f32(float(t.m22()));
                o.f32(float(t.dx())); o.f32(float(t.dy()));
            });
        }
        // Every character's advance, rounded so that the sum follows the unrounded positions.
        // Metrics and advances are kept while the font stays the same: a page has few fonts.
        if (!m_metrics || !(font == m_metricsFont)) {
            m_metrics.emplace(font, m_device);
            m_metricsFont = font;
            m_advances.clear();
        }
        const QFontMetricsF &metrics = *m_metrics;
        std::vector<qint32> dx;
        dx.reserve(static_cast<size_t>(text.size()));
        double x = 0;
        qint32 placed = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                // A character outside the basic plane: its advance on its first unit, none on the second.
                x += metrics.horizontalAdvance(text.mid(i, 2));
                const qint32 next = static_cast<qint32>(std::lround(x));
                dx.push_back(next - placed);
                dx.push_back(0);
                placed = next;
                ++i;
                continue;
            }
            auto known = m_advances.constFind(c.unicode());
            if (known == m_advances.constEnd())
                known = m_advances.insert(c.unicode(), metrics.horizontalAdvance(c));
            x += *known;
            const qint32 next = static_cast<qint32>(std::lround(x));
            dx.push_back(next - placed);
            placed = next;
        }
        const QPointF reference = shaped ? p : t.map(p);
        const QPoint at(static_cast<int>(std::lround(reference.x())), static_cast<int>(std::lround(reference.y())));
        const QRectF textBox(p.x(), p.y() - metrics.ascent(), x, metrics.height());
        grow(t.mapRect(textBox).toAlignedRect());
        const quint32 chars = static_cast<quint32>(text.size());
        const quint32 offString = 76;
        const quint32 stringBytes = ((chars * 2 + 3) / 4) * 4;
        const quint32 offDx = offString + stringBytes;
        record(EMR_EXTTEXTOUTW, [&](Out &o) {
            const QRect b = t.mapRect(textBox).toAlignedRect();
            o.i32(b.left()); o.i32(b.top()); o.i32(b.right()); o.i32(b.bottom());
            o.u32(1); // GM_COMPATIBLE
            o.f32(1); o.f32(1);
            o.i32(at.x()); o.i32(at.y());
            o.u32(chars); o.u32(offString); o.u32(0);
            o.i32(0); o.i32(0); o.i32(-1); o.i32(-1); // no rectangle
            o.u32(offDx);
            for (const QChar c : text)
                o.u16(c.unicode());
            o.pad();
            for (qint32 d : dx)
                o.i32(d);
        });
        if (shaped) {
            record(EMR_MODIFYWORLDTRANSFORM, [](Out &o) {
                o.f32(1); o.f32(0); o.f32(0); o.f32(1); o.f32(0); o.f32(0);
                o.u32(1); // MWT_IDENTITY
            });
        }
    }
    void drawPixmap(const QRectF &r, const QPixmap &pm, const QRectF &sr) override
    {
        drawImage(r, pm.toImage(), sr, Qt::AutoColor);
    }
    void drawImage(const QRectF &r, const QImage &image, const QRectF &sr, Qt::ImageConversionFlags) override
    {
        const QImage cut = image.copy(sr.toAlignedRect());
        if (cut.isNull())
            return;
        const QRect dest = m_transform.mapRect(r).toAlignedRect();
        grow(dest);
        // Opaque pictures go out as plain 32-bit STRETCHDIBITS; ones with transparency as
        // ALPHABLEND with premultiplied bits, which is how GDI blends per-pixel alpha.
        const bool alpha = cut.hasAlphaChannel() && !isOpaque(cut);
        const QImage source = cut.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        const int w = source.width(), h = source.height();
        const quint32 bmiSize = 40, bitsSize = quint32(w) * quint32(h) * 4;
        const auto dib = [&](Out &o) {
            // BITMAPINFOHEADER: bottom-up rows of 32 bits.
            o.u32(40); o.i32(w); o.i32(h); o.u16(1); o.u16(32); o.u32(0); o.u32(bitsSize);
            o.i32(3780); o.i32(3780); o.u32(0); o.u32(0);
            for (int y = h - 1; y >= 0; --y)
                o.bytes(reinterpret_cast<const char *>(source.constScanLine(y)), qsizetype(w) * 4);
        };
        const auto bounds = [&](Out &o) { o.i32(dest.left()); o.i32(dest.top()); o.i32(dest.right()); o.i32(dest.bottom()); };
        if (alpha) {
            record(EMR_ALPHABLEND, [&](Out &o) {
                bounds(o);
                o.i32(dest.left()); o.i32(dest.top()); o.i32(dest.width()); o.i32(dest.height());
                o.u32(0x01FF0000); // AC_SRC_OVER, constant alpha 255, AC_SRC_ALPHA
                o.i32(0); o.i32(0);
                o.f32(1); o.f32(0); o.f32(0); o.f32(1); o.f32(0); o.f32(0);
                o.u32(0); o.u32(0); // background colour, DIB_RGB_COLORS
                o.u32(108); o.u32(bmiSize); o.u32(108 + bmiSize); o.u32(bitsSize);
                o.i32(w); o.i32(h);
                dib(o);
            });
            return;
        }
        record(EMR_STRETCHDIBITS, [&](Out &o) {
            bounds(o);
            o.i32(dest.left()); o.i32(dest.top());
            o.i32(0); o.i32(0); o.i32(w); o.i32(h);
            o.u32(80); o.u32(bmiSize); o.u32(80 + bmiSize); o.u32(bitsSize);
            o.u32(0);          // DIB_RGB_COLORS
            o.u32(0x00CC0020); // SRCCOPY
            o.i32(dest.width()); o.i32(dest.height());
            dib(o);
        });
    }

private:
    template <typename F>
    void record(quint32 type, F &&fill)
    {
        Out body;
        fill(body);
        body.pad();
        m_records.u32(type);
        m_records.u32(static_cast<quint32>(8 + body.data().size()));
        m_records.bytes(body.data().constData(), body.data().size());
        ++m_count;
    }
    // Grows the bounds by a shape's box and half the width of the pen that outlines it.
    void growStroked(const QRectF &r)
    {
        const double half = m_selectedPen.style() == Qt::NoPen ? 0
                            : std::max(0.5, m_selectedPen.widthF() * std::sqrt(std::abs(m_transform.determinant())) / 2);
        const QRectF out = r.adjusted(-half, -half, half, half);
        grow(QRect(QPoint(int(std::floor(out.left())), int(std::floor(out.top()))),
                   QPoint(int(std::ceil(out.right())), int(std::ceil(out.bottom())))));
    }
    void grow(const QRect &r)
    {
        m_bounds = m_bounds.isNull() ? r : m_bounds.united(r);
    }
    quint32 newHandle()
    {
        // Handles are reused once deleted, so the table stays small.
        if (!m_free.empty()) {
            const quint32 h = m_free.back();
            m_free.pop_back();
            return h;
        }
        return m_nextHandle++;
    }
    void replace(quint32 &slot, quint32 fresh)
    {
        record(EMR_SELECTOBJECT, [fresh](Out &o) { o.u32(fresh); });
        if (slot && !(slot & 0x80000000)) {
            const quint32 old = slot;
            record(EMR_DELETEOBJECT, [old](Out &o) { o.u32(old); });
            m_free.push_back(old);
        }
        slot = fresh;
    }
    void selectPen(const QPen &pen)
    {
        if (m_penSet && pen == m_selectedPen)
            return;
        m_selectedPen = pen;
        m_penSet = true;
        if (pen.style() == Qt::NoPen) {
            replace(m_pen, NullPen);
            return;
        }
        const quint32 h = newHandle();
        const double width = pen.isCosmetic() || pen.widthF() == 0 ? 0 : pen.widthF() * std::sqrt(std::abs(m_transform.determinant()));
        quint32 style = 0;
        switch (pen.style()) {
        case Qt::DashLine: style = 1; break;
        case Qt::DotLine: style = 2; break;
        case Qt::DashDotLine: style = 3; break;
        case Qt::DashDotDotLine: style = 4; break;
        default: break;
        }
        record(EMR_CREATEPEN, [&](Out &o) {
            o.u32(h); o.u32(style); o.i32(static_cast<qint32>(std::lround(width))); o.i32(0); o.u32(colorRef(pen.color()));
        });
        replace(m_pen, h);
    }
    void selectBrush(const QBrush &brush)
    {
        if (m_brushSet && brush == m_selectedBrush)
            return;
        m_selectedBrush = brush;
        m_brushSet = true;
        if (brush.style() == Qt::NoBrush) {
            replace(m_brush, NullBrush);
            return;
        }
        const quint32 h = newHandle();
        quint32 style = 0, hatch = 0;
        switch (brush.style()) {
        case Qt::HorPattern: style = 2; hatch = 0; break;
        case Qt::VerPattern: style = 2; hatch = 1; break;
        case Qt::BDiagPattern: style = 2; hatch = 2; break;
        case Qt::FDiagPattern: style = 2; hatch = 3; break;
        case Qt::CrossPattern: style = 2; hatch = 4; break;
        case Qt::DiagCrossPattern: style = 2; hatch = 5; break;
        default: break; // solid, and gradients and textures by their colour
        }
        record(EMR_CREATEBRUSHINDIRECT, [&](Out &o) { o.u32(h); o.u32(style); o.u32(colorRef(brush.color())); o.u32(hatch); });
        replace(m_brush, h);
    }
    void selectFont(const QFont &font)
    {
        if (m_fontSet && font == m_selectedFont)
            return;
        m_selectedFont = font;
        m_fontSet = true;
        const quint32 h = newHandle();
        // A negative height is the character (em) height in device units, as the player sizes fonts.
        const double pixels = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * m_device->dotsPerInch() / 72.0;
        const qint32 height = -std::max<qint32>(1, static_cast<qint32>(std::lround(pixels)));
        const QString face = font.family().left(31);
        record(EMR_EXTCREATEFONTINDIRECTW, [&](Out &o) {
            o.u32(h);
            o.i32(height); o.i32(0); o.i32(0); o.i32(0);
            o.i32(font.weight() >= QFont::DemiBold ? 700 : 400);
            const char flags[8] = {char(font.italic()), char(font.underline()), char(font.strikeOut()), char(1), 0, 0, 4, 0};
            o.bytes(flags, 8);
            for (int i = 0; i < 32; ++i)
                o.u16(i < face.size() ? face.at(i).unicode() : 0);
        });
        replace(m_font, h);
    }
    void fillMode(Qt::FillRule rule)
    {
        const quint32 mode = rule == Qt::WindingFill ? 2 : 1;
        if (mode == m_fillMode)
            return;
        m_fillMode = mode;
        record(EMR_SETPOLYFILLMODE, [mode](Out &o) { o.u32(mode); });
    }
    void polyline(quint32 type, const QPolygonF &p)
    {
        if (p.isEmpty())
            return;
        const QRect b = p.boundingRect().toAlignedRect();
        growStroked(p.boundingRect());
        record(type, [&](Out &o) {
            o.i32(b.left()); o.i32(b.top()); o.i32(b.right()); o.i32(b.bottom());
            o.u32(static_cast<quint32>(p.size()));
            for (const QPointF &q : p) {
                o.i32(static_cast<qint32>(std::lround(q.x())));
                o.i32(static_cast<qint32>(std::lround(q.y())));
            }
        });
    }
    void polyPolygon(const QList<QPolygonF> &polys)
    {
        QRectF all;
        quint32 total = 0;
        for (const QPolygonF &p : polys) {
            all = all.united(p.boundingRect());
            total += static_cast<quint32>(p.size());
        }
        const QRect b = all.toAlignedRect();
        growStroked(all);
        record(EMR_POLYPOLYGON, [&](Out &o) {
            o.i32(b.left()); o.i32(b.top()); o.i32(b.right()); o.i32(b.bottom());
            o.u32(static_cast<quint32>(polys.size()));
            o.u32(total);
            for (const QPolygonF &p : polys)
                o.u32(static_cast<quint32>(p.size()));
            for (const QPolygonF &p : polys) {
                for (const QPointF &q : p) {
                    o.i32(static_cast<qint32>(std::lround(q.x())));
                    o.i32(static_cast<qint32>(std::lround(q.y())));
                }
            }
        });
    }
    void box(quint32 type, const QRectF &r)
    {
        const QRect b = r.toRect();
        growStroked(QRectF(b.left(), b.top(), b.width(), b.height()));
        record(type, [&](Out &o) { o.i32(b.left()); o.i32(b.top()); o.i32(b.left() + b.width()); o.i32(b.top() + b.height()); });
    }
    void writeClip()
    {
        // Back to the state without a clip, then the new clip as a region of rectangles.
        record(EMR_RESTOREDC, [](Out &o) { o.i32(-1); });
        record(EMR_SAVEDC, [](Out &) {});
        m_penSet = m_brushSet = m_fontSet = m_textColorSet = false; // the restored state has the earlier ones
        m_fillMode = 0;
        if (!m_clipOn)
            return;
        const QRegion region = QRegion(m_clip.toFillPolygon().toPolygon(), Qt::OddEvenFill);
        const QRect bound = region.boundingRect();
        const quint32 n = static_cast<quint32>(region.rectCount());
        record(EMR_EXTSELECTCLIPRGN, [&](Out &o) {
            o.u32(32 + n * 16);
            o.u32(5); // RGN_COPY
            o.u32(32); o.u32(1); o.u32(n); o.u32(n * 16);
            o.i32(bound.left()); o.i32(bound.top()); o.i32(bound.right() + 1); o.i32(bound.bottom() + 1);
            for (const QRect &r : region) {
                o.i32(r.left()); o.i32(r.top()); o.i32(r.right() + 1); o.i32(r.bottom() + 1);
            }
        });
    }
    void finish()
    {
        record(EMR_EOF, [](Out &o) { o.u32(0); o.u32(16); o.u32(20); });
        const QSize size = m_device->size();
        const int dpi = m_device->dotsPerInch();
        const QRect bounds = m_bounds.isNull() ? QRect(0, 0, 1, 1) : m_bounds.intersected(QRect(QPoint(0, 0), size));
        const QSize mm(std::max(1, qRound(size.width() * 25.4 / dpi)), std::max(1, qRound(size.height() * 25.4 / dpi)));
        Out header;
        header.u32(EMR_HEADER);
        header.u32(108);
        header.i32(bounds.left()); header.i32(bounds.top()); header.i32(bounds.right()); header.i32(bounds.bottom());
        // The frame is the whole page in 0.01 mm, inclusive.
        header.i32(0); header.i32(0);
        header.i32(qRound(size.width() * 2540.0 / dpi) - 1); header.i32(qRound(size.height() * 2540.0 / dpi) - 1);
        header.u32(0x464D4520); // " EMF"
        header.u32(0x10000);
        const quint32 total = 108 + static_cast<quint32>(m_records.data().size());
        header.u32(total);
        header.u32(m_count + 1);
        header.u16(static_cast<quint16>(std::min<quint32>(m_nextHandle, 0xFFFF)));
        header.u16(0);
        header.u32(0); header.u32(0); header.u32(0); // no description, no palette entries
        header.i32(size.width()); header.i32(size.height());
        header.i32(mm.width()); header.i32(mm.height());
        header.u32(0); header.u32(0); header.u32(0); // no pixel format, no OpenGL
        // The same size in micrometres, unrounded to whole millimetres, so players scale exactly.
        header.i32(qRound(size.width() * 25400.0 / dpi)); header.i32(qRound(size.height() * 25400.0 / dpi));
        m_bytes = header.data() + m_records.data();
    }

public:
    QByteArray m_bytes;

private:
    EmfWriter *m_device;
    Out m_records;
    quint32 m_count = 0;
    quint32 m_nextHandle = 1;
    std::vector<quint32> m_free;
    quint32 m_pen = 0, m_brush = 0, m_font = 0;
    QPen m_qpen, m_selectedPen;
    QBrush m_qbrush, m_selectedBrush;
    QFont m_qfont, m_selectedFont;
    bool m_penSet = false, m_brushSet = false, m_fontSet = false, m_textColorSet = false;
    quint32 m_textColor = 0;
    std::optional<QFontMetricsF> m_metrics;
    QFont m_metricsFont;
    QHash<char16_t, double> m_advances;
    quint32 m_fillMode = 0;
    QTransform m_transform;
    QPainterPath m_clip;
    bool m_clipOn = false;
    QRect m_bounds;
};

EmfWriter::EmfWriter(QSize pixels, int dotsPerInch)
    : m_size(pixels.expandedTo(QSize(1, 1))), m_dpi(std::max(1, dotsPerInch)), m_engine(std::make_unique<EmfPaintEngine>(this))
{
}

EmfWriter::~EmfWriter() = default;

QPaintEngine *EmfWriter::paintEngine() const
{
    return m_engine.get();
}

QByteArray EmfWriter::bytes() const
{
    return m_engine->m_bytes;
}

int EmfWriter::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth: return m_size.width();
    case PdmHeight: return m_size.height();
    case PdmWidthMM: return qRound(m_size.width() * 25.4 / m_dpi);
    case PdmHeightMM: return qRound(m_size.height() * 25.4 / m_dpi);
    case PdmNumColors: return 0x7fffffff;
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY: return m_dpi;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
    default: return 0;
    }
}

} // namespace velkora::metafile
