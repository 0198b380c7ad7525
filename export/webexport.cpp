// The e-book (EPUB 3) and the single web page (HTML with its pictures inside).
#include "bookwalk.h"
#include "exporters.h"
#include "xhtmlbody.h"
#include "zipwriter.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QHash>
#include <QIODevice>
#include <QTextDocument>
#include <QUuid>

namespace velkora::bookexport {

namespace {

// One body as XHTML, read as the editor reads it.
QString bodyOf(BookWalk &walk, const std::function<QString(const Picture &)> &picture)
{
    QTextDocument document;
    readBody(walk.subtopicBody(), &document);
    return bodyXhtml(document, picture);
}

QString anchorOf(int topic, int subtopic)
{
    return subtopic < 0 ? QStringLiteral("k%1").arg(topic + 1) : QStringLiteral("k%1-%2").arg(topic + 1).arg(subtopic + 1);
}

// The contents as nested lists: a topic and the list of its subtopics.
struct NavTopic
{
    QString title, href;
    QList<QPair<QString, QString>> subtopics; // title, href
};

QString navList(const QList<NavTopic> &topics)
{
    QString out = QStringLiteral("<ol>\n");
    for (const NavTopic &t : topics) {
        out += QStringLiteral("<li><a href=\"%1\">%2</a>").arg(xmlText(t.href), xmlText(t.title.isEmpty() ? QStringLiteral("-") : t.title));
        if (!t.subtopics.isEmpty()) {
            out += QStringLiteral("\n<ol>\n");
            for (const auto &[title, href] : t.subtopics)
                out += QStringLiteral("<li><a href=\"%1\">%2</a></li>\n").arg(xmlText(href), xmlText(title.isEmpty() ? QStringLiteral("-") : title));
            out += QStringLiteral("</ol>\n");
        }
        out += QStringLiteral("</li>\n");
    }
    return out + QStringLiteral("</ol>\n");
}

QString xhtmlPage(const QString &title, const QString &body, const QString &head = QString())
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\" "
                          "xml:lang=\"tr\" lang=\"tr\">\n<head>\n<meta charset=\"UTF-8\"/>\n<title>%1</title>\n"
                          "<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\"/>\n%3</head>\n<body>\n%2</body>\n</html>\n")
        .arg(xmlText(title), body, head);
}

constexpr qsizetype ChapterBytes = 256 * 1024;

class Epub
{
public:
    Epub(QIODevice &out, const Options &options) : m_zip(&out), m_options(options) {}

    bool run(BookWalk &walk, const Progress &progress)
    {
        if (!m_zip.add(QStringLiteral("mimetype"), "application/epub+zip", ZipWriter::Method::Stored)
            || !m_zip.add(QStringLiteral("META-INF/container.xml"),
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
                          "<rootfiles><rootfile full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/></rootfiles>\n"
                          "</container>\n")
            || !m_zip.add(QStringLiteral("OEBPS/style.css"), bodyStyleSheet().toUtf8()))
            return fail();
        const int total = walk.subtopicCount();
        int done = 0, topicIndex = -1;
        const auto picture = [this](const Picture &p) { return pictureFile(p); };
        const bool finished = walk.walk(
            [&](const TopicEntry &t) {
                if (!flushChapter())
                    return false;
                ++topicIndex;
                m_chapterTitle = t.title;
                const QString id = anchorOf(topicIndex, -1);
                m_nav.append({t.title, chapterName() + u'#' + id, {}});
                m_chapter += m_options.withTitles ? QStringLiteral("<h1 id=\"%1\">%2</h1>\n").arg(id, xmlText(t.title))
                                                  : QStringLiteral("<div id=\"%1\"></div>\n").arg(id);
                return true;
            },
            [&](const TopicEntry &, int index) {
                if (m_chapter.size() * 2 > ChapterBytes && !flushChapter())
                    return false;
                const QString id = anchorOf(topicIndex, index);
                const QString title = walk.subtopicTitle();
                m_nav.last().subtopics.append({title, chapterName() + u'#' + id});
                m_chapter += QStringLiteral("<div class=\"subtopic\" id=\"%1\">\n").arg(id);
                if (m_options.withTitles)
                    m_chapter += QStringLiteral("<h2>%1</h2>\n").arg(xmlText(title));
                m_chapter += bodyOf(walk, picture) + QStringLiteral("</div>\n");
                return m_ok && (!progress || progress(++done, total));
            });
        if (!finished)
            return false;
        if (!flushChapter())
            return fail();
        return finishPackage() || fail();
    }

