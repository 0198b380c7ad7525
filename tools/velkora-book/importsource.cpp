// The tables of an old Jet book and the stream that carries them from the reading process.
#include "importsource.h"

#include "platform/database/databaseerror.h"

#include <QStringDecoder>

namespace velkora::tools {

using database::DatabaseError;

int SourceTable::columnIndex(const QString &column) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].compare(column, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const SourceTable *SourceBook::table(const QString &name) const
{
    for (const SourceTable &t : tables) {
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

namespace {
const QByteArray Magic = QByteArrayLiteral("VKJ1");
} // namespace

SourceStreamWriter::SourceStreamWriter(QByteArray *out, std::function<void(const QByteArray &)> flush)
    : m_out(out), m_flush(std::move(flush))
{
    if (m_out->isEmpty())
        m_out->append(Magic);
}

void SourceStreamWriter::recordDone()
{
    if (m_flush && m_out->size() >= FlushBytes) {
        m_flush(*m_out);
        m_out->clear();
    }
}

void SourceStreamWriter::number(quint32 value)
{
    const char bytes[4] = {char(value & 0xff), char((value >> 8) & 0xff), char((value >> 16) & 0xff), char(value >> 24)};
    m_out->append(bytes, 4);
}

void SourceStreamWriter::text(const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    number(static_cast<quint32>(utf8.size()));
    m_out->append(utf8);
}

void SourceStreamWriter::version(int jetVersion)
{
    m_out->append('V');
    m_out->append(char(jetVersion));
    recordDone();
}

void SourceStreamWriter::tableName(const QString &name)
{
    m_out->append('N');
    text(name);
    recordDone();
}

void SourceStreamWriter::table(const QString &name, const QStringList &columns, const QStringList &otherColumns)
{
    m_out->append('T');
    text(name);
    number(static_cast<quint32>(columns.size()));
    for (const QString &c : columns)
        text(c);
    number(static_cast<quint32>(otherColumns.size()));
    for (const QString &c : otherColumns)
        text(c);
    recordDone();
}

void SourceStreamWriter::row(const QVector<SourceValue> &values)
{
    m_out->append('R');
    for (const SourceValue &v : values) {
        if (!v) {
            m_out->append('\0');
        } else {
            m_out->append('\1');
            text(*v);
        }
    }
    recordDone();
}

void SourceStreamWriter::refusal(const QString &message)
{
    m_out->append('X');
    text(message);
    recordDone();
}

void SourceStreamWriter::end()
{
    m_out->append('E');
    if (m_flush) {
        m_flush(*m_out);
        m_out->clear();
    }
}

QByteArray encodeSourceBook(const SourceBook &book)
{
    QByteArray out;
    SourceStreamWriter writer(&out);
    writer.version(book.jetVersion);
    for (const QString &name : book.tableNames)
        writer.tableName(name);
    for (const SourceTable &t : book.tables) {
        writer.table(t.name, t.columns, t.otherColumns);
        for (const auto &row : t.rows)
            writer.row(row);
    }
    writer.end();
    return out;
}

QByteArray encodeRefusal(const QString &message)
{
    QByteArray out;
    SourceStreamWriter writer(&out);
    writer.refusal(message);
    writer.end();
    return out;
}

namespace {

// A record not whole yet in the bytes received so far.
struct NeedMore
{
};

// Reads the fields of one record from the buffer, from a position on.
class RecordReader
{
public:
    RecordReader(const QByteArray &data, qsizetype pos, const QString &path) : m_data(data), m_pos(pos), m_path(path) {}

    [[noreturn]] void fail(const QString &why) const
    {
        throw DatabaseError(QStringLiteral("'%1' could not be read: %2. The file is damaged or not an old book.")
                                .arg(m_path, why));
    }
    qsizetype pos() const { return m_pos; }
    char tag()
    {
        if (m_pos >= m_data.size())
            throw NeedMore();
        return m_data[m_pos++];
    }
    quint32 number()
    {
        if (m_data.size() - m_pos < 4)
            throw NeedMore();
        const auto *p = reinterpret_cast<const uchar *>(m_data.constData() + m_pos);
        m_pos += 4;
        return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
    }
    QString text(qint64 limit)
    {
        const quint32 size = number();
        if (size > limit)
            fail(QStringLiteral("a value of %1 bytes is more than the import takes (%2)").arg(size).arg(limit));
        if (m_data.size() - m_pos < qint64(size))
            throw NeedMore();
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString out = utf8(QByteArrayView(m_data.constData() + m_pos, size));
        if (utf8.hasError())
            fail(QStringLiteral("the reader handed over text that is not UTF-8"));
        m_pos += size;
        return out;
    }

private:
    const QByteArray &m_data;
    qsizetype m_pos;
    const QString &m_path;
};

// Keeps the whole book: decodeSourceBook's sink.
class BookCollector : public SourceSink
{
public:
    void version(int jetVersion) override { book.jetVersion = jetVersion; }
    void tableName(const QString &name) override { book.tableNames.append(name); }
    void table(const SourceTable &header) override { book.tables.append(header); }
    void row(const SourceTable &, QVector<SourceValue> &&values) override { book.tables.last().rows.append(std::move(values)); }
    void end() override {}
    SourceBook book;
};

} // namespace

SourceStreamDecoder::SourceStreamDecoder(SourceSink &sink, QString path) : m_sink(sink), m_path(std::move(path))
{
}

void SourceStreamDecoder::feed(QByteArrayView bytes)
{
    using namespace importlimits;
    const RecordReader report(m_buffer, 0, m_path);
    m_total += bytes.size();
    if (m_total > MaxStreamBytes)
        report.fail(QStringLiteral("it holds more than the import takes"));
    if (m_ended && !bytes.isEmpty())
        report.fail(QStringLiteral("the reader handed over more after the end"));
    m_buffer.append(bytes.data(), bytes.size());
    if (!m_started) {
        if (m_buffer.size() < Magic.size())
            return;
        if (!m_buffer.startsWith(Magic))
            report.fail(QStringLiteral("the reader handed over something else than tables"));
        m_pos = Magic.size();
        m_started = true;
    }
    while (!m_ended && decodeOne()) {
    }
    // What was read goes; a record not whole yet stays at the front.
    if (m_pos > 0 && (m_pos == m_buffer.size() || m_pos > (1 << 20))) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    if (m_ended && m_pos < m_buffer.size())
        report.fail(QStringLiteral("the reader handed over more after the end"));
}

bool SourceStreamDecoder::decodeOne()
{
    using namespace importlimits;
    RecordReader in(m_buffer, m_pos, m_path);
    try {
        const char tag = in.tag();
        switch (tag) {
        case 'V': {
            const int version = static_cast<uchar>(in.tag());
            if (version != 3 && version != 4)
                in.fail(QStringLiteral("unknown Jet version %1").arg(version));
            m_version = version;
            m_pos = in.pos();
            m_sink.version(version);
            return true;
        }
        case 'N': {
            if (m_tableNames >= MaxTables)
                in.fail(QStringLiteral("more than %1 tables").arg(MaxTables));
            const QString name = in.text(MaxNameBytes);
            m_pos = in.pos();
            ++m_tableNames;
            m_sink.tableName(name);
            return true;
        }
        case 'T': {
            if (m_tables >= MaxTables)
                in.fail(QStringLiteral("more than %1 tables").arg(MaxTables));
            SourceTable table;
            table.name = in.text(MaxNameBytes);
            for (QStringList *list : {&table.columns, &table.otherColumns}) {
                const quint32 count = in.number();
                if (count > quint32(MaxColumns))
                    in.fail(QStringLiteral("a table of more than %1 columns").arg(MaxColumns));
                for (quint32 c = 0; c < count; ++c)
                    list->append(in.text(MaxNameBytes));
            }
            m_pos = in.pos();
            ++m_tables;
            m_current = std::move(table);
            m_haveTable = true;
            m_rows = 0;
            m_sink.table(m_current);
            return true;
        }
        case 'R': {
            if (!m_haveTable)
                in.fail(QStringLiteral("a row before its table"));
            if (m_rows >= MaxRows)
                in.fail(QStringLiteral("a table of more than %1 rows").arg(MaxRows));
            QVector<SourceValue> row;
            row.reserve(m_current.columns.size());
            for (int c = 0; c < m_current.columns.size(); ++c) {
                const char present = in.tag();
                if (present == 0)
                    row.append(std::nullopt);
                else if (present == 1)
                    row.append(in.text(MaxValueBytes));
                else
                    in.fail(QStringLiteral("a garbled row"));
            }
            m_pos = in.pos();
            ++m_rows;
            m_sink.row(m_current, std::move(row));
            return true;
        }
        case 'X': {
            const QString message = in.text(MaxValueBytes);
            throw DatabaseError(message);
        }
        case 'E':
            if (m_version == 0)
                in.fail(QStringLiteral("the reader named no Jet version"));
            m_pos = in.pos();
            m_ended = true;
            m_sink.end();
            return false;
        default:
            in.fail(QStringLiteral("the reader handed over a garbled record"));
        }
    } catch (const NeedMore &) {
        return false;
    }
}

void SourceStreamDecoder::finish()
{
    const RecordReader report(m_buffer, 0, m_path);
    if (m_total == 0)
        report.fail(QStringLiteral("the reader handed over nothing"));
    if (!m_started)
        report.fail(QStringLiteral("the reader handed over something else than tables"));
    if (!m_ended)
        report.fail(QStringLiteral("the reader stopped before the end of the file"));
}

SourceBook decodeSourceBook(const QByteArray &stream, const QString &path)
{
    BookCollector collector;
    SourceStreamDecoder decoder(collector, path);
    decoder.feed(stream);
    decoder.finish();
    return std::move(collector.book);
}

} // namespace velkora::tools
