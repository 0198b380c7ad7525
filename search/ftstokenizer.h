// The book's own tokenizer for SQLite's full-text module (FTS4), registered on every connection.
#pragma once

#include <QByteArrayView>

struct sqlite3;

namespace velkora::search {

// Registers the tokenizer "velkora" on the connection. It reads a body stored as RTF as the text a
// reader sees (bodyText), anything else as UTF-8 text. It splits text as splitWords does and gives,
// for each word, its markless stem and its markless form at the word's position (see termsOf).
// A word that begins with the character U+0001 is a term given whole (the search's queries are
// written in terms): it is passed as it stands, without the marker. Returns false when the
// connection refuses tokenizers of its own.
bool registerTokenizer(sqlite3 *db);

// How many word positions the tokenizer gives the input: what the index records as the length of a
// subtopic's title or body.
int positionsOf(QByteArrayView input);

// The marker that makes the tokenizer take a query's term as it is.
inline constexpr char TermMarker = '\x01';

} // namespace velkora::search
