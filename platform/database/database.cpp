// One open connection to an encrypted book file, and the record-level operations the book needs.
#include "database.h"

#include "booklogvfs.h"
#include "bookpages.h"
#include "databaseerror.h"
#include "schema.h"
#include "sqlitestatement.h"

#include <QFile>
#include <QMap>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora::database {

namespace {

QString quoted(const QString &name)
{
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

QString cannotOpenMessage(const QString &path)
{
    return QStringLiteral("The Microsoft Jet database engine cannot open the file '%1'.  It is already opened "
                          "exclusively by another user, or you need permission to view its data.")
        .arg(path);
}

// The parts features add to a book's layout (Database::registerExtension).
std::mutex g_extensionMutex;
std::vector<Database::Extension> &extensions()
{
    static std::vector<Database::Extension> list;
    return list;
}

std::vector<Database::Extension> registeredExtensions()
{
    const std::lock_guard lock(g_extensionMutex);
    return extensions();
}

QString unrecognizedMessage(const QString &path)
{
    return QStringLiteral("Unrecognized database format '%1'.").arg(path);
}

// Whether a failed step failed for want of room on the book's disk (the log or its index could not
// be made or grown).
bool diskFull(sqlite3 *db, int rc)
{
    const int system = sqlite3_system_errno(db);
    return (rc & 0xff) == SQLITE_FULL || system == ENOSPC || system == EDQUOT;
}

QString diskFullMessage(const QString &path)
{
    return QStringLiteral("There is not enough space on the disk to open the book '%1'. "
                          "Make room on that disk and start the program again.")
        .arg(path);
}

// Folded patterns are cached per statement, keyed on the pattern argument; the text is folded
// into a reused buffer so a scan over many titles allocates nothing per row.
void likeFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    auto *pattern = static_cast<LikePattern *>(sqlite3_get_auxdata(context, 0));
    if (!pattern) {
        const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
        const int n = sqlite3_value_bytes(argv[0]);
        sqlite3_set_auxdata(context, 0, new LikePattern(foldUtf8(std::string_view(p, static_cast<size_t>(n)))),
                            [](void *d) { delete static_cast<LikePattern *>(d); });
        pattern = static_cast<LikePattern *>(sqlite3_get_auxdata(context, 0));
        if (!pattern) {
            sqlite3_result_error_nomem(context);
            return;
        }
    }
    const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    const int n = sqlite3_value_bytes(argv[1]);
    thread_local std::u32string text;
    foldUtf8Into(std::string_view(t, static_cast<size_t>(n)), text);
    sqlite3_result_int(context, pattern->matches(text) ? 1 : 0);
}

int collate(void *collator, int na, const void *a, int nb, const void *b)
{
    return static_cast<const TurkishCollator *>(collator)->compareUtf8(
        std::string_view(static_cast<const char *>(a), static_cast<size_t>(na)),
        std::string_view(static_cast<const char *>(b), static_cast<size_t>(nb)));
}

// BEGIN IMMEDIATE takes the write lock up front, so the busy timeout applies to it; the
// destructor rolls back unless commit() ran.
class WriteTransaction
{
public:
    explicit WriteTransaction(sqlite3 *db) : m_db(db)
    {
        const int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw DatabaseError(sqliteMessage(db, rc));
    }
    ~WriteTransaction()
    {
        if (!m_done)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit()
    {
        const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw DatabaseError(sqliteMessage(m_db, rc));
        m_done = true;
    }

private:
    sqlite3 *m_db;
    bool m_done = false;
};

ColumnInfo columnFromDeclaration(const QString &name, const QString &declared, bool primaryKey)
{
    ColumnInfo c;
    c.name = name;
    const QString type = declared.trimmed().toUpper();
    static const QRegularExpression sized(QStringLiteral("^(VAR)?CHAR\\s*\\(\\s*(\\d+)\\s*\\)$"));
    const QRegularExpressionMatch m = sized.match(type);
    if (type.contains(QLatin1String("INT"))) {
        c.type = ColumnType::Integer;
    } else if (m.hasMatch()) {
        c.type = ColumnType::Text;
        c.size = m.captured(2).toInt();
    } else {
        c.type = ColumnType::LongText;
    }
    c.readOnly = primaryKey && c.type == ColumnType::Integer;
    return c;
}

} // namespace

int TableInfo::columnIndex(QStringView name) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

Database::Database(sqlite3 *db, QString path) : m_db(db), m_path(std::move(path)) {}

Database::~Database()
{
    // The last connection empties the log into the book and removes it, so a normal exit leaves
    // no log behind; a checkpoint first makes that so even while a statement is still open.
    if (m_db && !m_readOnly)
        sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    sqlite3_close_v2(m_db);
}

std::unique_ptr<Database> Database::open(const QString &path, const QString &password)
{
    return open(path, password, Options());
}

namespace {

bool folderWritable(const QString &path)
{
    return ::access(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), W_OK) == 0;
}

// Why a file with the book's name is not one, in words a person can act on; empty when the first
// bytes look like an encrypted book.
QString notABookReason(const QString &path, const QByteArray &head, qint64 size)
{
    const QByteArray signature = head.mid(4, 15);
    if (signature == "Standard Jet DB" || signature == "Standard ACE DB") {
        // The exact command, with a new name beside the old file; the program never converts on its own.
        QString converted = path;
        if (converted.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive))
            converted.chop(4);
        converted += QStringLiteral("-velkora.mdb");
        return QStringLiteral("'%1' is a Microsoft Access (Jet) book, not a Velkora book file. "
                              "Convert it with the command\n    velkora-book import \"%1\" \"%2\"\n"
                              "then move '%1' aside as a backup and rename '%2' to '%1'.")
            .arg(path, converted);
    }
    if (size == 0)
        return unrecognizedMessage(path) + QStringLiteral(" The file is empty: it is not a Velkora book file.");
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return unrecognizedMessage(path) + QStringLiteral(" It is an SQLite database without encryption, not a Velkora book file.");
    if (size < BookPages::PageSize)
        return unrecognizedMessage(path) +
               QStringLiteral(" It is only %1 bytes long: it is not a Velkora book file, or a book cut short.").arg(size);
    if (head.count('\0') == head.size())
        return unrecognizedMessage(path) + QStringLiteral(" Its first page holds only zero bytes: it is not a Velkora book file, "
                                                          "or a book whose beginning was wiped.");
    return QString();
}

