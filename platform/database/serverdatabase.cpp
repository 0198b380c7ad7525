// The server book over libpq: connection rules, the layout, and the record-level operations.
#include "serverdatabase.h"

#include "databaseerror.h"
#include "schema.h"

#include <libpq-fe.h>

#include <QHash>
#include <QMutex>
#include <QRegularExpression>

#include <algorithm>

#include <poll.h>

namespace velkora::database {

namespace {

QString quoted(QStringView name)
{
    return u'"' + name.toString().replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// What libpq said, without its trailing line break.
QString libpqMessage(const pg_conn *conn)
{
    return QString::fromUtf8(PQerrorMessage(conn)).simplified();
}

bool isLocalHost(const QString &host)
{
    if (host.isEmpty() || host.startsWith(u'/') || host.startsWith(u'@'))
        return true; // the default or a named Unix socket
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    // Loopback addresses: 127.0.0.0/8 and ::1.
    static const QRegularExpression loopback4(QStringLiteral("^127(\\.\\d{1,3}){3}$"));
    return loopback4.match(host).hasMatch() || host == u"::1" || host == u"[::1]";
}

// The message a person can act on when the connection cannot be made.
QString connectMessage(const QString &said, const QString &database, bool passwordRefused)
{
    if (passwordRefused || said.contains(QLatin1String("password authentication failed")) || said.contains(QLatin1String("no password supplied")))
        return QStringLiteral("Sunucu parolayı kabul etmedi. Parolayı denetleyin (ya da ~/.pgpass dosyasını). (%1)").arg(said);
    if (said.contains(QLatin1String("does not exist")) && said.contains(QLatin1String("database")))
        return QStringLiteral("Sunucuda \"%1\" adlı veritabanı yok. (%2)").arg(database, said);
    if (said.contains(QLatin1String("SSL")) || said.contains(QLatin1String("TLS")))
        return QStringLiteral("Sunucuyla şifreli (TLS) bağlantı kurulamadı. (%1)").arg(said);
    return QStringLiteral("Sunucuya bağlanılamadı: sunucu çalışmıyor ya da adresi yanlış. (%1)").arg(said);
}

const QString LostMessage = QStringLiteral("Sunucuyla bağlantı kesildi; yapılan iş kaydedilmedi. Bağlantı geri gelince yeniden deneyin. (%1)");

TableInfo bookTable(const char *name)
{
    TableInfo t;
    t.name = QString::fromLatin1(name);
    t.hasRowVersion = true;
    const auto column = [](const char *n, ColumnType type, int size, bool readOnly) {
        ColumnInfo c;
        c.name = QString::fromLatin1(n);
        c.type = type;
        c.size = size;
        c.readOnly = readOnly;
        return c;
    };
    if (t.name == u"master") {
        t.keyColumn = QStringLiteral("Sira");
        t.columns = {column("Sira", ColumnType::Integer, 0, true), column("Baslik", ColumnType::Text, schema::TitleLength, false)};
    } else {
        t.keyColumn = QStringLiteral("Kimlik");
        t.columns = {column("Kimlik", ColumnType::Integer, 0, true), column("Sira", ColumnType::Integer, 0, false),
                     column("Altkonu", ColumnType::Text, schema::TitleLength, false), column("Aciklama", ColumnType::LongText, 0, false)};
    }
    t.keyField = 0;
    return t;
}

// The book's two tables on the server, their columns quoted so they keep the letter case the
// program names them with.
const char *const CreateLayout[] = {
    "CREATE TABLE master (\"Sira\" BIGSERIAL PRIMARY KEY, \"Baslik\" VARCHAR(255), \"Surum\" BIGINT NOT NULL DEFAULT 1)",
    "CREATE TABLE detail (\"Kimlik\" BIGSERIAL PRIMARY KEY,"
    " \"Sira\" BIGINT NOT NULL REFERENCES master(\"Sira\") ON DELETE CASCADE,"
    " \"Altkonu\" VARCHAR(255), \"Aciklama\" TEXT, \"Surum\" BIGINT NOT NULL DEFAULT 1)",
    "CREATE INDEX detail_sira ON detail(\"Sira\")",
};

// Every program that has the book open hears of each saved change (LISTEN velkora_kitap): a
// subtopic moved to another topic is told to both.
const char *const CreateNotices[] = {
    "CREATE OR REPLACE FUNCTION velkora_notify_master() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
    " IF TG_OP = 'DELETE' THEN PERFORM pg_notify('velkora_kitap', 'master D ' || OLD.\"Sira\" || ' ' || OLD.\"Sira\");"
    " ELSE PERFORM pg_notify('velkora_kitap', 'master ' || left(TG_OP, 1) || ' ' || NEW.\"Sira\" || ' ' || NEW.\"Sira\"); END IF;"
    " RETURN NULL; END $$",
    "CREATE OR REPLACE FUNCTION velkora_notify_detail() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
    " IF TG_OP <> 'INSERT' THEN PERFORM pg_notify('velkora_kitap', 'detail ' || left(TG_OP, 1) || ' ' || OLD.\"Kimlik\" || ' ' || OLD.\"Sira\"); END IF;"
    " IF TG_OP = 'INSERT' OR (TG_OP = 'UPDATE' AND NEW.\"Sira\" <> OLD.\"Sira\") THEN"
    " PERFORM pg_notify('velkora_kitap', 'detail ' || left(TG_OP, 1) || ' ' || NEW.\"Kimlik\" || ' ' || NEW.\"Sira\"); END IF;"
    " RETURN NULL; END $$",
    "CREATE TRIGGER velkora_master_notice AFTER INSERT OR UPDATE OR DELETE ON master FOR EACH ROW EXECUTE PROCEDURE velkora_notify_master()",
    "CREATE TRIGGER velkora_detail_notice AFTER INSERT OR UPDATE OR DELETE ON detail FOR EACH ROW EXECUTE PROCEDURE velkora_notify_detail()",
};

// table.column type as information_schema gives them, in table order.
const QStringList ExpectedColumns = {
    QStringLiteral("detail.Kimlik bigint"), QStringLiteral("detail.Sira bigint"), QStringLiteral("detail.Altkonu character varying(255)"),
    QStringLiteral("detail.Aciklama text"), QStringLiteral("detail.Surum bigint"), QStringLiteral("master.Sira bigint"),
    QStringLiteral("master.Baslik character varying(255)"), QStringLiteral("master.Surum bigint"),
};

} // namespace

class ServerDatabase::Result
{
public:
    explicit Result(PGresult *r) : m_r(r) {}
    Result(Result &&o) noexcept : m_r(std::exchange(o.m_r, nullptr)) {}
    Result &operator=(Result &&o) noexcept
    {
        std::swap(m_r, o.m_r);
        return *this;
    }
    ~Result() { PQclear(m_r); }
    int rows() const { return PQntuples(m_r); }
    bool isNull(int row, int column) const { return PQgetisnull(m_r, row, column) != 0; }
    QString text(int row, int column) const { return QString::fromUtf8(PQgetvalue(m_r, row, column), PQgetlength(m_r, row, column)); }
    qint64 integer(int row, int column) const { return QByteArray(PQgetvalue(m_r, row, column)).toLongLong(); }
    QVariant value(int row, int column, ColumnType type) const
    {
        if (isNull(row, column))
            return QVariant();
        return type == ColumnType::Integer ? QVariant(integer(row, column)) : QVariant(text(row, column));
    }
    int affected() const { return QByteArray(PQcmdTuples(m_r)).toInt(); }
    ExecStatusType status() const { return PQresultStatus(m_r); }

private:
    PGresult *m_r;
};

ServerDatabase::ServerDatabase(pg_conn *conn, QString connectionInfo, QString password)
    : m_conn(conn), m_connectionInfo(std::move(connectionInfo)), m_password(std::move(password))
{
}

ServerDatabase::~ServerDatabase()
{
    PQfinish(m_conn);
}

namespace {

QMutex passwordsMutex;
ServerDatabase::PasswordPrompt passwordPrompt;
QHash<QString, QString> typedPasswords; // connection string -> the password typed for it this run

// The server asked for a password, one was sent (typed, given or from ~/.pgpass), and the
// connection failed: the password was refused.
bool passwordRefused(pg_conn *conn)
{
    return PQstatus(conn) == CONNECTION_BAD && PQconnectionUsedPassword(conn) != 0 && PQconnectionNeedsPassword(conn) == 0;
}

} // namespace

void ServerDatabase::setPasswordPrompt(PasswordPrompt prompt)
{
    const QMutexLocker lock(&passwordsMutex);
    passwordPrompt = std::move(prompt);
}

void ServerDatabase::forgetPasswords()
{
    const QMutexLocker lock(&passwordsMutex);
    typedPasswords.clear();
}

QString ServerDatabase::withoutPassword(const QString &connectionInfo, bool *hadOne)
{
    *hadOne = false;
    PQconninfoOption *options = PQconninfoParse(connectionInfo.toUtf8().constData(), nullptr);
    if (!options)
        return connectionInfo;
    QStringList pairs;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        if (qstrcmp(o->keyword, "password") == 0) {
            *hadOne = true;
            continue;
        }
        // key='value' with the value's quotes and backslashes escaped, as libpq reads it.
        QString value = QString::fromUtf8(o->val);
        value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        pairs << QStringLiteral("%1='%2'").arg(QString::fromLatin1(o->keyword), value);
    }
    PQconninfoFree(options);
    return *hadOne ? pairs.join(u' ') : connectionInfo;
}

std::unique_ptr<ServerDatabase> ServerDatabase::open(const QString &connectionInfo, const QString &givenPassword)
{
    char *parseError = nullptr;
    PQconninfoOption *options = PQconninfoParse(connectionInfo.toUtf8().constData(), &parseError);
    if (!options) {
        const QString why = parseError ? QString::fromUtf8(parseError).trimmed() : QString();
        PQfreemem(parseError);
        throw DatabaseError(QStringLiteral("Sunucu bağlantı tanımı okunamadı: %1").arg(why));
    }
    QString password = givenPassword;
    PasswordPrompt prompt;
    {
        const QMutexLocker lock(&passwordsMutex);
        if (password.isEmpty())
            password = typedPasswords.value(connectionInfo);
        prompt = passwordPrompt;
    }
    QList<QByteArray> keys, values;
    QString hosts, hostaddrs, sslmode, database, user, port;
    bool ownPassword = false; // the connection string carries one
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        const QByteArray key(o->keyword);
        if (key == "host")
            hosts = QString::fromUtf8(o->val);
        else if (key == "hostaddr")
            hostaddrs = QString::fromUtf8(o->val);
        else if (key == "sslmode")
            sslmode = QString::fromUtf8(o->val);
        else if (key == "dbname")
            database = QString::fromUtf8(o->val);
        else if (key == "user")
            user = QString::fromUtf8(o->val);
        else if (key == "port")
            port = QString::fromUtf8(o->val);
        if (key == "password") {
            ownPassword = true;
            if (!password.isEmpty())
                continue;
        }
        keys << key;
        values << QByteArray(o->val);
    }
    PQconninfoFree(options);
    // A book's text goes over the network only encrypted.
    bool local = true;
    for (const QString &h : hosts.split(u',', Qt::KeepEmptyParts))
        local = local && isLocalHost(h.trimmed());
    for (const QString &a : hostaddrs.split(u',', Qt::SkipEmptyParts))
        local = local && isLocalHost(a.trimmed());
    if (!local) {
        if (sslmode.isEmpty()) {
            keys << "sslmode";
            values << "require";
        } else if (sslmode == u"disable" || sslmode == u"allow" || sslmode == u"prefer") {
            throw DatabaseError(QStringLiteral("Başka bir makinedeki sunucuya yalnız şifreli (TLS) bağlanılır: bağlantı tanımındaki "
                                               "sslmode=%1 yerine require, verify-ca ya da verify-full yazın.")
                                    .arg(sslmode));
        }
    }
    if (!keys.contains("connect_timeout")) {
        keys << "connect_timeout";
        values << "10";
    }
    keys << "client_encoding" << "application_name";
    values << "UTF8" << "Velkora";

