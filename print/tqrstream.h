// The byte stream under the page store: a memory buffer that moves into a private temporary file
// when it grows past its limit, or a report file read in place.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <memory>
#include <mutex>

namespace velkora::print {

// A seekable stream of bytes with its own lock, taken by every read, write, seek and copy.
//
// A memory stream keeps its bytes in a buffer until a write leaves it larger than the limit; then it
// copies them into a temporary file and continues there. The file is made in a folder only the user
// can read and has no name on the disk from the moment it is opened (O_TMPFILE, or created and
// unlinked at once), so closing it or the program's end, however it comes, frees it and leaves
// nothing behind.
//
// A file stream reads a report file in place: opened read-only, never written, never deleted.
//
// Errors throw ReportFileError: a short read where the caller needs whole bytes gives "Stream read
// error", a failed write "Stream write error".
class TQRStream
{
public:
    // An empty stream in memory that moves to a temporary file past limit bytes.
    static std::unique_ptr<TQRStream> inMemory(qint64 limit);
    // The regular file fileName, read-only; "Cannot open file ..." with the system's reason when it
    // cannot be opened or is not a regular file (a folder, a FIFO, a device: none of them blocks).
    static std::unique_ptr<TQRStream> openReadOnly(const QString &fileName);
    ~TQRStream();
    TQRStream(const TQRStream &) = delete;
    TQRStream &operator=(const TQRStream &) = delete;

    // Reads up to max bytes at the position and moves past them; 0 at the end of the stream.
    qint64 read(char *data, qint64 max);
    // Reads exactly size bytes or throws "Stream read error" (the position is then unspecified).
    void readExact(char *data, qint64 size);
    qint32 readInt32();
    // Writes at the position, growing the stream, and moves past the bytes.
    void write(const char *data, qint64 size);
    void writeInt32(qint32 value);
    void seek(qint64 position);
    qint64 position() const;
    qint64 size() const;
    // Cuts the stream back to size bytes (to undo a half-written record).
    void truncate(qint64 size);
    // Copies the whole stream from offset 0 through write in blocks of blockSize bytes until a read
    // returns nothing, under the lock; leaves the position at the end.
    template<typename Sink>
    void copyAll(qint64 blockSize, Sink &&write);

    bool isInMemory() const;
    bool isReadOnly() const;
    // Whether this stream reads the file st names (same device and inode).
    bool isFile(dev_t device, ino_t inode) const;

private:
    TQRStream() = default;
    void moveToFile();

    mutable std::recursive_mutex m_lock;
    QByteArray m_buffer;
    qint64 m_limit = 0;
    int m_fd = -1;
    bool m_readOnly = false;
    qint64 m_size = 0;
    qint64 m_position = 0;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

template<typename Sink>
void TQRStream::copyAll(qint64 blockSize, Sink &&write)
{
    std::lock_guard guard(m_lock);
    QByteArray block(blockSize, Qt::Uninitialized);
    seek(0);
    for (;;) {
        const qint64 got = read(block.data(), blockSize);
        if (got == 0)
            break;
        write(block.constData(), got);
    }
}

} // namespace velkora::print
