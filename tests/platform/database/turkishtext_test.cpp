// Titles compare the Turkish way: I/ı and İ/i are pairs, letter case never matters.
#include "platform/database/turkishtext.h"

#include <gtest/gtest.h>

using namespace velkora::database;

namespace {
bool like(const QString &pattern, const QString &text)
{
    return likeMatches(foldText(pattern), foldText(text));
}
} // namespace

TEST(TurkishText, CaseFoldingPairsTheTurkishLetters)
{
    EXPECT_TRUE(equalsIgnoringCase(u"IĞDIR", u"ığdır"));
    EXPECT_TRUE(equalsIgnoringCase(u"İZMİR", u"izmir"));
    EXPECT_FALSE(equalsIgnoringCase(u"IZMIR", u"izmir")); // I is the capital of ı, not of i
    EXPECT_TRUE(equalsIgnoringCase(u"ÇĞÖŞÜ", u"çğöşü"));
    EXPECT_TRUE(startsWithIgnoringCase(u"Ağaç", u"AĞ"));
    EXPECT_EQ(foldUtf8("\xC4\xB0stanbul"), foldText(u"istanbul"));
    EXPECT_EQ(foldUtf8("\xff\xfe").size(), 2u); // invalid bytes fold to replacement characters
}

TEST(TurkishText, LikePatterns)
{
    struct Case { const char16_t *pattern; const char16_t *text; bool match; };
    const Case cases[] = {
        {u"%cümle%", u"Cümle Yapısı", true},
        {u"%cümle%", u"Basit Cümleler", true},
        {u"%cümle%", u"Ekler", false},
        {u"%%", u"", true},
        {u"%", u"herhangi", true},
        {u"a_c", u"abc", true},
        {u"a_c", u"ac", false},
        {u"%a%b%", u"xaxxbx", true},
        {u"%a%b%", u"xbxxax", false},
        {u"%\"%", u"Bir \"alıntı\"", true},
        {u"%istanbul%", u"İSTANBUL'da", true},
        {u"%[a]%", u"[a]", true}, // brackets stand for themselves
        {u"abc", u"abcd", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(like(QString::fromUtf16(c.pattern), QString::fromUtf16(c.text)), c.match)
            << QString::fromUtf16(c.pattern).toStdString() << " / " << QString::fromUtf16(c.text).toStdString();
}

TEST(TurkishText, PathologicalPatternsFinishQuickly)
{
    const QString text(20000, u'a');
    const QString pattern = QStringLiteral("%a%a%a%a%a%a%a%a%a%a%b");
    EXPECT_FALSE(like(pattern, text));
}

TEST(TurkishText, SortOrderIsTurkishAndIgnoresCase)
{
    const TurkishCollator c;
    EXPECT_LT(c.compare(u"Cümle", u"Çiçek"), 0);
    EXPECT_LT(c.compare(u"Çiçek", u"Dil"), 0);
    EXPECT_LT(c.compare(u"ılık", u"istek"), 0); // ı before i
    EXPECT_LT(c.compare(u"Özne", u"Pekiştirme"), 0);
    EXPECT_LT(c.compare(u"Sıfat", u"Şimdi"), 0);
    EXPECT_EQ(c.compare(u"abla", u"ABLA"), 0);
    EXPECT_EQ(c.compareUtf8("Ağaç", "AĞAÇ"), 0);
}
