// The tables of an old Jet book as the import reads them, and the stream in which the reading
// process hands them to the writing one.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <functional>
#include <optional>

namespace velkora::tools {

// One value of a row: no value (null) or text. Numbers come as their decimal text.
using SourceValue = std::optional<QString>;

struct SourceTable
{
    QString name;
    QStringList columns;      // the columns whose values the rows carry, in this order
    QStringList otherColumns; // further columns of the table, not read
    QVector<QVector<SourceValue>> rows;

    int columnIndex(const QString &column) const; // -1 when absent; letter case ignored
};

// Everything the import needs of an old book: the names of all its tables, and `master` and
// `detail` read (absent from `tables` when the file has no such table).
struct SourceBook
{
    int jetVersion = 0; // 3 or 4
    QStringList tableNames;
    QVector<SourceTable> tables;

    const SourceTable *table(const QString &name) const; // letter case ignored
};

// Bounds on what the reading process may hand over; more is refused as a damaged file.
namespace importlimits {
inline constexpr int MaxTables = 4096;         // table names
inline constexpr int MaxColumns = 255;         // Jet's own limit per table
inline constexpr int MaxRows = 2'000'000;      // rows of one table
inline constexpr int MaxNameBytes = 1024;      // a table or column name
inline constexpr qint64 MaxValueBytes = 64ll << 20; // one value: a body with its pictures
inline constexpr qint64 MaxStreamBytes = 1536ll << 20; // the whole stream
} // namespace importlimits

// The stream: "VKJ1", then records of a one-byte tag and its fields (numbers as 4 bytes, little
// endian; text as its byte count and UTF-8 bytes):
//   'V' version(1 byte)   'N' table name   'T' name, columns, other columns (counts first)
//   'R' one row of the last table: per column a byte 0 (null) or 1 followed by text
//   'X' message: the file is refused with this message   'E' the end
QByteArray encodeSourceBook(const SourceBook &book);
QByteArray encodeRefusal(const QString &message);

// Writing the stream record by record, as the reader produces the rows. With a flush, the bytes
// gathered go to it whenever they pass FlushBytes (and are then dropped), so a whole book is never
// held: the reader hands it over row by row.
class SourceStreamWriter
{
public:
    static constexpr qsizetype FlushBytes = 1 << 20;
    explicit SourceStreamWriter(QByteArray *out, std::function<void(const QByteArray &)> flush = {});
    void version(int jetVersion);
    void tableName(const QString &name);
    void table(const QString &name, const QStringList &columns, const QStringList &otherColumns);
    void row(const QVector<SourceValue> &values);
    void refusal(const QString &message);
    void end();

private:
    void text(const QString &value);
    void number(quint32 value);
    void recordDone();
    QByteArray *m_out;
    std::function<void(const QByteArray &)> m_flush;
};

// What a stream is decoded into, record by record as the bytes arrive: the table names, each
// table's header (its rows empty) before its rows, then the end. A sink may throw to stop.
class SourceSink
{
public:
    virtual ~SourceSink() = default;
    virtual void version(int jetVersion) = 0;
    virtual void tableName(const QString &name) = 0;
    virtual void table(const SourceTable &header) = 0;
    virtual void row(const SourceTable &header, QVector<SourceValue> &&values) = 0;
    virtual void end() = 0;
};

// Decodes a stream fed in pieces of any size, handing each whole record to the sink at once: it
// holds no more than the record being read (at most a body of MaxValueBytes). Throws DatabaseError
// as decodeSourceBook does.
class SourceStreamDecoder
{
public:
    SourceStreamDecoder(SourceSink &sink, QString path);
    void feed(QByteArrayView bytes);
    // The stream is over: throws when it stopped before its end record.
    void finish();

private:
    bool decodeOne(); // false when the buffer does not hold a whole record yet
    SourceSink &m_sink;
    QString m_path;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_total = 0;
    bool m_started = false, m_ended = false;
    int m_version = 0, m_tableNames = 0, m_tables = 0;
    SourceTable m_current; // the header of the table whose rows come
    bool m_haveTable = false;
    qint64 m_rows = 0;
};

// Reads a whole stream (through SourceStreamDecoder). Returns the book, or throws DatabaseError: with the reader's own message
// for a refusal, or saying that the stream is malformed, cut short or beyond the limits above.
SourceBook decodeSourceBook(const QByteArray &stream, const QString &path);

} // namespace velkora::tools
