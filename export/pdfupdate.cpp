// Reading just the objects the update replaces: the trailer, the cross-reference sections found
// through it, the catalog, the page tree and the pages that get links.
#include "pdfupdate.h"

#include "print/pdfsupplementarytext.h"

#include <QFileDevice>
#include <QHash>
#include <QMap>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <optional>

namespace velkora::bookexport {

namespace {

constexpr qint64 MaxObjectBytes = 64ll << 20;

struct Trailer
{
    qint64 size = -1;
    QByteArray root, info; // "N 0 R"
    qint64 prev = -1;
};

class PdfFile
{
public:
    explicit PdfFile(QFileDevice &file) : m_file(file) {}

    bool readTail(QString *error)
    {
        const qint64 size = m_file.size();
        m_file.seek(std::max<qint64>(0, size - 1024));
        const QByteArray tail = m_file.read(1024);
        const qsizetype at = tail.lastIndexOf("startxref");
        bool ok = false;
        if (at >= 0)
            m_xref = tail.mid(at + 9).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
        if (!ok || m_xref <= 0 || m_xref >= size) {
            *error = QStringLiteral("the PDF has no cross-reference table");
            return false;
        }
        m_end = size;
        return true;
    }

    // The latest trailer, and each section's entries by object number, newest first.
    bool readSections(QString *error)
    {
        qint64 at = m_xref;
        for (int guard = 0; at > 0 && guard < 1000; ++guard) {
            m_file.seek(at);
            if (m_file.readLine(64).trimmed() != "xref") {
                *error = QStringLiteral("the PDF's cross-reference table is not where it says");
                return false;
            }
            for (;;) {
                const QByteArray line = m_file.readLine(64).trimmed();
                if (line.startsWith("trailer"))
                    break;
                const QList<QByteArray> f = line.split(' ');
                bool ok1 = false, ok2 = false;
                const qint64 first = f.value(0).toLongLong(&ok1), count = f.value(1).toLongLong(&ok2);
                if (f.size() != 2 || !ok1 || !ok2 || count < 0 || count > 10'000'000) {
                    *error = QStringLiteral("the PDF's cross-reference table cannot be read");
                    return false;
                }
                const qint64 entries = m_file.pos();
                m_sections.append({first, count, entries});
                m_file.seek(entries + count * 20);
            }
            QByteArray dict;
            while (!dict.contains("startxref") && !m_file.atEnd() && dict.size() < 8192)
                dict += m_file.readLine(1024);
            Trailer t = parseTrailer(dict);
            if (m_trailer.size < 0)
                m_trailer = t;
            at = t.prev;
        }
        if (m_trailer.size <= 0 || m_trailer.root.isEmpty()) {
            *error = QStringLiteral("the PDF's trailer names no catalog");
            return false;
        }
        return true;
    }

    // The text between "N 0 obj" and "endobj"; with a limit, at most that much of its start.
    std::optional<QByteArray> object(qint64 n, qsizetype limit = 0)
    {
        // The newest section that lists the object says where it is.
        const auto section = std::find_if(m_sections.cbegin(), m_sections.cend(),
                                          [n](const Section &s) { return n >= s.first && n < s.first + s.count; });
        if (section == m_sections.cend())
            return std::nullopt;
        m_file.seek(section->entries + (n - section->first) * 20);
        const QByteArray entry = m_file.read(20);
        if (entry.size() < 18 || entry[17] != 'n')
            return std::nullopt;
        const qint64 offset = entry.left(10).toLongLong();
        if (offset <= 0 || offset >= m_end)
            return std::nullopt;
        m_file.seek(offset);
        if (limit > 0) {
            const QByteArray text = m_file.read(limit + 32);
            const qsizetype begin = text.indexOf("obj");
            if (begin < 0)
                return std::nullopt;
            return text.mid(begin + 3, limit);
        }
        QByteArray text;
        while (text.size() < MaxObjectBytes && !m_file.atEnd()) {
            text += m_file.read(65536);
            const qsizetype end = text.indexOf("endobj");
            if (end >= 0) {
                const qsizetype begin = text.indexOf("obj");
                if (begin < 0 || begin > end)
                    return std::nullopt;
                return text.mid(begin + 3, end - begin - 3);
            }
        }
        return std::nullopt;
    }

