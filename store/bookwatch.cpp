// Others' saves on a server book, shown as they come.
#include "bookwatch.h"

#include "bookstore.h"
#include "storeerror.h"

#include "platform/database/databaseerror.h"
#include "platform/database/serverdatabase.h"

#include <QSocketNotifier>

namespace velkora::store {

namespace {

qint64 currentKey(const DataSet *set)
{
    return set->active() ? set->displayKey(set->currentDisplayRow()) : 0;
}

} // namespace

BookWatch::BookWatch(BookStore *book, QObject *parent) : QObject(parent), m_book(book)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &BookWatch::poll);
}

BookWatch::~BookWatch() = default;

database::ServerDatabase *BookWatch::server() const
{
    return m_book->ADOConnection1->serverDatabase();
}

bool BookWatch::notified() const
{
    database::ServerDatabase *db = server();
    return db && db->notifies();
}

bool BookWatch::start()
{
    database::ServerDatabase *db = server();
    if (!db)
        return false;
    db->listen();
    m_watching = true;
    // What others saved between the lists' first reading and now was told to nobody.
    m_topicsChanged = true;
    followSocket();
    m_timer.start();
    return true;
}

void BookWatch::followSocket()
{
    database::ServerDatabase *db = server();
    const int socket = db ? db->socket() : -1;
    if (db && db->connectionGeneration() == m_generation && m_notifier && m_notifier->socket() == socket)
        return;
    // A connection lost has no socket until it is made again, and then one of its own. The old
    // notifier may be the one whose signal runs now: it goes once that is over.
    if (m_notifier)
        m_notifier.release()->deleteLater();
    if (!db || socket < 0)
        return;
    m_generation = db->connectionGeneration();
    m_notifier = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &BookWatch::poll);
}

void BookWatch::poll()
{
    database::ServerDatabase *db = server();
    if (!db || !m_watching)
        return;
    for (const database::ServerDatabase::Change &c : db->takeChanges()) {
        if (c.table == u"master")
            m_topicsChanged = true;
        else
            m_topicsWithChangedSubtopics.insert(c.topic);
    }
    // A connection made again missed what was said while it was away: everything shown is read again.
    if (m_generation != -1 && db->connectionGeneration() != m_generation)
        m_topicsChanged = true;
    followSocket();
    apply();
}

void BookWatch::apply()
{
    Query *topics = m_book->ADOQuery1;
    Query *subtopics = m_book->ADOQuery2;
    const qint64 topic = currentKey(topics);
    const bool concernsList = m_topicsChanged || m_topicsWithChangedSubtopics.contains(topic);
    if (!concernsList || !topics->active()) {
        // Changes to other topics show when the person goes there: the subtopic query is read then.
        m_topicsWithChangedSubtopics.clear();
        m_topicsChanged = false;
        settled();
        return;
    }
    const auto pending = [](const DataSet *set) { return set->state() == DataSetState::Edit || set->state() == DataSetState::Insert; };
    // A question on the screen (say, whether to delete the current subtopic) is about the rows as
    // they are shown: nothing moves under it.
    if (busy && busy())
        return;
    if (pending(topics) || pending(subtopics)) {
        // What the person is typing is never replaced or saved by someone else's change: the lists
        // are read again once their edit is saved or dropped.
        if (!m_waitingShown && showWaiting)
            showWaiting(QStringLiteral("Kitap başka bir yazar tarafından değiştirildi; liste, düzenlemeniz kaydedilince ya da "
                                       "bırakılınca yenilenecek."));
        m_waitingShown = true;
        return;
    }
    const qint64 subtopic = currentKey(subtopics);
    // The body is shown once, as it is at the end, not the first subtopic's on the way.
    subtopics->disableControls();
    bool enabled = false;
    try {
        if (m_topicsChanged) {
            topics->refresh(); // the subtopic query reads its topic again as it follows...
            if (m_book->searchMode())
                subtopics->refresh(); // ...except a title search's, which reads again only for another topic
        } else {
            subtopics->refresh();
        }
        if (subtopics->active() && subtopic != 0 && currentKey(subtopics) != subtopic) {
            const int recNo = subtopics->recNoOfKey(subtopic);
            if (recNo > 0)
                subtopics->setRecNo(recNo);
        }
        enabled = true;
        subtopics->enableControls(); // the controls show the rows now, the body read if it changed
    } catch (const std::exception &) {
        // The server cannot be reached just now: the next look tries again.
        if (!enabled)
            subtopics->enableControls();
        return;
    }
    m_topicsChanged = false;
    m_topicsWithChangedSubtopics.clear();
    settled();
    if (refreshed)
        refreshed();
}

void BookWatch::settled()
{
    if (m_waitingShown && showWaiting)
        showWaiting(QString());
    m_waitingShown = false;
}

} // namespace velkora::store
