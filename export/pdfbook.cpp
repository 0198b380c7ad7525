// The book as one PDF: every subtopic laid out by the report engine as printing lays it out, each
// page played straight into the file with its number, then the contents pages, moved to the front
// with the outline and the contents' links by an update at the end of the file.
#include "bookwalk.h"
#include "exporters.h"
#include "pdfupdate.h"

#include "platform/metafile/emfplayer.h"
#include "print/pdfexport.h"
#include "print/pdfsupplementarytext.h"
#include "print/reportforms.h"
#include "store/query.h"

#include <QFileDevice>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <cmath>

namespace velkora::bookexport {

namespace {

struct Cancelled
{
};

// Lengths on the PDF's pages, which are drawn at PdfExportDpi.
double mm(double v)
{
    return v * print::PdfExportDpi / 25.4;
}

double points(double pixels)
{
    return pixels * 72.0 / print::PdfExportDpi;
}

const QString NumberFont = QStringLiteral("Arial");

// The page's number, centred below the body's box in the bottom margin.
void drawNumber(QPainter &painter, const QRectF &page, int number)
{
    painter.setFont(QFont(NumberFont, 9));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, page.height() - mm(20), page.width(), mm(10)), Qt::AlignCenter, QString::number(number));
}

struct ContentsLine
{
    int level = 0; // 0 a topic, 1 a subtopic
    QString title;
    int page = 0;   // its number as printed, 1 first (set once the body pages are all made)
    int target = 0; // the body page it points at, 0-based
};

// The contents pages' layout: A4 with 20 mm margins, the book's title and the heading on the
// first page, one line an entry.
class ContentsLayout
{
public:
    explicit ContentsLayout(QPaintDevice *device)
        : title(QStringLiteral("Arial"), 18, QFont::Bold), heading(QStringLiteral("Arial"), 14, QFont::Bold),
          topic(QStringLiteral("Arial"), 11, QFont::Bold), subtopic(QStringLiteral("Arial"), 11)
    {
        const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
        page = QRectF(0, 0, mm(a4.width()), mm(a4.height()));
        body = page.adjusted(mm(20), mm(20), -mm(20), -mm(25));
        line = QFontMetricsF(subtopic, device).lineSpacing() * 1.35;
        headHeight = QFontMetricsF(title, device).lineSpacing() * 1.6 + QFontMetricsF(heading, device).lineSpacing() * 2;
        firstLines = std::max(1, int((body.height() - headHeight) / line));
        otherLines = std::max(1, int(body.height() / line));
    }

    int pagesFor(int lines) const
    {
        return lines <= firstLines ? 1 : 1 + (lines - firstLines + otherLines - 1) / otherLines;
    }

    QFont title, heading, topic, subtopic;
    QRectF page, body;
    double line = 0, headHeight = 0;
    int firstLines = 1, otherLines = 1;
};

void drawContents(print::PdfPages &pages, const ContentsLayout &layout, const QList<ContentsLine> &lines, const QString &bookTitle,
                  int firstNumber, int contentsIndex, QList<PageLink> *links) // links: target still the body page
{
    qsizetype at = 0;
    for (int n = 0; at < lines.size() || n == 0; ++n) {
        QPainter &p = pages.addPage(QPageSize(QPageSize::A4));
        p.setPen(Qt::black);
        double y = layout.body.top();
        if (n == 0) {
            p.setFont(layout.title);
            p.drawText(QRectF(layout.body.left(), y, layout.body.width(), layout.headHeight / 2), Qt::AlignHCenter | Qt::AlignTop,
                       QFontMetricsF(layout.title, &pages.writer()).elidedText(bookTitle, Qt::ElideRight, layout.body.width()));
            p.setFont(layout.heading);
            p.drawText(QRectF(layout.body.left(), y + layout.headHeight / 2, layout.body.width(), layout.headHeight / 2),
                       Qt::AlignLeft | Qt::AlignTop, ContentsHeading);
            y += layout.headHeight;
        }
        const int capacity = n == 0 ? layout.firstLines : layout.otherLines;
        for (int i = 0; i < capacity && at < lines.size(); ++i, ++at) {
            const ContentsLine &l = lines[at];
            const QFont &font = l.level == 0 ? layout.topic : layout.subtopic;
            const QFontMetricsF metrics(font, &pages.writer());
            p.setFont(font);
            const QString number = QString::number(l.page);
            const double numberWidth = metrics.horizontalAdvance(number);
            const double left = layout.body.left() + (l.level == 0 ? 0 : mm(8));
            const double room = layout.body.right() - numberWidth - mm(6) - left;
            const QString title = metrics.elidedText(l.title.isEmpty() ? QStringLiteral("-") : l.title, Qt::ElideRight, room);
            const QRectF box(left, y, layout.body.right() - left, layout.line);
            p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, title);
            p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, number);
            // A dotted leader between the title and its page number.
            const double from = left + metrics.horizontalAdvance(title) + mm(2), to = layout.body.right() - numberWidth - mm(2);
            if (to > from) {
                p.save();
                p.setPen(QPen(Qt::black, mm(0.25), Qt::DotLine));
                const double baseline = y + (layout.line + metrics.ascent() - metrics.descent()) / 2;
                p.drawLine(QPointF(from, baseline), QPointF(to, baseline));
                p.restore();
            }
            links->append({contentsIndex + n, QRectF(points(box.left()), points(box.top()), points(box.width()), points(box.height())), l.target});
            y += layout.line;
        }
        drawNumber(p, layout.page, firstNumber + n);
    }
}

} // namespace

