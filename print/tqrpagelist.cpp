// The page store of a preview run and the report file it saves and loads.
#include "print/tqrpagelist.h"

#include "platform/metafile/emfplayer.h"
#include "print/tqrstream.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <cstring>
#include <limits>
#include <sys/stat.h>

namespace velkora::print {

namespace {

constexpr qint16 FormatVersion = 3;
constexpr qint16 WriterVersion = 309;
// A record's page number, next-record offset and trailing offset around the picture.
constexpr qint64 RecordFrame = 12;
// The smallest enhanced metafile: its header record.
constexpr qint64 MinPicture = 88;
// Where "EMF\0" stands when the header is 124 bytes long (the first page's signature, shifted).
constexpr qint64 OldSignatureAt = 173;
constexpr qint64 MinFileSize = OldSignatureAt + 4;
constexpr qint64 MaxOffset = std::numeric_limits<qint32>::max();

// The local time as days since 30 December 1899, the fraction being the time of day.
double now()
{
    const QDateTime t = QDateTime::currentDateTime();
    return double(QDate(1899, 12, 30).daysTo(t.date())) + t.time().msecsSinceStartOfDay() / 86400000.0;
}

QByteArray header(int pageCount, double created)
{
    QByteArray bytes(TQRPageList::HeaderSize, '\0');
    char *b = bytes.data();
    qToLittleEndian<qint16>(FormatVersion, b);
    qToLittleEndian<qint16>(WriterVersion, b + 2);
    qToLittleEndian<qint32>(pageCount, b + 8);
    qToLittleEndian<double>(created, b + 16);
    b[25] = 0; // pages are never compressed
    return bytes;
}

[[noreturn]] void damaged(const QString &why)
{
    throw ReportFileError(QStringLiteral("The report is damaged: %1.").arg(why));
}

struct RecordHead
{
    qint64 start = 0;
    int number = 0;
    qint64 next = 0;
};

// Reads the page number and next-record offset of the record at start, refusing offsets that
// leave the file or do not move forwards past at least the record's frame.
RecordHead readHead(TQRStream &stream, qint64 start, int headerSize, int pageCount)
{
    const qint64 size = stream.size();
    if (start < headerSize || start + RecordFrame > size)
        damaged(QStringLiteral("a record offset (%1) lies outside the file").arg(start));
    stream.seek(start);
    char bytes[8];
    stream.readExact(bytes, 8); // one read a step: a walk over a thousand pages stays quick
    RecordHead head;
    head.start = start;
    head.number = qFromLittleEndian<qint32>(bytes);
    head.next = qFromLittleEndian<qint32>(bytes + 4);
    if (head.number < 1 || head.number > pageCount)
        damaged(QStringLiteral("the record at %1 holds page %2 of %3").arg(start).arg(head.number).arg(pageCount));
    if (head.next < start + RecordFrame || head.next > size)
        damaged(QStringLiteral("the record of page %1 runs outside the file").arg(head.number));
    return head;
}

} // namespace

ReportFileError::ReportFileError(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

QString ReportFileError::message() const
{
    return QString::fromStdString(what());
}

TQRPageList::TQRPageList()
    : m_stream(TQRStream::inMemory(MemoryLimit))
{
}

TQRPageList::~TQRPageList() = default;

void TQRPageList::AddPage(const QByteArray &emf)
{
    std::lock_guard guard(m_lock);
    if (!metafile::EmfPlayer::isEmf(emf))
        throw ReportFileError(QStringLiteral("The page picture is not an enhanced metafile."));
    if (m_pageCount > 0 && m_stream->isReadOnly())
        throw ReportFileError(QStringLiteral("A loaded report takes no new pages."));
    // A run starts over in a fresh stream: after Clear, and always after a load (the report file
    // this store reads is never written).
    if (m_pageCount == 0 && (m_stream->isReadOnly() || m_stream->size() != 0)) {
        m_stream = TQRStream::inMemory(MemoryLimit);
        m_loaded.clear();
        m_headerSize = HeaderSize;
    }
    const qint64 before = m_stream->size();
    const qint64 start = std::max<qint64>(before, HeaderSize);
    if (start + RecordFrame + emf.size() > MaxOffset)
        throw ReportFileError(QStringLiteral("The preview has grown past the 2 GB a report file can hold."));
    try {
        if (m_pageCount == 0) {
            m_created = now();
            m_stream->seek(0);
            const QByteArray h = header(1, m_created);
            m_stream->write(h.constData(), h.size());
        }
        const int number = m_pageCount + 1;
        m_stream->seek(start);
        m_stream->writeInt32(number);
        const qint64 nextField = m_stream->position();
        m_stream->writeInt32(qint32(nextField));
        m_stream->write(emf.constData(), emf.size());
        m_stream->writeInt32(qint32(start));
        const qint64 end = m_stream->position();
        m_stream->seek(nextField);
        m_stream->writeInt32(qint32(end));
        m_stream->seek(end);
        m_pageCount = number;
    } catch (...) {
        // A full disk mid-record: the store stays as it was before this page.
        m_stream->truncate(before);
        m_stream->seek(m_stream->size());
        throw;
    }
}

// Between page operations the stream stands at a record's start or at its end. Page 1 and the
// last page are reached directly (the last through the stream's trailing offset); any other page by
// walking from the current record: forwards through the next-record offsets, backwards through the
// trailing offset of the record before. Every offset and page number met is checked.
qint64 TQRPageList::findPage(int n)
{
    TQRStream &stream = *m_stream;
    const qint64 size = stream.size();
    const auto lastRecord = [&] {
        stream.seek(size - 4);
        return qint64(stream.readInt32());
    };
    if (n == 1)
        return m_headerSize;
    if (n == m_pageCount)
        return lastRecord();
    qint64 at = stream.position();
    if (at >= size || at < m_headerSize)
        at = lastRecord();
    RecordHead head = readHead(stream, at, m_headerSize, m_pageCount);
    // Each step moves one page towards n, so more steps than pages means the links go round.
    for (int steps = 0; head.number != n; ++steps) {
        if (steps > m_pageCount)
            damaged(QStringLiteral("the records link in a loop"));
        const int expected = n > head.number ? head.number + 1 : head.number - 1;
        qint64 to = head.next;
        if (n < head.number) {
            stream.seek(head.start - 4);
            to = stream.readInt32();
            if (to >= head.start)
                damaged(QStringLiteral("the record of page %1 does not link back to an earlier one").arg(head.number));
        }
        head = readHead(stream, to, m_headerSize, m_pageCount);
        if (head.number != expected)
            damaged(QStringLiteral("page %1 follows page %2").arg(head.number).arg(expected));
    }
    return head.start;
}

std::optional<QByteArray> TQRPageList::GetPage(int n)
{
    std::lock_guard guard(m_lock);
    if (n < 1 || n > m_pageCount)
        return std::nullopt;
    try {
        const RecordHead head = readHead(*m_stream, findPage(n), m_headerSize, m_pageCount);
        if (head.number != n)
            damaged(QStringLiteral("page %1 stands where page %2 should").arg(head.number).arg(n));
        QByteArray emf(head.next - head.start - RecordFrame, Qt::Uninitialized);
        m_stream->readExact(emf.data(), emf.size());
        if (m_stream->readInt32() != head.start)
            damaged(QStringLiteral("the record of page %1 ends with another record's offset").arg(n));
        return emf;
    } catch (...) {
        // The next search starts again from the last record.
        m_stream->seek(m_stream->size());
        throw;
    }
}

void TQRPageList::Finish()
{
    std::lock_guard guard(m_lock);
    if (m_stream->isReadOnly())
        return; // a loaded report keeps the header it has
    m_created = now();
    const QByteArray h = header(m_pageCount, m_created);
    m_stream->seek(0);
    m_stream->write(h.constData(), h.size());
    m_stream->seek(m_stream->size());
}

void TQRPageList::SaveToFile(const QString &fileName)
{
    std::lock_guard guard(m_lock);
    const auto cannot = [&fileName](const QString &reason) {
        throw ReportFileError(QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), reason));
    };
    // Replacing the file this store reads would take the pages from under the preview.
    struct stat st {};
    if (::stat(QFile::encodeName(fileName).constData(), &st) == 0 && m_stream->isFile(st.st_dev, st.st_ino))
        cannot(QStringLiteral("The file is the report shown in this preview."));
    // The header names every page the store holds now, also when the run was not closed yet (a
    // save pressed while its last page went in) or was cut short.
    if (!m_stream->isReadOnly() && m_pageCount > 0) {
        const QByteArray h = header(m_pageCount, m_created);
        m_stream->seek(0);
        m_stream->write(h.constData(), h.size());
        m_stream->seek(m_stream->size());
    }
    // The copy goes into a new file that takes the old one's name only when it is complete.
    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly))
        cannot(out.errorString());
    m_stream->copyAll(SaveBlock, [&](const char *data, qint64 size) {
        if (out.write(data, size) != size)
            cannot(out.errorString());
    });
    if (!out.commit())
        cannot(out.errorString());
}

