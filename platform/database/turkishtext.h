// Turkish-aware text comparison for the book: case folding, LIKE patterns and sort order.
#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

struct UCollator;

namespace velkora::database {

// Letter case is ignored the Turkish way: I pairs with ı and İ with i; ç ğ ö ş ü fold to their
// small forms. The fold is per character, so positions in the folded text match the original's.
char32_t foldCharacter(char32_t c);
std::u32string foldText(QStringView text);
std::u32string foldUtf8(std::string_view utf8);
// The same into a buffer the caller reuses, so a scan over many titles allocates nothing.
void foldUtf8Into(std::string_view utf8, std::u32string &out);

bool equalsIgnoringCase(QStringView a, QStringView b);
bool startsWithIgnoringCase(QStringView text, QStringView prefix);

// Matches a folded text against a folded LIKE pattern: '%' matches any run of characters
// (the empty one included), '_' exactly one character; every other character stands for itself.
// Runs in O(text × pattern) at worst and without recursion, so no pattern can make it hang.
bool likeMatches(std::u32string_view pattern, std::u32string_view text);

// A folded LIKE pattern prepared once for many texts. The search box always asks for "%text%";
// such a pattern is matched as a plain substring search.
class LikePattern
{
public:
    explicit LikePattern(std::u32string folded);
    bool matches(std::u32string_view foldedText) const;

private:
    std::u32string m_pattern;
    std::u32string m_literal;
    bool m_contains = false;
};

// The book's sort order: ICU's Turkish collation with letter case ignored (secondary strength).
// Thread-compatible: one instance per connection.
class TurkishCollator
{
public:
    TurkishCollator();
    ~TurkishCollator();
    TurkishCollator(const TurkishCollator &) = delete;
    TurkishCollator &operator=(const TurkishCollator &) = delete;

    int compare(QStringView a, QStringView b) const;
    int compareUtf8(std::string_view a, std::string_view b) const;

private:
    ::UCollator *m_collator = nullptr;
};

} // namespace velkora::database
