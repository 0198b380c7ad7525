// The full-text index and its searches from the command line.
#include "searchcommands.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "search/searchindex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace velkora::tools {

using database::DatabaseError;

int indexBookCommand(const QString &path, const QString &password)
{
    auto db = database::Database::open(path, password);
    if (db->isReadOnly())
        throw DatabaseError(QStringLiteral("'%1' can only be read: its full-text index cannot be made.").arg(path));
    search::createIndex(*db);
    search::fillIndex(*db);
    const search::IndexState state = search::indexState(*db);
    std::printf("%lld subtopics in the full-text index\n", static_cast<long long>(state.indexed));
    return 0;
}

int searchBookCommand(const QString &path, const QString &password, const QString &text, bool json)
{
    const search::Query query = search::parseQuery(text);
    if (query.isEmpty()) {
        std::fputs("velkora-book: the query asks for nothing (a word, a \"phrase\" or a prefix*)\n", stderr);
        return 2;
    }
    database::Database::Options options;
    options.readOnly = true;
    auto db = database::Database::open(path, password, options);
    const search::IndexState state = search::indexState(*db, false);
    if (!state.present || !state.built) {
        std::fprintf(stderr, "velkora-book: '%s' has no whole full-text index yet: make it with `velkora-book index` or open the "
                             "book in the program once\n",
                     path.toLocal8Bit().constData());
        return 2;
    }
    const QVector<search::SearchResult> results = search::searchBook(*db, query);
    if (json) {
        QJsonArray out;
        for (const search::SearchResult &r : results) {
            QJsonArray marks;
            for (const search::Hit &h : r.snippet.marks)
                marks.append(QJsonArray{int(h.start), int(h.end)});
            out.append(QJsonObject{{QStringLiteral("topic"), r.topicTitle},
                                   {QStringLiteral("subtopic"), r.subtopicTitle},
                                   {QStringLiteral("hits"), r.hits},
                                   {QStringLiteral("snippet"), r.snippet.text},
                                   {QStringLiteral("marks"), marks}});
        }
        const QByteArray bytes = QJsonDocument(out).toJson(QJsonDocument::Indented);
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    } else {
        for (const search::SearchResult &r : results)
            std::printf("%s › %s\t%d\t%s\n", r.topicTitle.toUtf8().constData(), r.subtopicTitle.toUtf8().constData(), r.hits,
                        r.snippet.text.toUtf8().constData());
    }
    return results.isEmpty() ? 1 : 0;
}

} // namespace velkora::tools
