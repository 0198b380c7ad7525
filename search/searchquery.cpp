// Parsing book-search queries and finding their hits in a text.
#include "searchquery.h"

#include "ftstokenizer.h"
#include "turkishwords.h"

#include <algorithm>

namespace velkora::search {

namespace {

// Does the word answer the part's i-th word?
bool wordAnswers(const Word &w, const QueryPart &part, int i)
{
    const QString &folded = part.folded[i];
    const QString &markless = part.markless[i];
    switch (part.kind) {
    case QueryPart::Kind::Prefix:
        return part.marked ? w.folded.startsWith(folded) : w.markless.startsWith(markless);
    case QueryPart::Kind::Phrase:
        return part.marked ? w.folded == folded : w.markless == markless;
    case QueryPart::Kind::Word:
        break;
    }
    if (part.marked)
        return w.folded == folded || w.stem == folded || w.stem == part.stems[i];
    return w.markless == markless || w.marklessStem == markless || w.marklessStem == part.marklessStems[i];
}

// The ranges of the text's words where the part answers.
QVector<Hit> partHits(const std::vector<Word> &words, const QueryPart &part)
{
    QVector<Hit> out;
    const int n = int(part.folded.size());
    if (n == 0)
        return out;
    for (size_t i = 0; i + size_t(n) <= words.size(); ++i) {
        bool all = true;
        for (int k = 0; k < n && all; ++k)
            all = wordAnswers(words[i + size_t(k)], part, k);
        if (all)
            out.append({words[i].start, words[i + size_t(n) - 1].end});
    }
    return out;
}

} // namespace

bool Query::isEmpty() const
{
    return std::none_of(parts.cbegin(), parts.cend(), [](const QueryPart &p) { return !p.excluded; });
}

QStringList Query::wordPrefixes() const
{
    QStringList prefixes;
    for (const QueryPart &p : parts) {
        for (qsizetype i = 0; i < p.markless.size(); ++i) {
            if (p.kind != QueryPart::Kind::Word) {
                prefixes.append(p.markless[i]);
                continue;
            }
            // A word answers by its stem too, and a stem may end otherwise than the word it comes
            // from ("kitabı" → "kitap"): the two forms' common beginning, short of its last two letters.
            const QString &a = p.markless[i], &b = p.marklessStems[i];
            qsizetype common = 0;
            while (common < a.size() && common < b.size() && a[common] == b[common])
                ++common;
            prefixes.append(a.first(std::max<qsizetype>(0, common - 2)));
        }
    }
    prefixes.removeDuplicates();
    return prefixes;
}

Query parseQuery(const QString &text)
{
    Query query;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        bool excluded = false;
        if (text[i] == u'-' && i + 1 < n && !text[i + 1].isSpace()) {
            excluded = true;
            ++i;
        }
        QueryPart part;
        part.excluded = excluded;
        QString raw;
        if (text[i] == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            raw = text.mid(i + 1, close < 0 ? -1 : close - i - 1);
            i = close < 0 ? n : close + 1;
            part.kind = QueryPart::Kind::Phrase;
        } else {
            qsizetype end = i;
            while (end < n && !text[end].isSpace() && text[end] != u'"')
                ++end;
            raw = text.mid(i, end - i);
            i = end;
            if (raw.endsWith(u'*')) {
                part.kind = QueryPart::Kind::Prefix;
                raw.chop(1);
            }
        }
        const std::vector<Word> words = splitWords(raw);
        if (words.empty())
            continue;
        // A written word that parts into several ("Ali'nin") is a phrase of them.
        if (words.size() > 1 && part.kind != QueryPart::Kind::Phrase) {
            part.kind = QueryPart::Kind::Phrase;
        }
        for (const Word &w : words) {
            part.folded.append(w.folded);
            part.markless.append(w.markless);
            part.stems.append(w.stem);
            part.marklessStems.append(w.marklessStem);
            part.marked = part.marked || w.folded != w.markless;
        }
        query.parts.append(std::move(part));
    }
    return query;
}

QVector<Hit> hitsIn(const QString &text, const Query &query)
{
    const std::vector<Word> words = splitWords(text);
    QVector<Hit> all;
    for (const QueryPart &p : query.parts) {
        if (p.excluded)
            continue;
        const QVector<Hit> hits = partHits(words, p);
        if (hits.isEmpty())
            return {};
        all += hits;
    }
    std::sort(all.begin(), all.end(), [](const Hit &a, const Hit &b) { return a.start < b.start; });
    return all;
}

bool subtopicHits(const std::vector<Word> &title, const std::vector<Word> &body, const Query &query, QVector<Hit> *inTitle,
                  QVector<Hit> *inBody)
{
    inTitle->clear();
    inBody->clear();
    for (const QueryPart &p : query.parts) {
        const QVector<Hit> t = partHits(title, p), b = partHits(body, p);
        if (p.excluded ? !(t.isEmpty() && b.isEmpty()) : t.isEmpty() && b.isEmpty())
            return false;
        if (!p.excluded) {
            *inTitle += t;
            *inBody += b;
        }
    }
    const auto byStart = [](const Hit &a, const Hit &b) { return a.start < b.start; };
    std::sort(inTitle->begin(), inTitle->end(), byStart);
    std::sort(inBody->begin(), inBody->end(), byStart);
    return true;
}

bool excludedIn(const QString &text, const Query &query)
{
    std::vector<Word> words;
    bool split = false;
    for (const QueryPart &p : query.parts) {
        if (!p.excluded)
            continue;
        if (!split) {
            words = splitWords(text);
            split = true;
        }
        if (!partHits(words, p).isEmpty())
            return true;
    }
    return false;
}

Snippet snippetOf(const QString &text, const QVector<Hit> &hits, int width)
{
    Snippet s;
    if (text.isEmpty())
        return s;
    const qsizetype centre = hits.isEmpty() ? 0 : hits.first().start;
    qsizetype from = std::max<qsizetype>(0, centre - width / 3);
    qsizetype to = std::min<qsizetype>(text.size(), from + width);
    // Whole words at the edges, and one line: a paragraph break ends the snippet's part.
    while (from > 0 && from < centre && !text[from - 1].isSpace())
        ++from;
    while (to < text.size() && to > centre && !text[to].isSpace())
        --to;
    QString part = text.mid(from, to - from);
    for (QChar &c : part)
        if (c == u'\n')
            c = u' ';
    s.text = (from > 0 ? QStringLiteral("…") : QString()) + part + (to < text.size() ? QStringLiteral("…") : QString());
    const qsizetype shift = from > 0 ? 1 : 0;
    for (const Hit &h : hits)
        if (h.start >= from && h.end <= to)
            s.marks.append({h.start - from + shift, h.end - from + shift});
    return s;
}

} // namespace velkora::search
