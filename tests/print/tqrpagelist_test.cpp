// The page store and the report file: the bytes it writes, pages fetched in any order, the move to
// a private temporary file, and damaged or hostile report files refused without harm.
#include "print/tqrpagelist.h"

#include "platform/metafile/emfplayer.h"
#include "platform/metafile/emfwriter.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using velkora::metafile::EmfPlayer;
using velkora::metafile::EmfWriter;
using velkora::print::ReportFileError;
using velkora::print::TQRPageList;

namespace {

// A page picture as the preview records it: A4 at 96 dpi with some lines of text.
QByteArray page(const QString &text, int lines = 3)
{
    EmfWriter writer(QSize(794, 1123), 96);
    QPainter painter(&writer);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    painter.setFont(font);
    for (int i = 0; i < lines; ++i)
        painter.drawText(QPointF(40, 40 + 16 * (i % 64)), QStringLiteral("%1, line %2: kitap sayfa yazı").arg(text).arg(i));
    painter.end();
    return writer.bytes();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

qint32 i32(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<qint32>(b.constData() + at);
}
void setI32(QByteArray &b, qsizetype at, qint32 v)
{
    qToLittleEndian(v, b.data() + at);
}

double daysNow()
{
    const QDateTime t = QDateTime::currentDateTime();
    return QDate(1899, 12, 30).daysTo(t.date()) + t.time().msecsSinceStartOfDay() / 86400000.0;
}

// A finished store of the given pages, saved into path; returns the file's bytes.
QByteArray saveStore(const QList<QByteArray> &pages, const QString &path)
{
    TQRPageList store;
    for (const QByteArray &p : pages)
        store.AddPage(p);
    store.Finish();
    store.SaveToFile(path);
    return readAll(path);
}

// The record starts of a report file, walked through the next-record offsets.
QList<qint32> recordStarts(const QByteArray &file, int headerSize)
{
    QList<qint32> starts;
    for (qint32 at = headerSize; at < file.size() && starts.size() < 10000; at = i32(file, at + 4))
        starts << at;
    return starts;
}

QString errorOf(const std::function<void()> &work)
{
    try {
        work();
    } catch (const ReportFileError &e) {
        return e.message();
    }
    return QString();
}

class ReportFile : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
};

TEST_F(ReportFile, OnePageStoreHasTheHeaderAndOneRecordThatEndsTheFile)
{
    const QByteArray emf = page(QStringLiteral("One"));
    const double before = daysNow();
    const QByteArray file = saveStore({emf}, path(QStringLiteral("one.qrp")));
    const double after = daysNow();

    ASSERT_EQ(file.size(), 128 + 12 + emf.size());
    EXPECT_EQ(qFromLittleEndian<qint16>(file.constData()), 3);
    EXPECT_EQ(qFromLittleEndian<qint16>(file.constData() + 2), 309);
    EXPECT_EQ(i32(file, 8), 1);
    const double created = qFromLittleEndian<double>(file.constData() + 16);
    EXPECT_GE(created, before - 1e-9);
    EXPECT_LE(created, after + 1e-9);
    EXPECT_EQ(file.at(25), 0);
    for (int at : {4, 5, 6, 7, 12, 13, 14, 15, 24})
        EXPECT_EQ(file.at(at), 0) << "reserved byte " << at;
    EXPECT_EQ(file.mid(26, 102), QByteArray(102, '\0'));

    EXPECT_EQ(i32(file, 128), 1);                    // page number
    EXPECT_EQ(i32(file, 132), file.size());          // next record: just past the file
    EXPECT_EQ(file.mid(136, emf.size()), emf);       // the picture as the writer wrote it
    EXPECT_EQ(i32(file, file.size() - 4), 128);      // back to the record's start
}

TEST_F(ReportFile, RecordsLinkForwardsAndBackwardsAndTheHeaderGetsTheFinalCount)
{
    QList<QByteArray> pages;
    for (int i = 1; i <= 4; ++i)
        pages << page(QStringLiteral("Page %1").arg(i), i * 5);

    TQRPageList unfinished;
    for (const QByteArray &p : pages)
        unfinished.AddPage(p);
    unfinished.SaveToFile(path(QStringLiteral("unfinished.qrp")));
    EXPECT_EQ(i32(readAll(path(QStringLiteral("unfinished.qrp"))), 8), 4) << "saved before Finish, the file still names every page";

    const QByteArray file = saveStore(pages, path(QStringLiteral("four.qrp")));
    EXPECT_EQ(i32(file, 8), 4);
    const QList<qint32> starts = recordStarts(file, 128);
    ASSERT_EQ(starts.size(), 4);
    qint32 expectedStart = 128;
    for (int i = 0; i < 4; ++i) {
        const qint32 at = starts[i];
        EXPECT_EQ(at, expectedStart);
        EXPECT_EQ(i32(file, at), i + 1);
        const qint32 next = i32(file, at + 4);
        EXPECT_EQ(next - at, 12 + pages[i].size());
        EXPECT_EQ(file.mid(at + 8, pages[i].size()), pages[i]);
        EXPECT_EQ(i32(file, next - 4), at);
        expectedStart = next;
    }
    EXPECT_EQ(expectedStart, file.size());
}

TEST_F(ReportFile, OldLayoutWithA124ByteHeaderLoadsWithItsFirstPageAt124)
{
    const QByteArray one = page(QStringLiteral("Old one")), two = page(QStringLiteral("Old two"), 9);
    QByteArray file(124, '\0');
    qToLittleEndian<qint16>(3, file.data());
    qToLittleEndian<qint16>(309, file.data() + 2);
    setI32(file, 8, 2);
    qToLittleEndian<double>(45000.25, file.data() + 12); // 15 March 2023, 6 a.m.
    for (const QByteArray &p : {one, two}) {
        const qint32 start = qint32(file.size());
        QByteArray record(8, '\0');
        setI32(record, 0, start == 124 ? 1 : 2);
        setI32(record, 4, start + 12 + qint32(p.size()));
        record += p;
        record += QByteArray(4, '\0');
        setI32(record, record.size() - 4, start);
        file += record;
    }
    ASSERT_EQ(file.mid(173, 4), QByteArray("EMF\0", 4));
    writeAll(path(QStringLiteral("old.qrp")), file);

    TQRPageList store;
    store.LoadFromFile(path(QStringLiteral("old.qrp")));
    EXPECT_EQ(store.headerSize(), 124);
    EXPECT_EQ(store.PageCount(), 2);
    EXPECT_DOUBLE_EQ(store.CreationTime(), 45000.25);
    EXPECT_EQ(store.GetPage(2), two);
    EXPECT_EQ(store.GetPage(1), one);

    // The same pages in today's layout are read with a 128-byte header.
    const QByteArray current = saveStore({one, two}, path(QStringLiteral("new.qrp")));
    TQRPageList again;
    again.LoadFromFile(path(QStringLiteral("new.qrp")));
    EXPECT_EQ(again.headerSize(), 128);
    EXPECT_EQ(again.GetPage(1), one);
}

TEST_F(ReportFile, SaveThenLoadGivesTheSamePagesAndLeavesTheFileAsItWas)
{
    QList<QByteArray> pages;
    for (int i = 1; i <= 6; ++i)
        pages << page(QStringLiteral("Saved %1").arg(i), 10 + i);
    const QString saved = path(QStringLiteral("saved.qrp"));
    const QByteArray bytes = saveStore(pages, saved);
    {
        TQRPageList store;
        store.LoadFromFile(saved);
        EXPECT_EQ(store.loadedFile(), QFileInfo(saved).absoluteFilePath());
        EXPECT_EQ(store.PageCount(), 6);
        EXPECT_EQ(store.size(), bytes.size());
        for (int i = 6; i >= 1; --i)
            EXPECT_EQ(store.GetPage(i), pages[i - 1]) << "page " << i;
        EXPECT_DOUBLE_EQ(store.CreationTime(), qFromLittleEndian<double>(bytes.constData() + 16));
        store.Finish(); // a loaded report keeps its header
        store.SaveToFile(path(QStringLiteral("copy.qrp")));
        EXPECT_EQ(readAll(path(QStringLiteral("copy.qrp"))), bytes);
    }
    EXPECT_EQ(readAll(saved), bytes) << "the loaded file is left in place and unchanged";
}

// Saved before the run was closed (the save pressed while the last page went in, or a run cut
// short): the file still names every page and loads back whole.
TEST_F(ReportFile, SavedBeforeTheRunIsClosedTheFileNamesEveryPage)
{
    TQRPageList store;
    QList<QByteArray> pages;
    for (int i = 1; i <= 4; ++i) {
        pages << page(QStringLiteral("Açık %1").arg(i), 10 + i);
        store.AddPage(pages.last());
    }
    const QString saved = path(QStringLiteral("open-run.qrp"));
    store.SaveToFile(saved);
    TQRPageList loaded;
    loaded.LoadFromFile(saved);
    ASSERT_EQ(loaded.PageCount(), 4);
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(loaded.GetPage(i), pages[i - 1]) << "page " << i;
    // The store goes on taking pages after the save.
    store.AddPage(page(QStringLiteral("Açık 5"), 15));
    EXPECT_EQ(store.PageCount(), 5);
    EXPECT_EQ(store.GetPage(4), pages[3]);
}

TEST_F(ReportFile, SavingOverTheLoadedFileIsRefusedAndTheFileKept)
{
    const QString saved = path(QStringLiteral("shown.qrp"));
    const QByteArray bytes = saveStore({page(QStringLiteral("A")), page(QStringLiteral("B"))}, saved);
    ASSERT_EQ(::link(QFile::encodeName(saved).constData(), QFile::encodeName(path(QStringLiteral("hard.qrp"))).constData()), 0);
    ASSERT_TRUE(QFile::link(saved, path(QStringLiteral("soft.qrp"))));

    TQRPageList store;
    store.LoadFromFile(saved);
    for (const QString &name : {QStringLiteral("shown.qrp"), QStringLiteral("hard.qrp"), QStringLiteral("soft.qrp")}) {
        const QString error = errorOf([&] { store.SaveToFile(path(name)); });
        EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path(name)))) << error.toStdString();
    }
    EXPECT_EQ(readAll(saved), bytes);
    EXPECT_EQ(store.GetPage(2), page(QStringLiteral("B")));
}

