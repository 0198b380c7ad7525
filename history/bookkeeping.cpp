// The program's care of the open book.
#include "bookkeeping.h"

#include "bookbackup.h"
#include "bookhistory.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QThread>

namespace velkora::history {

BookKeeping::BookKeeping(QObject *parent, QStatusBar *statusBar, std::function<database::Database *()> database, QString password)
    : QObject(parent), m_database(std::move(database)), m_password(std::move(password))
{
    if (statusBar) {
        m_panel = new QLabel(statusBar);
        m_panel->setObjectName(QStringLiteral("BackupPanel"));
        m_panel->setFrameShape(QFrame::Panel);
        m_panel->setFrameShadow(QFrame::Sunken);
        m_panel->hide();
        statusBar->addPermanentWidget(m_panel);
    }
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &BookKeeping::hourly);
}

BookKeeping::~BookKeeping()
{
    // A backup cut short leaves nothing that counts; the program does not wait for a whole one.
    m_stop = true;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

QString BookKeeping::bookPath() const
{
    database::Database *db = database();
    return db ? db->path() : QString();
}

void BookKeeping::start()
{
    database::Database *db = database();
    if (!db)
        return;
    if (!db->isReadOnly() && !holdsHistory(*db)) {
        try {
            createHistory(*db);
        } catch (const database::DatabaseError &) {
            // Another program holds the book right now: the next start makes it.
        }
    }
    m_timer.start();
    backupNow();
}

QDateTime BookKeeping::lastSaved() const
{
    // The book and its log: a save reaches one of them.
    const QFileInfo book(bookPath());
    QDateTime last;
    for (const QFileInfo &f : book.dir().entryInfoList({book.fileName() + u'*'}, QDir::Files | QDir::Hidden))
        last = std::max(last, f.lastModified());
    return last;
}

void BookKeeping::hourly()
{
    if (!m_backedUpAt.isValid() || lastSaved() > m_backedUpAt)
        backupNow();
}

void BookKeeping::backupNow(const std::function<void(const QString &, const QString &)> &done)
{
    const QString book = bookPath();
    if (book.isEmpty() || m_thread) {
        if (done)
            done(QString(), m_thread ? QStringLiteral("Bir yedek şu anda yazılıyor.") : QStringLiteral("Açık kitap yok."));
        return;
    }
    const QDateTime started = QDateTime::currentDateTime();
    m_thread = QThread::create([this, book, started, done] {
        QString path, error;
        try {
            const QString folder = backupFolderFor(book);
            path = writeBackup(book, m_password, folder, [this] { return !m_stop; });
            rotateBackups(folder, QFileInfo(book).completeBaseName());
        } catch (const database::DatabaseError &e) {
            error = e.message();
        } catch (const std::exception &e) {
            error = QString::fromLocal8Bit(e.what());
        }
        if (m_stop)
            return;
        QMetaObject::invokeMethod(this, [this, path, error, started, done] {
            m_thread->wait();
            delete m_thread;
            m_thread = nullptr;
            if (error.isEmpty()) {
                m_backedUpAt = started;
                if (m_panel)
                    m_panel->hide();
                Q_EMIT backupWritten(path);
            } else if (!m_failureTold && m_panel) {
                // Said once a run: the book itself is untouched.
                m_failureTold = true;
                m_panel->setText(QStringLiteral(" Yedek alınamadı: %1 ").arg(error));
                m_panel->setToolTip(error);
                m_panel->show();
            }
            if (done)
                done(path, error);
        }, Qt::QueuedConnection);
    });
    m_thread->start(QThread::LowPriority);
}

} // namespace velkora::history