    bool ok() const { return m_ok; }

private:
    bool fail() { return m_ok = false; }

    QString chapterName() const { return QStringLiteral("c%1.xhtml").arg(m_chapters.size() + 1); }

    bool flushChapter()
    {
        if (m_chapter.isEmpty())
            return m_ok;
        const QString name = chapterName();
        m_chapters.append(name);
        const bool written = m_zip.add(QStringLiteral("OEBPS/") + name, xhtmlPage(m_chapterTitle, m_chapter).toUtf8());
        m_chapter.clear();
        return written || fail();
    }

    QString pictureFile(const Picture &p)
    {
        const QByteArray hash = QCryptographicHash::hash(p.bytes, QCryptographicHash::Sha1);
        if (const auto seen = m_pictures.constFind(hash); seen != m_pictures.constEnd())
            return seen.value();
        const QString name = QStringLiteral("images/p%1.%2").arg(m_pictures.size() + 1).arg(p.extension);
        m_pictures.insert(hash, name);
        m_pictureTypes.append({name, p.mediaType});
        if (!m_zip.add(QStringLiteral("OEBPS/") + name, p.bytes, ZipWriter::Method::Stored))
            fail();
        return name;
    }

    bool finishPackage()
    {
        const QString title = m_options.bookTitle.isEmpty() ? QStringLiteral("Kitap") : m_options.bookTitle;
        const QString nav = QStringLiteral("<nav epub:type=\"toc\" id=\"toc\">\n<h1>%1</h1>\n%2</nav>\n")
                                .arg(xmlText(ContentsHeading), m_nav.isEmpty() ? QStringLiteral("<ol><li><span>-</span></li></ol>\n") : navList(m_nav));
        if (!m_zip.add(QStringLiteral("OEBPS/nav.xhtml"), xhtmlPage(title, nav).toUtf8()))
            return false;
        QString manifest = QStringLiteral("<item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n"
                                          "<item id=\"css\" href=\"style.css\" media-type=\"text/css\"/>\n");
        QString spine = QStringLiteral("<itemref idref=\"nav\"/>\n");
        for (qsizetype i = 0; i < m_chapters.size(); ++i) {
            manifest += QStringLiteral("<item id=\"c%1\" href=\"%2\" media-type=\"application/xhtml+xml\"/>\n").arg(i + 1).arg(m_chapters[i]);
            spine += QStringLiteral("<itemref idref=\"c%1\"/>\n").arg(i + 1);
        }
        for (qsizetype i = 0; i < m_pictureTypes.size(); ++i)
            manifest += QStringLiteral("<item id=\"p%1\" href=\"%2\" media-type=\"%3\"/>\n")
                            .arg(i + 1)
                            .arg(m_pictureTypes[i].first, QString::fromLatin1(m_pictureTypes[i].second));
        // The same book (its file and title) gives the same identifier, so a reader takes a new
        // export for a new edition of the same book.
        const QUuid id = QUuid::createUuidV5(QUuid(QStringLiteral("{6ba7b811-9dad-11d1-80b4-00c04fd430c8}")),
                                             QStringLiteral("velkora:%1:%2").arg(m_options.connectionString.section(u';', 1, 1), title));
        const QString modified = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
        const QString opf = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                           "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" unique-identifier=\"bookid\" xml:lang=\"tr\">\n"
                                           "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
                                           "<dc:identifier id=\"bookid\">urn:uuid:%1</dc:identifier>\n"
                                           "<dc:title>%2</dc:title>\n<dc:language>tr</dc:language>\n"
                                           "<meta property=\"dcterms:modified\">%3</meta>\n</metadata>\n"
                                           "<manifest>\n%4</manifest>\n<spine>\n%5</spine>\n</package>\n")
                                .arg(id.toString(QUuid::WithoutBraces), xmlText(title), modified, manifest, spine);
        return m_zip.add(QStringLiteral("OEBPS/content.opf"), opf.toUtf8()) && m_zip.finish();
    }

    ZipWriter m_zip;
    const Options &m_options;
    QString m_chapter, m_chapterTitle;
    QStringList m_chapters;
    QList<NavTopic> m_nav;
    QHash<QByteArray, QString> m_pictures;
    QList<QPair<QString, QByteArray>> m_pictureTypes;
    bool m_ok = true;
};

} // namespace