bool writePdf(BookWalk &walk, const Options &options, QFileDevice &out, const Progress &progress)
{
    // The report layouts read the walk's queries, as the program's read the book's.
    print::TForm2 withTitles(&walk.topicQuery(), &walk.subtopicQuery());
    print::TForm3 textOnly(&walk.subtopicQuery());
    print::TQuickRep &report = options.withTitles ? *withTitles.QuickRep1 : *textOnly.QuickRep1;
    report.ReportTitle = options.bookTitle;
    auto pdfPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    pdfPrinter->setOutputFormat(QPrinter::PdfFormat);
    print::TQRPrinter device(nullptr, std::move(pdfPrinter));
    device.Destination = print::TQRDestination::qrdMetafile;

    print::PdfPages pages(&out, options.bookTitle);
    const ContentsLayout layout(&pages.writer());
    int entries = 0;
    for (const TopicEntry &t : walk.topics())
        entries += 1 + t.subtopics;
    const int contentsPages = layout.pagesFor(entries);

    const int total = walk.subtopicCount();
    int done = 0, bodyPages = 0;
    bool cancelled = false;
    device.PageSink = [&](const QByteArray &emf) {
        if (cancelled)
            return;
        metafile::EmfPlayer page;
        if (!page.load(emf))
            throw ExportError(QStringLiteral("Sayfa %1 çizilemedi.").arg(bodyPages + 1));
        const int number = contentsPages + bodyPages + 1;
        pages.addPicture(page, [number](QPainter &painter, const QRectF &target) { drawNumber(painter, target, number); });
        ++bodyPages;
        // A long body is cancelled between its pages.
        if (progress && !progress(done, total)) {
            cancelled = true;
            throw Cancelled();
        }
    };

    QList<ContentsLine> lines;
    QList<OutlineItem> outline;
    bool finished = false;
    try {
        finished = walk.walk(
            [&](const TopicEntry &t) {
                outline.append({t.title, bodyPages, {}});
                lines.append({0, t.title, 0, bodyPages});
                return true;
            },
            [&](const TopicEntry &, int) {
                const QString title = walk.subtopicTitle();
                outline.last().children.append({title, bodyPages, {}});
                lines.append({1, title, 0, bodyPages});
                device.Rewind();
                report.Run(device);
                return !progress || progress(++done, total);
            });
    } catch (const Cancelled &) {
        return false;
    } catch (const ExportError &) {
        throw;
    } catch (const std::exception &e) {
        throw ExportError(QStringLiteral("Kitap PDF olarak yazılamadı: %1").arg(QString::fromLocal8Bit(e.what())));
    }
    if (!finished)
        return false;
    // The book is read in one snapshot, so the contents have the length planned before the first
    // body page got its number.
    if (layout.pagesFor(int(lines.size())) != contentsPages)
        throw ExportError(QStringLiteral("Kitap PDF olarak yazılamadı: içindekiler planlanandan uzun."));
    // A topic without subtopics points at the page after it (the last page, at the end).
    const int written = bodyPages;
    const auto final = [&](int bodyIndex) { return contentsPages + std::min(bodyIndex, std::max(0, written - 1)); };
    for (ContentsLine &l : lines)
        l.page = final(l.target) + 1;

    QList<PageLink> links;
    const int contentsIndex = bodyPages;
    drawContents(pages, layout, lines, options.bookTitle, 1, contentsIndex, &links);
    pages.finish();

    PdfFinish finish;
    for (int i = 0; i < contentsPages; ++i)
        finish.order.append(bodyPages + i);
    for (int i = 0; i < bodyPages; ++i)
        finish.order.append(i);
    for (OutlineItem &topic : outline) {
        topic.page = final(topic.page);
        for (OutlineItem &s : topic.children)
            s.page = final(s.page);
    }
    finish.outline = outline;
    // The links were recorded on the contents pages where they were drawn, after the bodies.
    qsizetype lineIndex = 0;
    for (PageLink &l : links) {
        l.page -= contentsIndex;
        l.target = final(lines[lineIndex++].target);
    }
    finish.links = links;
    finish.supplementary = &pages.supplementary();
    out.flush();
    QString error;
    if (!finishPdf(out, finish, &error))
        throw ExportError(QStringLiteral("Kitap PDF olarak yazılamadı: %1").arg(error));
    return true;
}

} // namespace velkora::bookexport