    const auto connect = [&](const QString &withPassword) {
        QList<QByteArray> k = keys, v = values;
        if (!withPassword.isEmpty()) {
            k << "password";
            v << withPassword.toUtf8();
        }
        std::vector<const char *> kp, vp;
        for (qsizetype i = 0; i < k.size(); ++i) {
            kp.push_back(k[i].constData());
            vp.push_back(v[i].constData());
        }
        kp.push_back(nullptr);
        vp.push_back(nullptr);
        pg_conn *conn = PQconnectdbParams(kp.data(), vp.data(), 0);
        if (!conn)
            throw DatabaseError(QStringLiteral("Sunucuya bağlanılamadı: bellek yetmedi."));
        return conn;
    };
    pg_conn *conn = connect(password);
    // The server wants a password nobody gave, or refused one typed earlier: the person is asked,
    // at most three times.
    QString problem;
    bool typed = false;
    for (int tries = 0; PQstatus(conn) != CONNECTION_OK && prompt && tries < 3; ++tries) {
        // Told by what libpq knows, not by the server's words, which come in the server's language.
        const bool wanted = PQconnectionNeedsPassword(conn) != 0;
        const bool refused = passwordRefused(conn) && !ownPassword && givenPassword.isEmpty();
        if (!wanted && !refused)
            break;
        if (refused)
            problem = QStringLiteral("Sunucu bu parolayı kabul etmedi.");
        PQfinish(conn);
        conn = nullptr;
        const QString where = QStringLiteral("%1@%2%3/%4")
                                  .arg(user, hosts.isEmpty() ? QStringLiteral("localhost") : hosts,
                                       port.isEmpty() ? QString() : u':' + port, database);
        const std::optional<QString> answer = prompt(where, problem);
        if (!answer)
            throw DatabaseError(QStringLiteral("Sunucu parola istedi; parola girilmediği için kitap açılmadı."));
        password = *answer;
        typed = true;
        conn = connect(password);
    }
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString said = libpqMessage(conn);
        const bool refused = passwordRefused(conn) || PQconnectionNeedsPassword(conn);
        PQfinish(conn);
        throw DatabaseError(connectMessage(said, database, refused));
    }
    if (typed) {
        const QMutexLocker lock(&passwordsMutex);
        typedPasswords.insert(connectionInfo, password);
    }
    std::unique_ptr<ServerDatabase> db(new ServerDatabase(conn, connectionInfo, password));
    db->exec(QStringLiteral("SET client_min_messages TO warning"));
    db->ensureLayout();
    return db;
}

