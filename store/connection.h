// The book connection: a connection string, opened into an engine that the queries share.
#pragma once

#include "engine.h"

#include <QObject>

#include <functional>

namespace velkora::database {
struct ConnectionString;
}

namespace velkora::store {

// The provider of a book kept by a PostgreSQL server: its Data Source is a libpq connection string
// ("host=... dbname=..."), its password, where given, the server password (else ~/.pgpass).
inline const QString ServerProvider = QStringLiteral("PostgreSQL");
bool isServerBook(const database::ConnectionString &connection);

// Keeps one engine open for the queries. With keepConnection the engine stays open while no query
// is open. A failed open leaves the connection closed and throws the provider's message.
class Connection : public QObject
{
    Q_OBJECT
public:
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    QString connectionString() const { return m_connectionString; }
    void setConnectionString(const QString &text) { m_connectionString = text; }

    // The folder a bare Data Source is resolved against; the process's working folder by default.
    QString workingFolder() const;
    void setWorkingFolder(const QString &folder) { m_workingFolder = folder; }

    bool keepConnection() const { return m_keepConnection; }
    void setKeepConnection(bool keep) { m_keepConnection = keep; }

    // Short busy timeout for tests of locked files; the default waits five seconds for another writer.
    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }

    void open();
    void close();
    bool connected() const { return m_engine != nullptr; }

    // Opens the connection on first use. Throws when it cannot be opened.
    Engine &engine();
    // The open book's own database: a book file's, or a server's; null when the connection is
    // closed or the book is of the other kind.
    database::Database *fileDatabase();
    database::ServerDatabase *serverDatabase();

    // Another connection to the same book, with the same password and mode, for work done on
    // another thread (a background job must never share the program's connection). Throws as open.
    std::unique_ptr<database::Database> openSeparately() const;

    // Lets a test or a tool supply its own engine (for instance one that injects failures).
    void setEngine(std::unique_ptr<Engine> engine);

private:
    QString m_connectionString;
    QString m_workingFolder;
    bool m_keepConnection = true;
    int m_busyTimeoutMs = 5000;
    std::unique_ptr<Engine> m_engine;
};

} // namespace velkora::store
