// Draws the bullets of bulleted paragraphs at the paragraph's start and on the first line's baseline.
#include "listmarkers.h"

#include "richtextproperties.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>

#include <algorithm>

namespace velkora::richedit {

namespace {

bool bulletStyle(int style)
{
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle || style == QTextListFormat::ListSquare;
}

} // namespace

void setOwnBullet(QTextBlockFormat &format, bool bullet)
{
    if (bullet && format.layoutDirection() != Qt::RightToLeft)
        format.setProperty(QTextFormat::ListStyle, int(QTextListFormat::ListStyleUndefined));
    else
        format.clearProperty(QTextFormat::ListStyle);
}

bool hasOwnBullet(const QTextBlock &block)
{
    const QTextList *list = block.textList();
    return list && bulletStyle(list->format().style()) && block.blockFormat().hasProperty(QTextFormat::ListStyle);
}

QPointF linesOrigin(QAbstractTextDocumentLayout *layout, const QTextBlock &block)
{
    static const bool boxStartsAtFirstLine = [] {
        QTextDocument probe;
        QTextCursor c(&probe);
        QTextBlockFormat f;
        f.setLineHeight(200, QTextBlockFormat::FixedHeight);
        c.setBlockFormat(f);
        c.insertText(QStringLiteral("x"));
        probe.setTextWidth(100);
        const QTextBlock b = probe.begin();
        const QRectF box = probe.documentLayout()->blockBoundingRect(b);
        return b.layout()->boundingRect().top() > 1 && box.top() > b.layout()->position().y() + 1;
    }();
    const QRectF box = layout->blockBoundingRect(block);
    return boxStartsAtFirstLine ? box.topLeft() - block.layout()->boundingRect().topLeft() : box.topLeft();
}

void drawBullets(QPainter *painter, QAbstractTextDocumentLayout *layout, const QTextBlock &first, const QRectF &area)
{
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        const QTextLayout *lines = b.layout();
        if (!lines || lines->lineCount() == 0)
            continue;
        const QRectF box = layout->blockBoundingRect(b);
        if (box.top() > area.bottom())
            break;
        if (!hasOwnBullet(b))
            continue;
        const QPointF origin = linesOrigin(layout, b);
        const QTextLine line = lines->lineAt(0);
        const double top = origin.y() + line.y();
        if (top < area.top() - 0.01 || top >= area.bottom())
            continue; // the paragraph began on the page before
        const QTextBlockFormat format = b.blockFormat();
        // In the size and colour of the paragraph's first letter.
        QTextCursor at(b);
        if (b.length() > 1)
            at.movePosition(QTextCursor::NextCharacter);
        const QTextCharFormat letter = at.charFormat();
        QFont font = letter.font();
        if (layout->paintDevice())
            font = QFont(font, layout->paintDevice());
        const QFontMetricsF metrics(font, layout->paintDevice());
        const double size = std::max(1.0, metrics.lineSpacing() / 3);
        const double x = origin.x() + format.leftMargin() + firstLineIndent(format);
        const double baseline = top + line.ascent();
        const QRectF dot(x + 0.5, baseline - metrics.xHeight() / 2 - size / 2, size, size); // its edge inside the start
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QBrush ink = letter.foreground().style() != Qt::NoBrush ? letter.foreground() : QBrush(Qt::black);
        painter->setPen(QPen(ink, 0));
        switch (b.textList()->format().style()) {
        case QTextListFormat::ListSquare: painter->fillRect(dot, ink); break;
        case QTextListFormat::ListCircle: painter->drawEllipse(dot); break;
        default:
            painter->setBrush(ink);
            painter->drawEllipse(dot);
            break;
        }
        painter->restore();
    }
}

} // namespace velkora::richedit