void ServerDatabase::reconnectIfLost() const
{
    if (PQstatus(m_conn) == CONNECTION_OK && !m_resetting)
        return;
    m_resetting = false;
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK)
        throw DatabaseError(LostMessage.arg(libpqMessage(m_conn)));
    ++m_generation;
    PQclear(PQexec(m_conn, "SET client_min_messages TO warning"));
    if (m_listening)
        PQclear(PQexec(m_conn, "LISTEN velkora_kitap"));
}

void ServerDatabase::listen()
{
    exec(QStringLiteral("LISTEN velkora_kitap"));
    m_listening = true;
}

int ServerDatabase::socket() const
{
    return PQsocket(m_conn);
}

bool ServerDatabase::reconnectWithoutWaiting()
{
    if (m_transactionDepth > 0)
        return false;
    if (!m_resetting) {
        // Tried again after a pause that grows while the server stays away (up to half a minute):
        // a host name is looked up while the program waits.
        if (PQstatus(m_conn) != CONNECTION_BAD || (m_retryClock.isValid() && m_retryClock.elapsed() < m_retryPauseMs))
            return false;
        m_retryClock.start();
        if (!PQresetStart(m_conn)) {
            m_retryPauseMs = std::min(m_retryPauseMs + 1000, 30000);
            return false;
        }
        m_resetting = true;
        m_resetWants = PGRES_POLLING_WRITING; // libpq's first step waits for the socket to be writable
    }
    // libpq moves on only when its socket is ready for what it waits for: asked earlier, a step
    // would block on a connection still being made.
    pollfd ready{PQsocket(m_conn), short(m_resetWants == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
    if (ready.fd < 0 || ::poll(&ready, 1, 0) <= 0) {
        if (ready.fd >= 0 && m_retryClock.elapsed() < 10000)
            return false; // under way
        m_resetting = false; // a connection that takes longer is given up and tried again later
        m_retryPauseMs = std::min(m_retryPauseMs + 1000, 30000);
        return false;
    }
    m_resetWants = PQresetPoll(m_conn);
    switch (m_resetWants) {
    case PGRES_POLLING_OK:
        m_resetting = false;
        m_retryPauseMs = 1000;
        m_retryClock.invalidate();
        ++m_generation;
        PQclear(PQexec(m_conn, "SET client_min_messages TO warning"));
        if (m_listening)
            PQclear(PQexec(m_conn, "LISTEN velkora_kitap"));
        return true;
    case PGRES_POLLING_FAILED:
        m_resetting = false;
        m_retryPauseMs = std::min(m_retryPauseMs + 1000, 30000);
        return false;
    default:
        return false; // still under way
    }
}

QList<ServerDatabase::Change> ServerDatabase::takeChanges()
{
    QList<Change> changes;
    if (m_resetting || PQstatus(m_conn) == CONNECTION_BAD) {
        // Lost while the program only listened (the server restarted): made again step by step,
        // never making the program wait for an unreachable host.
        if (!reconnectWithoutWaiting())
            return changes;
    }
    if (PQstatus(m_conn) != CONNECTION_OK || !PQconsumeInput(m_conn))
        return changes; // the next look remakes the connection
    const int own = PQbackendPID(m_conn);
    while (PGnotify *notice = PQnotifies(m_conn)) {
        // "<table> <I|U|D> <key> <topic>", written by the book's triggers.
        const QList<QByteArray> parts = QByteArray(notice->extra).split(' ');
        const bool others = notice->be_pid != own;
        PQfreemem(notice);
        if (!others || parts.size() != 4)
            continue;
        Change c;
        c.table = QString::fromLatin1(parts[0]);
        c.kind = parts[1] == "I" ? Change::Added : parts[1] == "D" ? Change::Deleted : Change::Changed;
        c.key = parts[2].toLongLong();
        c.topic = parts[3].toLongLong();
        changes << c;
    }
    return changes;
}

ServerDatabase::Result ServerDatabase::exec(const QString &sql, const QVector<QVariant> &params) const
{
    // A lost connection is made again, but never inside a transaction: what it held is gone.
    if (m_transactionDepth == 0)
        reconnectIfLost();
    QList<QByteArray> texts;
    std::vector<const char *> values;
    for (const QVariant &p : params) {
        if (p.isNull() || !p.isValid()) {
            values.push_back(nullptr);
            texts << QByteArray();
        } else {
            texts << p.toString().toUtf8();
            values.push_back(nullptr);
        }
    }
    for (qsizetype i = 0; i < texts.size(); ++i)
        if (!(params[i].isNull() || !params[i].isValid()))
            values[size_t(i)] = texts[i].constData();
    const QByteArray statement = sql.toUtf8();
    Result r(PQexecParams(m_conn, statement.constData(), int(params.size()), nullptr, values.data(), nullptr, nullptr, 0));
    if (r.status() != PGRES_COMMAND_OK && r.status() != PGRES_TUPLES_OK && PQstatus(m_conn) != CONNECTION_OK && m_transactionDepth == 0
        && statement.startsWith("SELECT")) {
        // A connection that went away while idle (the server restarted) is noticed only now; a
        // read is simply asked again on a new one. A write is not: whether it arrived is unknown.
        reconnectIfLost();
        r = Result(PQexecParams(m_conn, statement.constData(), int(params.size()), nullptr, values.data(), nullptr, nullptr, 0));
    }
    const ExecStatusType status = r.status();
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        if (PQstatus(m_conn) != CONNECTION_OK)
            throw DatabaseError(LostMessage.arg(libpqMessage(m_conn)));
        throw DatabaseError(libpqMessage(m_conn));
    }
    return r;
}

void ServerDatabase::ensureLayout()
{
    const Result found = exec(QStringLiteral("SELECT table_name || '.' || column_name || ' ' || data_type ||"
                                             " COALESCE('(' || character_maximum_length || ')', '')"
                                             " FROM information_schema.columns WHERE table_schema = current_schema()"
                                             " AND table_name IN ('master', 'detail') ORDER BY table_name, ordinal_position"));
    QStringList columns;
    for (int i = 0; i < found.rows(); ++i)
        columns << found.text(i, 0);
    if (columns.isEmpty()) {
        inTransaction([this] {
            for (const char *statement : CreateLayout)
                exec(QString::fromLatin1(statement));
            for (const char *statement : CreateNotices)
                exec(QString::fromLatin1(statement));
        });
    } else if (columns != ExpectedColumns) {
        throw DatabaseError(QStringLiteral("Sunucudaki \"master\" ve \"detail\" tabloları bir Velkora kitabının tabloları değil; "
                                           "kitap açılmadı (%1).")
                                .arg(describe()));
    } else if (!holdsNotices()) {
        // A book made before the notices: they are added once, by a writer allowed to (the tables'
        // owner). Anyone else, or a second program adding them at the same moment, opens the book
        // all the same; without the notices others' saves show only when the lists are read again.
        try {
            inTransaction([this] {
                exec(QStringLiteral("DROP TRIGGER IF EXISTS velkora_master_notice ON master"));
                exec(QStringLiteral("DROP TRIGGER IF EXISTS velkora_detail_notice ON detail"));
                for (const char *statement : CreateNotices)
                    exec(QString::fromLatin1(statement));
            });
        } catch (const DatabaseError &) {
        }
        m_notices = holdsNotices();
    }
    m_tables = {bookTable("master"), bookTable("detail")};
}

bool ServerDatabase::holdsNotices() const
{
    return exec(QStringLiteral("SELECT count(*) FROM pg_trigger WHERE tgrelid IN ('master'::regclass, 'detail'::regclass)"
                               " AND tgname IN ('velkora_master_notice', 'velkora_detail_notice')"))
               .integer(0, 0) == 2;
}

QString ServerDatabase::describe() const
{
    return QStringLiteral("%1:%2/%3").arg(QString::fromUtf8(PQhost(m_conn)), QString::fromUtf8(PQport(m_conn)), QString::fromUtf8(PQdb(m_conn)));
}

const TableInfo &ServerDatabase::table(QStringView name) const
{
    for (const TableInfo &t : m_tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return t;
    throw DatabaseError(QStringLiteral("The Microsoft Jet database engine cannot find the input table or query '%1'. "
                                       "Make sure it exists and that its name is spelled correctly.")
                            .arg(name));
}

ResultSet ServerDatabase::select(const SelectStatement &statement, const QHash<QString, QVariant> &params,
                                 const std::optional<Narrowing> &narrowing) const
{
    ResultSet result;
    result.table = table(statement.table);
    const TableInfo &t = result.table;
    QStringList list{quoted(t.keyColumn), quoted(QString::fromLatin1(schema::RowVersionColumn))};
    QVector<int> shown; // the columns read, in the order of list after the first two
    result.deferred.resize(t.columns.size());
    for (int i = 0; i < t.columns.size(); ++i) {
        result.deferred[i] = t.columns[i].type == ColumnType::LongText;
        if (!result.deferred[i]) {
            list.append(quoted(t.columns[i].name));
            shown.append(i);
        }
    }
    const auto columnOf = [&t](const QString &field) {
        const int index = t.columnIndex(field);
        if (index < 0)
            throw DatabaseError(QStringLiteral("No value given for one or more required parameters."));
        return index;
    };
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(list.join(u','), quoted(t.name));
    QStringList where;
    QVector<QVariant> bound;
    // Text is compared the book's way on this side: equality ignoring Turkish letter case, LIKE.
    int textColumn = -1;
    QString textValue;
    bool like = false;
    if (statement.condition != SelectStatement::Condition::None) {
        const int index = columnOf(statement.conditionField);
        const ColumnInfo &c = t.columns[index];
        if (statement.condition == SelectStatement::Condition::EqualsParameter) {
            QVariant value;
            bool found = false;
            for (auto it = params.cbegin(); it != params.cend(); ++it)
                if (it.key().compare(statement.parameterName, Qt::CaseInsensitive) == 0) {
                    value = it.value();
                    found = true;
                }
            if (!found)
                throw DatabaseError(QStringLiteral("No value given for one or more required parameters."));
            if (c.type == ColumnType::Integer) {
                const QVariant number = Database::converted(c, value);
                if (number.isNull()) {
                    where << QStringLiteral("FALSE"); // = NULL holds for no row
                } else {
                    bound << number;
                    where << QStringLiteral("%1 = $%2").arg(quoted(c.name)).arg(bound.size());
                }
            } else {
                textColumn = index;
                textValue = value.toString();
                if (value.isNull())
                    where << QStringLiteral("FALSE");
            }
        } else {
            textColumn = index;
            textValue = statement.likePattern;
            like = true;
        }
        if (c.type == ColumnType::LongText)
            throw DatabaseError(QStringLiteral("Data type mismatch in criteria expression."));
    }
    if (narrowing) {
        bound << narrowing->value;
        where << QStringLiteral("%1 = $%2").arg(quoted(t.columns[columnOf(narrowing->column)].name)).arg(bound.size());
    }
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY %1").arg(quoted(t.keyColumn));
    const Result r = exec(sql, bound);

    const int textAt = textColumn < 0 ? -1 : int(shown.indexOf(textColumn)) + 2;
    const LikePattern pattern(foldText(textValue));
    const std::u32string folded = foldText(textValue);
    result.rows.reserve(r.rows());
    for (int i = 0; i < r.rows(); ++i) {
        if (textAt >= 2) {
            if (r.isNull(i, textAt))
                continue;
            const QString text = r.text(i, textAt);
            if (like ? !pattern.matches(foldText(text)) : foldText(text) != folded)
                continue;
        }
        Row row;
        row.key = r.integer(i, 0);
        row.version = r.integer(i, 1);
        row.values.resize(t.columns.size());
        for (int k = 0; k < shown.size(); ++k)
            row.values[shown[k]] = r.value(i, k + 2, t.columns[shown[k]].type);
        result.rows.append(std::move(row));
    }
    if (!statement.orderByField.isEmpty()) {
        result.orderColumn = columnOf(statement.orderByField);
        result.descending = statement.descending;
        const int by = result.orderColumn;
        const bool integer = t.columns[by].type == ColumnType::Integer;
        // The book's order: ICU's Turkish collation ignoring case (nulls first), the key breaking ties.
        const auto less = [&](const Row &a, const Row &b) {
            const QVariant &x = a.values[by], &y = b.values[by];
            int c = 0;
            if (x.isNull() != y.isNull())
                c = x.isNull() ? -1 : 1;
            else if (!x.isNull())
                c = integer ? (x.toLongLong() < y.toLongLong() ? -1 : x.toLongLong() > y.toLongLong() ? 1 : 0)
                            : m_collator.compare(x.toString(), y.toString());
            if (statement.descending)
                c = -c;
            return c != 0 ? c < 0 : a.key < b.key;
        };
        std::stable_sort(result.rows.begin(), result.rows.end(), less);
    }
    return result;
}

std::optional<Row> ServerDatabase::fetchRow(const TableInfo &t, qint64 key) const
{
    QStringList list{quoted(QString::fromLatin1(schema::RowVersionColumn))};
    QVector<int> shown;
    for (int i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].type != ColumnType::LongText) {
            list.append(quoted(t.columns[i].name));
            shown.append(i);
        }
    const Result r = exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = $1").arg(list.join(u','), quoted(t.name), quoted(t.keyColumn)), {key});
    if (r.rows() == 0)
        return std::nullopt;
    Row row;
    row.key = key;
    row.version = r.integer(0, 0);
    row.values.resize(t.columns.size());
    for (int k = 0; k < shown.size(); ++k)
        row.values[shown[k]] = r.value(0, k + 1, t.columns[shown[k]].type);
    return row;
}

std::optional<Database::LongValue> ServerDatabase::fetchLong(const TableInfo &t, qint64 key, int column) const
{
    const ColumnInfo &c = t.columns.at(column);
    const Result r = exec(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = $1")
                              .arg(quoted(c.name), quoted(QString::fromLatin1(schema::RowVersionColumn)), quoted(t.name), quoted(t.keyColumn)),
                          {key});
    if (r.rows() == 0)
        return std::nullopt;
    return Database::LongValue{r.value(0, 0, c.type), r.integer(0, 1)};
}

Row ServerDatabase::insert(const TableInfo &t, const Database::Changes &values)
{
    const QVector<QVariant> bound = Database::writtenValues(t, values);
    QStringList columns, marks;
    for (const auto &change : values) {
        columns << quoted(t.columns.at(change.first).name);
        marks << QStringLiteral("$%1").arg(marks.size() + 1);
    }
    const QString sql = columns.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING %2").arg(quoted(t.name), quoted(t.keyColumn))
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING %4")
                                  .arg(quoted(t.name), columns.join(u','), marks.join(u','), quoted(t.keyColumn));
    const Result r = exec(sql, bound);
    const std::optional<Row> row = r.rows() == 1 ? fetchRow(t, r.integer(0, 0)) : std::nullopt;
    if (!row)
        throw DatabaseError(QStringLiteral("The new record could not be read back."));
    return *row;
}

qint64 ServerDatabase::update(const TableInfo &t, qint64 key, qint64 version, const Database::Changes &changes)
{
    QVector<QVariant> bound = Database::writtenValues(t, changes);
    QStringList sets;
    for (const auto &change : changes)
        sets << QStringLiteral("%1 = $%2").arg(quoted(t.columns.at(change.first).name)).arg(sets.size() + 1);
    const QString versionColumn = quoted(QString::fromLatin1(schema::RowVersionColumn));
    sets << QStringLiteral("%1 = %1 + 1").arg(versionColumn);
    bound << key << version;
    const Result r = exec(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = $%4 AND %5 = $%6")
                              .arg(quoted(t.name), sets.join(u','), quoted(t.keyColumn))
                              .arg(bound.size() - 1)
                              .arg(versionColumn)
                              .arg(bound.size()),
                          bound);
    if (r.affected() != 1)
        throw DatabaseError(QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read."));
    return version + 1;
}

void ServerDatabase::remove(const TableInfo &t, qint64 key, qint64 version)
{
    const Result r = exec(QStringLiteral("DELETE FROM %1 WHERE %2 = $1 AND %3 = $2")
                              .arg(quoted(t.name), quoted(t.keyColumn), quoted(QString::fromLatin1(schema::RowVersionColumn))),
                          {key, version});
    if (r.affected() != 1)
        throw DatabaseError(QStringLiteral("Row cannot be located for deleting. It was changed or deleted by another user since it was last read."));
}

QStringList ServerDatabase::check() const
{
    QStringList problems;
    const Result orphans = exec(QStringLiteral("SELECT count(*) FROM detail d WHERE NOT EXISTS (SELECT 1 FROM master m WHERE m.\"Sira\" = d.\"Sira\")"));
    if (orphans.integer(0, 0) > 0)
        problems << QStringLiteral("%1 subtopics belong to no topic").arg(orphans.integer(0, 0));
    const Result versions = exec(QStringLiteral("SELECT (SELECT count(*) FROM master WHERE \"Surum\" < 1) + (SELECT count(*) FROM detail WHERE \"Surum\" < 1)"));
    if (versions.integer(0, 0) > 0)
        problems << QStringLiteral("%1 rows have no valid row version").arg(versions.integer(0, 0));
    const Result long_ = exec(QStringLiteral("SELECT (SELECT count(*) FROM master WHERE length(\"Baslik\") > 255) + "
                                             "(SELECT count(*) FROM detail WHERE length(\"Altkonu\") > 255)"));
    if (long_.integer(0, 0) > 0)
        problems << QStringLiteral("%1 titles are longer than 255 characters").arg(long_.integer(0, 0));
    return problems;
}

void ServerDatabase::inTransaction(const std::function<void()> &f)
{
    if (m_transactionDepth == 0)
        exec(QStringLiteral("BEGIN"));
    ++m_transactionDepth;
    try {
        f();
    } catch (...) {
        if (--m_transactionDepth == 0 && PQstatus(m_conn) == CONNECTION_OK)
            PQclear(PQexec(m_conn, "ROLLBACK"));
        throw;
    }
    if (--m_transactionDepth == 0)
        exec(QStringLiteral("COMMIT"));
}

void ServerDatabase::beginSnapshot()
{
    if (m_transactionDepth == 0)
        exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    ++m_transactionDepth;
}

void ServerDatabase::endSnapshot()
{
    if (m_transactionDepth > 0 && --m_transactionDepth == 0 && PQstatus(m_conn) == CONNECTION_OK)
        PQclear(PQexec(m_conn, "ROLLBACK"));
}

void ServerDatabase::clear()
{
    exec(QStringLiteral("DELETE FROM master"));
    exec(QStringLiteral("DELETE FROM detail"));
}

} // namespace velkora::database
