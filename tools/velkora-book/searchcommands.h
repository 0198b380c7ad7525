// velkora-book index and search: the book's full-text index from the command line.
#pragma once

#include <QString>

namespace velkora::tools {

// Gives the book its full-text index if it has none and fills it in; prints how many subtopics it
// holds. Returns the exit status (0; throws DatabaseError on failure).
int indexBookCommand(const QString &path, const QString &password);

// Prints the best matches of the query, best first: topic, subtopic, hits and snippet, as lines or
// as JSON. Exit status 0 when something was found, 1 when nothing, 2 on bad input (an empty query, a
// book without a whole index: run `velkora-book index` or open it in the program once).
int searchBookCommand(const QString &path, const QString &password, const QString &query, bool json);

} // namespace velkora::tools
