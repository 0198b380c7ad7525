// The book's connection, its two queries and their data sources, set up as the program uses them.
#pragma once

#include "connection.h"
#include "datasource.h"
#include "query.h"

#include <QObject>

namespace velkora::store {

// The topic query ADOQuery1 holds every topic; the subtopic query ADOQuery2 holds the current
// topic's subtopics sorted by title and follows ADOQuery1 through the parameter Sira. Once a title
// search has replaced ADOQuery2's statement, the link narrows the search result to the current topic.
class BookStore : public QObject
{
    Q_OBJECT
public:
    static const QString ConnectionString;
    static const QString TopicStatement;
    static const QStringList SubtopicStatement;

    // The book connectionString names: the book file Data.mdb beside the program unless told otherwise.
    explicit BookStore(QObject *parent = nullptr, const QString &connectionString = ConnectionString);
    ~BookStore() override;

    // Opens the connection (the book in the working folder). Throws the provider's message.
    void connect();
    // Opens the topic query, then the subtopic query.
    void openQueries();

    // Replaces the subtopic statement by the search for text and opens it; a pending edit of the
    // current subtopic is dropped. From the first search on, the query stays in search mode.
    // A refused statement leaves the query closed and throws.
    void runTitleSearch(const QString &text);
    bool searchMode() const { return m_searchMode; }

    Connection *const ADOConnection1;
    Query *const ADOQuery1;
    Query *const ADOQuery2;
    DataSource *const DataSource1;
    DataSource *const DataSource2;

private:
    bool m_searchMode = false;
};

} // namespace velkora::store
