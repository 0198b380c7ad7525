// The drawing state of a Windows device context and the drawing calls of metafile records,
// carried out on a QPainter. Shared by the EMF and the WMF player.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <functional>
#include <optional>
#include <vector>

namespace velkora::metafile {

// Thrown by a player at a record it cannot go past; the drawing ends there with the reason.
struct Stop
{
    QString reason;
};

// Plays a picture whose logical space shows `source` into `target` on the painter, clipped to the
// target: `run` is given the transform from the picture to the device and plays the records. The
// painter's state is restored afterwards; false, with the reason, when `run` stopped at a record.
bool playInto(QPainter *painter, const QRectF &source, const QRectF &target, QString *error,
              const std::function<void(const QTransform &)> &run);

// An object of the metafile's object table.
struct GdiObject
{
    enum class Kind { None, Pen, Brush, Font, Palette, Region } kind = Kind::None;
    QPen pen;
    QBrush brush;
    QFont font;
    int fontHeight = 0;     // logical units; negative: character height, positive: cell height
    int escapement = 0;     // tenths of a degree
    QPainterPath region;    // device units
};

// One device context: mapping, selected objects, colours and modes, current position, clip.
struct DcState
{
    int mapMode = 1; // MM_TEXT
    QPointF windowOrg, viewportOrg;
    QSizeF windowExt{1, 1}, viewportExt{1, 1};
    QTransform world;
    QPen pen{QColor(0, 0, 0), 0};
    QBrush brush{QColor(255, 255, 255)};
    GdiObject font;
    QColor textColor{0, 0, 0};
    QColor bkColor{255, 255, 255};
    int bkMode = 2;    // OPAQUE
    int textAlign = 0; // TA_LEFT | TA_TOP
    int polyFill = 1;  // ALTERNATE
    int rop2 = 13;     // R2_COPYPEN
    QPointF current;
    std::optional<QPainterPath> clip; // device units
};

// Carries out drawing calls given in logical units. Device units map to the target through
// deviceToTarget, so a picture lands stretched in the rectangle it is drawn into.
class GdiCanvas
{
public:
    static constexpr int MaxSavedStates = 1024;

    GdiCanvas(QPainter *painter, const QTransform &deviceToTarget, double devicePixelsPerMm);

    DcState &dc() { return m_dc; }
    QPainter *painter() const { return m_painter; }
    // Told of each character outside the basic plane drawn as text, with the glyph that shows it.
    std::function<void(const QGlyphRun &, char32_t)> supplementaryDrawn;

    void saveDC();
    void restoreDC(int relative);
    void setMapMode(int mode);
    void setWorldTransform(const QTransform &t) { m_dc.world = t; }
    void modifyWorldTransform(const QTransform &t, int mode);

    // The whole mapping from logical units to the target.
    QTransform logicalToTarget() const;
    QTransform logicalToDevice() const;

    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const QPolygonF &points);
    void polylineTo(const QPolygonF &points);
    void polygon(const QPolygonF &points);
    void polyPolygon(const std::vector<QPolygonF> &polygons);
    void polyPolyline(const std::vector<QPolygonF> &polylines);
    void polyBezier(const QPolygonF &points, bool fromCurrent);
    void rectangle(const QRectF &r);
    void roundRect(const QRectF &r, QSizeF corner);
    void ellipse(const QRectF &r);
    enum class ArcKind { Arc, Chord, Pie, ArcTo };
    void arc(const QRectF &box, QPointF start, QPointF end, ArcKind kind);
    void setPixel(QPointF p, const QColor &c);
    // Text at a reference point, aligned by the text-align mode; dx gives each character's advance
    // in logical units when present.
    void textOut(QPointF reference, const QString &text, const std::vector<int> &dx, const QRectF &opaqueRect,
                 bool opaque, bool clipped);
    void drawImage(const QRectF &destination, const QImage &image, const QRectF &source, quint32 rop);
    void fillRectWithBrush(const QRectF &r, const QBrush &brush);

    void beginPath();
    void endPath() { m_inPath = false; }
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void selectClipPath(int mode);

    void intersectClipRect(const QRectF &logical);
    void excludeClipRect(const QRectF &logical);
    void selectClipRegion(const std::optional<QPainterPath> &deviceRegion, int mode);

private:
    void apply(); // painter transform, clip and composition for the next primitive
    void drawSupplementary(QPointF baseline, const QFont &font, const QString &character);
    void draw(const QPainterPath &path, bool fill, bool stroke);
    QPen effectivePen() const;
    QBrush effectiveBrush() const;

    QPainter *m_painter;
    QTransform m_deviceToTarget;
    double m_pixelsPerMm;
    DcState m_dc;
    std::vector<DcState> m_saved;
    bool m_inPath = false;
    QPainterPath m_path; // logical units
};

} // namespace velkora::metafile
