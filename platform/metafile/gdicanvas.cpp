// The drawing state of a Windows device context and the drawing calls of metafile records,
// carried out on a QPainter. Shared by the EMF and the WMF player.
#include "gdicanvas.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

#include <QFontMetricsF>
#include <QtMath>

#include <cmath>
#include <utility>

namespace velkora::metafile {

namespace {

// The font engine's glyph cache is used only for glyphs of an ordinary shape on the device: no
// larger than this, no smaller than the next, and not squeezed in one direction more than the
// third (FreeType cannot rasterise a glyph a few hundredths of a pixel high and a hundred wide).
// Any other glyph is filled as an outline, which stays a shape however it is stretched.
constexpr double MaxCachedGlyphPixels = 1024;
constexpr double MinCachedGlyphPixels = 2;
constexpr double MaxCachedGlyphSquash = 8;
constexpr double MaxFontPixels = 16384;
// Drawing further than this from the target's origin, in device pixels, cannot be on any page.
constexpr double MaxDeviceReach = 1 << 20;

enum MapMode { MM_TEXT = 1, MM_LOMETRIC, MM_HIMETRIC, MM_LOENGLISH, MM_HIENGLISH, MM_TWIPS, MM_ISOTROPIC, MM_ANISOTROPIC };
enum TextAlign { TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8, TA_BASELINE = 24 };

// How much a transform's linear part stretches at most and at least (its singular values).
std::pair<double, double> stretchesOf(const QTransform &t)
{
    const double a = t.m11(), b = t.m12(), c = t.m21(), d = t.m22();
    const double sum = a * a + b * b + c * c + d * d;
    const double det = a * d - b * c;
    const double root = std::sqrt(std::max(0.0, sum * sum - 4 * det * det));
    return {std::sqrt((sum + root) / 2), std::sqrt(std::max(0.0, (sum - root) / 2))};
}

bool finiteTransform(const QTransform &t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22())
           && std::isfinite(t.dx()) && std::isfinite(t.dy());
}

double angleOf(QPointF centre, QPointF p)
{
    return qRadiansToDegrees(std::atan2(-(p.y() - centre.y()), p.x() - centre.x()));
}

} // namespace

GdiCanvas::GdiCanvas(QPainter *painter, const QTransform &deviceToTarget, double devicePixelsPerMm)
    : m_painter(painter), m_deviceToTarget(deviceToTarget), m_pixelsPerMm(devicePixelsPerMm > 0 ? devicePixelsPerMm : 96 / 25.4)
{
    m_dc.font.kind = GdiObject::Kind::Font;
    m_dc.font.font = QFont(QStringLiteral("Arial"));
    m_dc.font.fontHeight = -12;
}

void GdiCanvas::saveDC()
{
    if (m_saved.size() < static_cast<size_t>(MaxSavedStates))
        m_saved.push_back(m_dc);
}

void GdiCanvas::restoreDC(int relative)
{
    // Negative: that many states back; positive: the state with that number (1 the first saved).
    int index = relative < 0 ? static_cast<int>(m_saved.size()) + relative : relative - 1;
    if (index < 0 || index >= static_cast<int>(m_saved.size()))
        return;
    m_dc = m_saved[static_cast<size_t>(index)];
    m_saved.resize(static_cast<size_t>(index));
}

void GdiCanvas::setMapMode(int mode)
{
    m_dc.mapMode = mode >= MM_TEXT && mode <= MM_ANISOTROPIC ? mode : MM_TEXT;
}

void GdiCanvas::modifyWorldTransform(const QTransform &t, int mode)
{
    switch (mode) {
    case 1: m_dc.world = QTransform(); break;           // MWT_IDENTITY
    case 2: m_dc.world = t * m_dc.world; break;         // MWT_LEFTMULTIPLY
    case 3: m_dc.world = m_dc.world * t; break;         // MWT_RIGHTMULTIPLY
    case 4: m_dc.world = t; break;                      // MWT_SET
    default: break;
    }
}

