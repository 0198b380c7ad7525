// The program's care of the open book: its history made where it has none, and backups when the
// book is opened and at most once an hour while saves change it, on a thread of their own.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>

class QLabel;
class QStatusBar;
class QThread;

namespace velkora::database {
class Database;
}

namespace velkora::history {

class BookKeeping : public QObject
{
    Q_OBJECT
public:
    // database: the program's connection to the book (null while there is none); password: the
    // book's. A failed backup is told once, in a panel of the status bar.
    BookKeeping(QObject *parent, QStatusBar *statusBar, std::function<database::Database *()> database, QString password);
    ~BookKeeping() override;

    static constexpr int IntervalMs = 60 * 60 * 1000;

    // After the book is open: gives it a history where it has none and takes the first backup.
    void start();
    // Takes a backup now unless one is being written; done(path, error) runs on this thread after.
    void backupNow(const std::function<void(const QString &path, const QString &error)> &done = nullptr);
    bool busy() const { return m_thread != nullptr; }
    QString bookPath() const;
    QString password() const { return m_password; }
    database::Database *database() const { return m_database ? m_database() : nullptr; }

Q_SIGNALS:
    void backupWritten(const QString &path);

private:
    void hourly();
    QDateTime lastSaved() const;

    std::function<database::Database *()> m_database;
    QString m_password;
    QPointer<QLabel> m_panel;
    QTimer m_timer;
    QThread *m_thread = nullptr;
    std::atomic<bool> m_stop{false};
    QDateTime m_backedUpAt;
    bool m_failureTold = false;
};

} // namespace velkora::history
