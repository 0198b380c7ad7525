// A prepared SQLite statement that finalizes itself, with typed binding and reading.
#include "sqlitestatement.h"

namespace velkora::database {

QString sqliteMessage(sqlite3 *db, int code)
{
    const QString detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Could not update; currently locked by another session on this machine.");
    case SQLITE_FULL:
        return QStringLiteral("Not enough space on temporary disk.");
    case SQLITE_READONLY:
        return QStringLiteral("Cannot update. Database or object is read-only.");
    case SQLITE_IOERR:
        return QStringLiteral("Disk or network error. (%1)").arg(detail);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("The book file is damaged and cannot be read. (%1)").arg(detail);
    case SQLITE_CONSTRAINT:
        if (detail.contains(QLatin1String("FOREIGN KEY")) || detail.contains(QLatin1String("NOT NULL constraint failed: detail.Sira")))
            return QStringLiteral("You cannot add or change a record because a related record is required in table 'master'.");
        if (detail.contains(QLatin1String("CHECK")))
            return QStringLiteral("The field is too small to accept the amount of data you attempted to add. Try inserting or pasting less data.");
        return QStringLiteral("The changes you requested to the table were not successful. (%1)").arg(detail);
    case SQLITE_NOMEM:
    case SQLITE_TOOBIG:
        return QStringLiteral("Not enough memory to complete the operation. (%1)").arg(detail);
    default:
        return detail.isEmpty() ? QStringLiteral("Unexpected error from the book engine (%1).").arg(code) : detail;
    }
}

SqliteStatement::SqliteStatement(sqlite3 *db, const QString &sql) : m_db(db)
{
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = sqliteMessage(db, rc);
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw DatabaseError(message);
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

void SqliteStatement::bind(int index, const QVariant &value)
{
    int rc;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        default: {
            const QByteArray utf8 = value.toString().toUtf8();
            rc = sqlite3_bind_text64(m_stmt, index, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        }
    }
    if (rc != SQLITE_OK)
        throw DatabaseError(sqliteMessage(m_db, rc));
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QString message = sqliteMessage(m_db, rc);
    sqlite3_reset(m_stmt);
    throw DatabaseError(message);
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

QVariant SqliteStatement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    default:
        return QVariant(text(column));
    }
}

QByteArray SqliteStatement::bytes(int column) const
{
    const auto *p = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
    return p ? QByteArray(p, sqlite3_column_bytes(m_stmt, column)) : QByteArray();
}

QString SqliteStatement::text(int column) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    const int n = sqlite3_column_bytes(m_stmt, column);
    return p ? QString::fromUtf8(p, n) : QString();
}

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        throw DatabaseError(sqliteMessage(db, rc));
}

qint64 scalar(sqlite3 *db, const QString &sql, const QVariant &a, const QVariant &b)
{
    SqliteStatement st(db, sql);
    if (a.isValid())
        st.bind(1, a);
    if (b.isValid())
        st.bind(2, b);
    return st.step() ? st.integer(0) : 0;
}

bool tableExists(sqlite3 *db, const char *name)
{
    SqliteStatement st(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    st.bind(1, QString::fromLatin1(name));
    return st.step();
}

} // namespace velkora::database
