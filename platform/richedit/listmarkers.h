// The bullets of bulleted paragraphs, drawn where the rich-edit control draws them.
#pragma once

#include <QPointF>
#include <QRectF>

class QAbstractTextDocumentLayout;
class QPainter;
class QTextBlock;
class QTextBlockFormat;

namespace velkora::richedit {

// Qt draws a list's bullet just left of the first line's text, at the top of the line, sized by
// the paragraph mark's font: beside the text of a centred paragraph, and small and high next to
// large letters. The rich-edit control draws it at the paragraph's start, on the first line's
// baseline, in the first letter's size. Paragraphs of bullet lists therefore tell Qt to draw no
// bullet (a paragraph property), and whoever draws the document draws the bullets afterwards.

// Marks or unmarks a paragraph format as one whose bullet the program draws; bullet: the paragraph
// is (or is going) into a bulleted list. Right-to-left paragraphs keep Qt's own bullet.
void setOwnBullet(QTextBlockFormat &format, bool bullet);
// Whether the block is a paragraph of a bulleted list whose bullet the program draws.
bool hasOwnBullet(const QTextBlock &block);

// Where the lines of a paragraph are measured from, in the document's coordinates. Qt's releases
// disagree on whether a paragraph's bounding box starts there or at its first line (which a fixed
// line height places lower): the answer is read once off a paragraph made for the purpose.
QPointF linesOrigin(QAbstractTextDocumentLayout *layout, const QTextBlock &block);

// Draws the bullets of the paragraphs whose first line lies in area (document coordinates, which
// the painter maps to where the document is drawn), from the block first on.
void drawBullets(QPainter *painter, QAbstractTextDocumentLayout *layout, const QTextBlock &first, const QRectF &area);

} // namespace velkora::richedit
