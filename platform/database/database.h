// One open connection to an encrypted book file, and the record-level operations the book needs.
#pragma once

#include "selectstatement.h"
#include "turkishtext.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QVarLengthArray>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct sqlite3;

namespace velkora::database {

enum class ColumnType { Integer, Text, LongText };

struct ColumnInfo
{
    QString name;
    ColumnType type = ColumnType::Text;
    int size = 0;          // characters for Text; 0 for the others
    bool readOnly = false; // assigned by the database (the key)
};

struct TableInfo
{
    QString name;
    QString keyColumn;         // the rowid column
    int keyField = -1;         // index of the key among the columns, -1 when not shown
    QVector<ColumnInfo> columns; // the visible columns, in table order
    bool hasRowVersion = false;

    int columnIndex(QStringView name) const; // -1 when unknown; letter case ignored
    int columnIndex(QLatin1String name) const { return columnIndex(QStringView(QString(name))); }
};

// One row as a record set holds it. Long-text values are not read with the row: they are null
// here and come on demand through Database::fetchLong.
struct Row
{
    qint64 key = 0;
    qint64 version = 0;
    // Inline for the book's tables (at most four shown columns), so a large result costs no
    // allocation per row for its values.
    QVarLengthArray<QVariant, 4> values;
};

// Asks select for only the rows whose column equals value, on top of the statement's own
// condition. A record set that shows one topic of a search over the whole book reads just that
// topic's matches, through the index, instead of every match of the book.
struct Narrowing
{
    QString column;
    qint64 value = 0;
};

struct ResultSet
{
    TableInfo table;
    QVector<Row> rows;
    QVector<bool> deferred; // per column: value fetched on demand
    int orderColumn = -1;   // the sort column, -1 when the database's own order
    bool descending = false;
};

class Database
{
public:
    struct Options
    {
        int busyTimeoutMs = 5000;
        // Opens the book without writing a byte to it (its log mode is left as it is). A book the
        // user cannot write, or whose folder they cannot write, is always opened so.
        bool readOnly = false;
    };

    // Opens an existing book. Throws DatabaseError with a message a person can act on when the file
    // is missing, not a regular file, unreadable, not a book, keyed with another password, damaged
    // (naming the header or the page), locked (naming the holder where known), a Jet file, or of a
    // layout that is not the program's own (an added trigger, view, index or column included).
    // The provider's own wording leads where it has one (missing, wrong password, locked).
    static std::unique_ptr<Database> open(const QString &path, const QString &password);
    static std::unique_ptr<Database> open(const QString &path, const QString &password, const Options &options);

    // Creates an empty book with the current layout. Refuses to touch an existing file.
    static void create(const QString &path, const QString &password);

    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    const QString &path() const { return m_path; }
    const TableInfo &table(QStringView name) const; // throws for an unknown table
    const TableInfo &table(QLatin1String name) const { return table(QStringView(QString(name))); }

    // Runs a parsed statement; params are matched to :names without regard to letter case.
    ResultSet select(const SelectStatement &statement, const QHash<QString, QVariant> &params,
                     const std::optional<Narrowing> &narrowing = std::nullopt) const;

    std::optional<Row> fetchRow(const TableInfo &table, qint64 key) const;

    struct LongValue
    {
        QVariant value;
        qint64 version = 0;
    };
    std::optional<LongValue> fetchLong(const TableInfo &table, qint64 key, int column) const;

    // The writes, each its own transaction. Values are (column index, value) pairs.
    // insert returns the stored row (its key assigned by the database); update returns the new row
    // version. update and remove fail, changing nothing, when the row's version is no longer
    // `version` (another connection changed or deleted it).
    using Changes = QVector<std::pair<int, QVariant>>;
    // A value as a column stores it: a number for an integer column (text that is not one is
    // refused), text within a text column's size; null stays null. Throws DatabaseError.
    static QVariant converted(const ColumnInfo &column, const QVariant &value);
    // The values of a write, each converted for its column; a column the database assigns is refused.
    static QVector<QVariant> writtenValues(const TableInfo &table, const Changes &changes);
    Row insert(const TableInfo &table, const Changes &values);
    qint64 update(const TableInfo &table, qint64 key, qint64 version, const Changes &changes);
    void remove(const TableInfo &table, qint64 key, qint64 version);

    // Problems found by SQLite's integrity check, by authenticating every page, and by comparing
    // the layout with the program's own; empty when all is well.
    QStringList check() const;
    // How the layout differs from the program's own: tables, columns and their types, indexes,
    // and no triggers or views. Empty when it is the same.
    QStringList schemaDifferences() const;

    // A part of the layout that a feature of the program adds to a book (the full-text index): its
    // tables, triggers and indexes, made by its create statements. A book holds such a part whole,
    // exactly as the feature makes it, or not at all; the layout check accepts nothing else. The
    // feature prepares every connection the program opens (the functions and tokenizers its
    // triggers use), and adds its own problems to check(). Registered at start, before any book
    // is opened; one per name.
    struct Extension
    {
        QString name;
        std::vector<QByteArray> createStatements;
        std::function<void(sqlite3 *)> prepare;
        std::function<QStringList(const Database &)> check; // only when the book holds the part
    };
    static void registerExtension(Extension extension);
    // Whether the book holds the named part.
    bool hasExtension(const QString &name) const;

    // Told once per wait when a statement has to wait for another program that holds the book
    // (up to the busy timeout), with that program where the system can name it. Called on the
    // thread that waits; the front end shows the wait from it. One observer for the process.
    using WaitObserver = std::function<void(const QString &path, const QString &holder)>;
    static void setWaitObserver(WaitObserver observer);

    bool isReadOnly() const { return m_readOnly; }
    // Log or journal files beside the book that are not its own; left alone, to be named to the user.
    const QStringList &strayLogs() const { return m_strayLogs; }

    QString cipherVersion() const;
    int schemaVersion() const;
    sqlite3 *handle() const { return m_db; }
    const TurkishCollator &collator() const { return m_collator; }

private:
    Database(sqlite3 *db, QString path);
    void configure(const Options &options);
    void loadLayout();
    QStringList layoutProblems() const;
    static int busyHandler(void *self, int count);
    void exec(const char *sql) const;

    sqlite3 *m_db = nullptr;
    QString m_path;
    QString m_password;
    bool m_readOnly = false;
    int m_busyTimeoutMs = 5000;
    QElapsedTimer m_busySince; // since the current wait began
    QStringList m_strayLogs;
    QVector<TableInfo> m_tables;
    TurkishCollator m_collator;
};

} // namespace velkora::database
