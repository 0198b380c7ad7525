// An FTS4 tokenizer module: words of Turkish text as index terms (stems and markless forms).
#include "ftstokenizer.h"

#include "bodytext.h"
#include "turkishwords.h"

#include "platform/richedit/rtfreader.h"

#include <sqlcipher/sqlite3.h>

#include <QByteArray>
#include <QHash>
#include <QString>

#include <algorithm>
#include <cstring>
#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <string>
#include <string_view>
#include <unordered_map>
#include <new>
#include <vector>

namespace velkora::search {

namespace {

// The tokenizer interface of SQLite's full-text module (fts3_tokenizer.h, not installed with the
// library), version 1.
struct sqlite3_tokenizer_module;
struct sqlite3_tokenizer
{
    const sqlite3_tokenizer_module *pModule;
};
struct sqlite3_tokenizer_cursor
{
    sqlite3_tokenizer *pTokenizer;
};
struct sqlite3_tokenizer_module
{
    int iVersion;
    int (*xCreate)(int argc, const char *const *argv, sqlite3_tokenizer **ppTokenizer);
    int (*xDestroy)(sqlite3_tokenizer *pTokenizer);
    int (*xOpen)(sqlite3_tokenizer *pTokenizer, const char *pInput, int nBytes, sqlite3_tokenizer_cursor **ppCursor);
    int (*xClose)(sqlite3_tokenizer_cursor *pCursor);
    int (*xNext)(sqlite3_tokenizer_cursor *pCursor, const char **ppToken, int *pnBytes, int *piStartOffset,
                 int *piEndOffset, int *piPosition);
    int (*xLanguageid)(sqlite3_tokenizer_cursor *pCsr, int iLangid);
};

// A word's terms as the index keeps them (UTF-8): its markless stem and, when it differs, its
// markless form. Books repeat their words, so each thread remembers the terms of the words it has
// seen, by the word as written.
struct Terms
{
    QByteArray stem, surface;
    // How often the text being counted uses the word (counted while `stamp` is that text's).
    mutable quint32 stamp = 0;
    mutable int uses = 0;
};

struct TermCache
{
    std::unordered_map<std::u16string, Terms, U16ViewHash, std::equal_to<>> terms;
    int openCursors = 0; // tokens point into the cache while a cursor is open: it is emptied only between
};

TermCache &termCache()
{
    thread_local TermCache cache;
    return cache;
}

const Terms &termsOfWord(std::u16string_view written)
{
    TermCache &cache = termCache();
    const auto found = cache.terms.find(written);
    if (found != cache.terms.end())
        return found->second;
    Word w;
    const QStringView view(written.data(), qsizetype(written.size()));
    w.folded = foldTurkish(view);
    w.markless = withoutMarks(w.folded);
    QString stem, surface;
    termsOf(w, &stem, &surface);
    Terms t{stem.toUtf8(), surface != stem ? surface.toUtf8() : QByteArray()};
    return cache.terms.emplace(std::u16string(written), std::move(t)).first->second;
}

struct Token
{
    const char *term;
    int bytes, start, end, position;
};

// All tokens of the input are made when the cursor opens: the input is at most a body.
struct Cursor : sqlite3_tokenizer_cursor
{
    std::vector<Token> tokens;
    std::vector<QByteArray> given; // terms a query gives whole
    size_t next = 0;
};

struct Tokenizer : sqlite3_tokenizer
{
    bool counts = false; // each term once, with how often it occurs
};

// The term that records a text's length: no word holds the byte.
constexpr char LengthTerm[] = "\x02";

// The terms of a counted text as tokens, one per term in the order the words first came, each at
// "position" the number of times the text uses it less one (a word's stem and form, and the same
// term from different words, add up); and last the length term at the text's number of words
// less one, which makes the module record that number as the text's length (it records the
// highest position). Terms a query gives whole are already in the cursor, once each.
void emitCounts(Cursor &c, const std::vector<const Terms *> &distinct, int words)
{
    std::unordered_map<std::string_view, size_t> at;
    at.reserve(c.tokens.size() + 2 * distinct.size());
    std::vector<Token> once;
    const auto add = [&](const char *term, int bytes, int uses) {
        const auto [it, added] = at.try_emplace(std::string_view(term, size_t(bytes)), once.size());
        if (added)
            once.push_back({term, bytes, 0, 0, uses - 1});
        else
            once[it->second].position += uses;
    };
    for (const Token &t : c.tokens)
        add(t.term, t.bytes, 1);
    for (const Terms *t : distinct) {
        if (!t->stem.isEmpty())
            add(t->stem.constData(), int(t->stem.size()), t->uses);
        if (!t->surface.isEmpty())
            add(t->surface.constData(), int(t->surface.size()), t->uses);
    }
    if (words > 0)
        once.push_back({LengthTerm, 1, 0, 0, words - 1});
    c.tokens = std::move(once);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '"' || c == '*' || c == '(' || c == ')';
}

// The input's tokens into the cursor: each word's terms at its position, or, counting, each term
// once with how often it is used (emitCounts).
// The counted terms of the longer bodies tokenized last on this thread, by digest: a save takes
// the old body's terms out of the index before it puts the new one's in, and the old body is most
// often the one the same program saved before.
struct CountedBody
{
    QByteArray digest;
    std::vector<std::pair<QByteArray, int>> terms; // with their "position"
};
constexpr int CountedBodyBytes = 64 << 10; // shorter bodies are counted again at little cost
std::list<CountedBody> &countedBodies()
{
    thread_local std::list<CountedBody> bodies;
    return bodies;
}

// Bodies counted ahead of the index's first filling (countAhead), by digest, until it has taken them.
struct CountedAhead
{
    std::mutex mutex;
    QHash<QByteArray, std::shared_ptr<const CountedBody>> bodies;
    std::atomic<bool> any{false};
};
CountedAhead &countedAhead()
{
    static CountedAhead ahead;
    return ahead;
}

// The cursor's tokens from a body counted before.
void tokensOf(const CountedBody &body, Cursor &out)
{
    for (const auto &[term, position] : body.terms) {
        out.given.push_back(term);
        out.tokens.push_back({nullptr, int(out.given.size() - 1), 0, 0, position});
    }
    for (Token &t : out.tokens) {
        t.term = out.given[size_t(t.bytes)].constData();
        t.bytes = int(out.given[size_t(t.bytes)].size());
    }
}

void tokenize(const char *input, int n, Cursor &out, bool counting)
{
    // A body is RTF: its terms are the words a reader sees. They have no place in the RTF, so
    // their offsets are all 0 (the search makes its snippets from the text itself).
    const bool rtf = richedit::RtfReader::looksLikeRtf(QByteArrayView(input, n));
    QByteArray digest;
    CountedAhead &ahead = countedAhead();
    if (rtf && counting && (n >= CountedBodyBytes || ahead.any.load())) {
        digest = bodyDigest(QByteArrayView(input, n));
        if (ahead.any.load()) {
            std::shared_ptr<const CountedBody> found;
            {
                const std::lock_guard lock(ahead.mutex);
                found = ahead.bodies.value(digest);
            }
            if (found) {
                tokensOf(*found, out);
                return;
            }
        }
        auto &bodies = countedBodies();
        for (auto it = bodies.begin(); it != bodies.end(); ++it) {
            if (it->digest != digest)
                continue;
            bodies.splice(bodies.begin(), bodies, it);
            tokensOf(*it, out);
            return;
        }
    }
    const QString text = rtf ? (digest.isEmpty() ? bodyText(QByteArrayView(input, n)) : bodyText(QByteArrayView(input, n), digest))
                             : QString::fromUtf8(input, n);
    // Byte offsets of the UTF-16 positions, for the module's offsets into the UTF-8 input.
    std::vector<int> byteAt(rtf ? 1 : size_t(text.size()) + 1, rtf ? 0 : n);
    if (!rtf) {
        int b = 0;
        qsizetype u = 0;
        while (u < text.size() && b < n) {
            byteAt[size_t(u)] = b;
            const unsigned char c = static_cast<unsigned char>(input[b]);
            const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            if (length == 4 && u + 1 < text.size())
                byteAt[size_t(++u)] = b;
            ++u;
            b += length;
        }
    }
    const auto offset = [&](qsizetype u) { return rtf ? 0 : byteAt[size_t(u)]; };
    const char16_t *chars = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype size = text.size();
    // The character at i and its width in UTF-16 units.
    const auto at = [&](qsizetype i, qsizetype *width) -> char32_t {
        const char16_t c = chars[i];
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(chars[i + 1])) {
            *width = 2;
            return QChar::surrogateToUcs4(c, chars[i + 1]);
        }
        *width = 1;
        return c;
    };
    thread_local quint32 stamp = 0;
    ++stamp;
    std::vector<const Terms *> distinct;
    if (!counting)
        out.tokens.reserve(size_t(size / 5));
    int position = 0;
    qsizetype i = 0;
    while (i < size) {
        if (chars[i] == TermMarker) {
            // A term given whole by a query, up to the next blank.
            qsizetype end = i + 1;
            while (end < size && !(chars[end] < 0x80 && isBlank(char(chars[end]))))
                ++end;
            if (end > i + 1) {
                out.given.push_back(text.sliced(i + 1, end - i - 1).toUtf8());
                out.tokens.push_back({nullptr, int(out.given.size() - 1), offset(i), offset(end), position++});
            }
            i = end;
            continue;
        }
        qsizetype width;
        if (!isWordCharacter(at(i, &width))) {
            i += width;
            continue;
        }
        const qsizetype start = i;
        while (i < size && chars[i] != TermMarker && isWordCharacter(at(i, &width)))
            i += width;
        const std::u16string_view written(chars + start, size_t(std::min<qsizetype>(i - start, MaxWordLength)));
        const Terms &t = termsOfWord(written);
        ++position;
        if (counting) {
            if (t.stamp != stamp) {
                t.stamp = stamp;
                t.uses = 0;
                distinct.push_back(&t);
            }
            ++t.uses;
            continue;
        }
        const int s = offset(start), e = offset(i);
        if (!t.stem.isEmpty())
            out.tokens.push_back({t.stem.constData(), int(t.stem.size()), s, e, position - 1});
        if (!t.surface.isEmpty())
            out.tokens.push_back({t.surface.constData(), int(t.surface.size()), s, e, position - 1});
    }
    // Terms a query gives whole point into the cursor's own list, which is complete now.
    for (Token &t : out.tokens)
        if (!t.term) {
            const QByteArray &g = out.given[size_t(t.bytes)];
            t.term = g.constData();
            t.bytes = int(g.size());
        }
    if (!counting)
        return;
    emitCounts(out, distinct, position);
    if (!digest.isEmpty() && n >= CountedBodyBytes) {
        CountedBody body{digest, {}};
        body.terms.reserve(out.tokens.size());
        for (const Token &t : out.tokens)
            body.terms.emplace_back(QByteArray(t.term, t.bytes), t.position);
        auto &bodies = countedBodies();
        bodies.push_front(std::move(body));
        if (bodies.size() > 4)
            bodies.pop_back();
    }
}

int xCreate(int argc, const char *const *argv, sqlite3_tokenizer **out)
{
    auto *t = new (std::nothrow) Tokenizer{};
    if (!t)
        return SQLITE_NOMEM;
    for (int i = 0; i < argc; ++i)
        t->counts = t->counts || std::strcmp(argv[i], "counts") == 0;
    *out = t;
    return SQLITE_OK;
}

int xDestroy(sqlite3_tokenizer *t)
{
    delete static_cast<Tokenizer *>(t);
    return SQLITE_OK;
}

int xOpen(sqlite3_tokenizer *t, const char *input, int n, sqlite3_tokenizer_cursor **out)
{
    auto *c = new (std::nothrow) Cursor();
    if (!c)
        return SQLITE_NOMEM;
    c->pTokenizer = t;
    if (n < 0)
        n = int(std::strlen(input));
    TermCache &cache = termCache();
    if (cache.openCursors == 0 && cache.terms.size() > 200'000)
        cache.terms.clear();
    try {
        tokenize(input, n, *c, static_cast<Tokenizer *>(t)->counts);
    } catch (...) {
        delete c;
        return SQLITE_NOMEM;
    }
    ++cache.openCursors;
    *out = c;
    return SQLITE_OK;
}

int xClose(sqlite3_tokenizer_cursor *c)
{
    --termCache().openCursors;
    delete static_cast<Cursor *>(c);
    return SQLITE_OK;
}

int xNext(sqlite3_tokenizer_cursor *cursor, const char **token, int *bytes, int *start, int *end, int *position)
{
    auto *c = static_cast<Cursor *>(cursor);
    if (c->next >= c->tokens.size())
        return SQLITE_DONE;
    const Token &t = c->tokens[c->next++];
    *token = t.term;
    *bytes = t.bytes;
    *start = t.start;
    *end = t.end;
    *position = t.position;
    return SQLITE_OK;
}

int xLanguageid(sqlite3_tokenizer_cursor *, int)
{
    return SQLITE_OK;
}

const sqlite3_tokenizer_module Module = {1, xCreate, xDestroy, xOpen, xClose, xNext, xLanguageid};

} // namespace

void countAhead(const std::vector<QByteArray> &bodies)
{
    CountedAhead &ahead = countedAhead();
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < bodies.size(); i = next++) {
            const QByteArray &body = bodies[i];
            if (!richedit::RtfReader::looksLikeRtf(body))
                continue;
            auto counted = std::make_shared<CountedBody>();
            counted->digest = bodyDigest(body);
            Cursor c;
            ++termCache().openCursors;
            tokenize(body.constData(), int(body.size()), c, true);
            counted->terms.reserve(c.tokens.size());
            for (const Token &t : c.tokens)
                counted->terms.emplace_back(QByteArray(t.term, t.bytes), t.position);
            --termCache().openCursors;
            const QByteArray digest = counted->digest;
            const std::lock_guard lock(ahead.mutex);
            ahead.bodies.insert(digest, std::move(counted));
        }
    };
    const unsigned helpers = std::min(3u, std::max(1u, std::thread::hardware_concurrency()) - 1);
    std::vector<std::thread> threads;
    for (unsigned h = 0; h < helpers && bodies.size() > 1; ++h)
        threads.emplace_back(work);
    work();
    for (std::thread &t : threads)
        t.join();
    ahead.any = true;
}

void forgetCountedAhead()
{
    CountedAhead &ahead = countedAhead();
    const std::lock_guard lock(ahead.mutex);
    ahead.bodies.clear();
    ahead.any = false;
}

int positionsOf(QByteArrayView input)
{
    Cursor c;
    ++termCache().openCursors;
    tokenize(input.data(), int(input.size()), c, true);
    --termCache().openCursors;
    return c.tokens.empty() ? 0 : c.tokens.back().position + 1;
}

bool registerTokenizer(sqlite3 *db)
{
    int enabled = 0;
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 1, &enabled);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts3_tokenizer('velkora', ?)", -1, &st, nullptr) != SQLITE_OK)
        return false;
    const sqlite3_tokenizer_module *module = &Module;
    sqlite3_bind_blob(st, 1, &module, sizeof module, SQLITE_STATIC);
    const bool ok = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return ok;
}

} // namespace velkora::search
