// Builds a book's full-text index in the background, on a connection of its own, while the
// program goes on.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace velkora::database {
class Database;
}

namespace velkora::search {

class IndexBuilder : public QObject
{
    Q_OBJECT
public:
    // openConnection opens another connection to the book (never the program's own: it lives on
    // the builder's thread). Runs only when start() is called.
    explicit IndexBuilder(std::function<std::unique_ptr<database::Database>()> openConnection, QObject *parent = nullptr);
    // Stops after the batch at hand (at most one batch's work) and waits for the thread.
    ~IndexBuilder() override;

    // Gives the book its index when it has none and fills it in. Nothing when it is already whole.
    void start();
    void stop();
    bool running() const { return m_running; }

Q_SIGNALS:
    // After each batch, on the thread that made the builder.
    void progress(qint64 done, qint64 total);
    // The index is whole (true), or the work stopped: asked to, or with error saying why.
    void finished(bool whole, const QString &error);

private:
    std::function<std::unique_ptr<database::Database>()> m_openConnection;
    QThread *m_thread = nullptr;
    std::atomic<bool> m_stop{false};
    bool m_running = false;
};

} // namespace velkora::search
