// The page store of a print preview and the report file (QRP) it saves and loads: a header and one
// record a page, each record an EMF page picture linked to its neighbours.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace velkora::print {

// A failure of the store or of a report file, with the message the user sees ("Stream read error",
// "Cannot create file "%s". %s", "Cannot open file "%s". %s", or a clear one of ours for a damaged
// report file).
class ReportFileError : public std::runtime_error
{
public:
    explicit ReportFileError(const QString &message);
    QString message() const;
};

class TQRStream;

// The pages of one preview run, in order, any of them fetched by number without reading the others.
//
// A new store keeps its bytes in memory until they pass MemoryLimit; then it moves them into a
// temporary file of its own, in a folder only the user can read (the pages hold the book's text in
// the clear), and deletes that file when it is released — also when the program ends through an
// error (the file is unlinked from the disk right after it is opened, so even a crash leaves nothing).
// A store loaded from a report file reads that file, never writes it, and leaves it in place.
//
// Byte layout (little-endian; offsets are absolute, signed 32 bits):
//   header, 128 bytes: format version 3 at 0 (int16), writer version 309 at 2 (int16), page count at
//   8 (int32), creation time at 16 (double, days since 30 December 1899, local time), compression flag
//   at 25 (0); the rest zero. An older 124-byte header is accepted on load (told apart by "EMF\0" at
//   offset 173): version at 0, writer version at 2, page count at 8, time at 12, compression at 21.
//   records: page number (int32, 1 first), offset of the next record (int32, = just past this
//   record), the page's EMF bytes, offset of this record's start (int32).
//
// Loading checks the whole record chain before it takes the file (page count within what the file
// can hold, every offset inside the file, numbers in sequence, forward and backward links agreeing,
// every page an EMF), so a damaged or hostile file is refused with a message and the store keeps
// what it had. Every operation takes the store's lock.
class TQRPageList
{
public:
    static constexpr qint64 MemoryLimit = 100000;
    static constexpr int HeaderSize = 128;
    static constexpr int OldHeaderSize = 124;
    static constexpr qint64 SaveBlock = 10240;

    TQRPageList();
    ~TQRPageList();
    TQRPageList(const TQRPageList &) = delete;
    TQRPageList &operator=(const TQRPageList &) = delete;

    // Appends one page (the EMF bytes of its picture).
    void AddPage(const QByteArray &emf);
    // The EMF bytes of page n (1-based), or nothing when n is outside 1..PageCount(). Throws
    // ReportFileError when the stored record is damaged.
    std::optional<QByteArray> GetPage(int n);
    // Writes the header with the final page count and the current time.
    void Finish();
    // Copies the whole store into fileName (replacing it) in blocks of SaveBlock bytes. Saving over
    // the report file this store was loaded from is refused with "Cannot create file ...".
    void SaveToFile(const QString &fileName);
    // Makes the report file the store (read-only). On any failure the store is unchanged.
    void LoadFromFile(const QString &fileName);
    // Sets the page count to 0.
    void Clear();

    int PageCount() const;
    // The creation time read from or written into the header (days since 30 December 1899).
    double CreationTime() const;
    // Size of the header of the stream: 128, or 124 for an older loaded file.
    int headerSize() const;
    // Whether the bytes still live in memory rather than in the store's temporary file.
    bool inMemory() const;
    // Total bytes of the stream.
    qint64 size() const;
    // The file this store was loaded from, or empty.
    QString loadedFile() const;

private:
    // The start of page n's record, reached from the stream's position as described in the .cpp.
    qint64 findPage(int n);

    mutable std::recursive_mutex m_lock;
    std::unique_ptr<TQRStream> m_stream;
    int m_pageCount = 0;
    double m_created = 0;
    int m_headerSize = HeaderSize;
    QString m_loaded;
};

} // namespace velkora::print
