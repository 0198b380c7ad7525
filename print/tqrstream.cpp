// The page store's byte stream: memory, a private nameless temporary file, or a report file read in place.
#include "print/tqrstream.h"

#include "print/tqrpagelist.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora::print {

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void readError()
{
    throw ReportFileError(QStringLiteral("Stream read error"));
}

[[noreturn]] void writeError(int error)
{
    throw ReportFileError(QStringLiteral("Stream write error. %1").arg(systemReason(error)));
}

// Opens a nameless read-write file in folder: O_TMPFILE where the file system has it, else a file
// created and unlinked before anything is written to it. -1 with errno set on failure.
int openNameless(const QByteArray &folder)
{
    int fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT))
        return fd;
    QByteArray name = folder + "/QRPXXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.constData());
    return fd;
}

// A nameless temporary file in a folder only the user can read: a fresh 0700 folder under the
// temporary directory, removed again as soon as the file is open (the open file outlives its
// folder's name), or else the user's runtime folder, which is 0700 and the user's own.
int createPrivateFile()
{
    const QString temp = QDir::tempPath(); // empty when TMPDIR names no folder
    QByteArray folder = QFile::encodeName(temp + QStringLiteral("/velkora-qrp-XXXXXX"));
    int error = ENOENT;
    if (!temp.isEmpty()) {
        if (::mkdtemp(folder.data())) {
            const int fd = openNameless(folder);
            error = errno;
            ::rmdir(folder.constData());
            if (fd >= 0)
                return fd;
        } else {
            error = errno;
        }
    }
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) {
        const int fd = openNameless(QFile::encodeName(runtime));
        if (fd >= 0)
            return fd;
    }
    throw ReportFileError(QStringLiteral("Cannot create file \"%1\". %2")
                              .arg(QDir::toNativeSeparators(QDir::tempPath()), systemReason(error)));
}

void writeAllAt(int fd, const char *data, qint64 size, qint64 at)
{
    while (size > 0) {
        const ssize_t done = ::pwrite(fd, data, static_cast<size_t>(size), at);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            writeError(errno);
        }
        if (done == 0)
            writeError(ENOSPC);
        data += done;
        size -= done;
        at += done;
    }
}

} // namespace

std::unique_ptr<TQRStream> TQRStream::inMemory(qint64 limit)
{
    std::unique_ptr<TQRStream> stream(new TQRStream);
    stream->m_limit = limit;
    return stream;
}

std::unique_ptr<TQRStream> TQRStream::openReadOnly(const QString &fileName)
{
    const auto fail = [&fileName](const QString &reason) {
        throw ReportFileError(QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), reason));
    };
    // O_NONBLOCK so that a FIFO or a device cannot hold the open; fstat then refuses them.
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        fail(systemReason(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        fail(systemReason(error));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        fail(S_ISDIR(st.st_mode) ? systemReason(EISDIR) : QStringLiteral("Not a regular file"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::unique_ptr<TQRStream> stream(new TQRStream);
    stream->m_fd = fd;
    stream->m_readOnly = true;
    stream->m_size = st.st_size;
    stream->m_device = st.st_dev;
    stream->m_inode = st.st_ino;
    return stream;
}

TQRStream::~TQRStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

qint64 TQRStream::read(char *data, qint64 max)
{
    std::lock_guard guard(m_lock);
    const qint64 count = std::clamp<qint64>(m_size - m_position, 0, std::max<qint64>(max, 0));
    if (m_fd < 0) {
        std::memcpy(data, m_buffer.constData() + m_position, static_cast<size_t>(count));
        m_position += count;
        return count;
    }
    qint64 got = 0;
    while (got < count) {
        const ssize_t done = ::pread(m_fd, data + got, static_cast<size_t>(count - got), m_position + got);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            break; // the file was cut short under us, or cannot be read: the caller sees fewer bytes
        got += done;
    }
    m_position += got;
    return got;
}

void TQRStream::readExact(char *data, qint64 size)
{
    std::lock_guard guard(m_lock);
    if (size < 0 || read(data, size) != size)
        readError();
}

qint32 TQRStream::readInt32()
{
    char bytes[4];
    readExact(bytes, 4);
    return qFromLittleEndian<qint32>(bytes);
}

void TQRStream::write(const char *data, qint64 size)
{
    std::lock_guard guard(m_lock);
    if (m_readOnly)
        writeError(EBADF);
    const qint64 end = m_position + size;
    if (m_fd < 0) {
        if (end > m_buffer.size())
            m_buffer.resize(end);
        std::memcpy(m_buffer.data() + m_position, data, static_cast<size_t>(size));
        m_position = end;
        m_size = m_buffer.size();
        if (m_size > m_limit)
            moveToFile();
        return;
    }
    writeAllAt(m_fd, data, size, m_position);
    m_position = end;
    m_size = std::max(m_size, end);
}

void TQRStream::writeInt32(qint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    write(bytes, 4);
}

void TQRStream::seek(qint64 position)
{
    std::lock_guard guard(m_lock);
    if (position < 0 || position > m_size)
        readError();
    m_position = position;
}

qint64 TQRStream::position() const
{
    std::lock_guard guard(m_lock);
    return m_position;
}

qint64 TQRStream::size() const
{
    std::lock_guard guard(m_lock);
    return m_size;
}

void TQRStream::truncate(qint64 size)
{
    std::lock_guard guard(m_lock);
    if (m_readOnly || size < 0 || size > m_size)
        return;
    if (m_fd < 0)
        m_buffer.truncate(size);
    else if (::ftruncate(m_fd, size) != 0)
        writeError(errno);
    m_size = size;
    m_position = std::min(m_position, size);
}

bool TQRStream::isInMemory() const
{
    std::lock_guard guard(m_lock);
    return m_fd < 0;
}

bool TQRStream::isReadOnly() const
{
    std::lock_guard guard(m_lock);
    return m_readOnly;
}

bool TQRStream::isFile(dev_t device, ino_t inode) const
{
    std::lock_guard guard(m_lock);
    return m_fd >= 0 && m_device == device && m_inode == inode;
}

void TQRStream::moveToFile()
{
    const int fd = createPrivateFile();
    try {
        writeAllAt(fd, m_buffer.constData(), m_buffer.size(), 0);
    } catch (...) {
        ::close(fd);
        throw;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        m_device = st.st_dev;
        m_inode = st.st_ino;
    }
    m_fd = fd;
    m_buffer = QByteArray();
}

} // namespace velkora::print
