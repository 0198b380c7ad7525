// The interface between the record sets and the engine that keeps the book.
#pragma once

#include "platform/database/database.h"

#include <memory>

namespace velkora::store {

using database::ColumnInfo;
using database::ColumnType;
using database::Narrowing;
using database::ResultSet;
using database::Row;
using database::TableInfo;

// What a record set needs of the database: run a statement into a client-side result, fetch long
// values and single rows on demand, and write one row at a time with optimistic locking. Every
// failure is a database::DatabaseError carrying the provider's message; a failed call changes nothing.
class Engine
{
public:
    virtual ~Engine() = default;

    virtual ResultSet select(const QString &statement, const QHash<QString, QVariant> &params,
                             const std::optional<Narrowing> &narrowing) = 0;
    virtual std::optional<Row> fetchRow(const TableInfo &table, qint64 key) = 0;
    virtual std::optional<database::Database::LongValue> fetchLong(const TableInfo &table, qint64 key, int column) = 0;
    virtual Row insert(const TableInfo &table, const database::Database::Changes &values) = 0;
    virtual qint64 update(const TableInfo &table, qint64 key, qint64 version, const database::Database::Changes &changes) = 0;
    virtual void remove(const TableInfo &table, qint64 key, qint64 version) = 0;

    // True when the book was opened without the right to write it (a file or folder the user can
    // only read); every write then fails.
    virtual bool readOnly() const { return false; }
    // Files beside the book that look like its log but are not, left alone: the user is told of them.
    virtual QStringList strayLogs() const { return {}; }
};

// The engine of a book file: SQLCipher behind database::Database.
class BookEngine : public Engine
{
public:
    explicit BookEngine(std::unique_ptr<database::Database> database) : m_database(std::move(database)) {}

    ResultSet select(const QString &statement, const QHash<QString, QVariant> &params,
                     const std::optional<Narrowing> &narrowing) override;
    std::optional<Row> fetchRow(const TableInfo &table, qint64 key) override;
    std::optional<database::Database::LongValue> fetchLong(const TableInfo &table, qint64 key, int column) override;
    Row insert(const TableInfo &table, const database::Database::Changes &values) override;
    qint64 update(const TableInfo &table, qint64 key, qint64 version, const database::Database::Changes &changes) override;
    void remove(const TableInfo &table, qint64 key, qint64 version) override;

    bool readOnly() const override { return m_database->isReadOnly(); }
    QStringList strayLogs() const override { return m_database->strayLogs(); }

    database::Database &database() { return *m_database; }

private:
    std::unique_ptr<database::Database> m_database;
};

} // namespace velkora::store
