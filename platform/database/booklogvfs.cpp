// A thin layer over SQLite's own file system that names a book's write-ahead log and rollback
// journal after the book itself, so that a log left beside it by another book is never replayed.
#include "booklogvfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlcipher/sqlite3.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace velkora::database {

namespace {

constexpr std::string_view LogSuffixes[] = {"-wal", "-journal"};
constexpr int SaltBytes = 16;

sqlite3_vfs g_vfs;
sqlite3_vfs *g_base = nullptr;
std::once_flag g_registered;

// The salt each book was found with when it was opened, by full path. A connection keeps using the
// log name it started with even when the book's file gains its salt meanwhile.
std::mutex g_mutex;
std::map<std::string, std::string> g_salts;
// Names handed to SQLite must stay valid as long as the file is open: they are kept here, each
// ending in two NULs as SQLite's own file names do.
std::set<std::string> g_names;

std::string hexOf(const unsigned char *bytes, int n)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (int i = 0; i < n; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

// The salt of a book file SQLite has just opened, read through that same file.
std::string saltOfOpenFile(sqlite3_file *file)
{
    unsigned char salt[SaltBytes];
    if (!file->pMethods || file->pMethods->xRead(file, salt, SaltBytes, 0) != SQLITE_OK)
        return "new"; // a short read: a file still empty
    return hexOf(salt, SaltBytes);
}

std::string saltOfFile(const std::string &book)
{
    {
        const std::lock_guard lock(g_mutex);
        if (const auto it = g_salts.find(book); it != g_salts.end() && it->second != "new")
            return it->second;
    }
    const BookFileReader reader(QFile::decodeName(QByteArray::fromStdString(book)));
    const QByteArray salt = reader.isOpen() ? reader.read(0, SaltBytes) : QByteArray();
    if (salt.size() != SaltBytes)
        return "new";
    return hexOf(reinterpret_cast<const unsigned char *>(salt.constData()), SaltBytes);
}

// The book a log or journal name belongs to, or an empty view for any other file.
std::string_view bookOf(std::string_view name)
{
    for (const std::string_view suffix : LogSuffixes) {
        if (name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix)
            return name.substr(0, name.size() - suffix.size());
    }
    return {};
}

// The name the file really has: a book's log and journal carry the book's salt.
const char *mapped(const char *name)
{
    if (!name)
        return name;
    const std::string_view book = bookOf(name);
    if (book.empty())
        return name;
    const std::string key(book);
    std::string salt;
    {
        const std::lock_guard lock(g_mutex);
        if (const auto it = g_salts.find(key); it != g_salts.end())
            salt = it->second;
    }
    if (salt.empty()) {
        const std::string found = saltOfFile(key); // reads the book, outside the lock
        const std::lock_guard lock(g_mutex);
        salt = g_salts.emplace(key, found).first->second;
    }
    std::string full = std::string(name) + '.' + salt;
    full += '\0';
    const std::lock_guard lock(g_mutex);
    return g_names.insert(std::move(full)).first->c_str();
}

int xOpen(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    const bool log = flags & (SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL);
    const int rc = g_base->xOpen(g_base, log ? mapped(name) : name, file, flags, outFlags);
    if (rc == SQLITE_OK && name && (flags & SQLITE_OPEN_MAIN_DB)) {
        const std::string salt = saltOfOpenFile(file);
        const std::lock_guard lock(g_mutex);
        g_salts[name] = salt;
    }
    return rc;
}

int xDelete(sqlite3_vfs *, const char *name, int syncDir) { return g_base->xDelete(g_base, mapped(name), syncDir); }
int xAccess(sqlite3_vfs *, const char *name, int flags, int *out) { return g_base->xAccess(g_base, mapped(name), flags, out); }
int xFullPathname(sqlite3_vfs *, const char *name, int n, char *out) { return g_base->xFullPathname(g_base, name, n, out); }
void *xDlOpen(sqlite3_vfs *, const char *name) { return g_base->xDlOpen(g_base, name); }
void xDlError(sqlite3_vfs *, int n, char *out) { g_base->xDlError(g_base, n, out); }
void (*xDlSym(sqlite3_vfs *, void *handle, const char *symbol))(void) { return g_base->xDlSym(g_base, handle, symbol); }
void xDlClose(sqlite3_vfs *, void *handle) { g_base->xDlClose(g_base, handle); }
int xRandomness(sqlite3_vfs *, int n, char *out) { return g_base->xRandomness(g_base, n, out); }
int xSleep(sqlite3_vfs *, int microseconds) { return g_base->xSleep(g_base, microseconds); }
int xCurrentTime(sqlite3_vfs *, double *out) { return g_base->xCurrentTime(g_base, out); }
int xGetLastError(sqlite3_vfs *, int n, char *out) { return g_base->xGetLastError ? g_base->xGetLastError(g_base, n, out) : 0; }
int xCurrentTimeInt64(sqlite3_vfs *, sqlite3_int64 *out) { return g_base->xCurrentTimeInt64(g_base, out); }
int xSetSystemCall(sqlite3_vfs *, const char *name, sqlite3_syscall_ptr call) { return g_base->xSetSystemCall(g_base, name, call); }
sqlite3_syscall_ptr xGetSystemCall(sqlite3_vfs *, const char *name) { return g_base->xGetSystemCall(g_base, name); }
const char *xNextSystemCall(sqlite3_vfs *, const char *name) { return g_base->xNextSystemCall(g_base, name); }

void registerVfs()
{
    g_base = sqlite3_vfs_find(nullptr);
    g_vfs = sqlite3_vfs();
    g_vfs.iVersion = std::min(g_base->iVersion, 3);
    g_vfs.szOsFile = g_base->szOsFile;
    g_vfs.mxPathname = g_base->mxPathname;
    g_vfs.zName = "velkora-book";
    g_vfs.xOpen = xOpen;
    g_vfs.xDelete = xDelete;
    g_vfs.xAccess = xAccess;
    g_vfs.xFullPathname = xFullPathname;
    g_vfs.xDlOpen = xDlOpen;
    g_vfs.xDlError = xDlError;
    g_vfs.xDlSym = xDlSym;
    g_vfs.xDlClose = xDlClose;
    g_vfs.xRandomness = xRandomness;
    g_vfs.xSleep = xSleep;
    g_vfs.xCurrentTime = xCurrentTime;
    g_vfs.xGetLastError = xGetLastError;
    if (g_vfs.iVersion >= 2)
        g_vfs.xCurrentTimeInt64 = xCurrentTimeInt64;
    if (g_vfs.iVersion >= 3) {
        g_vfs.xSetSystemCall = xSetSystemCall;
        g_vfs.xGetSystemCall = xGetSystemCall;
        g_vfs.xNextSystemCall = xNextSystemCall;
    }
    sqlite3_vfs_register(&g_vfs, 0);
}

} // namespace

const char *bookLogVfsName()
{
    std::call_once(g_registered, registerVfs);
    return g_vfs.zName;
}

QString bookLogPath(const QString &bookPath)
{
    const QString full = QFileInfo(bookPath).absoluteFilePath();
    return full + QStringLiteral("-wal.") + QString::fromLatin1(saltOfFile(QFile::encodeName(full).toStdString()));
}

QStringList strayLogFiles(const QString &bookPath)
{
    const QFileInfo book(bookPath);
    const QString own = QStringLiteral(".") + QString::fromLatin1(saltOfFile(QFile::encodeName(book.absoluteFilePath()).toStdString()));
    QStringList stray;
    const QDir dir = book.absoluteDir();
    // Compared as text, in its letter case: a book's name is no pattern.
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-journal")}) {
        const QString plain = book.fileName() + suffix;
        for (const QString &name : names) {
            if (name != plain && !name.startsWith(plain + u'.'))
                continue;
            if (name == plain + own || QFileInfo(dir.filePath(name)).size() == 0)
                continue;
            stray.append(dir.filePath(name));
        }
    }
    return stray;
}

