// The counting index's lists read from the full-text module's own tables.
#include "termuses.h"

#include "platform/database/databaseerror.h"
#include "platform/database/sqlitestatement.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace velkora::search {

using database::DatabaseError;
using database::SqliteStatement;

namespace {

[[noreturn]] void damaged(const QString &table)
{
    throw DatabaseError(QStringLiteral("The full-text index %1 is damaged: its storage is not as the full-text module writes it. "
                                       "`velkora-book check` names the disagreement.")
                            .arg(table));
}

// The module's variable-length integers: seven bits a byte, the lowest first, the high bit set on
// every byte but the last.
class Bytes
{
public:
    Bytes(const char *from, const char *to) : m_at(reinterpret_cast<const uchar *>(from)), m_end(reinterpret_cast<const uchar *>(to)) {}
    bool atEnd() const { return m_at >= m_end; }
    bool ok() const { return m_ok; }
    quint64 varint()
    {
        quint64 v = 0;
        for (int shift = 0; m_at < m_end && shift < 64; shift += 7) {
            const uchar b = *m_at++;
            v |= quint64(b & 0x7f) << shift;
            if (!(b & 0x80))
                return v;
        }
        m_ok = false;
        m_at = m_end;
        return 0;
    }
    // n bytes from here, or nothing when fewer are left.
    const char *take(quint64 n)
    {
        if (n > quint64(m_end - m_at)) {
            m_ok = false;
            m_at = m_end;
            return nullptr;
        }
        const auto *out = reinterpret_cast<const char *>(m_at);
        m_at += n;
        return out;
    }

private:
    const uchar *m_at, *m_end;
    bool m_ok = true;
};

// An entry of one segment: counts, or none (the subtopic's text no longer holds the term).
struct Entry
{
    TermUse use;
    bool removed = false;
};

// A segment's list for one term, appended to `out`: subtopic ascending, each "position" our count
// less one.
void readList(const char *from, const char *to, const QString &table, std::vector<Entry> &out)
{
    Bytes b(from, to);
    qint64 subtopic = 0;
    while (!b.atEnd()) {
        subtopic += qint64(b.varint());
        Entry e;
        e.use.subtopic = subtopic;
        quint64 column = 0;
        bool counted = false;
        for (;;) {
            const quint64 v = b.varint();
            if (!b.ok())
                damaged(table);
            if (v == 0)
                break;
            if (v == 1) {
                column = b.varint();
                continue;
            }
            counted = true;
            const auto n = quint32(std::min<quint64>(v - 1, 0xffffffffu));
            (column == 0 ? e.use.title : e.use.body) += n;
        }
        e.removed = !counted;
        out.push_back(e);
    }
}

// The segments' lists of one term (ranges of `entries`, oldest first) as one: each subtopic as
// the newest list that has it has it, those taken out left out.
void newestOf(const std::vector<Entry> &entries, const std::vector<std::pair<size_t, size_t>> &lists, std::vector<TermUse> &out)
{
    out.clear();
    if (lists.size() == 1) {
        for (size_t i = lists[0].first; i < lists[0].second; ++i)
            if (!entries[i].removed)
                out.push_back(entries[i].use);
        return;
    }
    // A subtopic is in one segment unless it changed after it was first indexed: the lists mostly
    // follow each other by subtopic, and then are taken one after the other.
    std::vector<std::pair<size_t, size_t>> byFirst;
    for (const auto &l : lists)
        if (l.first < l.second)
            byFirst.push_back(l);
    std::sort(byFirst.begin(), byFirst.end(), [&](const auto &a, const auto &b) {
        return entries[a.first].use.subtopic < entries[b.first].use.subtopic;
    });
    bool apart = true;
    for (size_t l = 1; l < byFirst.size() && apart; ++l)
        apart = entries[byFirst[l - 1].second - 1].use.subtopic < entries[byFirst[l].first].use.subtopic;
    if (apart) {
        for (const auto &l : byFirst)
            for (size_t i = l.first; i < l.second; ++i)
                if (!entries[i].removed)
                    out.push_back(entries[i].use);
        return;
    }
    // Otherwise a merge of the lists by subtopic; of equal subtopics the newest list's comes first.
    struct Head
    {
        size_t at, end, list;
    };
    const auto later = [&](const Head &a, const Head &b) {
        const qint64 x = entries[a.at].use.subtopic, y = entries[b.at].use.subtopic;
        return x != y ? x > y : a.list < b.list;
    };
    std::vector<Head> heap;
    for (size_t l = 0; l < lists.size(); ++l) {
        if (lists[l].first < lists[l].second)
            heap.push_back({lists[l].first, lists[l].second, l});
    }
    std::make_heap(heap.begin(), heap.end(), later);
    qint64 last = -1;
    bool any = false;
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        Head &h = heap.back();
        const Entry &e = entries[h.at];
        if (!any || e.use.subtopic != last) {
            any = true;
            last = e.use.subtopic;
            if (!e.removed)
                out.push_back(e.use);
        }
        if (++h.at < h.end)
            std::push_heap(heap.begin(), heap.end(), later);
        else
            heap.pop_back();
    }
}