TEST_F(ReportFile, FilesThatCannotBeCreatedOrOpenedGiveTheSystemsReason)
{
    TQRPageList store;
    store.AddPage(page(QStringLiteral("X")));
    store.Finish();
    const QString missingFolder = path(QStringLiteral("no/such/folder.qrp"));
    EXPECT_EQ(errorOf([&] { store.SaveToFile(missingFolder); }),
              QStringLiteral("Cannot create file \"%1\". No such file or directory").arg(missingFolder));
    const QString missing = path(QStringLiteral("missing.qrp"));
    EXPECT_EQ(errorOf([&] { store.LoadFromFile(missing); }),
              QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(missing));
    EXPECT_EQ(errorOf([&] { store.LoadFromFile(dir.path()); }),
              QStringLiteral("Cannot open file \"%1\". Is a directory").arg(dir.path()));
    EXPECT_EQ(store.PageCount(), 1);
    EXPECT_EQ(store.GetPage(1), page(QStringLiteral("X")));
}

TEST_F(ReportFile, ClearStartsTheNextRunOverAndALoadedFileIsNeverWritten)
{
    const QString saved = path(QStringLiteral("run.qrp"));
    const QByteArray bytes = saveStore({page(QStringLiteral("Old 1")), page(QStringLiteral("Old 2"))}, saved);
    TQRPageList store;
    store.LoadFromFile(saved);
    EXPECT_FALSE(errorOf([&] { store.AddPage(page(QStringLiteral("More"))); }).isEmpty());
    store.Clear();
    EXPECT_EQ(store.PageCount(), 0);
    EXPECT_EQ(store.GetPage(1), std::nullopt);
    store.AddPage(page(QStringLiteral("New 1")));
    store.Finish();
    EXPECT_EQ(store.PageCount(), 1);
    EXPECT_EQ(store.GetPage(1), page(QStringLiteral("New 1")));
    EXPECT_TRUE(store.loadedFile().isEmpty());
    EXPECT_EQ(store.size(), 128 + 12 + page(QStringLiteral("New 1")).size());
    EXPECT_EQ(readAll(saved), bytes);

    EXPECT_FALSE(errorOf([&] { store.AddPage(QByteArray("not a picture at all")); }).isEmpty());
    EXPECT_EQ(store.PageCount(), 1);
    EXPECT_EQ(store.size(), 128 + 12 + page(QStringLiteral("New 1")).size());
}