QTransform GdiCanvas::logicalToDevice() const
{
    double sx = 1, sy = 1;
    switch (m_dc.mapMode) {
    case MM_LOMETRIC: sx = m_pixelsPerMm / 10; sy = -sx; break;
    case MM_HIMETRIC: sx = m_pixelsPerMm / 100; sy = -sx; break;
    case MM_LOENGLISH: sx = m_pixelsPerMm * 25.4 / 100; sy = -sx; break;
    case MM_HIENGLISH: sx = m_pixelsPerMm * 25.4 / 1000; sy = -sx; break;
    case MM_TWIPS: sx = m_pixelsPerMm * 25.4 / 1440; sy = -sx; break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC: {
        const double wx = m_dc.windowExt.width() ? m_dc.windowExt.width() : 1;
        const double wy = m_dc.windowExt.height() ? m_dc.windowExt.height() : 1;
        sx = m_dc.viewportExt.width() / wx;
        sy = m_dc.viewportExt.height() / wy;
        if (m_dc.mapMode == MM_ISOTROPIC) {
            const double s = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
        break;
    }
    default: break;
    }
    // device = (page − window origin) × scale + viewport origin, page = world(logical)
    const QTransform page = QTransform::fromTranslate(-m_dc.windowOrg.x(), -m_dc.windowOrg.y()) *
                            QTransform::fromScale(sx, sy) *
                            QTransform::fromTranslate(m_dc.viewportOrg.x(), m_dc.viewportOrg.y());
    return m_dc.world * page;
}

QTransform GdiCanvas::logicalToTarget() const
{
    return logicalToDevice() * m_deviceToTarget;
}

void GdiCanvas::apply()
{
    if (m_dc.clip) {
        // The clip is kept in device units; it is set while the painter maps device units.
        m_painter->setWorldTransform(m_deviceToTarget);
        m_painter->setClipPath(*m_dc.clip, Qt::ReplaceClip);
    } else {
        m_painter->setClipping(false);
    }
    m_painter->setWorldTransform(logicalToTarget());
    switch (m_dc.rop2) {
    case 1: m_painter->setCompositionMode(QPainter::RasterOp_ClearDestination); break;     // R2_BLACK
    case 6: m_painter->setCompositionMode(QPainter::RasterOp_NotDestination); break;       // R2_NOT
    case 7: m_painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination); break; // R2_XORPEN
    case 9: m_painter->setCompositionMode(QPainter::RasterOp_NotSourceXorDestination); break;
    case 16: m_painter->setCompositionMode(QPainter::RasterOp_SetDestination); break;      // R2_WHITE
    default: m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver); break;
    }
}

QPen GdiCanvas::effectivePen() const
{
    QPen p = m_dc.pen;
    if (p.style() != Qt::NoPen && p.widthF() <= 0)
        p.setCosmetic(true);
    return p;
}

QBrush GdiCanvas::effectiveBrush() const
{
    QBrush b = m_dc.brush;
    // Hatched brushes show the background colour between their lines unless the mode is transparent.
    return b;
}

