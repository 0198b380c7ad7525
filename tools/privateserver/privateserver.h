// For tests and benchmarks: a PostgreSQL server of their own, a fresh cluster in a temporary folder
// listening only on a Unix socket in it, stopped (and killed by its process id if need be) at the end.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace velkora::testing {

class PrivateServer
{
public:
    // Makes the cluster and starts it with a database "velkora"; available() says whether that
    // worked, and why not (the server programs missing, say) otherwise.
    PrivateServer();
    ~PrivateServer();
    PrivateServer(const PrivateServer &) = delete;
    PrivateServer &operator=(const PrivateServer &) = delete;

    bool available() const { return m_available; }
    QString whyNot() const { return m_why; }

    // A libpq connection string for a database of this server.
    QString connectionInfo(const QString &database = QStringLiteral("velkora")) const;
    // The connection string the program opens a server book with.
    QString bookConnectionString(const QString &database = QStringLiteral("velkora")) const;
    bool createDatabase(const QString &name);
    // A user who must give a password (scram-sha-256) on the server's socket; the others need none.
    bool addPasswordUser(const QString &user, const QString &password);
    // A libpq connection string for a database as that user, without the password.
    QString connectionInfoAs(const QString &user, const QString &database = QStringLiteral("velkora")) const;

    bool stop();
    bool start();

private:
    bool run(const QStringList &command, QString *output = nullptr) const;
    QTemporaryDir m_dir;
    QString m_bin, m_data, m_socket;
    int m_port = 0;
    bool m_available = false;
    QString m_why;
};

} // namespace velkora::testing