// ---- pages fetched in any order, from memory, from the temporary file and from a loaded file

class PageFetch : public ::testing::TestWithParam<const char *>
{
};

TEST_P(PageFetch, AnyPageInAnyOrderAndNothingOutsideTheCount)
{
    const std::string where = GetParam();
    QTemporaryDir dir;
    // Big pages put seven of them past the memory limit.
    const int lines = where == "memory" ? 2 : 120;
    QList<QByteArray> pages;
    for (int i = 1; i <= 7; ++i)
        pages << page(QStringLiteral("Fetched %1").arg(i), lines);
    TQRPageList built;
    for (const QByteArray &p : pages)
        built.AddPage(p);
    built.Finish();
    TQRPageList loaded;
    TQRPageList *store = &built;
    if (where == "loaded") {
        built.SaveToFile(dir.filePath(QStringLiteral("f.qrp")));
        loaded.LoadFromFile(dir.filePath(QStringLiteral("f.qrp")));
        store = &loaded;
    }
    ASSERT_EQ(store->inMemory(), where == "memory");

    // Middle pages from the end, then back and forth from wherever the last fetch stopped.
    for (int n : {4, 1, 7, 5, 2, 6, 3, 3, 7, 6, 1, 2, 5, 4}) {
        const std::optional<QByteArray> got = store->GetPage(n);
        ASSERT_TRUE(got.has_value()) << "page " << n;
        EXPECT_EQ(*got, pages[n - 1]) << "page " << n;
    }
    for (int n : {0, -1, 8, 1000})
        EXPECT_EQ(store->GetPage(n), std::nullopt) << "page " << n;
    EXPECT_EQ(store->GetPage(5), pages[4]);
}

