// The book search as the program offers it: the search window, the background build of the index
// of a book that has none yet, and its progress in the status bar.
#pragma once

#include "searchwindow.h"

#include <QLabel>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QStatusBar;

namespace velkora::search {

class IndexBuilder;

class BookSearch : public QObject
{
    Q_OBJECT
public:
    // database: the program's connection (null while none); openConnection: another connection to
    // the same book, for the builder's thread.
    BookSearch(QWidget *mainWindow, QStatusBar *statusBar, std::function<database::Database *()> database,
               std::function<std::unique_ptr<database::Database>()> openConnection);
    ~BookSearch() override;

    // Once the book is open: builds the index in the background when it is not whole (a book the
    // program may not write is searched as far as its index goes, or not at all).
    void start();
    // Opens the window in front, seeded with a text.
    void show(const QString &seed);

    SearchWindow *window() const { return m_window; }
    QLabel *progressLabel() const { return m_progress; }
    IndexBuilder *builder() const { return m_builder.get(); }

private:
    void building(qint64 done, qint64 total);
    void built(bool whole, const QString &error);

    std::function<database::Database *()> m_database;
    std::function<std::unique_ptr<database::Database>()> m_openConnection;
    QPointer<SearchWindow> m_window;
    QPointer<QLabel> m_progress;
    std::unique_ptr<IndexBuilder> m_builder;
};

} // namespace velkora::search
