// The speller on Turkish words, the person's word list, the words of a text that are checked, and
// velkora-dev spell on files.
#include "spelling/speller.h"
#include "spelling/wordscanner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velkora::spelling;

namespace {

// The dictionary is read once for all the cases; each case has its own person's list.
Speller &readySpeller(const QString &personal = QString())
{
    static std::unique_ptr<Speller> s;
    s = std::make_unique<Speller>(personal);
    s->waitUntilReady();
    return *s;
}

#define REQUIRE_DICTIONARY(s)                                                  \
    if (!(s).available())                                                      \
        GTEST_SKIP() << "the Turkish dictionary (hunspell-tr) is not installed";

QStringList refused(Speller &s, const QStringList &words)
{
    QStringList out;
    for (const QString &w : words)
        if (!s.isCorrect(w))
            out << w;
    return out;
}

} // namespace

TEST(Speller, SuffixChainsAndCompoundsAreAcceptedAndCommonMisspellingsMarked)
{
    Speller &s = readySpeller();
    REQUIRE_DICTIONARY(s);
    // What the dictionary alone refuses, and what it already knows.
    EXPECT_EQ(refused(s, {"kitaplarımızdan", "gelemeyeceklermiş", "okuyamayacaklarmış", "çekimlenebilirler", "sesbilgisi",
                          "biçimbilgisi", "sesbilgisinin", "eylemsiler", "yazabileceklerimizden", "bekliyordu", "geldim", "okuyorum"}),
              QStringList());
    EXPECT_EQ(refused(s, {"yanlız", "herkez", "şöför", "yalnış", "geliyorm", "kitapalr", "birşey", "herşey"}),
              QStringList({"yanlız", "herkez", "şöför", "yalnış", "geliyorm", "kitapalr", "birşey", "herşey"}));
    // The usual correction first, at most eight, in the word's own case.
    EXPECT_EQ(s.suggestions("yanlız").value(0), "yalnız");
    EXPECT_EQ(s.suggestions("Herkez").value(0), "Herkes");
    EXPECT_EQ(s.suggestions("ŞÖFÖR").value(0), "ŞOFÖR");
    EXPECT_LE(s.suggestions("gelemeyceklermiş").size(), 8);
    EXPECT_FALSE(s.suggestions("gelemeyceklermiş").isEmpty());
}

TEST(Speller, LetterCaseIsTurkishAndNamesKeepTheirCapitalsAndEndings)
{
    Speller &s = readySpeller();
    REQUIRE_DICTIONARY(s);
    // Capitals at the start of a sentence and words in capitals, with İ/i and I/ı paired.
    EXPECT_EQ(refused(s, {"Kitap", "KİTAP", "Işık", "IŞIK", "İstanbul", "İSTANBUL", "Kitaplarımızdan", "ÖĞRETMENLERİMİZDEN"}),
              QStringList());
    // "ISTANBUL" reads as "ıstanbul"; a name needs its capital; "KITAP" is "kıtap".
    EXPECT_EQ(refused(s, {"ISTANBUL", "istanbul", "KITAP"}), QStringList({"ISTANBUL", "istanbul", "KITAP"}));
    // A name's endings go after an apostrophe; the name is what is checked.
    EXPECT_EQ(refused(s, {"Ankara'dan", "Türkçe'nin", "İstanbul’da"}), QStringList());
    EXPECT_EQ(refused(s, {"Ankaradan", "Ankra'dan"}), QStringList({"Ankaradan", "Ankra'dan"}));
}