INSTANTIATE_TEST_SUITE_P(Stores, PageFetch, ::testing::Values("memory", "file", "loaded"));

// ---- the temporary file

// The temporary folder and the runtime folder of this test alone, so that what the store leaves
// there can be seen.
class TemporaryFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_oldTmp = qgetenv("TMPDIR");
        m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TMPDIR", temp.path().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    void TearDown() override
    {
        qputenv("TMPDIR", m_oldTmp);
        qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
    }
    static QStringList entries(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // The open files of this process that lie (or lay) under folder.
    static QStringList openFilesUnder(const QString &folder)
    {
        QStringList found;
        for (const QString &fd : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System | QDir::AllEntries)) {
            const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + fd);
            if (target.startsWith(folder + QLatin1Char('/')))
                found << QStringLiteral("/proc/self/fd/") + fd;
        }
        return found;
    }

    QTemporaryDir temp, runtime;
    QByteArray m_oldTmp, m_oldRuntime;
};

TEST_F(TemporaryFile, StorePastTheLimitMovesIntoANamelessPrivateFileThatGoesWithTheStore)
{
    QList<QByteArray> pages;
    {
        TQRPageList store;
        while (store.size() <= TQRPageList::MemoryLimit) {
            ASSERT_TRUE(store.inMemory()) << "at " << store.size() << " bytes";
            pages << page(QStringLiteral("Temp %1").arg(pages.size() + 1), 40);
            store.AddPage(pages.back());
        }
        EXPECT_FALSE(store.inMemory()) << "at " << store.size() << " bytes";
        EXPECT_EQ(entries(temp.path()), QStringList()) << "no name of ours in the temporary folder";
        EXPECT_EQ(entries(runtime.path()), QStringList());
        const QStringList open = openFilesUnder(temp.path());
        ASSERT_EQ(open.size(), 1) << "the store's file lies under the temporary folder";
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(open[0]).constData(), &st), 0);
        EXPECT_EQ(st.st_nlink, 0u) << "unlinked";
        EXPECT_EQ(st.st_mode & 077, 0u) << "readable by the user alone";
        EXPECT_EQ(st.st_size, store.size());

        store.AddPage(pages.back());
        pages << pages.back();
        store.Finish();
        for (int n = int(pages.size()); n >= 1; n -= 2)
            EXPECT_EQ(store.GetPage(n), pages[n - 1]);
    }
    EXPECT_EQ(openFilesUnder(temp.path()), QStringList()) << "released with the store";
    EXPECT_EQ(entries(temp.path()), QStringList());
}

TEST_F(TemporaryFile, WithoutAUsableTemporaryFolderTheRuntimeFolderIsUsedAndLeftEmpty)
{
    // A temporary "folder" that is a file: no folder can be made in it, not even by root.
    writeAll(temp.filePath(QStringLiteral("plain")), "not a folder");
    qputenv("TMPDIR", QFile::encodeName(temp.filePath(QStringLiteral("plain"))));
    {
        TQRPageList store;
        const QByteArray big = page(QStringLiteral("Big"), 400);
        while (store.inMemory())
            store.AddPage(big);
        EXPECT_EQ(openFilesUnder(runtime.path()).size(), 1);
        EXPECT_EQ(entries(runtime.path()), QStringList());
        EXPECT_EQ(store.GetPage(1), big);
    }
    EXPECT_EQ(openFilesUnder(runtime.path()), QStringList());
    EXPECT_EQ(entries(runtime.path()), QStringList());
    EXPECT_EQ(entries(temp.path()), QStringList{QStringLiteral("plain")});
}

