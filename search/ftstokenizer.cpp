// An FTS4 tokenizer module: words of Turkish text as index terms (stems and markless forms).
#include "ftstokenizer.h"

#include "bodytext.h"
#include "turkishwords.h"

#include "platform/richedit/rtfreader.h"

#include <sqlcipher/sqlite3.h>

#include <QByteArray>
#include <QString>

#include <cstring>
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

struct Token
{
    QByteArray term;
    int start, end, position;
};

// All tokens of the input are made when the cursor opens: the input is at most a body.
struct Cursor : sqlite3_tokenizer_cursor
{
    std::vector<Token> tokens;
    size_t next = 0;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '"' || c == '*' || c == '(' || c == ')';
}

void tokenize(const char *input, int n, std::vector<Token> &out)
{
    // A body is RTF: its terms are the words a reader sees. They have no place in the RTF, so
    // their offsets are all 0 (the search makes its snippets from the text itself).
    const bool rtf = richedit::RtfReader::looksLikeRtf(QByteArrayView(input, n));
    const QString text = rtf ? bodyText(QByteArrayView(input, n)) : QString::fromUtf8(input, n);
    // Byte offsets of the UTF-16 positions, for the module's offsets into the UTF-8 input.
    std::vector<int> byteAt(size_t(text.size()) + 1, rtf ? 0 : n);
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
    int position = 0;
    qsizetype from = 0;
    while (from < text.size()) {
        // Terms given whole by a query.
        const qsizetype marker = text.indexOf(QLatin1Char(TermMarker), from);
        const qsizetype stop = marker < 0 ? text.size() : marker;
        for (const Word &w : splitWords(QStringView(text).sliced(from, stop - from))) {
            QString stem, surface;
            termsOf(w, &stem, &surface);
            const int start = byteAt[size_t(from + w.start)], end = byteAt[size_t(from + w.end)];
            if (!stem.isEmpty())
                out.push_back({stem.toUtf8(), start, end, position});
            if (!surface.isEmpty() && surface != stem)
                out.push_back({surface.toUtf8(), start, end, position});
            ++position;
        }
        if (marker < 0)
            break;
        qsizetype end = marker + 1;
        while (end < text.size() && !(text[end].unicode() < 0x80 && isBlank(char(text[end].unicode()))))
            ++end;
        if (end > marker + 1)
            out.push_back({text.sliced(marker + 1, end - marker - 1).toUtf8(), byteAt[size_t(marker)], byteAt[size_t(end)], position++});
        from = end;
    }
}

int xCreate(int, const char *const *, sqlite3_tokenizer **out)
{
    auto *t = new (std::nothrow) sqlite3_tokenizer{};
    if (!t)
        return SQLITE_NOMEM;
    *out = t;
    return SQLITE_OK;
}

int xDestroy(sqlite3_tokenizer *t)
{
    delete t;
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
    try {
        tokenize(input, n, c->tokens);
    } catch (...) {
        delete c;
        return SQLITE_NOMEM;
    }
    *out = c;
    return SQLITE_OK;
}

int xClose(sqlite3_tokenizer_cursor *c)
{
    delete static_cast<Cursor *>(c);
    return SQLITE_OK;
}

int xNext(sqlite3_tokenizer_cursor *cursor, const char **token, int *bytes, int *start, int *end, int *position)
{
    auto *c = static_cast<Cursor *>(cursor);
    if (c->next >= c->tokens.size())
        return SQLITE_DONE;
    const Token &t = c->tokens[c->next++];
    *token = t.term.constData();
    *bytes = int(t.term.size());
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

int positionsOf(QByteArrayView input)
{
    std::vector<Token> tokens;
    tokenize(input.data(), int(input.size()), tokens);
    return tokens.empty() ? 0 : tokens.back().position + 1;
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