int compareTerms(const QByteArray &a, const QByteArray &b)
{
    const int c = std::memcmp(a.constData(), b.constData(), size_t(std::min(a.size(), b.size())));
    return c != 0 ? c : a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

class SegmentReader
{
public:
    SegmentReader(sqlite3 *db, const QString &table, const QByteArray &term, bool prefix)
        : m_db(db), m_table(table), m_term(term), m_prefix(prefix)
    {
        const QByteArray sql = QStringLiteral("SELECT block FROM \"%1_segments\" WHERE blockid = ?").arg(table).toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &m_block, nullptr) != SQLITE_OK)
            throw DatabaseError(database::sqliteMessage(db, sqlite3_errcode(db)));
    }
    ~SegmentReader() { sqlite3_finalize(m_block); }
    SegmentReader(const SegmentReader &) = delete;
    SegmentReader &operator=(const SegmentReader &) = delete;

    // Adds what the segment (its root node, its leaves' first and last block) holds for the term.
    void readSegment(QByteArrayView root, qint64 firstLeaf, qint64 lastLeaf)
    {
        Bytes b(root.constData(), root.constData() + root.size());
        const quint64 height = b.varint();
        if (!b.ok())
            damaged(m_table);
        if (height == 0) {
            readLeaf(root);
            return;
        }
        const qint64 from = descend(root, height, true);
        const qint64 to = m_prefix ? descend(root, height, false) : from;
        if (from < firstLeaf || to > lastLeaf || to < from)
            damaged(m_table);
        for (qint64 leaf = from; leaf <= to; ++leaf)
            readLeaf(block(leaf));
    }

    // Each term's lists, ranges of entries(), oldest first.
    const std::map<QByteArray, std::vector<std::pair<size_t, size_t>>> &lists() const { return m_lists; }
    const std::vector<Entry> &entries() const { return m_entries; }

