// The book's own tokenizer for SQLite's full-text module (FTS4), registered on every connection.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

struct sqlite3;

namespace velkora::search {

// Registers the tokenizer "velkora" on the connection. It reads a body stored as RTF as the text a
// reader sees (bodyText), anything else as UTF-8 text. It splits text as splitWords does and gives,
// for each word, its markless stem and its markless form at the word's position (see termsOf).
// Given the argument "counts" (tokenize=velkora counts) it gives each term of the text once
// instead, its "position" the number of times it occurs less one: the index then holds, for each
// term, the subtopics with how often they use it, a few bytes each, where positions cost a few
// bytes for every occurrence. Last comes a term of its own (the byte 0x02) at the text's number
// of words less one, so that the index records each text's length as the positional one did.
// A word that begins with the character U+0001 is a term given whole (the search's queries are
// written in terms): it is passed as it stands, without the marker. Returns false when the
// connection refuses tokenizers of its own.
bool registerTokenizer(sqlite3 *db);

// Counts the terms of the bodies (RTF) on several threads at once, ahead of their insertion into a
// counting index: until forgetCountedAhead, the tokenizer takes a body it meets again (by digest)
// as counted here instead of reading it on the one thread that writes. The index's first filling
// does this a batch at a time.
void countAhead(const std::vector<QByteArray> &bodies);
void forgetCountedAhead();

// How many word positions the tokenizer finds in the input: what the index records as the length
// of a subtopic's title or body.
int positionsOf(QByteArrayView input);

// The marker that makes the tokenizer take a query's term as it is.
inline constexpr char TermMarker = '\x01';

} // namespace velkora::search
