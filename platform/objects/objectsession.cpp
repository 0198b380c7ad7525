// An embedded object opened for editing by another program: its bytes written into a folder only
// the user can read, the user's program for the file type opened on it, and what that program saves
// handed back. The folder and the file go when the session ends.
#include "objectsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QStandardPaths>

namespace velkora::objects {

ObjectSession::ObjectSession(const EmbeddedObject &object, QObject *parent) : QObject(parent), m_object(object)
{
    // Under the user's runtime folder when there is one (itself private), else the temporary folder;
    // QTemporaryDir makes the folder readable by its owner alone.
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty() || !QFileInfo(base).isWritable())
        base = QDir::tempPath();
    m_dir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/velkora-object-XXXXXX"));
    if (!m_dir->isValid())
        return;
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QString name = QFileInfo(object.fileName).fileName();
    if (name.isEmpty() || name.startsWith(u'.'))
        name = QStringLiteral("nesne") + name;
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(object.data) != object.data.size())
        return;
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    m_path = path;
    m_last = object.data;
    m_watcher = new QFileSystemWatcher(this);
    // Programs often save by writing a new file and renaming it over the old: watch the folder too.
    m_watcher->addPath(m_path);
    m_watcher->addPath(m_dir->path());
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &ObjectSession::check);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &ObjectSession::check);
}

ObjectSession::~ObjectSession() = default;

QString ObjectSession::folder() const
{
    return m_dir ? m_dir->path() : QString();
}

bool ObjectSession::open(const std::function<bool(const QUrl &)> &openUrl)
{
    return ready() && openUrl && openUrl(QUrl::fromLocalFile(m_path));
}

void ObjectSession::check()
{
    if (!m_watcher->files().contains(m_path) && QFileInfo::exists(m_path))
        m_watcher->addPath(m_path);
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxObjectBytes)
        return;
    const QByteArray bytes = file.readAll();
    if (bytes == m_last)
        return;
    m_last = bytes;
    m_object.data = bytes;
    m_object.blank = false;
    Q_EMIT saved(m_object);
}

} // namespace velkora::objects