private:
    // The node's bytes, as SQLite holds them until the next block is read (a leaf holding a
    // common term's list is large: it is read where it is).
    QByteArrayView block(qint64 id)
    {
        sqlite3_reset(m_block);
        sqlite3_bind_int64(m_block, 1, id);
        const int rc = sqlite3_step(m_block);
        if (rc == SQLITE_DONE)
            damaged(m_table);
        if (rc != SQLITE_ROW)
            throw DatabaseError(database::sqliteMessage(m_db, rc));
        return QByteArrayView(static_cast<const char *>(sqlite3_column_blob(m_block, 0)), sqlite3_column_bytes(m_block, 0));
    }

    // The leaf under the interior node where the term is, or, with first false, the last leaf
    // where a term beginning with it can be.
    qint64 descend(QByteArrayView node, quint64 height, bool first)
    {
        for (;;) {
            const qint64 child = pickChild(node, first);
            if (height == 1)
                return child;
            node = block(child);
            Bytes b(node.constData(), node.constData() + node.size());
            const quint64 below = b.varint();
            if (!b.ok() || below + 1 != height)
                damaged(m_table);
            height = below;
        }
    }

    // A node's next term: the first whole, each next as the length it shares with the one before
    // and the rest (in an interior node never empty).
    void nextTerm(Bytes &b, QByteArray &term, bool &firstTerm, bool interior)
    {
        const quint64 shared = firstTerm ? 0 : b.varint();
        const quint64 rest = b.varint();
        const char *bytes = b.take(rest);
        if (!b.ok() || shared > quint64(term.size()) || (interior && rest == 0))
            damaged(m_table);
        firstTerm = false;
        term.truncate(qsizetype(shared));
        term.append(bytes, qsizetype(rest));
    }

    // An interior node: its height, its first child's block, then its terms (the first whole,
    // each next as the length it shares with the one before and the rest). The children between
    // two terms hold the terms between them.
    qint64 pickChild(QByteArrayView node, bool first)
    {
        Bytes b(node.constData(), node.constData() + node.size());
        b.varint();
        qint64 child = qint64(b.varint());
        QByteArray term;
        bool firstTerm = true;
        while (!b.atEnd()) {
            nextTerm(b, term, firstTerm, true);
            const int c = std::memcmp(m_term.constData(), term.constData(), size_t(std::min(m_term.size(), term.size())));
            if (first ? (c < 0 || (c == 0 && term.size() > m_term.size())) : c < 0)
                return child;
            ++child;
        }
        if (!b.ok())
            damaged(m_table);
        return child;
    }

    // A leaf: height 0, then its terms (as in an interior node), each followed by its list.
    void readLeaf(QByteArrayView leaf)
    {
        Bytes b(leaf.constData(), leaf.constData() + leaf.size());
        if (b.varint() != 0 || !b.ok())
            damaged(m_table);
        QByteArray term;
        bool firstTerm = true;
        while (!b.atEnd()) {
            nextTerm(b, term, firstTerm, false);
            const quint64 length = b.varint();
            const char *list = b.take(length);
            if (!b.ok())
                damaged(m_table);
            const bool answers = m_prefix ? term.startsWith(m_term) : term == m_term;
            if (answers) {
                const size_t from = m_entries.size();
                if (m_entries.capacity() < from + size_t(length / 3))
                    m_entries.reserve(std::max<size_t>(2 * m_entries.capacity(), from + size_t(length / 3)));
                readList(list, list + length, m_table, m_entries);
                m_lists[term].push_back({from, m_entries.size()});
            } else if (compareTerms(term, m_term) > 0 && !(m_prefix && term.startsWith(m_term))) {
                return; // past the term: leaves hold their terms in order
            }
        }
    }

    sqlite3 *m_db;
    QString m_table;
    QByteArray m_term;
    bool m_prefix;
    sqlite3_stmt *m_block = nullptr;
    std::map<QByteArray, std::vector<std::pair<size_t, size_t>>> m_lists;
    // The lists of a common term run to megabytes: the room is kept for the thread's next search,
    // where fresh memory would be mapped in again page by page.
    std::vector<Entry> &m_entries = scratch();
    static std::vector<Entry> &scratch()
    {
        thread_local std::vector<Entry> entries;
        entries.clear();
        return entries;
    }
};

} // namespace

void termUses(sqlite3 *db, const QString &table, const QByteArray &term, bool prefix, std::vector<TermUse> &out)
{
    out.clear();
    if (term.isEmpty())
        return;
    SegmentReader reader(db, table, term, prefix);
    // Oldest first: a merge makes a segment of the level above, and within a level a larger
    // index is newer.
    SqliteStatement segments(db, QStringLiteral("SELECT start_block, leaves_end_block, root FROM \"%1_segdir\""
                                                " ORDER BY level DESC, idx ASC").arg(table));
    while (segments.step()) {
        const QByteArray root = segments.bytes(2);
        reader.readSegment(root, segments.integer(0), segments.integer(1));
    }
    if (reader.lists().size() == 1) {
        newestOf(reader.entries(), reader.lists().begin()->second, out);
        return;
    }
    // The terms' lists together (a prefix), each subtopic's counts added: all of them, put in
    // order once (a short prefix begins thousands of terms).
    thread_local std::vector<TermUse> list;
    for (const auto &[t, lists] : reader.lists()) {
        newestOf(reader.entries(), lists, list);
        out.insert(out.end(), list.begin(), list.end());
    }
    std::sort(out.begin(), out.end(), [](const TermUse &a, const TermUse &b) { return a.subtopic < b.subtopic; });
    size_t kept = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (kept > 0 && out[kept - 1].subtopic == out[i].subtopic) {
            out[kept - 1].title += out[i].title;
            out[kept - 1].body += out[i].body;
        } else {
            out[kept++] = out[i];
        }
    }
    out.resize(kept);
}

qint64 indexedCount(sqlite3 *db, const QString &table)
{
    SqliteStatement st(db, QStringLiteral("SELECT value FROM \"%1_stat\" WHERE id = 0").arg(table));
    if (!st.step())
        return 0;
    const QByteArray value = st.bytes(0);
    Bytes b(value.constData(), value.constData() + value.size());
    const quint64 n = b.varint();
    return b.ok() ? qint64(n) : 0;
}

} // namespace velkora::search
