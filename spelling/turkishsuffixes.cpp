// Turkish word formation as a small state machine. Each ending is written once with archiphonemes
// and takes its letters from what precedes it:
//   A  a or e by the last vowel (back or front);
//   I  ı, i, u or ü by the last vowel (back or front, rounded or not);
//   D  t after a voiceless consonant (ç f h k p s ş t), else d; C ç or c and G k or g alike;
//   (y) (n) (s) (t) (m)  present only after a vowel; (I) (A)  present only after a consonant.
// An ending's final k becomes ğ before a vowel ("gelecek" + "im" → "geleceğim"), and no ending puts
// a vowel right after a vowel. A word is accepted when a stem the dictionary knows is followed by
// endings that lead from state to state to its end; the stem is tried longest first.
#include "spelling/turkishsuffixes.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace velkora::spelling {
namespace {

using namespace std::string_view_literals;

// Where a word stands after an ending, which decides the endings that may come next.
enum State {
    Noun,        // a noun or adjective, bare or derived
    Plural,      // after -lAr on a noun
    Possessive,  // after my, your, our, your (plural)
    Possessive3, // after his / her / its / their -(s)I: cases take an n ("evi-ni", "evi-nde")
    Case,        // after the accusative, dative, ablative or instrumental
    LocGen,      // after the locative or the genitive, which may take -ki
    Ki,          // after -ki ("evdeki"): a pronoun again
    Verb,        // a verb stem, bare or with a reciprocal or causative ending
    Passive,     // after a passive (or reflexive) or ability ending: no voice may follow
    Negative,    // after -mA or -(y)AmA
    PastK,       // after -DI or -sA: persons of the k-paradigm (-m, -n, -k, -nIz, -lAr)
    TenseZ,      // after the other tenses: persons of the z-paradigm (-(y)Im, -sIn, -(y)Iz, ...)
    Optative,    // after the optative -(y)A
    Person,      // after a person ending
    Person3pl,   // after -lAr as a person: "geliyorlar-dı"
    Done,        // nothing may follow
};

constexpr unsigned bit(State s) { return 1u << s; }

constexpr unsigned NounLike =
    bit(Noun) | bit(Plural) | bit(Possessive) | bit(Possessive3) | bit(Case) | bit(LocGen) | bit(Ki);
constexpr unsigned Nominal = bit(Noun) | bit(Plural) | bit(Possessive); // cases without the n
constexpr unsigned Pronominal = bit(Possessive3) | bit(Ki);              // cases with the n
constexpr unsigned AnyVerb = bit(Verb) | bit(Passive);
constexpr unsigned VerbLike = AnyVerb | bit(Negative);
constexpr unsigned Copular = NounLike | bit(TenseZ) | bit(Person3pl); // take -(y)DI, -(y)mIş, ...

struct Ending
{
    unsigned from; // the states it may follow
    std::u16string_view form;
    State to;
};

const Ending endings[] = {
    // nouns and adjectives derived from nouns
    {bit(Noun), u"lI", Noun}, {bit(Noun), u"sIz", Noun}, {bit(Noun), u"lIk", Noun},
    {bit(Noun), u"CI", Noun}, {bit(Noun), u"CIk", Noun}, {bit(Noun), u"sAl", Noun},
    {bit(Noun), u"DAş", Noun}, {bit(Noun) | bit(Plural), u"CA", Noun},
    {bit(Noun), u"(I)msI", Noun}, {bit(Noun), u"(m)sI", Noun}, // "yeşil-imsi", "kadın-sı", "eylem-si"
    // verbs made of nouns ("temiz-le", "güzel-leş", "temiz-l-iyor")
    {bit(Noun), u"lA", Verb}, {bit(Noun), u"lIyor", TenseZ},
    // number and possessives
    {bit(Noun), u"lAr", Plural}, {bit(Ki), u"lAr", Plural},
    {bit(Noun) | bit(Plural), u"(I)m", Possessive}, {bit(Noun) | bit(Plural), u"(I)n", Possessive},
    {bit(Noun) | bit(Plural), u"(I)mIz", Possessive}, {bit(Noun) | bit(Plural), u"(I)nIz", Possessive},
    {bit(Noun) | bit(Plural), u"(s)I", Possessive3},
    // cases
    {Nominal, u"(y)I", Case}, {Nominal, u"(y)A", Case}, {Nominal, u"DAn", Case},
    {Nominal, u"DA", LocGen}, {Nominal | Pronominal, u"(n)In", LocGen},
    {Nominal | Pronominal, u"(y)lA", Case}, {Pronominal, u"nI", Case}, {Pronominal, u"nA", Case},
    {Pronominal, u"nDAn", Case}, {Pronominal, u"nDA", LocGen}, {bit(LocGen), u"ki", Ki},
    // the copula, on nouns and after tenses ("evdeydi", "geliyormuş", "gelirse", "gelmiştir")
    {Copular, u"(y)DI", PastK}, {Copular, u"(y)mIş", TenseZ}, {Copular | bit(PastK), u"(y)sA", PastK},
    {Copular, u"(y)ken", Done}, {Copular, u"DIr", Done},
    // persons: the z-paradigm, also "I am a …" on nouns; the k-paradigm after -DI and -sA
    {NounLike | bit(TenseZ) | bit(Optative), u"(y)Im", Person},
    {NounLike | bit(TenseZ) | bit(Optative), u"sIn", Person},
    {NounLike | bit(TenseZ) | bit(Optative), u"(y)Iz", Person},
    {NounLike | bit(TenseZ) | bit(Optative), u"sInIz", Person},
    {bit(TenseZ) | bit(Optative) | bit(PastK), u"lAr", Person3pl}, {bit(Optative), u"lIm", Person},
    {bit(PastK), u"m", Person}, {bit(PastK), u"n", Person}, {bit(PastK), u"k", Person},
    {bit(PastK), u"nIz", Person}, {bit(Negative), u"m", Person}, {bit(Negative), u"(y)Iz", Person},
    {bit(Person) | bit(Person3pl), u"CAsInA", Done},
    // voice, ability and negation
    {bit(Verb), u"(I)ş", Verb}, {bit(Verb), u"DIr", Verb}, {bit(Verb), u"(t)", Verb},
    {bit(Verb), u"Il", Passive}, {bit(Verb), u"(I)n", Passive}, {AnyVerb, u"(y)Abil", Passive},
    {AnyVerb, u"(y)AmA", Negative}, {AnyVerb, u"mA", Negative},
    // tenses; before -Iyor a final a/e narrows ("gel-m-iyor", "gel-em-iyor")
    {AnyVerb, u"(I)yor", TenseZ}, {AnyVerb, u"mIyor", TenseZ}, {AnyVerb, u"(y)AmIyor", TenseZ},
    {VerbLike, u"(y)AcAk", TenseZ}, {VerbLike, u"DI", PastK}, {VerbLike, u"mIş", TenseZ},
    {AnyVerb, u"(A)r", TenseZ}, {AnyVerb, u"(I)r", TenseZ}, {AnyVerb, u"mAz", TenseZ},
    {bit(Negative), u"z", TenseZ}, {VerbLike, u"sA", PastK}, {VerbLike, u"mAlI", TenseZ},
    {VerbLike, u"(y)A", Optative},
    // the imperative
    {VerbLike, u"(y)In", Done}, {VerbLike, u"(y)InIz", Done}, {VerbLike, u"sIn", Done},
    {VerbLike, u"sInlAr", Done},
    // participles and verbal nouns, then nouns made of verbs
    {VerbLike, u"mA", Noun}, {VerbLike, u"mAk", Noun}, {VerbLike, u"(y)Iş", Noun},
    {VerbLike, u"(y)An", Noun}, {VerbLike, u"DIk", Noun}, {VerbLike, u"(y)AcAk", Noun},
    {VerbLike, u"(y)AsI", Noun}, {VerbLike, u"mIş", Noun}, {AnyVerb, u"(y)IcI", Noun},
    {AnyVerb, u"mAz", Noun}, {AnyVerb, u"(I)m", Noun}, {AnyVerb, u"(I)t", Noun},
    {AnyVerb, u"GI", Noun}, {AnyVerb, u"GAn", Noun}, {AnyVerb, u"(I)ntI", Noun},
    {AnyVerb, u"mAn", Noun}, {AnyVerb, u"(I)k", Noun},
    // converbs
    {VerbLike, u"(y)ArAk", Done}, {VerbLike, u"(y)Ip", Done}, {VerbLike, u"(y)IncA", Done},
    {VerbLike, u"(y)AlI", Done}, {VerbLike, u"DIkçA", Done}, {AnyVerb, u"mAdAn", Done},
    {AnyVerb, u"mAksIzIn", Done},
};

constexpr bool isIn(char16_t c, std::u16string_view letters)
{
    for (const char16_t l : letters)
        if (l == c)
            return true;
    return false;
}

bool isVowel(char16_t c)
{
    switch (c) {
    case u'a': case u'e': case u'ı': case u'i': case u'o': case u'ö':
    case u'u': case u'ü': case u'â': case u'î': case u'û':
        return true;
    default:
        return false;
    }
}

bool isBack(char16_t v) { return isIn(v, u"aıouâû"sv); }
bool isRounded(char16_t v) { return isIn(v, u"oöuüû"sv); }
bool isVoiceless(char16_t c) { return isIn(c, u"çfhkpsşt"sv); }

int syllables(const char16_t *text, int length) { return int(std::count_if(text, text + length, isVowel)); }

// Verbs of one syllable take the aorist -Ar ("yap-ar", "gid-er"), except these thirteen, which take
// -Ir like every longer verb ("gel-ir", "getir-ir").
bool takesNarrowAorist(const char16_t *stem, int length)
{
    static const std::u16string_view narrow[] = {u"al", u"bil", u"bul", u"dur", u"gel", u"gör", u"kal",
                                                 u"ol", u"öl", u"san", u"var", u"ver", u"vur"};
    return syllables(stem, length) > 1
        || std::find(std::begin(narrow), std::end(narrow), std::u16string_view(stem, length)) != std::end(narrow);
}

// A stem's final p, ç, t, k written b, c, d, ğ (or g after n) before a vowel: the hard letter.
char16_t hardened(char16_t c)
{
    switch (c) {
    case u'b': return u'p';
    case u'c': return u'ç';
    case u'd': return u't';
    case u'ğ': case u'g': return u'k';
    default: return 0;
    }
}

// First words that are written apart from the noun after them ("her şey", "bir şeyi").
bool standsApart(const QString &w) { return w == u"bir" || w == u"her" || w == u"hiç" || w == u"bu" || w == u"şu"; }

class Recogniser
{
public:
    Recogniser(const QString &word, const std::function<bool(const QString &)> &known)
        : m_word(word), m_w(reinterpret_cast<const char16_t *>(word.utf16())), m_n(int(word.size())),
          m_known(known), m_lastVowel(m_n + 1, u'e'), m_failed(m_n + 1, 0), m_nounPrefix(m_n + 1, -1)
    {
        for (int i = 0; i < m_n; ++i)
            m_lastVowel[i + 1] = isVowel(m_w[i]) ? m_w[i] : m_lastVowel[i];
    }

