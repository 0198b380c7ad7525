// Plays Windows enhanced metafiles (EMF) onto any QPainter.
#pragma once

#include <QByteArray>
#include <QGlyphRun>
#include <QMap>
#include <QPainter>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <functional>

namespace velkora::metafile {

// Reads the header on load and refuses what is not an EMF; plays the records into a target
// rectangle, the picture's frame stretched over it. Every record is bounds-checked: a record that
// lies about its size, names an object that is not there or holds absurd counts or bitmap sizes
// stops the drawing there (with a message), so no input crashes, hangs or allocates without bound.
// Records it does not know are skipped; EMF+ comments are skipped in favour of their GDI records.
class EmfPlayer
{
public:
    static constexpr qint64 MaxBytes = 256ll << 20;
    static constexpr quint32 MaxRecords = 4'000'000;
    static constexpr quint32 MaxHandles = 65535;
    static constexpr qint32 MaxDeviceMillimetres = 1'000'000; // a kilometre: anything larger is damage

    struct Header
    {
        QRect bounds;       // device units
        QRect frame;        // 0.01 mm
        quint32 version = 0;
        quint32 bytes = 0;
        quint32 records = 0;
        quint16 handles = 0;
        QSize devicePixels; // the reference device
        QSize deviceMillimetres;
        QSize deviceMicrometres;
    };

    static bool isEmf(const QByteArray &bytes);
    // Whether the bytes are an enhanced metafile whose records chain whole from the header to an
    // end record that closes the bytes: each record at least 8 bytes, a multiple of 4, inside them.
    static bool isWhole(const QByteArray &bytes);

    bool load(const QByteArray &bytes, QString *error = nullptr);
    const Header &header() const { return m_header; }
    // The picture's size in pixels at 96 per inch, from its frame (or its bounds).
    QSizeF naturalSize() const;

    // Told of each character outside the basic plane drawn as text, with the glyph that shows it.
    using SupplementaryDrawn = std::function<void(const QGlyphRun &, char32_t)>;

    // Draws into target; false (with the reason) when it stopped at a damaged record.
    bool play(QPainter *painter, const QRectF &target, QString *error = nullptr,
              const SupplementaryDrawn &supplementaryDrawn = {}) const;

    // How many records of each type, for diagnostics.
    QMap<quint32, int> recordCounts() const;
    static QString recordName(quint32 type);

private:
    QByteArray m_bytes;
    Header m_header;
};

} // namespace velkora::metafile