BookFileReader::BookFileReader(const QString &path) : m_name(QFile::encodeName(QFileInfo(path).absoluteFilePath()))
{
    bookLogVfsName(); // the base layer is found on first use
    m_name.append('\0'); // SQLite's names end in two NULs
    auto *file = static_cast<sqlite3_file *>(sqlite3_malloc(g_base->szOsFile));
    if (!file)
        return;
    std::memset(file, 0, static_cast<size_t>(g_base->szOsFile));
    int out = 0;
    if (g_base->xOpen(g_base, m_name.constData(), file, SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_READONLY, &out) != SQLITE_OK) {
        if (file->pMethods)
            file->pMethods->xClose(file);
        sqlite3_free(file);
        return;
    }
    m_file = file;
}

BookFileReader::~BookFileReader()
{
    if (m_file) {
        m_file->pMethods->xClose(m_file); // kept open by SQLite while another connection holds locks
        sqlite3_free(m_file);
    }
}

qint64 BookFileReader::size() const
{
    sqlite3_int64 size = 0;
    return m_file && m_file->pMethods->xFileSize(m_file, &size) == SQLITE_OK ? size : 0;
}

QByteArray BookFileReader::read(qint64 offset, qint64 bytes) const
{
    if (!m_file || bytes <= 0 || offset < 0)
        return QByteArray();
    const qint64 available = std::max<qint64>(0, std::min(bytes, size() - offset));
    QByteArray out(static_cast<qsizetype>(available), '\0');
    if (available == 0 || m_file->pMethods->xRead(m_file, out.data(), static_cast<int>(available), offset) != SQLITE_OK)
        return QByteArray();
    return out;
}

QString otherLockHolder(const QString &bookPath)
{
    // /proc/locks: "1: POSIX  ADVISORY  WRITE 1234 08:01:5678 120 120"; waiters are marked "->".
    struct stat book = {}, index = {};
    const QByteArray native = QFile::encodeName(bookPath);
    if (::stat(native.constData(), &book) != 0)
        return QString();
    const bool haveIndex = ::stat((native + "-shm").constData(), &index) == 0;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return QString();
    const auto same = [](const QByteArray &id, const struct stat &st) {
        const QList<QByteArray> parts = id.split(':');
        bool a = false, b = false, c = false;
        return parts.size() == 3 && parts[0].toUInt(&a, 16) == major(st.st_dev) && parts[1].toUInt(&b, 16) == minor(st.st_dev)
               && parts[2].toULongLong(&c) == st.st_ino && a && b && c;
    };
    qint64 writer = 0, reader = 0;
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 8 || f[1] == "->")
            continue;
        const qint64 pid = f[4].toLongLong();
        if (pid <= 0 || pid == ::getpid())
            continue;
        if (!same(f[5], book) && !(haveIndex && same(f[5], index)))
            continue;
        (f[3] == "WRITE" ? writer : reader) = pid;
    }
    const qint64 pid = writer ? writer : reader;
    if (!pid)
        return QString();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
    return name.isEmpty() ? QStringLiteral("process %1").arg(pid) : QStringLiteral("process %1 (%2)").arg(pid).arg(name);
}

} // namespace velkora::database