    bool accepts()
    {
        for (int pos = m_n - 1; pos >= 2; --pos)
            if (stemBefore(pos))
                return true;
        return compound();
    }

private:
    // The conditions of a few endings beyond their letters.
    bool fits(std::u16string_view form, int pos) const
    {
        const char16_t prev = m_w[pos - 1];
        if (form == u"(I)yor"sv)
            return prev != u'a' && prev != u'e'; // the stem's a/e narrows instead: "bekl-iyor"
        if (form == u"(A)r"sv || form == u"(I)r"sv)
            return isVowel(prev) || (form[1] == u'I') == takesNarrowAorist(m_w, pos);
        if (form == u"(I)k"sv)
            return syllables(m_w, pos) == 1; // "aç-ık", "boz-uk", "kır-ık"
        return true;
    }

    // Where `form` ends when it starts at pos, or -1 when the word does not continue with it.
    int match(int pos, std::u16string_view form) const
    {
        if ((form[0] >= u'a' && form[0] != m_w[pos]) || !fits(form, pos)) // a plain first letter answers soon
            return -1;
        char16_t prev = m_w[pos - 1], vowel = m_lastVowel[pos];
        int i = pos;
        for (size_t k = 0; k < form.size(); ++k) {
            char16_t c = form[k];
            if (c == u'(') {
                c = form[k + 1];
                k += 2;
                if ((c == u'I' || c == u'A') == isVowel(prev))
                    continue;
            }
            // An ending never puts a vowel right after a vowel: "Il" follows consonants only.
            if ((c == u'A' || c == u'I') && i == pos && isVowel(prev))
                return -1;
            char16_t want = c;
            switch (c) {
            case u'A': want = isBack(vowel) ? u'a' : u'e'; break;
            case u'I':
                want = isBack(vowel) ? (isRounded(vowel) ? u'u' : u'ı') : (isRounded(vowel) ? u'ü' : u'i');
                break;
            case u'D': want = isVoiceless(prev) ? u't' : u'd'; break;
            case u'C': want = isVoiceless(prev) ? u'ç' : u'c'; break;
            case u'G': want = isVoiceless(prev) ? u'k' : u'g'; break;
            }
            if (want == u'k' && k + 1 == form.size() && i + 1 < m_n && isVowel(m_w[i + 1]))
                want = u'ğ';
            if (i >= m_n || m_w[i] != want)
                return -1;
            prev = want;
            if (isVowel(want))
                vowel = want;
            ++i;
        }
        return i > pos ? i : -1;
    }

