// Helpers for record-set tests: a book store opened on a test book, an engine that counts and fails.
#pragma once

#include "platform/database/databaseerror.h"
#include "store/bookstore.h"
#include "store/field.h"
#include "support/bookfixture.h"

#include <functional>
#include <memory>

namespace velkora::testing {

// Forwards to the real engine; counts long-value reads and can make the next write fail.
class ProbeEngine : public store::Engine
{
public:
    explicit ProbeEngine(std::unique_ptr<store::Engine> inner) : m_inner(std::move(inner)) {}

    int longReads = 0;
    int writes = 0;
    bool failNextWrite = false;

    store::ResultSet select(const QString &s, const QHash<QString, QVariant> &p,
                            const std::optional<store::Narrowing> &n) override
    {
        return m_inner->select(s, p, n);
    }
    std::optional<store::Row> fetchRow(const store::TableInfo &t, qint64 k) override { return m_inner->fetchRow(t, k); }
    std::optional<database::Database::LongValue> fetchLong(const store::TableInfo &t, qint64 k, int c) override
    {
        ++longReads;
        return m_inner->fetchLong(t, k, c);
    }
    store::Row insert(const store::TableInfo &t, const database::Database::Changes &v) override
    {
        maybeFail();
        return m_inner->insert(t, v);
    }
    qint64 update(const store::TableInfo &t, qint64 k, qint64 ver, const database::Database::Changes &c) override
    {
        maybeFail();
        return m_inner->update(t, k, ver, c);
    }
    void remove(const store::TableInfo &t, qint64 k, qint64 ver) override
    {
        maybeFail();
        m_inner->remove(t, k, ver);
    }

private:
    void maybeFail()
    {
        ++writes;
        if (failNextWrite) {
            failNextWrite = false;
            throw database::DatabaseError(QStringLiteral("Disk or network error."));
        }
    }
    std::unique_ptr<store::Engine> m_inner;
};

// An engine of its own on the test book, whichever engine keeps it.
inline std::unique_ptr<store::Engine> engineFor(const BookFixture &fixture)
{
    if (BookFixture::onServer())
        return std::make_unique<store::ServerEngine>(database::ServerDatabase::open(fixture.serverInfo()));
    return std::make_unique<store::BookEngine>(fixture.open());
}

// The program's book store on a test book. With probe, the store runs through a ProbeEngine.
struct OpenBook
{
    explicit OpenBook(const BookFixture &fixture, bool withProbe = false, bool openQueries = true)
    {
        store.ADOConnection1->setConnectionString(fixture.connectionString());
        if (withProbe) {
            auto engine = std::make_unique<ProbeEngine>(engineFor(fixture));
            probe = engine.get();
            store.ADOConnection1->setEngine(std::move(engine));
        }
        store.connect();
        if (openQueries)
            store.openQueries();
    }

    QString topic() const { return store.ADOQuery1->fieldByName(QStringLiteral("Baslik"))->asString(); }
    QString subtopic() const { return store.ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->asString(); }
    QString body() const { return store.ADOQuery2->fieldByName(QStringLiteral("Aciklama"))->asString(); }
    QStringList subtopics() const
    {
        QStringList out;
        store::Query &q = *store.ADOQuery2;
        for (int r = 0; r < q.displayRowCount(); ++r)
            out.append(q.displayValue(r, q.fieldByName(QStringLiteral("Altkonu"))->index()).toString());
        return out;
    }

    store::BookStore store;
    ProbeEngine *probe = nullptr;
};

// The message of the exception f throws, or an empty string.
inline QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const database::DatabaseError &e) {
        return e.message();
    }
    return QString();
}

} // namespace velkora::testing
