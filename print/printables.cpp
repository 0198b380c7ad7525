// Titles and bodies drawn on the output device of a report run.
#include "printables.h"

#include "tqrprinter.h"

#include "platform/richedit/listmarkers.h"
#include "platform/richedit/richeditcontrol.h"
#include "platform/richedit/rtfreader.h"
#include "store/dataset.h"
#include "store/field.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <cmath>
#include <stdexcept>

namespace velkora::print {

namespace {

// The screen-compatible reference the titles are measured on (96 pixels per inch).
const QPaintDevice *referenceDevice()
{
    static const QImage reference(1, 1, QImage::Format_RGB32);
    return &reference;
}

// Screen pixels per tenth of a millimetre on the reference device.
double referenceFactor()
{
    return referenceDevice()->logicalDpiX() / 254.0;
}

// A frame side's width in tenths of a millimetre.
double frameLength(int points)
{
    return points / 72.0 * 254.0;
}

} // namespace

void TQRPrintable::drawFrame(QPainter *painter, const QRect &box) const
{
    if (!Frame.any() || !painter)
        return;
    painter->save();
    QPen pen(Frame.Color);
    pen.setWidthF(std::max(1.0, Device ? Device->XSize(frameLength(Frame.Width)) : 1.0));
    painter->setPen(pen);
    if (Frame.Top)
        painter->drawLine(box.topLeft(), box.topRight());
    if (Frame.Bottom)
        painter->drawLine(box.bottomLeft(), box.bottomRight());
    if (Frame.Left)
        painter->drawLine(box.topLeft(), box.bottomLeft());
    if (Frame.Right)
        painter->drawLine(box.topRight(), box.bottomRight());
    painter->restore();
}

// --- Titles ---------------------------------------------------------------------------------

void TQRDBText::setCaption(const QString &caption)
{
    m_caption = caption;
    m_text = caption;
    LayoutLines();
}

void TQRDBText::PrepareForRun()
{
    if (m_caption.isEmpty())
        m_caption = DataField.isEmpty() ? Name : DataField;
    setCaption(m_caption);
    m_field = DataSet ? DataSet->findField(DataField) : nullptr;
    m_fieldIndex = -1;
    m_memo = false;
    if (m_field) {
        const auto &fields = DataSet->fields();
        for (size_t i = 0; i < fields.size(); ++i)
            if (fields[i].get() == m_field)
                m_fieldIndex = int(i);
        m_memo = m_field->isBlob();
        if (m_memo)
            m_text.clear();
    }
    m_nextLine = 0;
    PrintFinished = true;
}

void TQRDBText::LayoutLines()
{
    QString text = m_text;
    text.remove(u'\n');
    m_lines = text.split(u'\r');
    if (!AutoSize)
        return;
    const QFontMetricsF metrics(Font, const_cast<QPaintDevice *>(referenceDevice()));
    const double zoom = Zoom / 100.0;
    double widest = 0;
    for (const QString &line : std::as_const(m_lines))
        widest = std::max(widest, std::floor((metrics.horizontalAdvance(line) + 1) * zoom));
    const double factor = referenceFactor() * zoom;
    double framePixels = 0;
    if (Frame.Left)
        framePixels += std::round(frameLength(Frame.Width) * factor);
    if (Frame.Right)
        framePixels += std::round(frameLength(Frame.Width) * factor);
    const long newWidth = std::lround(widest + framePixels);
    const long oldWidth = std::lround(Width * factor);
    // Only what changed is written back, so a box that fits keeps its exact lengths.
    if (newWidth != oldWidth) {
        if (Alignment & Qt::AlignRight)
            Left += (oldWidth - newWidth) / factor;
        else if (Alignment & Qt::AlignHCenter)
            Left += double((oldWidth - newWidth) / 2) / factor;
        Width = newWidth / factor;
    }
    const long lineHeight = std::lround(std::floor(metrics.height() * zoom) + 1);
    if (std::lround(Height * factor) < lineHeight)
        Height = lineHeight / factor;
}

void TQRDBText::PrintAt(double x, double y)
{
    if (!Enabled)
        return;
    if (DataSet && m_fieldIndex >= 0 && size_t(m_fieldIndex) < DataSet->fields().size())
        m_field = DataSet->fields()[size_t(m_fieldIndex)].get();
    else if (DataSet)
        m_field = nullptr;
    m_text.clear();
    if (m_field) {
        try {
            m_text = m_memo ? m_field->asString() : m_field->displayText();
        } catch (const std::exception &) {
            m_text.clear(); // a value that cannot be read prints as nothing; the run goes on
        }
    }
    LayoutLines();

    QPainter *painter = Device ? Device->Canvas() : nullptr;
    if (!painter)
        return;
    painter->save();
    painter->setFont(Font);
    const QFontMetricsF metrics(Font, painter->device());
    const double lineHeight = metrics.height() / Device->YFactor;
    const double left = Left + x, top = Top + y;
    const QRect box(Device->XPos(left), Device->YPos(top), Device->XSize(Width), Device->YSize(Height));
    if (!Transparent)
        painter->fillRect(box, Color);
    double ly = top + (Frame.Top ? frameLength(Frame.Width) : 0);
    const double lx = left + (Frame.Left ? frameLength(Frame.Width) : 0);
    if (PrintFinished)
        m_nextLine = 0;
    painter->setPen(FontColor);
    while (m_nextLine < m_lines.size() && ly + lineHeight <= top + Height + 1) {
        const QString &line = m_lines[m_nextLine];
        const double advance = metrics.horizontalAdvance(line);
        double px = Device->XPos(lx);
        if (Alignment & Qt::AlignRight)
            px = Device->XPos(left + Width) - advance;
        else if (Alignment & Qt::AlignHCenter)
            px = Device->XPos(left + Width / 2) - advance / 2;
        painter->drawText(QPointF(px, Device->YPos(ly) + metrics.ascent()), line);
        ly += lineHeight;
        ++m_nextLine;
    }
    PrintFinished = !(AutoStretch && m_nextLine < m_lines.size());
    drawFrame(painter, box);
    painter->restore();
}

void TQRDBText::FinishRun()
{
    m_field = nullptr;
    m_fieldIndex = -1;
    setCaption(DataField.isEmpty() ? Name : DataField);
}

// --- Bodies ---------------------------------------------------------------------------------

namespace {

// The hidden control a body is read into: the printable's default font is Arial 9.
std::unique_ptr<richedit::RichEditControl> newControl()
{
    auto control = std::make_unique<richedit::RichEditControl>();
    control->hide();
    const QFont font = richedit::RichEditControl::bodyFont(QFont(QStringLiteral("Arial"), 9));
    control->setFont(font);
    control->document()->setDefaultFont(font);
    return control;
}

} // namespace

TQRDBRichText::TQRDBRichText() : m_reference(1, 1, QImage::Format_RGB32), m_control(newControl())
{
}

TQRDBRichText::~TQRDBRichText() = default;

void TQRDBRichText::PrepareForRun()
{
    m_field = DataSet ? DataSet->findField(DataField) : nullptr;
    m_layout = nullptr;
    m_nextChar = 0;
    m_nextLineTop = 0;
    PrintFinished = true;
}

void TQRDBRichText::FinishRun()
{
    m_field = nullptr;
    m_layout = nullptr;
    m_nextChar = 0;
    m_nextLineTop = 0;
}

void TQRDBRichText::load()
{
    if (!m_field || !m_field->isBlob())
        return;
    const QString value = m_field->asString();
    if (richedit::RtfReader::looksLikeRtf(value.toUtf8())) {
        if (!m_control->streamInRtf(value.toLatin1()))
            m_control->streamInText(value); // an RTF the reader refuses prints as its text
    } else {
        m_control->streamInText(value);
    }
}

void TQRDBRichText::PrintAt(double x, double y)
{
    if (!Enabled)
        return;
    QPainter *painter = Device ? Device->Canvas() : nullptr;
    if (!painter)
        return;
    // A box reaching past the paper (a portrait layout printed landscape) ends at the paper's edge:
    // what does not fit goes on to the next page instead of off the sheet.
    const double bottom = std::min(Top + Height + y, Device->PaperLengthValue());
    const QRect target(QPoint(Device->XPos(Left + x), Device->YPos(Top + y)),
                       QPoint(Device->XPos(Left + Width + x) - 1, Device->YPos(bottom) - 1));
    if (PrintFinished || !m_layout) {
        // A fresh print: the body read into the control and laid out once, at the box's width with
        // the device's fonts; each page then takes the next lines that fit.
        // Measured at the device's resolution on a device of the printable's own: the page a run
        // draws on is gone when the next page begins, and the layout outlives it. The hidden control
        // is the printable's own: its document is laid out for the device in place.
        const QPaintDevice *device = painter->device();
        const int dpmX = int(std::lround(device->logicalDpiX() / 0.0254));
        const int dpmY = int(std::lround(device->logicalDpiY() / 0.0254));
        if (m_reference.dotsPerMeterX() != dpmX || m_reference.dotsPerMeterY() != dpmY) {
            m_reference.setDotsPerMeterX(dpmX);
            m_reference.setDotsPerMeterY(dpmY);
        }
        // A fresh control each print: the body is read with nothing laid out yet, then laid out once.
        m_control = newControl();
        try {
            load();
        } catch (const std::exception &) {
            throw std::runtime_error("Failed to Load Stream");
        }
        m_layout = m_control->document();
        m_layout->documentLayout()->setPaintDevice(&m_reference);
        m_layout->setDocumentMargin(0);
        // The hidden control lays its document out again at its own width whenever it sees fit (a
        // change of paragraphs, of scroll bars): told the box's width, it keeps that width.
        m_control->setLineWrapMode(QTextEdit::FixedPixelWidth);
        m_control->setLineWrapColumnOrWidth(target.width());
        m_layout->setTextWidth(target.width());
        m_nextLineTop = 0;
        m_nextChar = 0;
    }

    // Lines from where the last page stopped, down to the first that does not fit in the box. A
    // line's letters may reach below the top of the next line (exact line spacing smaller than the
    // font): how far the lines of earlier pages reach, and how far the lines of this one, is kept,
    // so that no line is recorded on two pages and none loses its descenders at the page's foot.
    const double pageTop = m_nextLineTop;
    double pageBottom = -1;
    double earlierReach = pageTop, reach = pageTop;
    int stoppedAt = -1;
    bool anyLine = false;
    QTextBlock continued; // a paragraph begun on an earlier page
    QAbstractTextDocumentLayout *layout = m_layout->documentLayout();
    QTextBlock first = m_layout->findBlock(m_nextChar);
    if (first.previous().isValid())
        first = first.previous();
    if (!first.isValid())
        first = m_layout->begin();
    for (QTextBlock b = first; b.isValid() && stoppedAt < 0; b = b.next()) {
        const QRectF box = layout->blockBoundingRect(b);
        const QTextLayout *lines = b.layout();
        if (!lines || lines->lineCount() == 0)
            continue;
        if (box.bottom() <= pageTop) {
            const QTextLine last = lines->lineAt(lines->lineCount() - 1);
            earlierReach = std::max(earlierReach, richedit::linesOrigin(layout, b).y() + last.y() + last.height());
            continue;
        }
        const double origin = richedit::linesOrigin(layout, b).y();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const double lineTop = origin + line.y();
            const double lineBottom = lineTop + line.height();
            if (lineTop + 0.01 < pageTop) {
                earlierReach = std::max(earlierReach, lineBottom);
                continue;
            }
            if (!anyLine && i > 0)
                continued = b;
            if (lineBottom - pageTop > target.height() + 0.01) {
                if (!anyLine) {
                    // A line taller than the box (a large picture): shown cut to the box, then passed.
                    pageBottom = pageTop + target.height();
                    reach = pageBottom;
                    stoppedAt = i + 1 < lines->lineCount() ? b.position() + lines->lineAt(i + 1).textStart() : b.position() + b.length();
                    m_nextLineTop = lineBottom;
                } else {
                    pageBottom = lineTop;
                    stoppedAt = b.position() + line.textStart();
                    m_nextLineTop = lineTop;
                }
                break;
            }
            if (!anyLine)
                earlierReach = std::min(earlierReach, lineBottom - 0.5); // never hides this page's first line
            reach = std::max(reach, lineBottom);
            anyLine = true;
        }
    }
    const bool more = stoppedAt >= 0 && stoppedAt < m_control->textLength();
    if (!more)
        pageBottom = reach = std::max({pageTop, reach, layout->documentSize().height()});

