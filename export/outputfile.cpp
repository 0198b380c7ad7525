// Unnamed files, linked into the folder only at the end.
#include "outputfile.h"

#include "bookexport.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora::bookexport {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// A name beside the output no one else uses for long: hidden, with a random part.
QString hiddenNameBeside(const QFileInfo &target)
{
    return target.absoluteDir().filePath(QStringLiteral(".%1.%2").arg(target.fileName()).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

} // namespace

OutputFile::OutputFile(const QString &path) : m_path(QFileInfo(path).absoluteFilePath())
{
    const QFileInfo target(m_path);
    const QByteArray folder = native(target.absolutePath());
    // The mode is given to the file system, which takes the user's umask off it.
    m_fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        m_named = hiddenNameBeside(target);
        m_fd = ::open(native(m_named).constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
        if (m_fd < 0)
            m_named.clear();
    }
    if (m_fd < 0)
        throw ExportError(QStringLiteral("\"%1\" yazılamıyor: %2").arg(QDir::toNativeSeparators(path), systemError()));
    if (!m_file.open(m_fd, QIODevice::ReadWrite, QFileDevice::DontCloseHandle)) {
        ::close(m_fd);
        if (!m_named.isEmpty())
            ::unlink(native(m_named).constData());
        throw ExportError(QStringLiteral("\"%1\" yazılamıyor: %2").arg(QDir::toNativeSeparators(path), m_file.errorString()));
    }
}

OutputFile::~OutputFile()
{
    m_file.close();
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_named.isEmpty())
        ::unlink(native(m_named).constData());
}

void OutputFile::commit()
{
    const auto failed = [this](const QString &why) {
        return ExportError(QStringLiteral("\"%1\" yazılamadı: %2").arg(QDir::toNativeSeparators(m_path), why));
    };
    if (!m_file.flush())
        throw failed(m_file.errorString());
    // A file that is replaced keeps its permissions.
    struct stat old{};
    if (::stat(native(m_path).constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(m_fd, old.st_mode & 07777);
    if (::fsync(m_fd) != 0)
        throw failed(systemError());
    if (m_named.isEmpty()) {
        // The unnamed file gets a hidden name for a moment, then the output's in one step.
        m_named = hiddenNameBeside(QFileInfo(m_path));
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, native(m_named).constData(), AT_SYMLINK_FOLLOW) != 0) {
            const QString why = systemError();
            m_named.clear();
            throw failed(why);
        }
    }
    if (::rename(native(m_named).constData(), native(m_path).constData()) != 0)
        throw failed(systemError()); // the destructor removes the hidden name
    m_committed = true;
    // The folder's entry is made lasting too.
    const int dir = ::open(native(QFileInfo(m_path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace velkora::bookexport