void TQRPageList::LoadFromFile(const QString &fileName)
{
    std::lock_guard guard(m_lock);
    std::unique_ptr<TQRStream> stream = TQRStream::openReadOnly(fileName);
    const qint64 size = stream->size();
    if (size < MinFileSize)
        throw ReportFileError(QStringLiteral("Stream read error"));
    const auto refuse = [&fileName](const QString &why) {
        throw ReportFileError(QStringLiteral("\"%1\" is not a report file or is damaged: %2.").arg(QDir::toNativeSeparators(fileName), why));
    };
    if (size > MaxOffset)
        refuse(QStringLiteral("it is larger than a report file can be"));

    char signature[4];
    stream->seek(OldSignatureAt);
    stream->readExact(signature, 4);
    const bool old = std::memcmp(signature, "EMF\0", 4) == 0;
    const int headerSize = old ? OldHeaderSize : HeaderSize;
    char h[HeaderSize];
    stream->seek(0);
    stream->readExact(h, headerSize);
    const qint32 count = qFromLittleEndian<qint32>(h + 8);
    const double created = qFromLittleEndian<double>(h + (old ? 12 : 16));
    // A report file names its format version (3) or at least starts its first page record as one:
    // any other file (a text, random bytes) is told so before its bytes are read as header flags.
    const quint16 version = qFromLittleEndian<quint16>(h);
    stream->seek(headerSize);
    const qint32 firstNumber = stream->readInt32();
    const qint32 firstNext = stream->readInt32();
    if (version != quint16(FormatVersion) && !(firstNumber == 1 && firstNext > headerSize + RecordFrame && firstNext <= size))
        refuse(QStringLiteral("it does not begin as a report file does"));
    if (h[old ? 21 : 25] != 0)
        refuse(QStringLiteral("its pages are compressed, which this program does not read"));
    if (count < 1)
        refuse(QStringLiteral("its header gives %1 pages").arg(count));
    if (count > (size - headerSize) / (RecordFrame + MinPicture))
        refuse(QStringLiteral("its header claims %1 pages, more than %2 bytes can hold").arg(count).arg(size));

    // The whole chain, before the store takes the file: every record where the one before says,
    // in page order, linked back to its own start, holding an enhanced metafile, the last one
    // ending the file.
    try {
        qint64 at = headerSize;
        for (int page = 1; page <= count; ++page) {
            if (at >= size)
                refuse(QStringLiteral("the file ends after page %1 of %2").arg(page - 1).arg(count));
            if (at + RecordFrame + MinPicture > size)
                refuse(QStringLiteral("the record of page %1 is cut short").arg(page));
            stream->seek(at);
            const qint32 number = stream->readInt32();
            const qint32 next = stream->readInt32();
            if (number != page)
                refuse(QStringLiteral("page %1 stands where page %2 should").arg(number).arg(page));
            if (next > size)
                refuse(QStringLiteral("the record of page %1 runs past the end of the file").arg(page));
            if (next < at + RecordFrame + MinPicture)
                refuse(QStringLiteral("the record of page %1 points back or into itself").arg(page));
            QByteArray picture(MinPicture, Qt::Uninitialized);
            stream->readExact(picture.data(), picture.size());
            const qint64 length = next - at - RecordFrame;
            const quint32 declared = qFromLittleEndian<quint32>(picture.constData() + 48);
            if (!metafile::EmfPlayer::isEmf(picture) || declared < MinPicture || declared > length)
                refuse(QStringLiteral("page %1 is not an enhanced metafile").arg(page));
            // The whole picture, record by record: a page that would show as blank or cut off is
            // refused now, not found when it is shown.
            picture.resize(declared);
            stream->readExact(picture.data() + MinPicture, declared - MinPicture);
            if (!metafile::EmfPlayer::isWhole(picture))
                refuse(QStringLiteral("the picture of page %1 is damaged").arg(page));
            stream->seek(next - 4);
            if (stream->readInt32() != at)
                refuse(QStringLiteral("the record of page %1 does not end with its own offset").arg(page));
            at = next;
        }
        if (at != size)
            refuse(QStringLiteral("%1 bytes follow the last page").arg(size - at));
    } catch (const ReportFileError &e) {
        if (e.message() == QLatin1String("Stream read error"))
            refuse(QStringLiteral("the file could not be read to its end"));
        throw;
    }

    stream->seek(headerSize);
    m_stream = std::move(stream);
    m_pageCount = count;
    m_created = created;
    m_headerSize = headerSize;
    m_loaded = QFileInfo(fileName).absoluteFilePath();
}

void TQRPageList::Clear()
{
    std::lock_guard guard(m_lock);
    m_pageCount = 0;
}

int TQRPageList::PageCount() const
{
    std::lock_guard guard(m_lock);
    return m_pageCount;
}

double TQRPageList::CreationTime() const
{
    std::lock_guard guard(m_lock);
    return m_created;
}

int TQRPageList::headerSize() const
{
    std::lock_guard guard(m_lock);
    return m_headerSize;
}

bool TQRPageList::inMemory() const
{
    std::lock_guard guard(m_lock);
    return m_stream->isInMemory();
}

qint64 TQRPageList::size() const
{
    std::lock_guard guard(m_lock);
    return m_stream->size();
}

QString TQRPageList::loadedFile() const
{
    std::lock_guard guard(m_lock);
    return m_loaded;
}

} // namespace velkora::print
