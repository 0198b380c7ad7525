// Reading an old Jet book through libmdb into the stream the import writes from.
#include "jetreader.h"

#include <QtEndian>

#include "importsource.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtEndian>

#include <mdbtools.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace velkora::tools {

namespace {

// The columns a book's tables are read for; any others are only named.
const QStringList MasterColumns = {QStringLiteral("Sira"), QStringLiteral("Baslik")};
const QStringList DetailColumns = {QStringLiteral("Sira"), QStringLiteral("Altkonu"), QStringLiteral("Aciklama")};

constexpr int JetHeaderSize = 0x20;

QString damaged(const QString &path, const QString &what)
{
    return QStringLiteral("'%1' is a damaged Jet file: %2. Repair it with Microsoft Access (Compact and Repair) "
                          "or import a backup.")
        .arg(path, what);
}

QString accdbMessage(const QString &path)
{
    return QStringLiteral("'%1' is an Access 2007 or later (.accdb) file; only Jet files (Access 97 to 2003 .mdb) "
                          "are imported. Save it from Access in the 2002-2003 .mdb format and import that file.")
        .arg(path);
}

QString headerProblem(const QByteArray &head, qint64 size, const QString &path)
{
    const QByteArray signature = head.mid(4, 16);
    if (size < JetHeaderSize || head.mid(0, 4) != QByteArray("\0\1\0\0", 4)
        || (signature != QByteArray("Standard Jet DB\0", 16) && signature != QByteArray("Standard ACE DB\0", 16)))
        return QStringLiteral("'%1' is not a Jet file (an Access .mdb book); there is nothing to import from it.").arg(path);
    // 0 is Jet 3, 1 Jet 4, 2 to 5 the Access 2007 to 2016 engines; anything else is no version any
    // Access wrote: a damaged header or an unknown file, not a newer Access book.
    const quint32 version = qFromLittleEndian<quint32>(head.constData() + 0x14);
    if (signature.startsWith("Standard ACE DB") || (version >= 2 && version <= 5))
        return accdbMessage(path);
    if (version > 5)
        return damaged(path, QStringLiteral("its header gives the unknown version 0x%1").arg(version, 8, 16, QLatin1Char('0')));
    if (size < 2048)
        return damaged(path, QStringLiteral("it is only %1 bytes long").arg(size));
    return QString();
}

// libmdb hands text over as UTF-8. Jet 3 text is read as Latin-1 so that each stored byte arrives
// unchanged, then decoded from code page 1254 here: iconv would give up on the bytes 1254 leaves
// unassigned, which Windows passes through.
class TextDecoder
{
public:
    explicit TextDecoder(bool jet3) : m_jet3(jet3) {}
    QString operator()(const char *bytes, qsizetype size)
    {
        const QString utf8 = QString::fromUtf8(bytes, size);
        if (!m_jet3)
            return utf8;
        QStringDecoder cp1254("windows-1254", QStringDecoder::Flag::Stateless);
        return cp1254(utf8.toLatin1());
    }

private:
    bool m_jet3;
};

struct MdbCloser
{
    void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};
struct TableCloser
{
    void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};

void readTable(MdbCatalogEntry *entry, const QStringList &wanted, TextDecoder &decode, SourceStreamWriter &out,
               const QString &name, const QString &path, QString *problem)
{
    std::unique_ptr<MdbTableDef, TableCloser> table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()) || !table->columns) {
        *problem = damaged(path, QStringLiteral("the layout of its table %1 cannot be read").arg(name));
        return;
    }
    QStringList columns, others;
    std::vector<int> columnNumbers;
    for (unsigned i = 0; i < table->columns->len; ++i) {
        const auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
        const QString colName = decode(col->name, qstrnlen(col->name, sizeof col->name));
        bool found = false;
        for (const QString &w : wanted) {
            if (colName.compare(w, Qt::CaseInsensitive) == 0 && !columns.contains(w, Qt::CaseInsensitive)) {
                columns.append(colName);
                columnNumbers.push_back(int(i));
                found = true;
            }
        }
        if (!found)
            others.append(colName);
    }
    out.table(name, columns, others);

    std::vector<std::unique_ptr<char[]>> buffers;
    std::vector<int> lengths(columnNumbers.size(), 0);
    for (size_t c = 0; c < columnNumbers.size(); ++c) {
        buffers.emplace_back(new char[JetBindSize]);
        buffers.back()[0] = '\0';
        mdb_bind_column(table.get(), columnNumbers[c] + 1, buffers.back().get(), &lengths[c]);
    }
    mdb_rewind_table(table.get());
    qint64 rows = 0;
    QVector<SourceValue> values(qsizetype(columnNumbers.size()));
    while (mdb_fetch_row(table.get())) {
        if (++rows > importlimits::MaxRows) {
            *problem = damaged(path, QStringLiteral("its table %1 has more than %2 rows").arg(name).arg(importlimits::MaxRows));
            return;
        }
        for (size_t c = 0; c < columnNumbers.size(); ++c) {
            const auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, columnNumbers[c]));
            const int length = lengths[c];
            if (length < 0 || length >= JetBindSize - 4) {
                *problem = QStringLiteral("'%1' holds a value in %2.%3 of %4 MiB or more, more than the import takes.")
                               .arg(path, name, columns[qsizetype(c)])
                               .arg(JetBindSize >> 20);
                return;
            }
            if (col->cur_value_len == 0 && length == 0)
                values[qsizetype(c)] = std::nullopt;
            else
                values[qsizetype(c)] = decode(buffers[c].get(), length);
        }
        out.row(values);
    }
}

