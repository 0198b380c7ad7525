// The 16 × 16 pictures of the print preview's toolbar, drawn by the program itself (no icon files).
#pragma once

#include <QIcon>

namespace velkora::print {

// The preview's glyphs by index: 0 zoom to fit, 1 100 %, 2 zoom to width, 3 first page, 4 previous
// page, 5 next page, 6 last page, 7 printer setup, 8 print, 9 load report, 10 save report. An index
// outside 0..10 gives an empty icon.
QIcon previewGlyph(int index);
constexpr int PreviewGlyphCount = 11;

} // namespace velkora::print