    // True when the rest of the word from pos is a valid chain of endings in state s. The answer
    // depends only on (s, pos), so failures are remembered: the search stays linear in practice.
    bool chain(State s, int pos)
    {
        if (pos == m_n)
            return true;
        if (m_failed[pos] & bit(s))
            return false;
        for (const Ending &e : endings) {
            if (!(e.from & bit(s)))
                continue;
            const int end = match(pos, e.form);
            if (end > 0 && chain(e.to, end))
                return true;
        }
        m_failed[pos] |= bit(s);
        return false;
    }

    // The dictionary's word for a stem that begins a chain: a noun or adjective takes the plural
    // ("kitap-lar", "güzel-ler"), a verb the infinitive ("gel-mek"). A form with a case or a
    // possessive ("kitabı", "evimde") takes neither, so it does not pass for a stem.
    // end: where the stem ends in the word, for its vowel harmony.
    bool isStem(const QString &stem, int end, bool noun, bool verb) const
    {
        const bool back = isBack(m_lastVowel[end]);
        const auto with = [&](std::u16string_view ending) {
            return m_known(QString(stem).append(QStringView(ending)));
        };
        return (noun && with(back ? u"lar"sv : u"ler"sv)) || (verb && with(back ? u"mak"sv : u"mek"sv));
    }

