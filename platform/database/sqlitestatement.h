// A prepared SQLite statement that finalizes itself, with typed binding and reading.
#pragma once

#include "databaseerror.h"

#include <QString>
#include <QVariant>

#include <sqlcipher/sqlite3.h>

namespace velkora::database {

class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *db, const QString &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Binds by 1-based index: null, 64-bit integers, doubles and text (everything else as text).
    void bind(int index, const QVariant &value);

    // Steps once: true while a row is available. Throws DatabaseError with the translated
    // message on failure.
    bool step();
    void reset();

    int columnCount() const { return sqlite3_column_count(m_stmt); }
    QVariant value(int column) const;
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const;
    // The column's bytes as stored (text or blob), without decoding: a body's RTF as written.
    QByteArray bytes(int column) const;

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

// Turns an SQLite result code (with the connection's message) into the text a user is shown.
QString sqliteMessage(sqlite3 *db, int code);

// Runs statements without results; throws DatabaseError with the translated message.
void exec(sqlite3 *db, const char *sql);
// The first column of the first row of a query with up to two parameters, 0 when it has no row.
qint64 scalar(sqlite3 *db, const QString &sql, const QVariant &a = {}, const QVariant &b = {});
bool tableExists(sqlite3 *db, const char *name);

// A write transaction that rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(sqlite3 *db) : m_db(db) { exec(db, "BEGIN IMMEDIATE"); }
    ~Transaction()
    {
        if (!m_done)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit()
    {
        exec(m_db, "COMMIT");
        m_done = true;
    }

private:
    sqlite3 *m_db;
    bool m_done = false;
};

} // namespace velkora::database
