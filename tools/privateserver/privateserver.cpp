// The test's own PostgreSQL cluster.
#include "privateserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace velkora::testing {

namespace {

// The newest server programs Debian installed (/usr/lib/postgresql/<version>/bin).
QString serverPrograms()
{
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return QString();
}

} // namespace

PrivateServer::PrivateServer()
{
    m_bin = serverPrograms();
    if (m_bin.isEmpty()) {
        m_why = QStringLiteral("the PostgreSQL server programs are missing (scripts/setup installs postgresql)");
        return;
    }
    m_data = m_dir.filePath(QStringLiteral("data"));
    m_socket = m_dir.path();
    m_port = 20000 + int(QRandomGenerator::global()->bounded(40000));
    // The server refuses to run as root: then it runs as the postgres user, owning the folder.
    if (::geteuid() == 0) {
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres:postgres"), m_dir.path()});
    }
    QString out;
    if (!run({m_bin + QStringLiteral("/initdb"), QStringLiteral("-D"), m_data, QStringLiteral("-A"), QStringLiteral("trust"),
              QStringLiteral("-U"), QStringLiteral("velkora"), QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C")},
             &out)) {
        m_why = QStringLiteral("initdb failed: ") + out.right(400);
        return;
    }
    if (!start()) {
        m_why = QStringLiteral("the server did not start");
        return;
    }
    m_available = createDatabase(QStringLiteral("velkora"));
    if (!m_available)
        m_why = QStringLiteral("createdb failed");
}

PrivateServer::~PrivateServer()
{
    if (m_bin.isEmpty() || m_data.isEmpty())
        return;
    stop();
    // Whatever is left of it goes with the folder: the postmaster by its process id.
    QFile pid(m_data + QStringLiteral("/postmaster.pid"));
    if (pid.open(QIODevice::ReadOnly)) {
        const qint64 id = pid.readLine().trimmed().toLongLong();
        if (id > 1)
            ::kill(pid_t(id), SIGKILL);
    }
}

bool PrivateServer::run(const QStringList &command, QString *output) const
{
    QStringList args = command;
    QString program = args.takeFirst();
    if (::geteuid() == 0) {
        args = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + args;
        program = QStringLiteral("runuser");
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool finished = p.waitForFinished(60000);
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PrivateServer::start()
{
    return run({m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), m_data, QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("30"),
                QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-o"),
                QStringLiteral("-k %1 -p %2 -c listen_addresses='' -c fsync=off").arg(m_socket).arg(m_port), QStringLiteral("start")});
}

bool PrivateServer::stop()
{
    return run({m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), m_data, QStringLiteral("-w"), QStringLiteral("-m"),
                QStringLiteral("fast"), QStringLiteral("stop")});
}

bool PrivateServer::createDatabase(const QString &name)
{
    return run({m_bin + QStringLiteral("/createdb"), QStringLiteral("-h"), m_socket, QStringLiteral("-p"), QString::number(m_port),
                QStringLiteral("-U"), QStringLiteral("velkora"), name});
}

bool PrivateServer::addPasswordUser(const QString &user, const QString &password)
{
    QString escaped = password;
    escaped.replace(u'\'', QStringLiteral("''"));
    if (!run({m_bin + QStringLiteral("/psql"), QStringLiteral("-h"), m_socket, QStringLiteral("-p"), QString::number(m_port),
              QStringLiteral("-U"), QStringLiteral("velkora"), QStringLiteral("-d"), QStringLiteral("velkora"), QStringLiteral("-v"),
              QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"),
              QStringLiteral("SET password_encryption = 'scram-sha-256'; CREATE ROLE \"%1\" LOGIN PASSWORD '%2'; "
                             "GRANT ALL ON DATABASE velkora TO \"%1\"; GRANT ALL ON SCHEMA public TO \"%1\"")
                  .arg(user, escaped)}))
        return false;
    // The first matching line wins: the user's goes before the trust lines initdb wrote.
    QFile hba(m_data + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::ReadOnly))
        return false;
    const QByteArray rest = hba.readAll();
    hba.close();
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    hba.write(QStringLiteral("local all %1 scram-sha-256\n").arg(user).toUtf8() + rest);
    hba.close();
    if (!run({m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), m_data, QStringLiteral("reload")}))
        return false;
    QThread::msleep(500); // the server reads the file again when the signal reaches it
    return true;
}

QString PrivateServer::connectionInfoAs(const QString &user, const QString &database) const
{
    return QStringLiteral("host=%1 port=%2 user=%3 dbname=%4").arg(m_socket).arg(m_port).arg(user, database);
}

QString PrivateServer::connectionInfo(const QString &database) const
{
    return QStringLiteral("host=%1 port=%2 user=velkora dbname=%3").arg(m_socket).arg(m_port).arg(database);
}

QString PrivateServer::bookConnectionString(const QString &database) const
{
    return QStringLiteral("Provider=PostgreSQL;Data Source=\"%1\";Persist Security Info=False").arg(connectionInfo(database));
}

} // namespace velkora::testing
