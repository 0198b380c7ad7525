// The interface between the record sets and the engine that keeps the book.
#include "engine.h"

namespace velkora::store {

ResultSet BookEngine::select(const QString &statement, const QHash<QString, QVariant> &params,
                             const std::optional<Narrowing> &narrowing)
{
    return m_database->select(database::SelectStatement::parse(statement), params, narrowing);
}

std::optional<Row> BookEngine::fetchRow(const TableInfo &table, qint64 key)
{
    return m_database->fetchRow(table, key);
}

std::optional<database::Database::LongValue> BookEngine::fetchLong(const TableInfo &table, qint64 key, int column)
{
    return m_database->fetchLong(table, key, column);
}

Row BookEngine::insert(const TableInfo &table, const database::Database::Changes &values)
{
    return m_database->insert(table, values);
}

qint64 BookEngine::update(const TableInfo &table, qint64 key, qint64 version, const database::Database::Changes &changes)
{
    return m_database->update(table, key, version, changes);
}

void BookEngine::remove(const TableInfo &table, qint64 key, qint64 version)
{
    m_database->remove(table, key, version);
}

} // namespace velkora::store
