// Authenticates the pages of an encrypted book file with its password, without SQLite, so that a
// file that will not open can be told apart: not a book, another password, or a book damaged at a
// page that can be named.
#pragma once

#include <QList>
#include <QString>

namespace velkora::database {

struct PageCheck
{
    qint64 pages = 0;        // whole pages in the file
    qint64 checked = 0;      // pages looked at
    QList<qint64> damaged;   // 1-based numbers of the pages looked at that failed, at most MaxListed
    qint64 damagedCount = 0; // all that failed
    bool cutShort = false;   // the file ends inside a page
    bool readable = true;    // false when the file could not be read at all

    bool allDamaged() const { return checked > 0 && damagedCount == checked; }
};

class BookPages
{
public:
    static constexpr int PageSize = 4096;
    static constexpr int MaxListed = 20;

    // Checks every page when samplePages is 0; otherwise the first page and up to samplePages
    // others spread over the file (enough to tell a damaged header from a foreign file quickly).
    static PageCheck check(const QString &path, const QString &password, int samplePages = 0);
};

} // namespace velkora::database