bool writeEpub(BookWalk &walk, const Options &options, QIODevice &out, const Progress &progress)
{
    Epub epub(out, options);
    const bool finished = epub.run(walk, progress);
    if (!epub.ok())
        throw ExportError(QStringLiteral("E-kitap yazılamadı: %1").arg(out.errorString()));
    return finished;
}

bool writeHtml(BookWalk &walk, const Options &options, QIODevice &out, const Progress &progress)
{
    const QString title = options.bookTitle.isEmpty() ? QStringLiteral("Kitap") : options.bookTitle;
    // The contents come first: the titles are read before the bodies.
    QList<NavTopic> nav;
    int topicIndex = -1;
    walk.walk(
        [&](const TopicEntry &t) {
            nav.append({t.title, u'#' + anchorOf(++topicIndex, -1), {}});
            return true;
        },
        [&](const TopicEntry &, int index) {
            nav.last().subtopics.append({walk.subtopicTitle(), u'#' + anchorOf(topicIndex, index)});
            return true;
        });
    const auto put = [&out](const QString &text) {
        const QByteArray bytes = text.toUtf8();
        if (out.write(bytes) != bytes.size())
            throw ExportError(QStringLiteral("Sayfa yazılamadı: %1").arg(out.errorString()));
    };
    put(QStringLiteral("<!DOCTYPE html>\n<html lang=\"tr\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>%1</title>\n"
                       "<style>\n%2</style>\n</head>\n<body>\n<h1 class=\"book\">%1</h1>\n<div id=\"icindekiler\">\n<h2>%3</h2>\n%4</div>\n")
            .arg(xmlText(title), bodyStyleSheet(), xmlText(ContentsHeading), navList(nav)));
    nav.clear();
    const auto picture = [](const Picture &p) {
        return QStringLiteral("data:%1;base64,%2").arg(QString::fromLatin1(p.mediaType), QString::fromLatin1(p.bytes.toBase64()));
    };
    const int total = walk.subtopicCount();
    int done = 0;
    topicIndex = -1;
    const bool finished = walk.walk(
        [&](const TopicEntry &t) {
            const QString id = anchorOf(++topicIndex, -1);
            put(options.withTitles ? QStringLiteral("<h1 id=\"%1\">%2</h1>\n").arg(id, xmlText(t.title))
                                   : QStringLiteral("<div id=\"%1\"></div>\n").arg(id));
            return true;
        },
        [&](const TopicEntry &, int index) {
            QString part = QStringLiteral("<div class=\"subtopic\" id=\"%1\">\n").arg(anchorOf(topicIndex, index));
            if (options.withTitles)
                part += QStringLiteral("<h2>%1</h2>\n").arg(xmlText(walk.subtopicTitle()));
            put(part + bodyOf(walk, picture) + QStringLiteral("</div>\n"));
            return !progress || progress(++done, total);
        });
    if (finished)
        put(QStringLiteral("</body>\n</html>\n"));
    return finished;
}

} // namespace velkora::bookexport