// The message for a book file the cipher refuses: another password, another kind of file, or a
// book damaged at its header or a later page.
QString refusedMessage(const QString &path, const QString &password)
{
    const PageCheck pages = BookPages::check(path, password, 64);
    if (!pages.readable)
        return QStringLiteral("The book file '%1' cannot be read.").arg(path);
    if (pages.allDamaged())
        return QStringLiteral("Not a valid password. '%1' is not a Velkora book file, or one written with another password.")
            .arg(path);
    if (!pages.damaged.isEmpty() && pages.damaged.first() == 1)
        return QStringLiteral("The book '%1' is damaged: its header (page 1) cannot be read. "
                              "Restore the book from a backup.")
            .arg(path);
    if (!pages.damaged.isEmpty())
        return QStringLiteral("The book '%1' is damaged at page %2. Restore the book from a backup.")
            .arg(path)
            .arg(pages.damaged.first());
    if (pages.cutShort)
        return QStringLiteral("The book '%1' is damaged: it ends inside page %2. Restore the book from a backup.")
            .arg(path)
            .arg(pages.pages + 1);
    return QStringLiteral("The book '%1' is damaged: its pages are intact but their contents cannot be read. "
                          "Restore the book from a backup.")
        .arg(path);
}

} // namespace

std::unique_ptr<Database> Database::open(const QString &path, const QString &password, const Options &options)
{
    const QByteArray native = QFile::encodeName(path);
    // Anything but a regular file (after links) is refused before it is opened: reading a pipe or
    // a device would wait for ever.
    struct stat status = {};
    if (::stat(native.constData(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw DatabaseError(QStringLiteral("Could not find file '%1'.").arg(path));
        throw DatabaseError(QStringLiteral("The book file '%1' cannot be read: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (S_ISDIR(status.st_mode))
        throw DatabaseError(QStringLiteral("'%1' is a folder, not a Velkora book file.").arg(path));
    if (!S_ISREG(status.st_mode))
        throw DatabaseError(QStringLiteral("'%1' is not a regular file (it is a pipe, a socket or a device), "
                                           "so it is not a Velkora book file.")
                                .arg(path));
    if (::access(native.constData(), R_OK) != 0)
        throw DatabaseError(QStringLiteral("The book file '%1' cannot be read: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    {
        // Through SQLite's own file layer: another connection of this process may hold locks on it.
        const BookFileReader file(path);
        if (!file.isOpen())
            throw DatabaseError(QStringLiteral("The book file '%1' cannot be read.").arg(path));
        const QString reason = notABookReason(path, file.read(0, BookPages::PageSize), status.st_size);
        if (!reason.isEmpty())
            throw DatabaseError(reason);
    }
    // A file nobody may write is read-only even for a user the system would let write it.
    const bool readOnly = options.readOnly || (status.st_mode & 0222) == 0 || ::access(native.constData(), W_OK) != 0
                          || !folderWritable(path);

    sqlite3 *db = nullptr;
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    QByteArray name = native;
    // Read without a log of unsaved changes, the book is read from its file alone: SQLite would
    // otherwise make a log and its index beside it even to read.
    // Only while no other program has the book open: one that does may write it meanwhile.
    if (readOnly && QFileInfo(bookLogPath(path)).size() == 0 && otherLockHolder(path).isEmpty()) {
        name = "file:" + QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/") + "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    }
    // A book refused here leaves nothing beside it: the index and log files this open made (empty,
    // as on a full disk) go again once the connection is closed.
    struct MadeFiles
    {
        QStringList paths;
        bool keep = false;
        ~MadeFiles()
        {
            for (const QString &p : std::as_const(paths))
                if (!keep && QFileInfo(p).isFile() && QFileInfo(p).size() == 0)
                    QFile::remove(p);
        }
    } made;
    for (const QString &beside : {path + QStringLiteral("-shm"), bookLogPath(path)})
        if (!QFileInfo::exists(beside))
            made.paths << beside;
    int rc = sqlite3_open_v2(name.constData(), &db, flags, bookLogVfsName());
    std::unique_ptr<Database> database(new Database(db, path));
    database->m_readOnly = readOnly;
    database->m_password = password;
    if (rc != SQLITE_OK)
        throw DatabaseError(cannotOpenMessage(path));
    const QByteArray key = password.toUtf8();
    rc = sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
    if (rc != SQLITE_OK)
        throw DatabaseError(sqliteMessage(db, rc));
    database->exec(QByteArray("PRAGMA cipher_page_size = " + QByteArray::number(schema::CipherPageSize)).constData());
    sqlite3_busy_timeout(db, options.busyTimeoutMs);
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK && diskFull(db, rc))
        throw DatabaseError(diskFullMessage(path));
    if ((rc & 0xff) == SQLITE_NOTADB || (rc & 0xff) == SQLITE_CORRUPT)
        throw DatabaseError(refusedMessage(path, password));
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
        const QString holder = otherLockHolder(path);
        throw DatabaseError(cannotOpenMessage(path) +
                            (holder.isEmpty() ? QString() : QStringLiteral(" It is held by %1.").arg(holder)));
    }
    if ((rc & 0xff) == SQLITE_CANTOPEN)
        throw DatabaseError(readOnly ? QStringLiteral("The book '%1' has a log of unsaved changes that cannot be read from a "
                                                      "read-only folder. Open it once where it can be written.")
                                           .arg(path)
                                     : cannotOpenMessage(path));
    if (rc != SQLITE_OK)
        throw DatabaseError(unrecognizedMessage(path));
    try {
        database->configure(options);
    } catch (const DatabaseError &) {
        if (diskFull(db, sqlite3_errcode(db)))
            throw DatabaseError(diskFullMessage(path));
        throw;
    }
    database->loadLayout();
    const QStringList foreign = database->schemaDifferences();
    if (!foreign.isEmpty())
        throw DatabaseError(unrecognizedMessage(path) + QStringLiteral(" Its layout is not Velkora's own (%1); it is not opened, "
                                                                       "so that nothing in it runs.")
                                                            .arg(foreign.first()));
    database->m_strayLogs = strayLogFiles(path);
    made.keep = true;
    return database;
}

void Database::create(const QString &path, const QString &password)
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw DatabaseError(QStringLiteral("The file '%1' already exists; a new book is never written over it.").arg(path));
    if (password.isEmpty())
        throw DatabaseError(QStringLiteral("A book needs a password."));
    const QByteArray native = QFile::encodeName(path);
    {
        // The file is made for its owner alone, before anything is written into it.
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            throw DatabaseError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        ::close(fd);
    }
    // The layout is written with a rollback journal; the book switches to its write-ahead log once
    // it has its salt, so its log is named after it from the first write on.
    {
        sqlite3 *db = nullptr;
        int rc = sqlite3_open_v2(native.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, bookLogVfsName());
        Database database(db, path);
        if (rc != SQLITE_OK)
            throw DatabaseError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, sqliteMessage(db, rc)));
        const QByteArray key = password.toUtf8();
        sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
        database.exec(QByteArray("PRAGMA cipher_page_size = " + QByteArray::number(schema::CipherPageSize)).constData());
        WriteTransaction transaction(db);
        for (const char *statement : schema::CreateStatements)
            database.exec(statement);
        database.exec(QByteArray("PRAGMA user_version = " + QByteArray::number(schema::Version)).constData());
        transaction.commit();
    }
    sqlite3 *db = nullptr;
    sqlite3_open_v2(native.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, bookLogVfsName());
    Database database(db, path);
    const QByteArray key = password.toUtf8();
    sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
    database.exec(QByteArray("PRAGMA cipher_page_size = " + QByteArray::number(schema::CipherPageSize)).constData());
    database.configure(Options());
}

namespace {

std::mutex g_observerMutex;
Database::WaitObserver g_observer;

} // namespace

void Database::setWaitObserver(WaitObserver observer)
{
    const std::lock_guard lock(g_observerMutex);
    g_observer = std::move(observer);
}

int Database::busyHandler(void *self, int count)
{
    auto *db = static_cast<Database *>(self);
    if (count == 0) {
        db->m_busySince.start();
        WaitObserver observer;
        {
            const std::lock_guard lock(g_observerMutex);
            observer = g_observer;
        }
        if (observer)
            observer(db->m_path, otherLockHolder(db->m_path));
    }
    if (db->m_busySince.elapsed() >= db->m_busyTimeoutMs)
        return 0;
    sqlite3_sleep(count < 10 ? 2 : 20);
    return 1;
}

void Database::configure(const Options &options)
{
    m_busyTimeoutMs = options.busyTimeoutMs;
    sqlite3_busy_handler(m_db, &Database::busyHandler, this);
    exec("PRAGMA foreign_keys = ON");
    // Several processes may use one book: WAL lets readers go on while one writes, and a process
    // killed in the middle of a write leaves the last committed state behind. A book opened only
    // for reading is left in whatever mode it has: switching would write to it.
    if (!m_readOnly)
        exec("PRAGMA journal_mode = WAL");
    exec("PRAGMA synchronous = FULL");
    exec("PRAGMA cache_size = -16384");
    sqlite3_create_collation_v2(m_db, "VELKORA_TR", SQLITE_UTF8, &m_collator, collate, nullptr);
    sqlite3_create_function_v2(m_db, "velkora_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               likeFunction, nullptr, nullptr, nullptr);
    for (const Extension &e : registeredExtensions())
        if (e.prepare)
            e.prepare(m_db);
}

void Database::exec(const char *sql) const
{
    char *error = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        throw DatabaseError(sqliteMessage(m_db, rc));
}

int Database::schemaVersion() const
{
    SqliteStatement st(m_db, QStringLiteral("PRAGMA user_version"));
    return st.step() ? static_cast<int>(st.integer(0)) : 0;
}

QString Database::cipherVersion() const
{
    SqliteStatement st(m_db, QStringLiteral("PRAGMA cipher_version"));
    return st.step() ? st.text(0) : QString();
}

void Database::loadLayout()
{
    const int version = schemaVersion();
    if (version > schema::Version)
        throw DatabaseError(QStringLiteral("The book '%1' was written by a newer version of Velkora (layout %2) "
                                           "and cannot be opened by this one.")
                                .arg(m_path)
                                .arg(version));
    QStringList names;
    {
        SqliteStatement st(m_db, QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name"));
        while (st.step())
            names.append(st.text(0));
    }
    for (const QString &name : std::as_const(names)) {
        TableInfo table;
        table.name = name;
        SqliteStatement st(m_db, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(name)));
        while (st.step()) {
            const QString column = st.text(1);
            const bool pk = st.integer(5) != 0;
            if (column.compare(QLatin1String(schema::RowVersionColumn), Qt::CaseInsensitive) == 0) {
                table.hasRowVersion = true;
                continue;
            }
            if (pk)
                table.keyColumn = column;
            table.columns.append(columnFromDeclaration(column, st.text(2), pk));
        }
        table.keyField = table.keyColumn.isEmpty() ? -1 : table.columnIndex(table.keyColumn);
        if (table.keyColumn.isEmpty())
            table.keyColumn = QStringLiteral("rowid");
        m_tables.append(table);
    }
    const auto need = [this](const char *tableName, std::initializer_list<const char *> columns) {
        const TableInfo *found = nullptr;
        for (const TableInfo &t : m_tables)
            found = t.name.compare(QLatin1String(tableName), Qt::CaseInsensitive) == 0 ? &t : found;
        if (!found || !found->hasRowVersion)
            throw DatabaseError(unrecognizedMessage(m_path));
        for (const char *c : columns) {
            if (found->columnIndex(QLatin1String(c)) < 0)
                throw DatabaseError(unrecognizedMessage(m_path));
        }
    };
    need(schema::MasterTable, {"Sira", "Baslik"});
    need(schema::DetailTable, {"Sira", "Altkonu", "Aciklama"});
}

const TableInfo &Database::table(QStringView name) const
{
    for (const TableInfo &t : m_tables) {
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return t;
    }
    throw DatabaseError(QStringLiteral("The Microsoft Jet database engine cannot find the input table or query '%1'.  "
                                       "Make sure it exists and that its name is spelled correctly.")
                            .arg(name.toString()));
}

ResultSet Database::select(const SelectStatement &statement, const QHash<QString, QVariant> &params,
                           const std::optional<Narrowing> &narrowing) const
{
    ResultSet result;
    result.table = table(statement.table);
    const TableInfo &t = result.table;

    QStringList list{quoted(t.keyColumn), t.hasRowVersion ? quoted(QLatin1String(schema::RowVersionColumn)) : QStringLiteral("0")};
    result.deferred.resize(t.columns.size());
    for (int i = 0; i < t.columns.size(); ++i) {
        result.deferred[i] = t.columns[i].type == ColumnType::LongText;
        if (!result.deferred[i])
            list.append(quoted(t.columns[i].name));
    }
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(list.join(u','), quoted(t.name));

    const auto columnOf = [&t](const QString &field) {
        const int index = t.columnIndex(field);
        if (index < 0)
            throw DatabaseError(QStringLiteral("No value given for one or more required parameters."));
        return index;
    };
    QVariant bound;
    if (statement.condition != SelectStatement::Condition::None) {
        const ColumnInfo &c = t.columns[columnOf(statement.conditionField)];
        if (statement.condition == SelectStatement::Condition::EqualsParameter) {
            QVariant value;
            bool found = false;
            for (auto it = params.cbegin(); it != params.cend(); ++it) {
                if (it.key().compare(statement.parameterName, Qt::CaseInsensitive) == 0) {
                    value = it.value();
                    found = true;
                }
            }
            if (!found)
                throw DatabaseError(QStringLiteral("No value given for one or more required parameters."));
            bound = c.type == ColumnType::Integer ? value : QVariant(value.isNull() ? QVariant() : QVariant(value.toString()));
            sql += QStringLiteral(" WHERE %1 = ?1").arg(quoted(c.name));
            if (c.type != ColumnType::Integer)
                sql += QStringLiteral(" COLLATE VELKORA_TR");
        } else {
            bound = statement.likePattern;
            sql += QStringLiteral(" WHERE velkora_like(?1, %1)").arg(quoted(c.name));
        }
    }
    QVariant narrowed;
    if (narrowing) {
        const ColumnInfo &c = t.columns[columnOf(narrowing->column)];
        narrowed = narrowing->value;
        sql += statement.condition == SelectStatement::Condition::None ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
        sql += QStringLiteral("%1 = ?2").arg(quoted(c.name));
    }
    if (!statement.orderByField.isEmpty()) {
        result.orderColumn = columnOf(statement.orderByField);
        result.descending = statement.descending;
        const ColumnInfo &c = t.columns[result.orderColumn];
        // The key breaks ties, so titles that compare equal keep a stable order.
        sql += QStringLiteral(" ORDER BY %1%2%3, %4")
                   .arg(quoted(c.name), c.type == ColumnType::Integer ? QString() : QStringLiteral(" COLLATE VELKORA_TR"),
                        statement.descending ? QStringLiteral(" DESC") : QString(), quoted(t.keyColumn));
    }

    SqliteStatement st(m_db, sql);
    if (statement.condition != SelectStatement::Condition::None)
        st.bind(1, bound);
    if (narrowing)
        st.bind(2, narrowed);
    while (st.step()) {
        Row row;
        row.key = st.integer(0);
        row.version = st.integer(1);
        row.values.resize(t.columns.size());
        int column = 2;
        for (int i = 0; i < t.columns.size(); ++i) {
            if (!result.deferred[i])
                row.values[i] = st.value(column++);
        }
        result.rows.append(std::move(row));
    }
    if (statement.orderByField.isEmpty()) {
        // Without a sort the book's own order is the order rows were added, whichever index the
        // engine chose to read them through.
        std::sort(result.rows.begin(), result.rows.end(), [](const Row &a, const Row &b) { return a.key < b.key; });
    }
    return result;
}

std::optional<Row> Database::fetchRow(const TableInfo &t, qint64 key) const
{
    QStringList list{t.hasRowVersion ? quoted(QLatin1String(schema::RowVersionColumn)) : QStringLiteral("0")};
    for (const ColumnInfo &c : t.columns) {
        if (c.type != ColumnType::LongText)
            list.append(quoted(c.name));
    }
    SqliteStatement st(m_db, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1")
                                 .arg(list.join(u','), quoted(t.name), quoted(t.keyColumn)));
    st.bind(1, key);
    if (!st.step())
        return std::nullopt;
    Row row;
    row.key = key;
    row.version = st.integer(0);
    row.values.resize(t.columns.size());
    int column = 1;
    for (int i = 0; i < t.columns.size(); ++i) {
        if (t.columns[i].type != ColumnType::LongText)
            row.values[i] = st.value(column++);
    }
    return row;
}

std::optional<Database::LongValue> Database::fetchLong(const TableInfo &t, qint64 key, int column) const
{
    SqliteStatement st(m_db, QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = ?1")
                                 .arg(quoted(t.columns.at(column).name),
                                      t.hasRowVersion ? quoted(QLatin1String(schema::RowVersionColumn)) : QStringLiteral("0"),
                                      quoted(t.name), quoted(t.keyColumn)));
    st.bind(1, key);
    if (!st.step())
        return std::nullopt;
    return LongValue{st.value(0), st.integer(1)};
}

QVariant Database::converted(const ColumnInfo &column, const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (column.type) {
    case ColumnType::Integer: {
        if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
            return QVariant(value.toLongLong());
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return QVariant();
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok);
        if (!ok)
            throw DatabaseError(QStringLiteral("Data type mismatch in criteria expression."));
        return QVariant(n);
    }
    case ColumnType::Text: {
        const QString text = value.toString();
        if (column.size > 0 && text.size() > column.size)
            throw DatabaseError(QStringLiteral("The field is too small to accept the amount of data you attempted to add. "
                                               "Try inserting or pasting less data."));
        return QVariant(text);
    }
    case ColumnType::LongText:
        return QVariant(value.toString());
    }
    return value;
}

QVector<QVariant> Database::writtenValues(const TableInfo &t, const Changes &changes)
{
    QVector<QVariant> values;
    for (const auto &[index, value] : changes) {
        const ColumnInfo &c = t.columns.at(index);
        if (c.readOnly)
            throw DatabaseError(QStringLiteral("Field '%1' cannot be modified.").arg(c.name));
        values.append(converted(c, value));
    }
    return values;
}

Row Database::insert(const TableInfo &t, const Changes &values)
{
    const QVector<QVariant> bound = writtenValues(t, values);
    QStringList columns, marks;
    for (const auto &change : values) {
        columns.append(quoted(t.columns.at(change.first).name));
        marks.append(QStringLiteral("?%1").arg(marks.size() + 1));
    }
    const QString sql = columns.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(t.name))
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(quoted(t.name), columns.join(u','), marks.join(u','));
    WriteTransaction transaction(m_db);
    SqliteStatement st(m_db, sql);
    for (int i = 0; i < bound.size(); ++i)
        st.bind(i + 1, bound[i]);
    st.step();
    const qint64 key = sqlite3_last_insert_rowid(m_db);
    std::optional<Row> row = fetchRow(t, key);
    transaction.commit();
    if (!row)
        throw DatabaseError(QStringLiteral("The new record could not be read back."));
    return *row;
}

