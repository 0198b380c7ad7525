// A book kept by a PostgreSQL server: the same two tables, keys, row versions and cascade as a book
// file, reached through libpq, with the same record-level operations as Database.
#pragma once

#include "database.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

struct pg_conn;

namespace velkora::database {

// Titles are ordered and matched exactly as in a book file: the rows a statement selects are read
// with bound parameters only (nothing of a title or a search is pasted into SQL), then filtered with
// the book's Turkish LIKE and sorted with its ICU collation on this side, so both kinds of book
// order and find the same titles. A write names the row version it read; a row changed or deleted
// by another writer meanwhile is refused with the same messages as a book file.
//
// TLS: a connection to any host but this machine (localhost, a loopback address or a Unix socket)
// must be encrypted: without an sslmode it asks for "require"; disable, allow and prefer are refused.
// A connection lost between two calls is made again at the next call; a call that fails so changes
// nothing and can be repeated.
class ServerDatabase
{
public:
    // A change another program saved, as the server tells every program that listens on the book:
    // the table ("master" or "detail"), the row's key and the topic it belongs to (a topic's own key
    // for "master"), and whether the row was added, changed or deleted.
    struct Change
    {
        enum Kind { Added, Changed, Deleted };
        QString table;
        qint64 key = 0;
        qint64 topic = 0;
        Kind kind = Changed;
    };

    // Asks the person for the server's password when the server wants one that neither the
    // connection string nor ~/.pgpass gave, or refused the one they typed: where names the server
    // and database, problem is empty the first time and says what went wrong after. Nothing when
    // they declined. The program sets it; without it (tools, tests) opening fails with the message.
    // A password typed is kept in memory for the run only (later connections to the same book use
    // it), never written anywhere.
    using PasswordPrompt = std::function<std::optional<QString>(const QString &where, const QString &problem)>;
    static void setPasswordPrompt(PasswordPrompt prompt);
    // Forgets the passwords typed during this run.
    static void forgetPasswords();
    // The connection string without a password it holds (said in *hadOne); unchanged when libpq
    // cannot read it (opening it then says why).
    static QString withoutPassword(const QString &connectionInfo, bool *hadOne);

    // Connects with a libpq connection string; password, when not empty, is used instead of one from
    // the user's ~/.pgpass. Gives the book its two tables when the database has neither (layout) and
    // refuses a database whose tables are not a book's. Throws DatabaseError with a Turkish message
    // naming what to mend (server down, wrong password, no such database, TLS required).
    static std::unique_ptr<ServerDatabase> open(const QString &connectionInfo, const QString &password = QString());
    ~ServerDatabase();
    ServerDatabase(const ServerDatabase &) = delete;
    ServerDatabase &operator=(const ServerDatabase &) = delete;

    const TableInfo &table(QStringView name) const;
    ResultSet select(const SelectStatement &statement, const QHash<QString, QVariant> &params,
                     const std::optional<Narrowing> &narrowing = std::nullopt) const;
    std::optional<Row> fetchRow(const TableInfo &table, qint64 key) const;
    std::optional<Database::LongValue> fetchLong(const TableInfo &table, qint64 key, int column) const;
    Row insert(const TableInfo &table, const Database::Changes &values);
    qint64 update(const TableInfo &table, qint64 key, qint64 version, const Database::Changes &changes);
    void remove(const TableInfo &table, qint64 key, qint64 version);

    // Rows whose detail has no topic, keys out of order, a layout that is not the book's: empty when
    // all is well.
    QStringList check() const;

    // Runs f inside one transaction (a copy into the book), committed when f returns, rolled back
    // when it throws.
    void inTransaction(const std::function<void()> &f);
    // Reads that follow see one state of the book until endSnapshot(), whatever others save meanwhile
    // (a read-only repeatable-read transaction): an export reads the whole book so.
    void beginSnapshot();
    void endSnapshot();

    // Removes every topic and subtopic (within a transaction, before a copy into the book).
    void clear();

    // Where the book lives, for messages: host (or socket folder), port and database.
    QString describe() const;
    pg_conn *handle() const { return m_conn; }

    // From now on the server tells this connection of every save, delete and new row of the book
    // (LISTEN; made again after a lost connection is remade). The changes arrive on socket(): when it
    // is readable, takeChanges() gives those of other programs (this connection's own are left out).
    void listen();
    // Whether the book tells of saves at all: a book made before the notices, opened by a writer
    // not allowed to add them, does not.
    bool notifies() const { return m_notices; }
    int socket() const;
    QList<Change> takeChanges();
    // Goes up each time the connection is made again (the socket may then be another one, and
    // notices sent meanwhile are lost).
    int connectionGeneration() const { return m_generation; }

private:
    explicit ServerDatabase(pg_conn *conn, QString connectionInfo, QString password);
    class Result;
    Result exec(const QString &sql, const QVector<QVariant> &params = {}) const;
    void ensureLayout();
    bool holdsNotices() const;
    void reconnectIfLost() const;
    bool reconnectWithoutWaiting();

    pg_conn *m_conn = nullptr;
    QString m_connectionInfo, m_password;
    QVector<TableInfo> m_tables;
    TurkishCollator m_collator;
    int m_transactionDepth = 0;
    bool m_listening = false;
    bool m_notices = true;
    mutable int m_generation = 0;
    mutable bool m_resetting = false; // a connection being made again without waiting
    int m_resetWants = 0;             // what libpq waits for next while it is made (a PostgresPollingStatusType)
    QElapsedTimer m_retryClock;
    int m_retryPauseMs = 1000;
};

} // namespace velkora::database