    // Every object number the cross-reference sections list.
    QList<int> numbers() const
    {
        QList<int> all;
        for (const Section &s : m_sections)
            for (qint64 n = s.first; n < s.first + s.count; ++n)
                all << int(n);
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        return all;
    }

    const Trailer &trailer() const { return m_trailer; }
    qint64 xref() const { return m_xref; }

private:
    static Trailer parseTrailer(const QByteArray &dict)
    {
        Trailer t;
        static const QRegularExpression keys(QStringLiteral("/(Size|Root|Info|Prev)\\s+(\\d+)(\\s+\\d+\\s+R)?"));
        for (auto it = keys.globalMatch(QString::fromLatin1(dict.left(dict.indexOf("startxref")))); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const QString key = m.captured(1);
            if (key == u"Size")
                t.size = m.captured(2).toLongLong();
            else if (key == u"Prev")
                t.prev = m.captured(2).toLongLong();
            else if (key == u"Root")
                t.root = (m.captured(2) + m.captured(3)).simplified().toLatin1();
            else if (key == u"Info")
                t.info = (m.captured(2) + m.captured(3)).simplified().toLatin1();
        }
        return t;
    }

    QFileDevice &m_file;
    qint64 m_xref = -1, m_end = 0;
    struct Section
    {
        qint64 first, count, entries; // object numbers first.. first + count - 1, their entries' place
    };
    QList<Section> m_sections; // newest first
    Trailer m_trailer;
};

qint64 referenceAfter(const QByteArray &object, QByteArrayView key)
{
    static const QRegularExpression ref(QStringLiteral("^\\s*(\\d+)\\s+0\\s+R"));
    const qsizetype at = object.indexOf(key);
    if (at < 0)
        return -1;
    const QRegularExpressionMatch m = ref.match(QString::fromLatin1(object.mid(at + key.size(), 40)));
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

// A text string for the outline: UTF-16 with its byte-order mark, in hexadecimal.
QByteArray pdfText(const QString &text)
{
    QByteArray hex = "<FEFF";
    for (const QChar c : text)
        hex += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    return hex + '>';
}

// The dictionary with extra entries before its closing ">>".
std::optional<QByteArray> withEntries(const QByteArray &object, const QByteArray &entries)
{
    const qsizetype close = object.lastIndexOf(">>");
    if (close < 0)
        return std::nullopt;
    QByteArray out = object;
    out.insert(close, entries + '\n');
    return out;
}

QByteArray number(double v)
{
    return QByteArray::number(v, 'f', 2);
}

} // namespace

bool finishPdf(QFileDevice &file, const PdfFinish &finish, QString *error)
{
    PdfFile pdf(file);
    if (!pdf.readTail(error) || !pdf.readSections(error))
        return false;
    const qint64 rootNumber = pdf.trailer().root.split(' ').value(0).toLongLong();
    const std::optional<QByteArray> catalog = pdf.object(rootNumber);
    if (!catalog || !catalog->contains("/Catalog")) {
        *error = QStringLiteral("the PDF's catalog cannot be read");
        return false;
    }
    const qint64 pagesNumber = referenceAfter(*catalog, "/Pages");
    const std::optional<QByteArray> pagesObject = pdf.object(pagesNumber);
    if (!pagesObject) {
        *error = QStringLiteral("the PDF's page tree cannot be read");
        return false;
    }
    const qsizetype kidsAt = pagesObject->indexOf("/Kids");
    const qsizetype open = pagesObject->indexOf('[', kidsAt);
    const qsizetype close = pagesObject->indexOf(']', open);
    if (kidsAt < 0 || open < 0 || close < 0) {
        *error = QStringLiteral("the PDF's page tree has no pages");
        return false;
    }
    QList<qint64> kids;
    static const QRegularExpression ref(QStringLiteral("(\\d+)\\s+0\\s+R"));
    for (auto it = ref.globalMatch(QString::fromLatin1(pagesObject->mid(open + 1, close - open - 1))); it.hasNext();)
        kids.append(it.next().captured(1).toLongLong());
    if (kids.isEmpty()) {
        *error = QStringLiteral("the PDF has no pages");
        return false;
    }
    QList<qint64> pages = kids; // in the final order
    if (!finish.order.isEmpty()) {
        if (finish.order.size() != kids.size()) {
            *error = QStringLiteral("the PDF has %1 pages, not %2").arg(kids.size()).arg(finish.order.size());
            return false;
        }
        for (int i = 0; i < finish.order.size(); ++i) {
            const int from = finish.order[i];
            if (from < 0 || from >= kids.size()) {
                *error = QStringLiteral("a page to move is not in the PDF");
                return false;
            }
            pages[i] = kids[from];
        }
    }
    const auto pageRef = [&pages](int page) -> QByteArray {
        return QByteArray::number(pages.value(std::clamp(page, 0, int(pages.size()) - 1))) + " 0 R";
    };

    // The update's objects, replaced and new, go out as they are made (a megabyte at a time): only
    // their places are kept, for the cross-reference section.
    qint64 next = pdf.trailer().size;
    QMap<qint64, qint64> offsets;
    QByteArray out = "\n";
    qint64 written = file.size();
    bool failed = false;
    const auto flush = [&] {
        if (failed || out.isEmpty())
            return;
        if (!file.seek(written) || file.write(out) != out.size()) {
            failed = true;
            *error = file.errorString();
        }
        written += out.size();
        out.clear();
    };
    const auto emitObject = [&](qint64 number, const QByteArray &body) {
        offsets.insert(number, written + out.size());
        out += QByteArray::number(number) + " 0 obj\n" + body + "\nendobj\n";
        if (out.size() > (1 << 20))
            flush();
    };

    // The pages that get links: their annotations as objects of their own.
    QMap<int, QList<PageLink>> linksByPage;
    for (const PageLink &l : finish.links)
        if (l.page >= 0 && l.page < pages.size())
            linksByPage[l.page].append(l);
    for (auto it = linksByPage.cbegin(); it != linksByPage.cend(); ++it) {
        const std::optional<QByteArray> page = pdf.object(pages[it.key()]);
        if (!page) {
            *error = QStringLiteral("a page of the contents cannot be read");
            return false;
        }
        static const QRegularExpression box(QStringLiteral("/MediaBox\\s*\\[\\s*([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s*\\]"));
        const QRegularExpressionMatch m = box.match(QString::fromLatin1(*page));
        if (!m.hasMatch()) {
            *error = QStringLiteral("a page of the contents has no size");
            return false;
        }
        const double top = m.captured(4).toDouble();
        QByteArray refs;
        for (const PageLink &l : it.value()) {
            const qint64 n = next++;
            emitObject(n, "<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [" + number(l.area.left()) + ' ' +
                                  number(top - l.area.bottom()) + ' ' + number(l.area.right()) + ' ' + number(top - l.area.top()) +
                                  "] /Dest [" + pageRef(l.target) + " /XYZ null null null] >>");
            refs += ' ' + QByteArray::number(n) + " 0 R";
        }
        // Qt gives every page an annotation array of its own, as an object: the links go into it.
        const qint64 annots = referenceAfter(*page, "/Annots");
        if (annots > 0) {
            const std::optional<QByteArray> array = pdf.object(annots);
            const qsizetype close = array ? array->lastIndexOf(']') : -1;
            if (close < 0) {
                *error = QStringLiteral("a page's annotations cannot be read");
                return false;
            }
            QByteArray list = *array;
            list.insert(close, refs + ' ');
            emitObject(annots, list);
        } else {
            const std::optional<QByteArray> withLinks = page->contains("/Annots") ? std::nullopt : withEntries(*page, "/Annots [" + refs + " ]");
            if (!withLinks) {
                *error = QStringLiteral("a page's annotations cannot be read");
                return false;
            }
            emitObject(pages[it.key()], *withLinks);
        }
    }

    // The outline: a root and an item per entry, linked as siblings and to their parents.
    QByteArray catalogEntries;
    if (!finish.outline.isEmpty()) {
        const qint64 root = next++;
        std::function<QPair<qint64, qint64>(const QList<OutlineItem> &, qint64, int *)> items =
            [&](const QList<OutlineItem> &list, qint64 parent, int *visible) -> QPair<qint64, qint64> {
            QList<qint64> numbers;
            for (qsizetype i = 0; i < list.size(); ++i)
                numbers.append(next++);
            for (qsizetype i = 0; i < list.size(); ++i) {
                const OutlineItem &item = list[i];
                QByteArray body = "<< /Title " + pdfText(item.title) + " /Parent " + QByteArray::number(parent) + " 0 R /Dest [" +
                                  pageRef(item.page) + " /XYZ null null null]";
                if (i > 0)
                    body += " /Prev " + QByteArray::number(numbers[i - 1]) + " 0 R";
                if (i + 1 < list.size())
                    body += " /Next " + QByteArray::number(numbers[i + 1]) + " 0 R";
                if (!item.children.isEmpty()) {
                    int inner = 0;
                    const auto [first, last] = items(item.children, numbers[i], &inner);
                    // Topics start closed: a long book's outline shows its topics first.
                    body += " /First " + QByteArray::number(first) + " 0 R /Last " + QByteArray::number(last) +
                            " 0 R /Count -" + QByteArray::number(item.children.size());
                }
                emitObject(numbers[i], body + " >>");
            }
            *visible += int(list.size());
            return {numbers.first(), numbers.last()};
        };
        int visible = 0;
        const auto [first, last] = items(finish.outline, root, &visible);
        emitObject(root, "<< /Type /Outlines /First " + QByteArray::number(first) + " 0 R /Last " + QByteArray::number(last) +
                                 " 0 R /Count " + QByteArray::number(visible) + " >>");
        catalogEntries = "/Outlines " + QByteArray::number(root) + " 0 R /PageMode /UseOutlines";
    }
    if (!catalogEntries.isEmpty()) {
        const std::optional<QByteArray> c = catalog->contains("/Outlines") ? std::nullopt : withEntries(*catalog, catalogEntries);
        if (!c) {
            *error = QStringLiteral("the PDF's catalog has an outline already");
            return false;
        }
        emitObject(rootNumber, *c);
    }
    // The fonts' glyph-to-text maps, completed with the characters beyond the basic plane.
    if (finish.supplementary && !finish.supplementary->isEmpty()) {
        QList<int> fonts;
        for (const int n : pdf.numbers())
            if (const auto start = pdf.object(n, 512); start && start->contains("/Type0"))
                fonts << n;
        const QMap<int, QByteArray> maps =
            finish.supplementary->completedMaps([&pdf](int n) { return pdf.object(n); }, fonts);
        for (auto it = maps.cbegin(); it != maps.cend(); ++it)
            emitObject(it.key(), it.value());
    }
    if (!finish.order.isEmpty()) {
        QByteArray list;
        for (qsizetype i = 0; i < pages.size(); ++i)
            list += (i % 16 == 0 ? "\n" : " ") + QByteArray::number(pages[i]) + " 0 R";
        QByteArray tree = *pagesObject;
        tree.replace(open + 1, close - open - 1, list + '\n');
        emitObject(pagesNumber, tree);
    }
    if (offsets.isEmpty())
        return true;

    // The cross-reference section of one-entry runs and contiguous runs, and a trailer pointing back
    // to the previous section.
    const qint64 xref = written + out.size();
    out += "xref\n";
    for (auto it = offsets.cbegin(); it != offsets.cend();) {
        auto run = it;
        qint64 count = 0;
        while (run != offsets.cend() && run.key() == it.key() + count) {
            ++run;
            ++count;
        }
        out += QByteArray::number(it.key()) + ' ' + QByteArray::number(count) + '\n';
        for (; it != run; ++it)
            out += QByteArray::number(it.value()).rightJustified(10, '0') + " 00000 n \n";
    }
    out += "trailer\n<< /Size " + QByteArray::number(next) + " /Root " + pdf.trailer().root;
    if (!pdf.trailer().info.isEmpty())
        out += " /Info " + pdf.trailer().info;
    out += " /Prev " + QByteArray::number(pdf.xref()) + " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    flush();
    return !failed;
}

} // namespace velkora::bookexport
