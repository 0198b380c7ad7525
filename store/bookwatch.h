// Keeps a book on a server shown as other programs leave it: the server tells of every save, and
// the two lists (and the body, where the person is not editing it) are read again.
#pragma once

#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace velkora::database {
class ServerDatabase;
}

namespace velkora::store {

class BookStore;

class BookWatch : public QObject
{
    Q_OBJECT
public:
    explicit BookWatch(BookStore *book, QObject *parent = nullptr);
    ~BookWatch() override;

    // Starts listening when the book is on a server and connected; false for a book file, which
    // has nobody to listen to. Throws the server's message when it refuses.
    bool start();
    bool watching() const { return m_watching; }

    // Takes what the server said and shows it. The socket is watched, and a timer looks again each
    // second: notices that arrive while the program itself is reading are kept by the connection
    // without waking the socket.
    void poll();

    // A line for the status bar while a change of others waits for the person's edit to be saved
    // or dropped; empty once the lists show it.
    std::function<void(const QString &)> showWaiting;
    // After the lists were read again (the window follows: the topic selector's text, say).
    std::function<void()> refreshed;
    // True while the window asks something (a modal question, an open menu): the lists wait.
    std::function<bool()> busy;
    // Whether the server tells of others' saves (a book made before the notices may not).
    bool notified() const;

private:
    database::ServerDatabase *server() const;
    void followSocket();
    void apply();
    void settled();

    BookStore *m_book;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_timer;
    int m_generation = -1;
    bool m_watching = false;
    bool m_waitingShown = false;
    // What others changed and this program has not shown yet.
    bool m_topicsChanged = false;
    QSet<qint64> m_topicsWithChangedSubtopics;
};

} // namespace velkora::store