qint64 Database::update(const TableInfo &t, qint64 key, qint64 version, const Changes &changes)
{
    const QVector<QVariant> bound = writtenValues(t, changes);
    QStringList sets;
    for (const auto &change : changes)
        sets.append(QStringLiteral("%1 = ?%2").arg(quoted(t.columns.at(change.first).name)).arg(sets.size() + 1));
    if (t.hasRowVersion)
        sets.append(QStringLiteral("%1 = %1 + 1").arg(quoted(QLatin1String(schema::RowVersionColumn))));
    if (sets.isEmpty())
        return version;
    QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?%4")
                      .arg(quoted(t.name), sets.join(u','), quoted(t.keyColumn))
                      .arg(bound.size() + 1);
    if (t.hasRowVersion)
        sql += QStringLiteral(" AND %1 = ?%2").arg(quoted(QLatin1String(schema::RowVersionColumn))).arg(bound.size() + 2);
    WriteTransaction transaction(m_db);
    SqliteStatement st(m_db, sql);
    for (int i = 0; i < bound.size(); ++i)
        st.bind(i + 1, bound[i]);
    st.bind(bound.size() + 1, key);
    if (t.hasRowVersion)
        st.bind(bound.size() + 2, version);
    st.step();
    if (sqlite3_changes(m_db) != 1)
        throw DatabaseError(QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read."));
    transaction.commit();
    return t.hasRowVersion ? version + 1 : version;
}

void Database::remove(const TableInfo &t, qint64 key, qint64 version)
{
    QString sql = QStringLiteral("DELETE FROM %1 WHERE %2 = ?1").arg(quoted(t.name), quoted(t.keyColumn));
    if (t.hasRowVersion)
        sql += QStringLiteral(" AND %1 = ?2").arg(quoted(QLatin1String(schema::RowVersionColumn)));
    WriteTransaction transaction(m_db);
    SqliteStatement st(m_db, sql);
    st.bind(1, key);
    if (t.hasRowVersion)
        st.bind(2, version);
    st.step();
    if (sqlite3_changes(m_db) != 1)
        throw DatabaseError(QStringLiteral("Row cannot be located for deleting. It was changed or deleted by another user since it was last read."));
    transaction.commit();
}

namespace {

// What sqlite_master holds, by "type name": the statement that made it.
QMap<QString, QString> layoutOf(sqlite3 *db)
{
    QMap<QString, QString> out;
    SqliteStatement st(db, QStringLiteral("SELECT type, name, sql FROM sqlite_master"));
    while (st.step())
        out.insert(st.text(0) + u' ' + st.text(1), st.text(2));
    return out;
}

} // namespace

namespace {

// The layout the statements make, in a database of its own in memory (prepared as a book is).
QMap<QString, QString> layoutMadeBy(const std::vector<QByteArray> &statements, const std::function<void(sqlite3 *)> &prepare)
{
    sqlite3 *memory = nullptr;
    sqlite3_open_v2(":memory:", &memory, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (prepare)
        prepare(memory);
    for (const char *statement : schema::CreateStatements)
        sqlite3_exec(memory, statement, nullptr, nullptr, nullptr);
    for (const QByteArray &statement : statements)
        sqlite3_exec(memory, statement.constData(), nullptr, nullptr, nullptr);
    QMap<QString, QString> layout = layoutOf(memory);
    sqlite3_close(memory);
    return layout;
}

} // namespace

void Database::registerExtension(Extension extension)
{
    const std::lock_guard lock(g_extensionMutex);
    auto &list = extensions();
    for (Extension &e : list)
        if (e.name == extension.name) {
            e = std::move(extension);
            return;
        }
    list.push_back(std::move(extension));
}

bool Database::hasExtension(const QString &name) const
{
    const QMap<QString, QString> book = layoutOf(m_db);
    for (const Extension &e : registeredExtensions()) {
        if (e.name != name)
            continue;
        const QMap<QString, QString> base = layoutMadeBy({}, {});
        const QMap<QString, QString> with = layoutMadeBy(e.createStatements, e.prepare);
        for (auto it = with.cbegin(); it != with.cend(); ++it)
            if (!base.contains(it.key()) && book.contains(it.key()))
                return true;
    }
    return false;
}

QStringList Database::schemaDifferences() const
{
    static const QMap<QString, QString> own = layoutMadeBy({}, {});
    // The table SQLite keeps the last keys in appears with the first row; its form is SQLite's own.
    const QString sequence = QStringLiteral("table sqlite_sequence");
    QStringList differences;
    const QMap<QString, QString> book = layoutOf(m_db);
    // The parts features add, each accepted whole.
    QMap<QString, QString> accepted;
    for (const Extension &e : registeredExtensions()) {
        QMap<QString, QString> part = layoutMadeBy(e.createStatements, e.prepare);
        for (auto it = own.cbegin(); it != own.cend(); ++it)
            part.remove(it.key());
        int present = 0;
        for (auto it = part.cbegin(); it != part.cend(); ++it)
            present += book.contains(it.key()) ? 1 : 0;
        if (present == 0)
            continue;
        for (auto it = part.cbegin(); it != part.cend(); ++it) {
            if (!book.contains(it.key()))
                differences.append(QStringLiteral("the %1 of the %2 is missing").arg(it.key(), e.name));
            accepted.insert(it.key(), it.value());
        }
    }
    for (auto it = book.cbegin(); it != book.cend(); ++it) {
        if (it.key() == sequence)
            continue;
        const bool ours = own.contains(it.key()) || accepted.contains(it.key());
        const QString defined = own.contains(it.key()) ? own.value(it.key()) : accepted.value(it.key());
        if (!ours)
            differences.append(QStringLiteral("the book holds a %1 the program does not make").arg(it.key()));
        else if (defined != it.value())
            differences.append(QStringLiteral("the %1 is defined otherwise than the program defines it").arg(it.key()));
    }
    for (auto it = own.cbegin(); it != own.cend(); ++it) {
        if (!book.contains(it.key()))
            differences.append(QStringLiteral("the %1 is missing").arg(it.key()));
    }
    return differences;
}

QStringList Database::check() const
{
    // The pages first: a damaged one can stop the checks that read through SQLite.
    QStringList problems;
    const PageCheck pages = BookPages::check(m_path, m_password);
    for (const qint64 page : pages.damaged)
        problems.append(page == 1 ? QStringLiteral("page 1 (the header) is damaged") : QStringLiteral("page %1 is damaged").arg(page));
    if (pages.damagedCount > pages.damaged.size())
        problems.append(QStringLiteral("%1 more pages are damaged").arg(pages.damagedCount - pages.damaged.size()));
    if (pages.cutShort)
        problems.append(QStringLiteral("the file ends inside page %1").arg(pages.pages + 1));
    try {
        problems.append(layoutProblems());
        for (const Extension &e : registeredExtensions())
            if (e.check && hasExtension(e.name))
                problems.append(e.check(*this));
    } catch (const DatabaseError &e) {
        problems.append(QStringLiteral("the book cannot be read through: %1").arg(e.message()));
    }
    return problems;
}

QStringList Database::layoutProblems() const
{
    QStringList problems = schemaDifferences();
    {
        SqliteStatement st(m_db, QStringLiteral("PRAGMA integrity_check"));
        while (st.step()) {
            const QString line = st.text(0);
            if (line != u"ok")
                problems.append(line);
        }
    }
    {
        SqliteStatement st(m_db, QStringLiteral("PRAGMA foreign_key_check"));
        while (st.step())
            problems.append(QStringLiteral("subtopic row %1 of table %2 names a topic that does not exist")
                                .arg(st.integer(1))
                                .arg(st.text(0)));
    }
    if (schemaVersion() != schema::Version)
        problems.append(QStringLiteral("layout version is %1, expected %2").arg(schemaVersion()).arg(schema::Version));
    bool cascade = false;
    {
        SqliteStatement st(m_db, QStringLiteral("PRAGMA foreign_key_list(detail)"));
        while (st.step()) {
            cascade = cascade || (st.text(2).compare(QLatin1String("master"), Qt::CaseInsensitive) == 0
                                  && st.text(3).compare(QLatin1String("Sira"), Qt::CaseInsensitive) == 0
                                  && st.text(6).compare(QLatin1String("CASCADE"), Qt::CaseInsensitive) == 0);
        }
    }
    if (!cascade)
        problems.append(QStringLiteral("detail.Sira does not cascade deletions from master.Sira"));
    const TableInfo &master = table(QLatin1String(schema::MasterTable));
    const TableInfo &detail = table(QLatin1String(schema::DetailTable));
    const auto expect = [&problems](const TableInfo &t, const char *name, ColumnType type) {
        const int i = t.columnIndex(QLatin1String(name));
        if (i < 0 || t.columns[i].type != type)
            problems.append(QStringLiteral("column %1.%2 is missing or of the wrong type").arg(t.name, QLatin1String(name)));
    };
    expect(master, "Sira", ColumnType::Integer);
    expect(master, "Baslik", ColumnType::Text);
    expect(detail, "Sira", ColumnType::Integer);
    expect(detail, "Altkonu", ColumnType::Text);
    expect(detail, "Aciklama", ColumnType::LongText);
    if (master.keyColumn.compare(QLatin1String("Sira"), Qt::CaseInsensitive) != 0)
        problems.append(QStringLiteral("master.Sira is not the key assigned by the database"));
    return problems;
}

} // namespace velkora::database
