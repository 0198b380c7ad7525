// velkora-book copy, and books named on the command line either by a file's path or as a book on a
// PostgreSQL server.
#pragma once

#include <QString>

namespace velkora::tools {

// A server book is named by a libpq connection string ("host=... dbname=...") or address
// ("postgresql://..."); anything else is a book file's path. The server's password comes from the
// user's ~/.pgpass or PGPASSWORD, never from the command line.
bool isServerBook(const QString &argument);
// The program's connection string for a book named either way (a file opened read-only).
QString readingConnectionString(const QString &argument, const QString &password);

// Copies every topic and subtopic, in order, from one book into another: a file book into a server
// book, a server book into a new file book, or server to server. A server target must hold no
// topic yet, a file target must not exist. The copy is compared with its source before it counts:
// into a server in one transaction (nothing is left half copied), into a file under a temporary
// name renamed at the end. Prints what was copied; exit status 0, or 2 with a message.
int copyBookCommand(const QString &from, const QString &to, const QString &password);

} // namespace velkora::tools