void GdiCanvas::draw(const QPainterPath &path, bool fill, bool stroke)
{
    if (m_inPath) {
        m_path.addPath(path);
        return;
    }
    apply();
    QPainterPath p = path;
    p.setFillRule(m_dc.polyFill == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    if (fill && m_dc.brush.style() != Qt::NoBrush) {
        if (m_dc.brush.style() >= Qt::HorPattern && m_dc.brush.style() <= Qt::DiagCrossPattern && m_dc.bkMode == 2)
            m_painter->fillPath(p, m_dc.bkColor);
        m_painter->fillPath(p, effectiveBrush());
    }
    if (stroke && m_dc.pen.style() != Qt::NoPen)
        m_painter->strokePath(p, effectivePen());
}

void GdiCanvas::moveTo(QPointF p)
{
    m_dc.current = p;
    if (m_inPath)
        m_path.moveTo(p);
}

void GdiCanvas::lineTo(QPointF p)
{
    if (m_inPath) {
        if (m_path.elementCount() == 0)
            m_path.moveTo(m_dc.current);
        m_path.lineTo(p);
    } else {
        QPainterPath path(m_dc.current);
        path.lineTo(p);
        draw(path, false, true);
    }
    m_dc.current = p;
}

void GdiCanvas::polyline(const QPolygonF &points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    if (m_inPath)
        m_path.addPolygon(points);
    else
        draw(path, false, true);
}

void GdiCanvas::polylineTo(const QPolygonF &points)
{
    for (const QPointF &p : points)
        lineTo(p);
}

void GdiCanvas::polygon(const QPolygonF &points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    draw(path, true, true);
}

void GdiCanvas::polyPolygon(const std::vector<QPolygonF> &polygons)
{
    QPainterPath path;
    for (const QPolygonF &p : polygons) {
        path.addPolygon(p);
        path.closeSubpath();
    }
    draw(path, true, true);
}

void GdiCanvas::polyPolyline(const std::vector<QPolygonF> &polylines)
{
    for (const QPolygonF &p : polylines)
        polyline(p);
}

void GdiCanvas::polyBezier(const QPolygonF &points, bool fromCurrent)
{
    QPainterPath path;
    qsizetype i = 0;
    if (fromCurrent) {
        path.moveTo(m_dc.current);
    } else {
        if (points.isEmpty())
            return;
        path.moveTo(points[0]);
        i = 1;
    }
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (!points.isEmpty())
        m_dc.current = points.back();
    if (m_inPath)
        m_path.addPath(path);
    else
        draw(path, false, true);
}

void GdiCanvas::rectangle(const QRectF &r)
{
    QPainterPath path;
    path.addRect(r.normalized());
    draw(path, true, true);
}

void GdiCanvas::roundRect(const QRectF &r, QSizeF corner)
{
    QPainterPath path;
    path.addRoundedRect(r.normalized(), corner.width() / 2, corner.height() / 2);
    draw(path, true, true);
}

void GdiCanvas::ellipse(const QRectF &r)
{
    QPainterPath path;
    path.addEllipse(r.normalized());
    draw(path, true, true);
}

void GdiCanvas::arc(const QRectF &box, QPointF start, QPointF end, ArcKind kind)
{
    const QRectF r = box.normalized();
    if (r.isEmpty())
        return;
    const QPointF c = r.center();
    const double a0 = angleOf(c, start);
    double a1 = angleOf(c, end);
    // Arcs run counter-clockwise from the start radial to the end radial.
    double sweep = a1 - a0;
    if (sweep <= 0)
        sweep += 360;
    QPainterPath path;
    if (kind == ArcKind::Pie)
        path.moveTo(c);
    else if (kind == ArcKind::ArcTo)
        path.moveTo(m_dc.current);
    path.arcMoveTo(r, a0);
    if (kind == ArcKind::Pie || kind == ArcKind::ArcTo) {
        QPainterPath full;
        if (kind == ArcKind::Pie)
            full.moveTo(c);
        else
            full.moveTo(m_dc.current);
        full.arcTo(r, a0, sweep);
        path = full;
    } else {
        path.arcTo(r, a0, sweep);
    }
    if (kind == ArcKind::Chord || kind == ArcKind::Pie)
        path.closeSubpath();
    if (kind == ArcKind::ArcTo)
        m_dc.current = path.currentPosition();
    draw(path, kind == ArcKind::Chord || kind == ArcKind::Pie, true);
}

void GdiCanvas::setPixel(QPointF p, const QColor &c)
{
    apply();
    m_painter->fillRect(QRectF(p, QSizeF(1, 1)), c);
}

void GdiCanvas::textOut(QPointF reference, const QString &text, const std::vector<int> &dx, const QRectF &opaqueRect,
                        bool opaque, bool clipped)
{
    apply();
    if (opaque && !opaqueRect.isEmpty())
        m_painter->fillRect(opaqueRect.normalized(), m_dc.bkColor);
    if (text.isEmpty())
        return;
    if (m_dc.textAlign & TA_UPDATECP)
        reference = m_dc.current;
    QFont font = m_dc.font.font;
    // Heights past any real font's are damage; they are kept to a size the font engine can make.
    const double height = std::min(MaxFontPixels, std::abs(m_dc.font.fontHeight ? double(m_dc.font.fontHeight) : 12.0));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(height))));
    // A positive height is the cell height: the characters are smaller by the internal leading.
    if (m_dc.font.fontHeight > 0) {
        const QFontMetricsF probe(font);
        if (probe.height() > 0)
            font.setPixelSize(std::max(1, static_cast<int>(std::lround(height * height / probe.height()))));
    }
    const QFontMetricsF metrics(font);
    // One character a step: a surrogate pair is one character, its advance the sum of both of its
    // units' advances (the writer gives the second unit none).
    std::vector<QString> characters;
    std::vector<double> advances;
    characters.reserve(static_cast<size_t>(text.size()));
    advances.reserve(static_cast<size_t>(text.size()));
    double width = 0;
    const auto advanceOf = [&](qsizetype i) {
        return i < static_cast<qsizetype>(dx.size()) ? double(dx[static_cast<size_t>(i)]) : -1.0;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const QString character = text.mid(i, pair ? 2 : 1);
        double a = advanceOf(i);
        if (pair && a >= 0 && advanceOf(i + 1) >= 0)
            a += advanceOf(i + 1);
        if (a < 0)
            a = metrics.horizontalAdvance(character);
        characters.push_back(character);
        advances.push_back(a);
        width += a;
        if (pair)
            ++i;
    }
    double x = 0, y = 0;
    const int horizontal = m_dc.textAlign & TA_CENTER;
    if (horizontal == TA_CENTER)
        x = -width / 2;
    else if (horizontal == TA_RIGHT)
        x = -width;
    if ((m_dc.textAlign & TA_BASELINE) == TA_BASELINE)
        y = 0;
    else if (m_dc.textAlign & TA_BOTTOM)
        y = -metrics.descent();
    else
        y = metrics.ascent();
    // The y axis of the logical space may point up (metric map modes): text stays upright.
    const QTransform t = logicalToTarget();
    const bool flipped = t.m22() < 0;
    m_painter->save();
    if (clipped && !opaqueRect.isEmpty())
        m_painter->setClipRect(opaqueRect.normalized(), Qt::IntersectClip);
    m_painter->translate(reference);
    if (m_dc.font.escapement)
        m_painter->rotate(-(m_dc.font.escapement / 10.0) * (flipped ? -1 : 1));
    if (flipped)
        m_painter->scale(1, -1);
    m_painter->setFont(font);
    m_painter->setPen(m_dc.textColor);
    if (m_dc.bkMode == 2 && !opaque)
        m_painter->fillRect(QRectF(x, y - metrics.ascent(), width, metrics.height()), m_dc.bkColor);
    // Glyphs are placed one by one at the recorded advances. A glyph that would be huge, tiny or
    // squashed on the device is filled as an outline; text that lands nowhere near a page, or whose
    // transform has lost its finiteness, is not drawn at all.
    const QTransform device = m_painter->combinedTransform();
    const auto [most, least] = stretchesOf(device);
    const double glyphMost = font.pixelSize() * most, glyphLeast = font.pixelSize() * least;
    const bool drawable = finiteTransform(device) && most > 0 && glyphMost >= 0.05; // a twentieth of a pixel leaves no trace
    const bool outlines = glyphMost > MaxCachedGlyphPixels || glyphLeast < MinCachedGlyphPixels
                          || glyphMost > glyphLeast * MaxCachedGlyphSquash;
    // Characters whose place is beyond any page are left out, one by one.
    const auto reachable = [&](QPointF p) { return QLineF(QPointF(), device.map(p)).length() < MaxDeviceReach; };
    const QRawFont raw = outlines || !drawable ? QRawFont() : QRawFont::fromFont(font);
    const QList<quint32> glyphs = raw.isValid() ? raw.glyphIndexesForString(text) : QList<quint32>();
    const qsizetype count = static_cast<qsizetype>(characters.size());
    const bool allGlyphs = glyphs.size() == count && !glyphs.contains(0u);
    if (!drawable) {
        // Nothing a page can show.
    } else if (allGlyphs) {
        // The usual case, one run of glyphs for the whole text.
        QList<quint32> shown;
        QList<QPointF> positions;
        QList<std::pair<quint32, char32_t>> supplementary; // shown glyphs of characters beyond the basic plane
        for (qsizetype i = 0; i < count; ++i) {
            if (reachable(QPointF(x, y))) {
                shown.append(glyphs.at(i));
                positions.append(QPointF(x, y));
                const QString &character = characters[static_cast<size_t>(i)];
                if (character.size() == 2)
                    supplementary.append({glyphs.at(i), QChar::surrogateToUcs4(character.at(0), character.at(1))});
            }
            x += advances[static_cast<size_t>(i)];
        }
        QGlyphRun run;
        run.setRawFont(raw);
        run.setGlyphIndexes(shown);
        run.setPositions(positions);
        run.setUnderline(font.underline());
        run.setStrikeOut(font.strikeOut());
        if (!shown.isEmpty())
            m_painter->drawGlyphRun(QPointF(0, 0), run);
        // The font itself has them: whoever listens learns which of its glyphs showed them, in the
        // order they were drawn.
        if (supplementaryDrawn)
            for (const auto &[glyph, code] : supplementary) {
                QGlyphRun one;
                one.setRawFont(raw);
                one.setGlyphIndexes({glyph});
                supplementaryDrawn(one, code);
            }
    } else {
        QPainterPath path;
        for (qsizetype i = 0; i < count; ++i) {
            const QString &character = characters[static_cast<size_t>(i)];
            if (reachable(QPointF(x, y))) {
                if (outlines)
                    path.addText(QPointF(x, y), font, character);
                else if (character.size() == 2)
                    drawSupplementary(QPointF(x, y), font, character);
                else
                    m_painter->drawText(QPointF(x, y), character); // with the fonts' fallbacks
            }
            x += advances[static_cast<size_t>(i)];
        }
        if (outlines)
            m_painter->fillPath(path, m_dc.textColor);
    }
    m_painter->restore();
    if (m_dc.textAlign & TA_UPDATECP)
        m_dc.current = reference + QPointF(width, 0);
}

