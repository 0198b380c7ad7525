// The book search as the program offers it: window, background build and its progress.
#include "booksearch.h"

#include "indexbuilder.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace velkora::search {

BookSearch::BookSearch(QWidget *mainWindow, QStatusBar *statusBar, std::function<database::Database *()> database,
                       std::function<std::unique_ptr<database::Database>()> openConnection)
    : QObject(mainWindow), m_database(std::move(database)), m_openConnection(std::move(openConnection))
{
    m_window = new SearchWindow(mainWindow);
    m_window->database = m_database;
    m_window->openConnection = m_openConnection;
    if (statusBar) {
        m_progress = new QLabel(statusBar);
        m_progress->setObjectName(QStringLiteral("SearchIndexPanel"));
        m_progress->setFrameShape(QFrame::Panel);
        m_progress->setFrameShadow(QFrame::Sunken);
        m_progress->hide();
        statusBar->addPermanentWidget(m_progress);
    }
}

BookSearch::~BookSearch() = default;

void BookSearch::start()
{
    database::Database *db = m_database ? m_database() : nullptr;
    if (!db)
        return;
    bool whole = false, present = false;
    try {
        const IndexState state = indexState(*db, false);
        present = state.present;
        whole = state.present && state.built;
    } catch (const database::DatabaseError &e) {
        m_window->setUnavailable(QStringLiteral("Kitabın dizini okunamadı: %1").arg(e.message()));
        return;
    }
    if (whole) {
        m_window->setWhole();
        return;
    }
    if (db->isReadOnly()) {
        m_window->setUnavailable(present ? QStringLiteral("Kitap salt okunur açıldığı için dizini tamamlanamıyor; bulunanlar eksik olabilir.")
                                         : QStringLiteral("Bu kitabın dizini yok ve kitap salt okunur açıldığı için dizin hazırlanamıyor."));
        return;
    }
    m_builder = std::make_unique<IndexBuilder>(m_openConnection);
    connect(m_builder.get(), &IndexBuilder::progress, this, &BookSearch::building);
    connect(m_builder.get(), &IndexBuilder::finished, this, &BookSearch::built);
    building(0, 0);
    m_builder->start();
}

void BookSearch::show(const QString &seed)
{
    m_window->showWith(seed);
}

void BookSearch::building(qint64 done, qint64 total)
{
    m_window->setBuilding(done, total);
    if (!m_progress)
        return;
    const int percent = total > 0 ? int(done * 100 / total) : 0;
    m_progress->setText(QStringLiteral(" Dizin hazırlanıyor %%1 ").arg(percent));
    m_progress->setToolTip(QStringLiteral("Kitapta Ara için bütün altkonuların dizini hazırlanıyor (%1 / %2). Program bu sırada "
                                          "kullanılabilir.")
                               .arg(done)
                               .arg(total));
    m_progress->show();
}

void BookSearch::built(bool whole, const QString &error)
{
    if (whole) {
        m_window->setWhole();
        if (m_progress) {
            m_progress->setText(QStringLiteral(" Dizin hazır "));
            m_progress->setToolTip(QString());
            QTimer::singleShot(4000, m_progress.data(), &QWidget::hide);
        }
        return;
    }
    if (error.isEmpty())
        return; // stopped: the program is closing
    m_window->setUnavailable(QStringLiteral("Kitabın dizini hazırlanamadı; bulunanlar eksik olabilir. (%1) Program "
                                            "yeniden açıldığında kaldığı yerden devam edilecek.")
                                 .arg(error));
    if (m_progress) {
        m_progress->setText(QStringLiteral(" Dizin hazırlanamadı "));
        m_progress->setToolTip(error);
        m_progress->show();
    }
}

} // namespace velkora::search
