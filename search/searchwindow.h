// The window that searches every body of the book: a query box and the results, filled as the
// person types, best first.
#pragma once

#include "searchindex.h"

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListView;
class QTimer;
class QThread;

namespace velkora::search {

// The results as the list shows them: "topic › subtopic", the hits, and the snippet with its marks.
class ResultModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    void setResults(QVector<SearchResult> results);
    const QVector<SearchResult> &results() const { return m_results; }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    static QString place(const SearchResult &r); // "topic › subtopic"

private:
    QVector<SearchResult> m_results;
};

// Draws a result in three lines: its place in bold with the number of hits at the right, then the
// snippet over two lines with the matched words marked.
class ResultDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

class SearchWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SearchWindow(QWidget *parent = nullptr);
    ~SearchWindow() override;

    // The program's connection to the book; null while there is none.
    std::function<database::Database *()> database;
    // Opens another connection to the book. With it, queries typed run on a thread of their own
    // (a word in every subtopic of a large book takes a while), so typing never waits for them.
    std::function<std::unique_ptr<database::Database>()> openConnection;
    // Makes the chosen result current in the main window.
    std::function<void(const SearchResult &result)> open;

    // Shows the window in front with the query box focused; a non-empty seed replaces the query.
    void showWith(const QString &seed);

    // How far the index is: building (done of total), whole, or not to be had (why).
    void setBuilding(qint64 done, qint64 total);
    void setWhole();
    void setUnavailable(const QString &why);

    // Runs the query in the box now (the window waits for a pause in typing otherwise).
    void runQuery();
    void openCurrent();

    QLineEdit *queryBox() const { return m_query; }
    QListView *resultList() const { return m_list; }
    ResultModel *model() const { return m_model; }
    QLabel *statusLabel() const { return m_status; }

    static constexpr int Limit = 50;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

    // What a query finds in the book: the best results and the line that says so.
    struct Answer
    {
        QVector<SearchResult> results;
        QString outcome;
        bool failed = false;
    };
    static Answer answer(database::Database *db, const QString &text);

private:
    void showStatus();
    void showAnswer(const Answer &answer);
    void ask(const QString &text); // on the query thread; the answer comes back if still wanted

    QLineEdit *m_query = nullptr;
    QLabel *m_hint = nullptr;
    QListView *m_list = nullptr;
    QLabel *m_status = nullptr;
    ResultModel *m_model = nullptr;
    QTimer *m_typing = nullptr;
    enum class IndexStage { Unknown, Building, Whole, Unavailable } m_stage = IndexStage::Unknown;
    qint64 m_done = 0, m_total = 0;
    QString m_unavailable;
    QString m_outcome; // what the last query found, or why it failed
    bool m_failed = false;
    QThread *m_thread = nullptr;
    class Asker;
    Asker *m_asker = nullptr;                      // lives on m_thread, holds its connection
    std::shared_ptr<std::atomic<int>> m_wanted;   // the newest query's number; older ones are dropped
    int m_asked = 0, m_answered = 0;
    bool m_placed = false; // placed beside the main window once; after that where the person left it
};

} // namespace velkora::search