    painter->save();
    painter->translate(target.left(), target.top() - pageTop);
    const QRectF clip(0, pageTop, target.width(), std::min(reach, pageTop + target.height()) - pageTop);
    painter->setClipRect(clip, Qt::IntersectClip);
    // Only the lines that belong to this page are drawn: those of the pages before and after are not
    // even recorded in the page picture, where a reader's search would find them. Asked for an area,
    // the layout also draws the last line of a paragraph above it, so the lines of a paragraph begun
    // on an earlier page are drawn one by one, and the layout is asked for what follows it.
    double from = std::max(pageTop, earlierReach) + 0.5;
    if (continued.isValid() && QTextCursor(continued).currentFrame() == m_layout->rootFrame()) {
        const QTextLayout *lines = continued.layout();
        const QRectF box = layout->blockBoundingRect(continued);
        const QPointF origin = richedit::linesOrigin(layout, continued);
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const double lineTop = origin.y() + line.y();
            if (lineTop + 0.01 >= pageTop && (lineTop + 0.01 < pageBottom || !more))
                line.draw(painter, origin);
        }
        const QTextLine last = lines->lineAt(lines->lineCount() - 1);
        from = std::max({from, box.bottom() + 0.5, origin.y() + last.y() + last.height() + 0.5});
    }
    if (from < pageBottom - 0.5)
        m_layout->drawContents(painter, QRectF(0, from, target.width(), pageBottom - 0.5 - from));
    richedit::drawBullets(painter, layout, first, QRectF(0, pageTop, target.width(), pageBottom - pageTop));
    painter->restore();
    drawFrame(painter, target);

    if (more) {
        m_nextChar = stoppedAt;
        PrintFinished = false;
    } else {
        m_nextChar = 0;
        m_nextLineTop = 0;
        m_layout = nullptr;
        PrintFinished = true;
    }
}

} // namespace velkora::print