// ---- hostile and damaged report files

struct Damage
{
    const char *name;
    std::function<void(QByteArray &file, const QList<qint32> &starts)> apply;
    const char *message; // what the refusal says, in part
};

void PrintTo(const Damage &damage, std::ostream *out)
{
    *out << damage.name;
}

class HostileFile : public ::testing::TestWithParam<Damage>
{
};

TEST_P(HostileFile, IsRefusedAtOnceWithAMessageAndTheStoreKeepsItsPages)
{
    QTemporaryDir dir;
    const QList<QByteArray> pages = {page(QStringLiteral("H1")), page(QStringLiteral("H2"), 6), page(QStringLiteral("H3"), 9)};
    QByteArray file = saveStore(pages, dir.filePath(QStringLiteral("good.qrp")));
    GetParam().apply(file, recordStarts(file, 128));
    const QString bad = dir.filePath(QStringLiteral("bad.qrp"));
    writeAll(bad, file);

    TQRPageList store;
    store.LoadFromFile(dir.filePath(QStringLiteral("good.qrp")));
    QElapsedTimer timer;
    timer.start();
    const QString error = errorOf([&] { store.LoadFromFile(bad); });
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().message))) << error.toStdString();
    EXPECT_EQ(store.PageCount(), 3);
    EXPECT_EQ(store.loadedFile(), dir.filePath(QStringLiteral("good.qrp")));
    EXPECT_EQ(store.GetPage(2), pages[1]);
    EXPECT_EQ(store.GetPage(3), pages[2]);
    EXPECT_EQ(store.GetPage(1), pages[0]);
}

const Damage damages[] = {
    {"HeaderClaims2To31Pages", [](QByteArray &f, auto) { setI32(f, 8, qint32(0x80000000u)); }, "gives -2147483648 pages"},
    {"HeaderClaimsMorePagesThanFit", [](QByteArray &f, auto) { setI32(f, 8, 0x7fffffff); }, "more than"},
    {"HeaderClaimsOneMorePage", [](QByteArray &f, auto) { setI32(f, 8, 4); }, "the file ends after page 3 of 4"},
    {"HeaderClaimsNoPage", [](QByteArray &f, auto) { setI32(f, 8, 0); }, "gives 0 pages"},
    {"NextOffsetPastTheEnd", [](QByteArray &f, const QList<qint32> &s) { setI32(f, s[1] + 4, 0x7ffffff0); }, "runs past the end"},
    {"NextOffsetNegative", [](QByteArray &f, const QList<qint32> &s) { setI32(f, s[0] + 4, -500); }, "points back"},
    {"OffsetLoopBackToTheFirstRecord", [](QByteArray &f, const QList<qint32> &s) { setI32(f, s[1] + 4, s[0]); }, "points back"},
    {"NextOffsetPointsIntoItself", [](QByteArray &f, const QList<qint32> &s) { setI32(f, s[0] + 4, s[0]); }, "points back"},
    {"TrailingOffsetDisagrees", [](QByteArray &f, const QList<qint32> &s) { setI32(f, s[2] - 4, s[0]); }, "does not end with its own offset"},
    {"NextOffsetOneShort", [](QByteArray &f, const QList<qint32> &s) { setI32(f, s[0] + 4, s[1] - 1); }, "page"},
    {"PageNumbersOutOfSequence", [](QByteArray &f, const QList<qint32> &s) { setI32(f, s[1], 3); }, "page 3 stands where page 2 should"},
    {"LastRecordTruncated", [](QByteArray &f, auto) { f.chop(10); }, "runs past the end"},
    {"LastRecordCutToItsHead", [](QByteArray &f, const QList<qint32> &s) { f.truncate(s[2] + 20); }, "cut short"},
    {"BytesAfterTheLastPage", [](QByteArray &f, auto) { f += QByteArray(300, 'x'); }, "300 bytes follow the last page"},
    {"PageIsNotAnEmf", [](QByteArray &f, const QList<qint32> &s) { f[s[1] + 8 + 40] = 'X'; }, "page 2 is not an enhanced metafile"},
    {"PictureLongerThanItsRecord", [](QByteArray &f, const QList<qint32> &s) { setI32(f, s[0] + 8 + 48, 1 << 30); }, "page 1 is not an enhanced metafile"},
    {"PictureHeaderLongerThanThePicture", [](QByteArray &f, const QList<qint32> &s) { setI32(f, s[0] + 8 + 4, qint32(0xfffffff0u)); }, "the picture of page 1 is damaged"},
    {"PictureRecordSizeBroken", [](QByteArray &f, const QList<qint32> &s) {
         const qint32 header = qFromLittleEndian<qint32>(f.constData() + s[1] + 8 + 4);
         setI32(f, s[1] + 8 + header + 4, 6); // the record after the header
     }, "the picture of page 2 is damaged"},
    {"PictureWithoutItsEndRecord", [](QByteArray &f, const QList<qint32> &s) {
         const qint32 bytes = qFromLittleEndian<qint32>(f.constData() + s[2] + 8 + 48);
         setI32(f, s[2] + 8 + bytes - 20, 0x46); // the end record's type, made a comment's
     }, "the picture of page 3 is damaged"},
    {"CompressedPages", [](QByteArray &f, auto) { f[25] = 1; }, "compressed"},
    {"ShorterThan177Bytes", [](QByteArray &f, auto) { f.truncate(176); }, "Stream read error"},
    {"Empty", [](QByteArray &f, auto) { f.clear(); }, "Stream read error"},
    {"NotAReportFile", [](QByteArray &f, auto) { f = QByteArray(5000, '\x41'); }, "is not a report file or is damaged"},
    // Other files are named as such, whatever byte stands where a report keeps its compression flag.
    {"ATextFile", [](QByteArray &f, auto) { f = QByteArray("Bir metin dosyas\xc4\xb1 rapor gibi y\xc3\xbcklenir.\n").repeated(40); },
     "does not begin as a report file does"},
    {"RandomBytes", [](QByteArray &f, auto) {
         f.resize(4096);
         quint32 x = 2463534242u;
         for (char &c : f) {
             x ^= x << 13; x ^= x >> 17; x ^= x << 5;
             c = char(x);
         }
         f[25] = 7;
     }, "does not begin as a report file does"},
};

