// Finishing a book's PDF after its pages are written: the page order, the outline (bookmarks) and
// links, added as an update at the end of the file; the bytes before it stay as the writer left them.
#pragma once

#include <QList>
#include <QRectF>
#include <QString>

class QFileDevice;

namespace velkora::print {
class SupplementaryText;
}

namespace velkora::bookexport {

struct OutlineItem
{
    QString title;
    int page = 0; // 0-based, in the final order
    QList<OutlineItem> children;
};

// A link on a page to another page: the area in points from the page's top left.
struct PageLink
{
    int page = 0;   // 0-based, in the final order
    QRectF area;
    int target = 0; // 0-based, in the final order
};

struct PdfFinish
{
    // The final order of the written pages: order[i] is the written page (0-based) that becomes
    // page i. Empty keeps the order.
    QList<int> order;
    QList<OutlineItem> outline;
    QList<PageLink> links;
    // Characters drawn from beyond the basic plane, whose text the fonts' maps are completed with.
    const print::SupplementaryText *supplementary = nullptr;
};

// Appends the update to a PDF that Qt's writer (and possibly an update of ours) wrote into file,
// which is open for reading and writing. False, with the file as it was, when its structure is
// not what this expects; error says why.
bool finishPdf(QFileDevice &file, const PdfFinish &finish, QString *error);

} // namespace velkora::bookexport
