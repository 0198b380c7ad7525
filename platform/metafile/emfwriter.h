// Records what a QPainter draws as a Windows enhanced metafile (EMF).
#pragma once

#include <QByteArray>
#include <QPaintDevice>
#include <QSize>

#include <memory>

namespace velkora::metafile {

class EmfPaintEngine;

// A paint device of a given size in pixels at a given resolution (the screen's for page pictures).
// Paint on it with a QPainter, end the painter, then take bytes(): a complete EMF whose header
// holds the bounds, the frame in 0.01 mm, the reference device in pixels and millimetres for the
// resolution, the record and handle counts, the " EMF" signature at offset 40 and version 0x10000.
// Text goes out as EXTTEXTOUTW with its font and every character's advance, so it lays out the
// same when played back; shapes as polygons, polylines, rectangles and ellipses with their pens
// and brushes; pictures as 32-bit STRETCHDIBITS; clipping as clip regions inside SAVEDC/RESTOREDC.
class EmfWriter : public QPaintDevice
{
public:
    explicit EmfWriter(QSize pixels, int dotsPerInch = 96);
    ~EmfWriter() override;

    QPaintEngine *paintEngine() const override;
    QByteArray bytes() const;
    QSize size() const { return m_size; }
    int dotsPerInch() const { return m_dpi; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSize m_size;
    int m_dpi;
    std::unique_ptr<EmfPaintEngine> m_engine;
};

} // namespace velkora::metafile
