// Where the settings file and win.ini live: beside the executable when its folder can be written,
// otherwise (and for win.ini always) in the user's own configuration folder.
#include "profilefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace velkora::profile {

// The XDG base folders are meant to be the user's alone.
void makePrivateFolder(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    const QFileInfo info(clean);
    if (info.isDir())
        return;
    const QString parent = info.absolutePath();
    if (parent != clean)
        makePrivateFolder(parent);
    const QByteArray native = QFile::encodeName(clean);
    // mkdir() is limited by the umask; the folder is new and ours, so chmod() sets exactly 0700.
    if (::mkdir(native.constData(), S_IRWXU) == 0)
        ::chmod(native.constData(), S_IRWXU);
}

QString userConfigFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/velkora");
}

QString settingsFilePath(const QString &executableFolder)
{
    const bool writable = ::access(QFile::encodeName(executableFolder).constData(), W_OK | X_OK) == 0;
    return settingsFilePath(executableFolder, writable);
}

QString settingsFilePath(const QString &executableFolder, bool executableFolderWritable)
{
    const QString userFolder = userConfigFolder();
    const QString userFile = userFolder + QStringLiteral("/Velkora.ini");
    if (executableFolderWritable && !QFileInfo::exists(userFile))
        return QDir(executableFolder).filePath(QStringLiteral("Velkora.ini"));
    makePrivateFolder(userFolder);
    return userFile;
}

QString winIniPath()
{
    const QString folder = userConfigFolder();
    makePrivateFolder(folder);
    return folder + QStringLiteral("/win.ini");
}

} // namespace velkora::profile
