// The ZIP format's local headers, data and central directory (no ZIP64: an archive stays under
// 4 GB, which add refuses to pass).
#include "zipwriter.h"

#include <QIODevice>
#include <QtEndian>

#include <zlib.h>

namespace velkora::bookexport {

namespace {

constexpr quint16 DosTime = 0;                          // 00:00:00
constexpr quint16 DosDate = ((2020 - 1980) << 9) | (1 << 5) | 1; // 1 January 2020
constexpr quint16 Utf8Names = 1 << 11;
constexpr quint64 Limit = 0xFFFFFFF0ull;

void put16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// Raw deflate (no zlib header), as ZIP stores it.
QByteArray deflated(const QByteArray &bytes, bool *ok)
{
    z_stream z{};
    *ok = deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!*ok)
        return {};
    QByteArray out(qsizetype(deflateBound(&z, uLong(bytes.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    *ok = deflate(&z, Z_FINISH) == Z_STREAM_END;
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

} // namespace

ZipWriter::ZipWriter(QIODevice *device) : m_device(device) {}

// What the local header and the central directory both say of an entry: the version needed, the
// flags, method, time, checksum, sizes and name length, and no extra field.
void ZipWriter::putEntryFields(QByteArray &out, const Entry &e)
{
    put16(out, 20);
    put16(out, Utf8Names);
    put16(out, e.method);
    put16(out, DosTime);
    put16(out, DosDate);
    put32(out, e.crc);
    put32(out, e.compressedSize);
    put32(out, e.size);
    put16(out, quint16(e.name.size()));
    put16(out, 0);
}

bool ZipWriter::write(const QByteArray &bytes)
{
    if (!m_ok || m_device->write(bytes) != bytes.size())
        return m_ok = false;
    m_offset += quint64(bytes.size());
    return true;
}

bool ZipWriter::add(const QString &name, const QByteArray &bytes, Method method)
{
    Entry e;
    e.name = name.toUtf8();
    e.size = quint32(bytes.size());
    e.crc = quint32(crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
    QByteArray data;
    bool ok = true;
    if (method == Method::Deflated)
        data = deflated(bytes, &ok);
    if (!ok)
        return m_ok = false;
    if (method == Method::Stored || data.size() >= bytes.size()) {
        data = bytes;
        e.method = 0;
    } else {
        e.method = 8;
    }
    e.compressedSize = quint32(data.size());
    if (m_offset + quint64(data.size()) + quint64(e.name.size()) + 30 > Limit || quint64(bytes.size()) > Limit)
        return m_ok = false;
    e.offset = quint32(m_offset);
    QByteArray head;
    put32(head, 0x04034b50);
    putEntryFields(head, e);
    head += e.name;
    if (!write(head) || !write(data))
        return false;
    m_entries.append(e);
    return true;
}

bool ZipWriter::finish()
{
    const quint64 start = m_offset;
    QByteArray dir;
    for (const Entry &e : std::as_const(m_entries)) {
        put32(dir, 0x02014b50);
        put16(dir, 20); // made by: MS-DOS attributes
        putEntryFields(dir, e);
        put16(dir, 0); // no comment
        put16(dir, 0);
        put16(dir, 0);
        put32(dir, 0);
        put32(dir, e.offset);
        dir += e.name;
    }
    if (m_entries.size() > 0xFFFF || start + quint64(dir.size()) > Limit)
        return m_ok = false;
    put32(dir, 0x06054b50);
    put16(dir, 0);
    put16(dir, 0);
    put16(dir, quint16(m_entries.size()));
    put16(dir, quint16(m_entries.size()));
    put32(dir, quint32(dir.size() - 0)); // replaced below
    put32(dir, quint32(start));
    put16(dir, 0);
    // The directory's size excludes its 22-byte end record.
    const quint32 size = quint32(dir.size() - 22);
    qToLittleEndian(size, dir.data() + dir.size() - 10);
    return write(dir);
}

} // namespace velkora::bookexport
