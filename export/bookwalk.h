// The book read for an export: the chosen topics in the book's order and their subtopics in the
// order the subtopic list shows them, through a read-only connection of its own.
#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace velkora::store {
class BookStore;
class Query;
}

namespace velkora::bookexport {

struct TopicEntry
{
    qint64 key = 0;
    QString title;
    int subtopics = 0;
};

// Opens the book of connectionString for reading (whatever its mode says) and finds the topics:
// every topic, or those whose key is in chosen. Throws the engine's error when the book cannot be
// opened. The program may hold the same book open meanwhile: nothing here writes it.
class BookWalk
{
public:
    BookWalk(const QString &connectionString, const QList<qint64> &chosen);
    ~BookWalk();

    const QList<TopicEntry> &topics() const { return m_topics; }
    // The subtopics of the chosen topics.
    int subtopicCount() const;

    // Visits the chosen topics in order and each one's subtopics with the two queries on them:
    // topic(t) first, then subtopic(t, i) for each subtopic i. Either returning false stops the
    // walk, which then returns false.
    bool walk(const std::function<bool(const TopicEntry &)> &topic,
              const std::function<bool(const TopicEntry &, int index)> &subtopic);

    // The queries the report layouts read: the topic and, within it, the current subtopic.
    store::Query &topicQuery();
    store::Query &subtopicQuery();
    // The current subtopic's title and stored body (RTF, or plain text).
    QString subtopicTitle() const;
    QString subtopicBody() const;

private:
    std::unique_ptr<store::BookStore> m_book;
    QList<TopicEntry> m_topics;
};

// The topics of the book as the walk would give them all: for choosing among them.
QList<TopicEntry> topicsOf(const QString &connectionString);

} // namespace velkora::bookexport