    bool nounBefore(int length)
    {
        if (m_nounPrefix[length] < 0)
            m_nounPrefix[length] = isStem(m_word.left(length), length, true, false) ? 1 : 0;
        return m_nounPrefix[length] == 1;
    }

    // True when the word is a stem of pos letters followed by a chain of endings.
    bool stemBefore(int pos)
    {
        const char16_t last = m_w[pos - 1];
        const bool noun = chain(Noun, pos), verb = chain(Verb, pos);
        // Before a vowel a final p, ç, t, k may soften to b, c, d, ğ ("kitap", "kitab-ı") or not
        // ("sanat-ı"); the dictionary's own form with that vowel tells ("kitabı", not "kitapı").
        const bool alternates = isVowel(m_w[pos]) && isIn(last, u"pçtkbcdgğ"sv);
        if ((noun || verb) && (!alternates || m_known(m_word.left(pos + 1)))) {
            if ((noun && nounBefore(pos)) || (verb && isStem(m_word.left(pos), pos, false, true)))
                return true;
            // "kitab-ı", "gid-iyor", "reng-i": the stem is listed with its hard letter.
            if (alternates && hardened(last)) {
                QString stem = m_word.left(pos);
                stem.back() = QChar(hardened(last));
                if (isStem(stem, pos, noun, verb))
                    return true;
            }
        }
        // "bekl-iyor", "söyl-üyor": the stem "bekle", "söyle" lost its a/e before -Iyor.
        if (!isVowel(last)) {
            const int end = match(pos, u"(I)yor"sv);
            if (end > 0 && chain(TenseZ, end)
                && isStem(m_word.left(pos) + QChar(isBack(m_lastVowel[pos]) ? u'a' : u'e'), pos, false, true))
                return true;
        }
        return false;
    }

    // A noun, a noun of at least three letters with the compound's possessive -(s)I or -lArI, then
    // any noun endings: "ses-bilgi-si-nin", "biçim-bilgi-leri".
    bool compound()
    {
        for (int p = 5; p < m_n; ++p) {
            for (const std::u16string_view possessive : {u"(s)I", u"lArI"}) {
                const int end = match(p, possessive);
                if (end < 0 || !chain(Possessive3, end))
                    continue;
                for (int a = 2; a + 3 <= p; ++a)
                    if (nounBefore(a) && !standsApart(m_word.left(a))
                        && isStem(m_word.mid(a, p - a), p, true, false))
                        return true;
            }
        }
        return false;
    }

    const QString &m_word;
    const char16_t *m_w;
    int m_n;
    const std::function<bool(const QString &)> &m_known;
    std::vector<char16_t> m_lastVowel; // the last vowel before each position
    std::vector<unsigned> m_failed;    // per position, the states from which no chain reaches the end
    std::vector<signed char> m_nounPrefix; // per length: -1 not asked yet, else whether a noun
};

} // namespace

bool acceptedBySuffixes(const QString &word, const std::function<bool(const QString &)> &known)
{
    if (word.size() < 3)
        return false;
    return Recogniser(word, known).accepts();
}

} // namespace velkora::spelling
