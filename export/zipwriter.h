// A ZIP archive written entry by entry into a device, as an EPUB is packed.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

namespace velkora::bookexport {

// Entries go out as they are added (only their names and sizes are kept for the central directory
// written by finish), so an archive of any size costs the memory of its largest entry. Names are
// UTF-8; times are a fixed date, so the same book gives the same bytes.
class ZipWriter
{
public:
    explicit ZipWriter(QIODevice *device);

    enum class Method { Stored, Deflated };
    // False when the device refused the bytes.
    bool add(const QString &name, const QByteArray &bytes, Method method = Method::Deflated);
    bool finish();

private:
    struct Entry
    {
        QByteArray name;
        quint32 crc = 0;
        quint32 compressedSize = 0, size = 0;
        quint32 offset = 0;
        quint16 method = 0;
    };
    bool write(const QByteArray &bytes);
    static void putEntryFields(QByteArray &out, const Entry &e);
    QIODevice *m_device;
    QList<Entry> m_entries;
    quint64 m_offset = 0;
    bool m_ok = true;
};

} // namespace velkora::bookexport
