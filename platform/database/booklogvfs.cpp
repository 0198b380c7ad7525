// A thin layer over SQLite's own file system that names a book's write-ahead log and rollback
// journal after the book itself, so that a log left beside it by another book is never replayed.
#include "booklogvfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlcipher/sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

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

std::string saltOfFile(const std::string &book)
{
    const int fd = ::open(book.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return "new";
    unsigned char salt[SaltBytes];
    const ssize_t n = ::pread(fd, salt, sizeof salt, 0);
    ::close(fd);
    if (n != SaltBytes)
        return "new";
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : salt) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
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
    const std::lock_guard lock(g_mutex);
    const std::string key(book);
    auto it = g_salts.find(key);
    if (it == g_salts.end())
        it = g_salts.emplace(key, saltOfFile(key)).first;
    std::string full = std::string(name) + '.' + it->second;
    full += '\0';
    return g_names.insert(std::move(full)).first->c_str();
}

int xOpen(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    const bool log = flags & (SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL);
    const int rc = g_base->xOpen(g_base, log ? mapped(name) : name, file, flags, outFlags);
    if (rc == SQLITE_OK && name && (flags & SQLITE_OPEN_MAIN_DB)) {
        const std::lock_guard lock(g_mutex);
        g_salts[name] = saltOfFile(name);
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
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-journal")}) {
        const QString plain = book.fileName() + suffix;
        const QStringList names = dir.entryList({plain, plain + QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &name : names) {
            if (name == plain + own || QFileInfo(dir.filePath(name)).size() == 0)
                continue;
            stray.append(dir.filePath(name));
        }
    }
    return stray;
}

} // namespace velkora::database