TEST(Speller, PersonalWordsAreKeptForTheUserAloneAndIgnoredOnesForTheRun)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("velkora/kisisel-sozluk.txt");
    {
        Speller &s = readySpeller(path);
        REQUIRE_DICTIONARY(s);
        ASSERT_FALSE(s.isCorrect("Velkora"));
        const int before = s.generation();
        QString why;
        EXPECT_TRUE(s.addToPersonal("Velkora", &why)) << why.toStdString();
        EXPECT_TRUE(s.addToPersonal("eylemcik", &why)) << why.toStdString();
        EXPECT_GT(s.generation(), before);
        EXPECT_TRUE(s.isCorrect("Velkora"));
        EXPECT_TRUE(s.isCorrect("VELKORA"));
        EXPECT_TRUE(s.isCorrect("Velkora'nın"));
        s.ignore("qwzxy");
        EXPECT_TRUE(s.isCorrect("qwzxy"));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), "Velkora\neylemcik\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("velkora")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // The next run reads the list; an ignored word is forgotten.
    Speller &again = readySpeller(path);
    EXPECT_TRUE(again.isCorrect("Velkora"));
    EXPECT_TRUE(again.isCorrect("eylemcik"));
    EXPECT_FALSE(again.isCorrect("qwzxy"));

    // A list that cannot be written is said, and the word still counts for the run.
    QDir().mkpath(dir.filePath("folder-not-file"));
    Speller &blocked = readySpeller(dir.filePath("folder-not-file"));
    QString why;
    EXPECT_FALSE(blocked.addToPersonal("Velkoracık", &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(blocked.isCorrect("Velkoracık"));
}

TEST(Speller, WithoutTheDictionaryNothingIsMarkedAndTheHintNamesThePackage)
{
    QTemporaryDir empty;
    Speller s(QString(), empty.path());
    s.waitUntilReady();
    EXPECT_FALSE(s.available());
    EXPECT_TRUE(s.isCorrect("yanlız"));
    EXPECT_TRUE(s.suggestions("yanlız").isEmpty());
    EXPECT_TRUE(Speller::missingHint().contains("hunspell-tr"));
}

TEST(WordScanner, LeavesOutNumbersAddressesAndOtherScripts)
{
    const QString text = "3'te A4 www.ornek.com.tr ad@ornek.com https://x.y/z?q=1 Москва kitap, Ankara'dan (e-posta) ki.\u2019 "
                         "\uFFFCresim a İŞ";
    QStringList words;
    QList<int> starts;
    EXPECT_EQ(scanWords(text, 0, [&](int start, int length) {
                  words << text.mid(start, length);
                  starts << start;
                  return true;
              }),
              text.size());
    EXPECT_EQ(words, QStringList({"kitap", "Ankara'dan", "posta", "ki", "resim", "İŞ"}));
    EXPECT_EQ(text.mid(starts[1], 10), "Ankara'dan");
    // Stopping after a word and going on from where it says sees every word once.
    QStringList again;
    int at = 0;
    while (at < text.size())
        at = scanWords(text, at, [&](int start, int length) {
            again << text.mid(start, length);
            return false;
        });
    EXPECT_EQ(again, words);
}

TEST(SpellTool, PrintsUnknownWordsWithLineAndColumnOfTextAndRtf)
{
    Speller &s = readySpeller();
    REQUIRE_DICTIONARY(s);
    QTemporaryDir dir;
    const auto run = [&](const QString &file) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config")); // no person's words
        p.setProcessEnvironment(env);
        p.start(VELKORA_DEV_TOOL, {"spell", file});
        p.waitForFinished(60000);
        return std::pair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()));
    };
    QFile text(dir.filePath("metin.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Bu kitap güzel.\r\nKitaplarımızı hep biz yanlız okuduk, herkez bilir.\n");
    text.close();
    EXPECT_EQ(run(text.fileName()), std::pair(1, QString("yanlız 2:23\nherkez 2:38\n")));

    // In the Turkish code page, and as RTF: a paragraph is a line.
    QFile cp1254(dir.filePath("eski.txt"));
    ASSERT_TRUE(cp1254.open(QIODevice::WriteOnly));
    cp1254.write("\xdeof\xf6r de\xf0il \xfe\xf6""f\xf6r.\n");
    cp1254.close();
    EXPECT_EQ(run(cp1254.fileName()), std::pair(1, QString("şöför 1:13\n")));
    QFile rtf(dir.filePath("govde.rtf"));
    ASSERT_TRUE(rtf.open(QIODevice::WriteOnly));
    rtf.write("{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0 Arial;}}\\f0 Do\\'f0ru.\\par \\b Herkez\\b0  geldi.\\par}");
    rtf.close();
    EXPECT_EQ(run(rtf.fileName()), std::pair(1, QString("Herkez 2:1\n")));

    QFile clean(dir.filePath("temiz.txt"));
    ASSERT_TRUE(clean.open(QIODevice::WriteOnly));
    clean.write("Gelemeyeceklermiş, www.ornek.com.tr 1980'lerde.\n");
    clean.close();
    EXPECT_EQ(run(clean.fileName()), std::pair(0, QString()));
    EXPECT_EQ(run(dir.filePath("yok.txt")).first, 2);
}
