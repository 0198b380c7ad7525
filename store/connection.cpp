// The book connection: a connection string, opened into an engine that the queries share.
#include "connection.h"

#include "platform/database/connectionstring.h"
#include "platform/database/databaseerror.h"

#include <QDir>

namespace velkora::store {

bool isServerBook(const database::ConnectionString &connection)
{
    return connection.provider.compare(ServerProvider, Qt::CaseInsensitive) == 0;
}

Connection::Connection(QObject *parent) : QObject(parent) {}

Connection::~Connection() = default;

QString Connection::workingFolder() const
{
    return m_workingFolder.isEmpty() ? QDir::currentPath() : m_workingFolder;
}

void Connection::open()
{
    if (m_engine)
        return;
    const database::ConnectionString parsed = database::ConnectionString::parse(m_connectionString);
    if (isServerBook(parsed)) {
        m_engine = std::make_unique<ServerEngine>(database::ServerDatabase::open(parsed.dataSource, parsed.password));
        return;
    }
    database::Database::Options options;
    options.busyTimeoutMs = m_busyTimeoutMs;
    options.readOnly = parsed.readOnly;
    m_engine = std::make_unique<BookEngine>(
        database::Database::open(parsed.resolvedPath(workingFolder()), parsed.password, options));
}

std::unique_ptr<database::Database> Connection::openSeparately() const
{
    const database::ConnectionString parsed = database::ConnectionString::parse(m_connectionString);
    if (isServerBook(parsed))
        throw database::DatabaseError(QStringLiteral("Sunucudaki bir kitapta bu iş henüz yapılamıyor: yalnız dosyadaki kitaplarda çalışır."));
    database::Database::Options options;
    options.busyTimeoutMs = m_busyTimeoutMs;
    options.readOnly = parsed.readOnly || (m_engine && m_engine->readOnly());
    return database::Database::open(parsed.resolvedPath(workingFolder()), parsed.password, options);
}

void Connection::close()
{
    m_engine.reset();
}

Engine &Connection::engine()
{
    open();
    return *m_engine;
}

database::Database *Connection::fileDatabase()
{
    auto *engine = dynamic_cast<BookEngine *>(m_engine.get());
    return engine ? &engine->database() : nullptr;
}

database::ServerDatabase *Connection::serverDatabase()
{
    auto *engine = dynamic_cast<ServerEngine *>(m_engine.get());
    return engine ? &engine->database() : nullptr;
}

void Connection::setEngine(std::unique_ptr<Engine> engine)
{
    m_engine = std::move(engine);
}

} // namespace velkora::store
