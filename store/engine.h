// The interface between the record sets and the engine that keeps the book.
#pragma once

#include "platform/database/database.h"
#include "platform/database/serverdatabase.h"

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

// An engine that hands each call to a database object with the same operations.
template <typename Db>
class EngineOver : public Engine
{
public:
    explicit EngineOver(std::unique_ptr<Db> database) : m_database(std::move(database)) {}

    ResultSet select(const QString &statement, const QHash<QString, QVariant> &params,
                     const std::optional<Narrowing> &narrowing) override
    {
        return m_database->select(database::SelectStatement::parse(statement), params, narrowing);
    }
    std::optional<Row> fetchRow(const TableInfo &table, qint64 key) override { return m_database->fetchRow(table, key); }
    std::optional<database::Database::LongValue> fetchLong(const TableInfo &table, qint64 key, int column) override
    {
        return m_database->fetchLong(table, key, column);
    }
    Row insert(const TableInfo &table, const database::Database::Changes &values) override { return m_database->insert(table, values); }
    qint64 update(const TableInfo &table, qint64 key, qint64 version, const database::Database::Changes &changes) override
    {
        return m_database->update(table, key, version, changes);
    }
    void remove(const TableInfo &table, qint64 key, qint64 version) override { m_database->remove(table, key, version); }

    Db &database() { return *m_database; }

protected:
    std::unique_ptr<Db> m_database;
};

// The engine of a book file: SQLCipher behind database::Database.
class BookEngine : public EngineOver<database::Database>
{
public:
    using EngineOver::EngineOver;
    bool readOnly() const override { return m_database->isReadOnly(); }
    QStringList strayLogs() const override { return m_database->strayLogs(); }
};

// The engine of a book kept by a PostgreSQL server.
class ServerEngine : public EngineOver<database::ServerDatabase>
{
public:
    using EngineOver::EngineOver;
};

} // namespace velkora::store
