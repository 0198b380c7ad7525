// Plays Windows metafiles (WMF), with or without the placeable header, onto any QPainter.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QPainter>
#include <QRect>
#include <QSizeF>
#include <QString>

namespace velkora::metafile {

// The picture's logical window (the placeable header's box, else the window the records set) is
// stretched over the target rectangle. Records are bounds-checked as in EmfPlayer.
class WmfPlayer
{
public:
    static constexpr qint64 MaxBytes = 256ll << 20;
    static constexpr quint32 MaxRecords = 4'000'000;
    // The longest side, in pixels at 96 per inch (10 cm), of a picture without a placeable header
    // whose window is larger: such a picture does not say how large it is.
    static constexpr double UnsizedSide = 378;

    static bool isWmf(const QByteArray &bytes);

    bool load(const QByteArray &bytes, QString *error = nullptr);
    bool placeable() const { return m_placeable; }
    QRect box() const { return m_box; }       // logical units
    int unitsPerInch() const { return m_inch; }
    int objectCount() const { return m_objects; }
    QSizeF naturalSize() const;               // pixels at 96 per inch (see UnsizedSide)

    bool play(QPainter *painter, const QRectF &target, QString *error = nullptr) const;
    QMap<quint16, int> recordCounts() const;
    static QString recordName(quint16 function);

private:
    QByteArray m_bytes;
    qsizetype m_first = 0; // the first record
    bool m_placeable = false;
    QRect m_box;
    int m_inch = 1440;
    int m_objects = 0;
};

} // namespace velkora::metafile
