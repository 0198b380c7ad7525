// velkora-book copy: the rows read through one engine and written through another.
#include "copycommand.h"

#include "platform/database/booklogvfs.h"
#include "platform/database/connectionstring.h"
#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/serverdatabase.h"
#include "store/connection.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace velkora::tools {

using database::DatabaseError;
using database::SelectStatement;

bool isServerBook(const QString &argument)
{
    return argument.startsWith(QLatin1String("postgresql://")) || argument.startsWith(QLatin1String("postgres://")) || argument.contains(u'=');
}

QString readingConnectionString(const QString &argument, const QString &password)
{
    database::ConnectionString c;
    if (isServerBook(argument)) {
        c.provider = store::ServerProvider;
        c.dataSource = argument;
    } else {
        c.dataSource = QFileInfo(argument).absoluteFilePath();
        c.password = password;
        c.readOnly = true;
    }
    return c.toString();
}

namespace {

struct Counts
{
    qint64 topics = 0, subtopics = 0, bytes = 0;
};

// One subtopic or topic as both books must hold it: titles and bodies, in order.
struct Item
{
    QVariant title, body;
};

template <typename Db>
QList<Item> topicsOf(const Db &db)
{
    const auto &master = db.table(u"master");
    QList<Item> out;
    for (const database::Row &r : db.select(SelectStatement::parse(QStringLiteral("Select * From master")), {}).rows)
        out.append({r.values[master.columnIndex(u"Baslik")], r.key});
    return out;
}

template <typename Db>
QList<Item> subtopicsOf(const Db &db, qint64 topic)
{
    const auto &detail = db.table(u"detail");
    const int body = detail.columnIndex(u"Aciklama");
    QList<Item> out;
    const auto rows = db.select(SelectStatement::parse(QStringLiteral("Select * From detail WHERE Sira=:Sira")), {{QStringLiteral("Sira"), topic}}).rows;
    for (const database::Row &r : rows) {
        const auto value = db.fetchLong(detail, r.key, body);
        out.append({r.values[detail.columnIndex(u"Altkonu")], value ? value->value : QVariant()});
    }
    return out;
}

// Topics in their order, each one's subtopics in theirs; the body's of one subtopic at a time.
template <typename From, typename To>
Counts copyRows(const From &from, To &to)
{
    const auto &master = to.table(u"master");
    const auto &detail = to.table(u"detail");
    Counts counts;
    for (const Item &topic : topicsOf(from)) {
        const qint64 key = to.insert(master, {{master.columnIndex(u"Baslik"), topic.title}}).key;
        ++counts.topics;
        for (const Item &sub : subtopicsOf(from, topic.body.toLongLong())) {
            to.insert(detail, {{detail.columnIndex(u"Sira"), key}, {detail.columnIndex(u"Altkonu"), sub.title}, {detail.columnIndex(u"Aciklama"), sub.body}});
            ++counts.subtopics;
            counts.bytes += sub.body.toString().size();
        }
    }
    return counts;
}

bool same(const QVariant &a, const QVariant &b)
{
    return a.isNull() == b.isNull() && a.toString() == b.toString();
}

// The copy holds what the source holds, topic by topic and subtopic by subtopic.
template <typename A, typename B>
void compare(const A &source, const B &copy)
{
    const QList<Item> a = topicsOf(source), b = topicsOf(copy);
    if (a.size() != b.size())
        throw DatabaseError(QStringLiteral("the copy has %1 topics, not %2").arg(b.size()).arg(a.size()));
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!same(a[i].title, b[i].title))
            throw DatabaseError(QStringLiteral("topic %1 is not the same in the copy").arg(i + 1));
        const QList<Item> x = subtopicsOf(source, a[i].body.toLongLong()), y = subtopicsOf(copy, b[i].body.toLongLong());
        if (x.size() != y.size())
            throw DatabaseError(QStringLiteral("topic %1 has %2 subtopics in the copy, not %3").arg(i + 1).arg(y.size()).arg(x.size()));
        for (qsizetype k = 0; k < x.size(); ++k)
            if (!same(x[k].title, y[k].title) || !same(x[k].body, y[k].body))
                throw DatabaseError(QStringLiteral("subtopic %1 of topic %2 is not the same in the copy").arg(k + 1).arg(i + 1));
    }
}

// Into a server book: one transaction, compared before it is committed.
template <typename From>
Counts copyIntoServer(const From &from, const QString &to)
{
    auto target = database::ServerDatabase::open(to);
    if (!topicsOf(*target).isEmpty())
        throw DatabaseError(QStringLiteral("%1 is not empty: a book is copied only into an empty one").arg(target->describe()));
    Counts counts;
    target->inTransaction([&] {
        counts = copyRows(from, *target);
        compare(from, *target);
    });
    return counts;
}

// Into a new book file: made under a temporary name beside it, compared, then given its name.
template <typename From>
Counts copyIntoFile(const From &from, const QString &to, const QString &password)
{
    if (QFileInfo::exists(to))
        throw DatabaseError(QStringLiteral("%1 exists already: a book is copied only into a new file").arg(to));
    const QString partial = to + QStringLiteral(".partial");
    QFile::remove(partial);
    database::Database::create(partial, password);
    Counts counts;
    try {
        {
            auto target = database::Database::open(partial, password);
            counts = copyRows(from, *target);
            compare(from, *target);
        }
        QFile::remove(database::bookLogPath(partial));
        if (!QFile::rename(partial, to))
            throw DatabaseError(QStringLiteral("%1 cannot be given its name").arg(to));
    } catch (...) {
        QFile::remove(partial);
        QFile::remove(database::bookLogPath(partial));
        QFile::remove(partial + QStringLiteral("-shm"));
        throw;
    }
    return counts;
}

} // namespace

int copyBookCommand(const QString &from, const QString &to, const QString &password)
{
    Counts counts;
    if (isServerBook(from)) {
        const auto source = database::ServerDatabase::open(from);
        counts = isServerBook(to) ? copyIntoServer(*source, to) : copyIntoFile(*source, to, password);
    } else {
        database::Database::Options options;
        options.readOnly = true;
        const auto source = database::Database::open(from, password, options);
        counts = isServerBook(to) ? copyIntoServer(*source, to) : copyIntoFile(*source, to, password);
    }
    std::printf("copied %lld topics and %lld subtopics (%lld characters of bodies), compared with the source\n",
                static_cast<long long>(counts.topics), static_cast<long long>(counts.subtopics), static_cast<long long>(counts.bytes));
    return 0;
}

} // namespace velkora::tools
