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

SourceStreamWriter::SourceStreamWriter(QByteArray *out)
    : m_out(out)
{
    if (m_out->isEmpty())
        m_out->append(Magic);
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
}

void SourceStreamWriter::tableName(const QString &name)
{
    m_out->append('N');
    text(name);
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
}

void SourceStreamWriter::refusal(const QString &message)
{
    m_out->append('X');
    text(message);
}

void SourceStreamWriter::end()
{
    m_out->append('E');
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

class StreamReader
{
public:
    StreamReader(const QByteArray &data, const QString &path)
        : m_data(data), m_path(path) {}

    [[noreturn]] void fail(const QString &why) const
    {
        throw DatabaseError(QStringLiteral("'%1' could not be read: %2. The file is damaged or not an old book.")
                                .arg(m_path, why));
    }
    bool atEnd() const { return m_pos >= m_data.size(); }
    char tag()
    {
        if (atEnd())
            fail(QStringLiteral("the reader stopped before the end of the file"));
        return m_data[m_pos++];
    }
    quint32 number()
    {
        if (m_data.size() - m_pos < 4)
            fail(QStringLiteral("the reader stopped before the end of the file"));
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
            fail(QStringLiteral("the reader stopped before the end of the file"));
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString out = utf8(QByteArrayView(m_data.constData() + m_pos, size));
        if (utf8.hasError())
            fail(QStringLiteral("the reader handed over text that is not UTF-8"));
        m_pos += size;
        return out;
    }

private:
    const QByteArray &m_data;
    QString m_path;
    qint64 m_pos = 0;
};

} // namespace

SourceBook decodeSourceBook(const QByteArray &stream, const QString &path)
{
    using namespace importlimits;
    StreamReader in(stream, path);
    if (stream.isEmpty())
        in.fail(QStringLiteral("the reader handed over nothing"));
    if (stream.size() > MaxStreamBytes)
        in.fail(QStringLiteral("it holds more than the import takes"));
    if (!stream.startsWith(Magic))
        in.fail(QStringLiteral("the reader handed over something else than tables"));
    for (int i = 0; i < Magic.size(); ++i)
        in.tag();
    SourceBook book;
    SourceTable *current = nullptr;
    for (;;) {
        const char tag = in.tag();
        switch (tag) {
        case 'V': {
            const int version = static_cast<uchar>(in.tag());
            if (version != 3 && version != 4)
                in.fail(QStringLiteral("unknown Jet version %1").arg(version));
            book.jetVersion = version;
            break;
        }
        case 'N':
            if (book.tableNames.size() >= MaxTables)
                in.fail(QStringLiteral("more than %1 tables").arg(MaxTables));
            book.tableNames.append(in.text(MaxNameBytes));
            break;
        case 'T': {
            if (book.tables.size() >= MaxTables)
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
            book.tables.append(std::move(table));
            current = &book.tables.last();
            break;
        }
        case 'R': {
            if (!current)
                in.fail(QStringLiteral("a row before its table"));
            if (current->rows.size() >= MaxRows)
                in.fail(QStringLiteral("a table of more than %1 rows").arg(MaxRows));
            QVector<SourceValue> row;
            row.reserve(current->columns.size());
            for (int c = 0; c < current->columns.size(); ++c) {
                const char present = in.tag();
                if (present == 0)
                    row.append(std::nullopt);
                else if (present == 1)
                    row.append(in.text(MaxValueBytes));
                else
                    in.fail(QStringLiteral("a garbled row"));
            }
            current->rows.append(std::move(row));
            break;
        }
        case 'X': {
            const QString message = in.text(MaxValueBytes);
            throw DatabaseError(message);
        }
        case 'E':
            if (!in.atEnd())
                in.fail(QStringLiteral("the reader handed over more after the end"));
            if (book.jetVersion == 0)
                in.fail(QStringLiteral("the reader named no Jet version"));
            return book;
        default:
            in.fail(QStringLiteral("the reader handed over a garbled record"));
        }
    }
}

} // namespace velkora::tools
