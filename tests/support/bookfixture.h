// Books made for tests: a fresh encrypted book in a temporary folder, filled from a short outline.
#pragma once

#include "platform/database/database.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <utility>
#include <vector>

namespace velkora::testing {

inline const QString BookPassword = QStringLiteral("*.417305");

struct SubtopicSpec
{
    QString title; // a null QString stores a null title
    QString body;
};

struct TopicSpec
{
    QString title;
    std::vector<SubtopicSpec> subtopics;
};

// Owns a temporary folder with Data.mdb in it. The book is created with the program's password and
// filled in the order given, so topic i (0-based) gets Sira i + 1.
//
// With VELKORA_TEST_ENGINE=server in the environment the book is made instead as a fresh database of
// a PostgreSQL server of the test process's own (started at the first book, stopped at the end), and
// connectionString() names it: the same tests then run against the server engine. Tests that need
// the file itself (open(), path()) ask onServer() and skip there; without the server programs every
// test of such a run is skipped with the reason.
class BookFixture
{
public:
    explicit BookFixture(const std::vector<TopicSpec> &topics = {});

    static bool onServer();

    QString folder() const { return m_dir.path(); }
    QString path() const { return m_dir.filePath(QStringLiteral("Data.mdb")); }
    QString connectionString() const;
    std::unique_ptr<database::Database> open() const;
    // The server book's libpq connection string (on the server only).
    QString serverInfo() const;

private:
    QTemporaryDir m_dir;
    QString m_serverDatabase;
};

// Where the shared corpus lives, or an empty string when this checkout has none.
QString corpusFolder();

} // namespace velkora::testing
