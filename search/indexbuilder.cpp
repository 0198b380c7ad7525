// Builds a book's full-text index in the background, on a connection of its own.
#include "indexbuilder.h"

#include "searchindex.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"

#include <QPointer>
#include <QThread>

namespace velkora::search {

IndexBuilder::IndexBuilder(std::function<std::unique_ptr<database::Database>()> openConnection, QObject *parent)
    : QObject(parent), m_openConnection(std::move(openConnection))
{
}

IndexBuilder::~IndexBuilder()
{
    stop();
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void IndexBuilder::stop()
{
    m_stop = true;
}

void IndexBuilder::start()
{
    if (m_thread)
        return;
    m_stop = false;
    m_running = true;
    QPointer<IndexBuilder> self(this);
    m_thread = QThread::create([this, self] {
        bool whole = false;
        QString error;
        try {
            std::unique_ptr<database::Database> db = m_openConnection();
            if (!indexState(*db, false).present && !db->isReadOnly())
                createIndex(*db);
            if (indexState(*db, false).present && !db->isReadOnly()) {
                whole = fillIndex(*db, [this, self](qint64 done, qint64 total) {
                    QMetaObject::invokeMethod(this, [self, done, total] {
                        if (self)
                            Q_EMIT self->progress(done, total);
                    }, Qt::QueuedConnection);
                    return !m_stop.load();
                });
            }
        } catch (const database::DatabaseError &e) {
            error = e.message();
        } catch (const std::exception &e) {
            error = QString::fromLocal8Bit(e.what());
        }
        QMetaObject::invokeMethod(this, [self, whole, error] {
            if (!self)
                return;
            self->m_running = false;
            Q_EMIT self->finished(whole, error);
        }, Qt::QueuedConnection);
    });
    m_thread->setObjectName(QStringLiteral("IndexBuilder"));
    m_thread->start(QThread::LowPriority);
}

} // namespace velkora::search
