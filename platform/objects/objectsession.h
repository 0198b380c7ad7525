// An embedded object opened for editing by another program: its bytes written into a folder only
// the user can read, the user's program for the file type opened on it, and what that program saves
// handed back. The folder and the file go when the session ends.
#pragma once

#include "platform/objects/embeddedobject.h"

#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <memory>

class QFileSystemWatcher;

namespace velkora::objects {

class ObjectSession : public QObject
{
    Q_OBJECT
public:
    // Writes the object's copy; false (with the reason) when it cannot be written.
    ObjectSession(const EmbeddedObject &object, QObject *parent = nullptr);
    ~ObjectSession() override;

    bool ready() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    QString folder() const;
    // Opens the copy with the user's program for its type.
    bool open(const std::function<bool(const QUrl &)> &openUrl);

Q_SIGNALS:
    // The other program saved the copy: the object with the new bytes.
    void saved(const velkora::objects::EmbeddedObject &object);

private:
    void check();

    EmbeddedObject m_object;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    QFileSystemWatcher *m_watcher = nullptr;
    QByteArray m_last;
};

} // namespace velkora::objects