void GdiCanvas::drawSupplementary(QPointF baseline, const QFont &font, const QString &character)
{
    // Laid out on its own, the character finds its glyph through the fonts' fallbacks as drawText
    // would; drawn as that glyph, whoever listens learns which font shows it.
    QTextLayout layout(character, font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return;
    const char32_t code = QChar::surrogateToUcs4(character.at(0), character.at(1));
    for (QGlyphRun run : layout.glyphRuns()) {
        QList<QPointF> positions = run.positions();
        for (QPointF &p : positions)
            p += QPointF(baseline.x(), baseline.y() - line.ascent());
        run.setPositions(positions);
        m_painter->drawGlyphRun(QPointF(0, 0), run);
        if (supplementaryDrawn && !run.glyphIndexes().isEmpty() && run.glyphIndexes().first() != 0)
            supplementaryDrawn(run, code);
    }
}

void GdiCanvas::drawImage(const QRectF &destination, const QImage &image, const QRectF &source, quint32 rop)
{
    apply();
    const quint32 op = rop >> 16;
    if (op == 0x00) { // BLACKNESS
        m_painter->fillRect(destination.normalized(), Qt::black);
        return;
    }
    if (op == 0xFF) { // WHITENESS
        m_painter->fillRect(destination.normalized(), Qt::white);
        return;
    }
    if (op == 0xF0) { // PATCOPY
        m_painter->fillRect(destination.normalized(), m_dc.brush);
        return;
    }
    if (image.isNull())
        return;
    if (op == 0x66) // SRCINVERT
        m_painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    else if (op == 0x88) // SRCAND
        m_painter->setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    else if (op == 0xEE) // SRCPAINT
        m_painter->setCompositionMode(QPainter::RasterOp_SourceOrDestination);
    QRectF dest = destination;
    QImage shown = image;
    // A negative extent mirrors the picture.
    if (dest.width() < 0 || dest.height() < 0) {
        shown = image.mirrored(dest.width() < 0, dest.height() < 0);
        dest = dest.normalized();
    }
    // The source part is what the bitmap has of it: a record may name pixels past its edges, and
    // the destination shrinks with it so the part still lands where the record put it.
    QRectF from = source.isValid() ? source.normalized() : QRectF(shown.rect());
    const QRectF inside = from.intersected(QRectF(shown.rect()));
    if (inside.isEmpty() || dest.isEmpty() || !finiteTransform(m_painter->combinedTransform())) {
        m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
        return;
    }
    const double sx = dest.width() / from.width(), sy = dest.height() / from.height();
    dest = QRectF(dest.x() + (inside.x() - from.x()) * sx, dest.y() + (inside.y() - from.y()) * sy, inside.width() * sx,
                  inside.height() * sy);
    from = inside;
    // Only the part that can reach the device is drawn: a bitmap stretched to millions of pixels
    // would otherwise be scaled whole.
    const QTransform toDevice = m_painter->combinedTransform();
    const QRectF onDevice = toDevice.mapRect(dest);
    const QRectF visible = onDevice.intersected(QRectF(QPointF(0, 0), QSizeF(m_painter->device()->width(), m_painter->device()->height())));
    if (visible.isEmpty()) {
        m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
        return;
    }
    if (onDevice.width() > MaxDeviceReach || onDevice.height() > MaxDeviceReach) {
        if (!toDevice.isInvertible() || toDevice.isRotating()) {
            m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
            return;
        }
        const QRectF part = toDevice.inverted().mapRect(visible).intersected(dest);
        from = QRectF(from.x() + (part.x() - dest.x()) / sx, from.y() + (part.y() - dest.y()) / sy, part.width() / sx,
                      part.height() / sy);
        dest = part;
    }
    m_painter->drawImage(dest, shown, from);
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void GdiCanvas::fillRectWithBrush(const QRectF &r, const QBrush &brush)
{
    apply();
    m_painter->fillRect(r.normalized(), brush);
}

void GdiCanvas::beginPath()
{
    m_path = QPainterPath();
    m_path.moveTo(m_dc.current);
    m_inPath = true;
}

void GdiCanvas::abortPath()
{
    m_inPath = false;
    m_path = QPainterPath();
}

void GdiCanvas::closeFigure()
{
    if (m_inPath)
        m_path.closeSubpath();
}

void GdiCanvas::fillPath()
{
    m_inPath = false;
    draw(m_path, true, false);
    m_path = QPainterPath();
}

void GdiCanvas::strokePath()
{
    m_inPath = false;
    draw(m_path, false, true);
    m_path = QPainterPath();
}

void GdiCanvas::strokeAndFillPath()
{
    m_inPath = false;
    draw(m_path, true, true);
    m_path = QPainterPath();
}

void GdiCanvas::selectClipPath(int mode)
{
    m_inPath = false;
    selectClipRegion(logicalToDevice().map(m_path), mode);
    m_path = QPainterPath();
}

void GdiCanvas::intersectClipRect(const QRectF &logical)
{
    QPainterPath r;
    r.addRect(logical.normalized());
    const QPainterPath device = logicalToDevice().map(r);
    m_dc.clip = m_dc.clip ? m_dc.clip->intersected(device) : device;
}

void GdiCanvas::excludeClipRect(const QRectF &logical)
{
    QPainterPath r;
    r.addRect(logical.normalized());
    const QPainterPath device = logicalToDevice().map(r);
    if (!m_dc.clip) {
        QPainterPath everything;
        everything.addRect(QRectF(-1e6, -1e6, 2e6, 2e6));
        m_dc.clip = everything;
    }
    m_dc.clip = m_dc.clip->subtracted(device);
}

void GdiCanvas::selectClipRegion(const std::optional<QPainterPath> &region, int mode)
{
    // RGN_AND 1, RGN_OR 2, RGN_XOR 3, RGN_DIFF 4, RGN_COPY 5; no region with RGN_COPY: no clip.
    if (!region) {
        if (mode == 5)
            m_dc.clip.reset();
        return;
    }
    if (!m_dc.clip || mode == 5) {
        m_dc.clip = *region;
        return;
    }
    switch (mode) {
    case 1: m_dc.clip = m_dc.clip->intersected(*region); break;
    case 2: m_dc.clip = m_dc.clip->united(*region); break;
    case 3: m_dc.clip = m_dc.clip->united(*region).subtracted(m_dc.clip->intersected(*region)); break;
    case 4: m_dc.clip = m_dc.clip->subtracted(*region); break;
    default: break;
    }
}

bool playInto(QPainter *painter, const QRectF &source, const QRectF &target, QString *error,
              const std::function<void(const QTransform &)> &run)
{
    const QTransform toTarget = QTransform::fromTranslate(-source.left(), -source.top()) *
                                QTransform::fromScale(target.width() / source.width(), target.height() / source.height()) *
                                QTransform::fromTranslate(target.left(), target.top());
    painter->save();
    painter->setClipRect(target, Qt::IntersectClip);
    bool ok = true;
    try {
        run(toTarget * painter->worldTransform());
    } catch (const Stop &stop) {
        ok = false;
        if (error)
            *error = stop.reason;
    }
    painter->restore();
    return ok;
}

} // namespace velkora::metafile
