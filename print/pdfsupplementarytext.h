// Characters outside Unicode's basic plane (emoji, mathematical letters, historic scripts) in the
// text of a PDF that Qt wrote.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

class QGlyphRun;

namespace velkora::print {

// Qt's PDF writer tells a reader which character each glyph shows only for characters of the basic
// plane: a glyph drawn for an emoji is shown, but search, copy and text extraction find nothing
// there. This keeps, while the pages are drawn, which glyph of which font showed each such
// character, and afterwards adds those characters to the PDF's glyph-to-text maps.
class SupplementaryText
{
public:
    // One character drawn as a glyph: to be called in drawing order, as the PDF writer sees them.
    void drawn(const QGlyphRun &run, char32_t character);

    // The PDF with its fonts' glyph-to-text maps completed, added as an update at its end (the bytes
    // before it are untouched); the PDF as it was when nothing was drawn that needs it, or when a
    // font's glyphs cannot be matched with certainty to the characters drawn.
    QByteArray complete(const QByteArray &pdf) const;

    // The same maps as objects to replace, for an update of one's own: each object's number and its
    // new text (what stands between "obj" and "endobj"). object(n) gives an object's text; the
    // candidates are the objects that may be fonts.
    QMap<int, QByteArray> completedMaps(const std::function<std::optional<QByteArray>(int)> &object, const QList<int> &candidates) const;

    bool isEmpty() const { return m_fonts.isEmpty(); }

private:
    struct Glyph
    {
        quint32 index;
        char32_t character;
    };
    // By the font's PostScript name (the PDF's base font): its glyphs in the order first drawn.
    QHash<QByteArray, QList<Glyph>> m_fonts;
};

} // namespace velkora::print