void read(MdbHandle *opened, const QString &path, const StreamFlush &flush)
{
    std::unique_ptr<MdbHandle, MdbCloser> mdb(opened);
    QByteArray stream;
    SourceStreamWriter out(&stream, flush);
    if (!mdb) {
        out.refusal(damaged(path, QStringLiteral("libmdb cannot open it")));
        out.end();
        return;
    }
    const guint32 version = mdb->f->jet_version;
    if (version != MDB_VER_JET3 && version != MDB_VER_JET4) {
        out.refusal(accdbMessage(path));
        out.end();
        return;
    }
    if (!mdb_read_catalog(mdb.get(), MDB_TABLE)) {
        out.refusal(damaged(path, QStringLiteral("its list of tables cannot be read")));
        out.end();
        return;
    }
    TextDecoder decode(version == MDB_VER_JET3);
    out.version(version == MDB_VER_JET3 ? 3 : 4);
    MdbCatalogEntry *master = nullptr, *detail = nullptr;
    QString masterName, detailName;
    for (unsigned i = 0; i < mdb->num_catalog && i < unsigned(importlimits::MaxTables); ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry))
            continue;
        const QString name = decode(entry->object_name, qstrnlen(entry->object_name, sizeof entry->object_name));
        out.tableName(name);
        if (!master && name.compare(u"master", Qt::CaseInsensitive) == 0) {
            master = entry;
            masterName = name;
        } else if (!detail && name.compare(u"detail", Qt::CaseInsensitive) == 0) {
            detail = entry;
            detailName = name;
        }
    }
    // Only for the book's own tables: libmdb allocates buffers of this size as it reads the catalog.
    mdb_set_bind_size(mdb.get(), JetBindSize);
    QString problem;
    if (master)
        readTable(master, MasterColumns, decode, out, masterName, path, &problem);
    if (detail && problem.isEmpty())
        readTable(detail, DetailColumns, decode, out, detailName, path, &problem);
    // A problem half way: the rows handed over so far are followed by the refusal, which makes the
    // import throw away all it has written.
    if (!problem.isEmpty())
        out.refusal(problem);
    out.end();
}

void useCharsets()
{
    // Read by libmdb when a file is opened.
    ::setenv("MDB_JET3_CHARSET", "ISO-8859-1", 1);
    ::setenv("MDBICONV", "UTF-8", 1);
}

} // namespace

QString jetHeaderProblem(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("'%1' cannot be read: %2.").arg(path, file.errorString());
    return headerProblem(file.read(JetHeaderSize), file.size(), path);
}

void readJetFile(const QString &path, const StreamFlush &flush)
{
    const QString problem = jetHeaderProblem(path);
    if (!problem.isEmpty()) {
        flush(encodeRefusal(problem));
        return;
    }
    useCharsets();
    read(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS), path, flush);
}

QByteArray readJetBytes(const QByteArray &bytes, const QString &path)
{
    const QString problem = headerProblem(bytes.left(JetHeaderSize), bytes.size(), path);
    if (!problem.isEmpty())
        return encodeRefusal(problem);
    useCharsets();
    // libmdb keeps the buffer as its file and does not write to it (opened without MDB_WRITABLE).
    QByteArray copy = bytes;
    QByteArray stream;
    read(mdb_open_buffer(copy.data(), size_t(copy.size()), MDB_NOFLAGS), path, [&](const QByteArray &part) { stream += part; });
    return stream;
}

} // namespace velkora::tools