INSTANTIATE_TEST_SUITE_P(Damages, HostileFile, ::testing::ValuesIn(damages),
                         [](const ::testing::TestParamInfo<Damage> &info) { return std::string(info.param.name); });

TEST(HostileFiles, AFifoIsRefusedWithoutWaitingForAWriter)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.qrp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    TQRPageList store;
    auto result = std::async(std::launch::async, [&] { return errorOf([&] { store.LoadFromFile(fifo); }); });
    if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        const int unblock = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        result.wait();
        ::close(unblock);
        FAIL() << "loading a FIFO waited for a writer";
    }
    EXPECT_EQ(result.get(), QStringLiteral("Cannot open file \"%1\". Not a regular file").arg(fifo));
    EXPECT_EQ(store.PageCount(), 0);
}

TEST(HostileFiles, ARecordDamagedAfterLoadingIsReportedWhenFetchedNotFollowed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("changing.qrp"));
    QList<QByteArray> pages;
    for (int i = 1; i <= 5; ++i)
        pages << page(QStringLiteral("C%1").arg(i));
    QByteArray file = saveStore(pages, path);
    const QList<qint32> starts = recordStarts(file, 128);
    TQRPageList store;
    store.LoadFromFile(path);

    // Another program rewrites the file while the preview shows it: page 3 now links to itself.
    QByteArray changed = file;
    setI32(changed, starts[2] + 4, starts[2]);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_EQ(f.write(changed), changed.size());
    }
    EXPECT_FALSE(errorOf([&] { store.GetPage(3); }).isEmpty());
    EXPECT_EQ(store.GetPage(1), pages[0]) << "the first page is reached directly";
    EXPECT_FALSE(errorOf([&] { store.GetPage(4); }).isEmpty()) << "walking forwards from page 2 passes page 3";
    EXPECT_EQ(store.GetPage(5), pages[4]) << "the last page is reached directly";
    EXPECT_EQ(store.GetPage(4), pages[3]) << "walking backwards from the end does not pass page 3";

    // Page 2's number is changed: reaching it from either side stops there.
    changed = file;
    setI32(changed, starts[1], 9);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_EQ(f.write(changed), changed.size());
    }
    EXPECT_FALSE(errorOf([&] { store.GetPage(2); }).isEmpty());
    store.GetPage(5);
    EXPECT_FALSE(errorOf([&] { store.GetPage(2); }).isEmpty());
    EXPECT_EQ(store.GetPage(4), pages[3]);
}

} // namespace
