// Profile files as the program's settings and win.ini use them: values read with the Windows
// rules, rewritten without disturbing the rest of the file, saved so that no failure or crash
// leaves half a file, and damaged files taken as empty.
#include "platform/profile/profilefile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <random>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

using velkora::profile::ProfileFile;
using velkora::profile::ProfileWriteError;

namespace {

class ProfileTest : public ::testing::Test
{
protected:
    QString path(const QString &name = "Velkora.ini") const { return m_dir.filePath(name); }

    static void writeBytes(const QString &file, const QByteArray &bytes)
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }

    static QByteArray readBytes(const QString &file)
    {
        QFile in(file);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << file.toStdString();
        return in.readAll();
    }

    // Every name in the folder, hidden ones included, so a temporary file left behind shows.
    QStringList folderEntries() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    ProfileFile loaded(const QByteArray &bytes)
    {
        writeBytes(path(), bytes);
        return ProfileFile(path());
    }

    QTemporaryDir m_dir;
};

using ProfileReading = ProfileTest;
using ProfileWriting = ProfileTest;
using ProfileSaving = ProfileTest;
using ProfileDamage = ProfileTest;

mode_t modeOf(const QString &file)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0) << file.toStdString();
    return st.st_mode & 07777;
}

// --- Reading ---------------------------------------------------------------------------------

TEST_F(ProfileReading, SectionsAndKeysMatchIgnoringCaseAndKeyNamesRepeatAcrossSections)
{
    const ProfileFile profile = loaded("[araclar]\r\na1=1\r\n[KONUMLAR]\r\nA1=0\r\n[Onay]\r\nA1=7\r\n"
                                       "[Görünüm]\r\nB1=5\r\n");
    EXPECT_EQ(profile.readInteger("Araclar", "A1", -1), 1);
    EXPECT_EQ(profile.readInteger("konumlar", "a1", -1), 0);
    EXPECT_EQ(profile.readInteger("ONAY", "A1", -1), 7);
    EXPECT_EQ(profile.readInteger("GÖRÜNÜM", "b1", -1), 5);
    EXPECT_EQ(profile.readInteger("Onay", "A2", -1), -1);
    EXPECT_EQ(profile.readInteger("Grid", "A1", -1), -1);
    EXPECT_TRUE(profile.loadProblem().isEmpty());
}

TEST_F(ProfileReading, CaseFoldingIsNotTurkish)
{
    // Turkish-neutral: dotted capital I is not the capital of "i", dotless i not the small of "I".
    const ProfileFile profile = loaded("[İl]\nKey=1\n[ıl]\nKey=2\n[Il]\nKey=3\n");
    EXPECT_EQ(profile.readInteger("il", "key", 0), 3);
    EXPECT_EQ(profile.readInteger("İL", "key", 0), 1);
    EXPECT_EQ(profile.readInteger("ıL", "key", 0), 2);
}

TEST_F(ProfileReading, TheFirstOfTwoEqualSectionsOrKeysWins)
{
    const ProfileFile profile = loaded("[Grid]\nB1=1\nb1=2\n[GRID]\nB1=3\nB2=4\n");
    EXPECT_EQ(profile.readInteger("Grid", "B1", 0), 1);
    EXPECT_EQ(profile.readInteger("Grid", "B2", 0), 0);
}

struct NumberRow
{
    const char *text;
    std::optional<int> number; // nullopt: the reader's default
};

TEST_F(ProfileReading, IntegerAndBoolValueForms)
{
    const NumberRow rows[] = {
        {"0", 0},
        {"1", 1},
        {"2", 2},
        {"193", 193},
        {"-16777208", -16777208},
        {"16777215", 16777215},
        {"+12", 12},
        {"0xFF000008", -16777208},
        {"0XffFFff", 16777215},
        {"$FF000008", -16777208},
        {"-$10", -16},
        {"4278190088", -16777208}, // decimal past 32 bits wraps too
        {"  42  ", 42},
        {"\"-5\"", -5},
        {"yes", std::nullopt},
        {"true", std::nullopt},
        {"", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"-", std::nullopt},
        {"--5", std::nullopt},
        {"0xG1", std::nullopt},
        {"ABC", std::nullopt},
        {"١٢", std::nullopt}, // Arabic-Indic digits are not digits here
    };
    for (const NumberRow &row : rows) {
        const ProfileFile profile = loaded(QByteArray("[Grid]\r\nB1=") + row.text + "\r\n");
        SCOPED_TRACE(row.text);
        EXPECT_EQ(profile.readInteger("Grid", "B1", 77), row.number.value_or(77));
        EXPECT_EQ(profile.readBool("Grid", "B1", true), row.number ? *row.number != 0 : true);
        EXPECT_EQ(profile.readBool("Grid", "B1", false), row.number ? *row.number != 0 : false);
    }
}

TEST_F(ProfileReading, StringValueForms)
{
    const ProfileFile profile = loaded("[Kitap Adi]\n"
                                       "Baslik =  Dilbilgisi Kitabı  \n"
                                       "Quoted=\"  spaced  \"\n"
                                       "OneQuote=\"open\n"
                                       "Equals=a=b;c # d\n"
                                       "Empty=\n"
                                       "NoEquals\n"
                                       "; Comment=1\n"
                                       "# Hash=1\n"
                                       "  [ Gorunum ]  \n"
                                       "\tB1\t=\tx\t\n");
    EXPECT_EQ(profile.readString("Kitap Adi", "Baslik", "-"), "Dilbilgisi Kitabı");
    EXPECT_EQ(profile.readString("Kitap Adi", "Quoted", "-"), "  spaced  ");
    EXPECT_EQ(profile.readString("Kitap Adi", "OneQuote", "-"), "\"open");
    EXPECT_EQ(profile.readString("Kitap Adi", "Equals", "-"), "a=b;c # d");
    EXPECT_EQ(profile.readString("Kitap Adi", "Empty", "-"), "");
    EXPECT_EQ(profile.value("Kitap Adi", "Empty"), std::optional<QString>(QString()));
    EXPECT_EQ(profile.value("Kitap Adi", "Missing"), std::nullopt);
    EXPECT_EQ(profile.readString("Kitap Adi", "NoEquals", "-"), "-");
    EXPECT_EQ(profile.readString("Kitap Adi", "; Comment", "-"), "-");
    EXPECT_EQ(profile.readString("Kitap Adi", "# Hash", "-"), "-");
    EXPECT_EQ(profile.readString("Gorunum", "B1", "-"), "x");
}

TEST_F(ProfileReading, ValuesComeBackCutTo2047Characters)
{
    const QByteArray longValue(5000, 'x');
    QByteArray surrogateAtCut = QByteArray(2046, 'y') + "😀z";
    const ProfileFile profile = loaded("[S]\nLong=" + longValue + "\nExact=" + QByteArray(2047, 'e')
                                       + "\nPair=" + surrogateAtCut + "\nAfter=1\n");
    EXPECT_EQ(profile.readString("S", "Long", {}), QString(2047, 'x'));
    EXPECT_EQ(profile.value("S", "Long")->size(), ProfileFile::MaxValueLength);
    EXPECT_EQ(profile.readString("S", "Exact", {}), QString(2047, 'e'));
    // The emoji would be cut in half at 2047 UTF-16 units: it is left out whole.
    EXPECT_EQ(profile.readString("S", "Pair", {}), QString(2046, 'y'));
    EXPECT_EQ(profile.readInteger("S", "After", 0), 1);
}

TEST_F(ProfileReading, LinesOfAnyLengthAreRead)
{
    const QByteArray hugeLine = "; " + QByteArray(3 * 1024 * 1024, 'c');
    const ProfileFile profile = loaded("[A]\nK=1\n" + hugeLine + "\n[B]\nK=2");
    EXPECT_EQ(profile.readInteger("A", "K", 0), 1);
    EXPECT_EQ(profile.readInteger("B", "K", 0), 2);
}

TEST_F(ProfileReading, ACodePage1254FileIsReadInTurkish)
{
    // "Dilbilgisi Kitabı" and "Şifre Ğğİş" as a Turkish Windows writes them: one byte a letter.
    const ProfileFile profile = loaded("[Kitap Adi]\r\nBaslik=Dilbilgisi Kitab\xFD\r\n"
                                       "[Velkora 3.1]\r\nSSifre=\xDE"
                                       "ifre \xD0\xF0\xDD\xFE \x80\r\n");
    EXPECT_EQ(profile.readString("Kitap Adi", "Baslik", {}), "Dilbilgisi Kitabı");
    EXPECT_EQ(profile.readString("Velkora 3.1", "SSifre", {}), "Şifre Ğğİş €");
}

TEST_F(ProfileReading, CodePage1254AgreesWithIcuForEveryByte)
{
    QStringDecoder icu("windows-1254");
    ASSERT_TRUE(icu.isValid());
    QByteArray high;
    for (int b = 0x80; b <= 0xFF; ++b)
        high += char(b);
    const QString expected = icu.decode(high);
    ASSERT_FALSE(icu.hasError());
    ASSERT_EQ(expected.size(), 128);
    const ProfileFile profile = loaded("[S]\nK=" + high + "\n");
    const QString got = profile.readString("S", "K", {});
    ASSERT_EQ(got.size(), 128);
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(got[i].unicode(), expected[i].unicode()) << "byte 0x" << std::hex << (0x80 + i);
}

TEST_F(ProfileReading, Utf8IsPreferredAndItsByteOrderMarkKept)
{
    // Valid UTF-8 must not be read as code page 1254 ("Ä±" for "ı").
    ProfileFile profile = loaded("\xEF\xBB\xBF[Kitap Adi]\nBaslik=Kitabı\n");
    EXPECT_EQ(profile.readString("kitap adi", "baslik", {}), "Kitabı");
    profile.writeString("Kitap Adi", "Baslik", "Kılavuz");
    profile.save();
    EXPECT_EQ(readBytes(path()), "\xEF\xBB\xBF[Kitap Adi]\nBaslik=Kılavuz\n");
}

// --- Writing ---------------------------------------------------------------------------------

TEST_F(ProfileWriting, RewritingValuesKeepsEveryOtherByteOfTheFile)
{
    const QByteArray before = "; Velkora ayarları\r\n"
                              "\r\n"
                              "[Araclar]\r\n"
                              "A1=1\r\n"
                              "  a2 = 0   \r\n"
                              "# yorum\r\n"
                              "bir satır, değer değil\r\n"
                              "\r\n"
                              "[Onay]\r\n"
                              "A2=1\r\n"
                              "[Kitap Adi]\r\n"
                              "Baslik = \"Dilbilgisi Kitabı\"\r\n"
                              "[Bilinmeyen]\r\n"
                              "X=y";
    ProfileFile profile = loaded(before);
    profile.writeBool("ARACLAR", "A2", true);
    profile.writeString("kitap adi", "BASLIK", "Yeni Kitap");
    profile.writeBool("Onay", "A2", true); // the same value again
    profile.save();
    QByteArray after = before;
    after.replace("  a2 = 0   \r\n", "  a2 = 1\r\n");
    after.replace("Baslik = \"Dilbilgisi Kitabı\"", "Baslik = Yeni Kitap");
    EXPECT_EQ(readBytes(path()), after);
    EXPECT_EQ(folderEntries(), QStringList{"Velkora.ini"});
}

TEST_F(ProfileWriting, ANewKeyGoesAfterTheLastEntryOfItsSectionAndANewSectionAtTheEnd)
{
    ProfileFile profile = loaded("[Araclar]\r\nA1=1\r\n; sonda yorum\r\n\r\n[Bos]\r\n; yalnız yorum\r\n"
                                 "[Onay]\r\nA1=0");
    profile.writeBool("Araclar", "A3", false);
    profile.writeBool("Bos", "A1", true);
    profile.writeBool("Onay", "A2", true);
    profile.writeInteger("Grid", "B5", 193);
    profile.writeInteger("Grid", "B1", -16777208);
    profile.save();
    EXPECT_EQ(readBytes(path()), "[Araclar]\r\nA1=1\r\nA3=0\r\n; sonda yorum\r\n\r\n"
                                 "[Bos]\r\nA1=1\r\n; yalnız yorum\r\n"
                                 "[Onay]\r\nA1=0\r\nA2=1\r\n"
                                 "\r\n[Grid]\r\nB5=193\r\nB1=-16777208\r\n");
}

TEST_F(ProfileWriting, RemovingAKeyTakesOnlyItsLine)
{
    const QByteArray before = "[Velkora 3.1]\nActive=1\nSSifre=gizli\n; son\n";
    ProfileFile profile = loaded(before);
    profile.removeKey("Velkora 3.1", "Missing");
    profile.removeKey("Missing", "Active");
    profile.save();
    EXPECT_EQ(readBytes(path()), before);
    profile.removeKey("velkora 3.1", "ssifre");
    EXPECT_EQ(profile.value("Velkora 3.1", "SSifre"), std::nullopt);
    profile.save();
    EXPECT_EQ(readBytes(path()), "[Velkora 3.1]\nActive=1\n; son\n");
}

TEST_F(ProfileWriting, EveryValueReadsBackAsWritten)
{
    const QString values[] = {
        "Dilbilgisi Kitabı", "", "  iki yanı boşluklu  ", "\"tırnaklı\"", "\"", "\"\"", "a=b;c#d [x]",
        "\t", QString(2047, u'ş'), "şifre😀",
    };
    ProfileFile profile(path());
    for (int i = 0; i < int(std::size(values)); ++i)
        profile.writeString("Değerler", QString("K%1").arg(i), values[i]);
    QString lines = "iki\r\nsatır\nNUL";
    lines += QChar(0);
    lines += "son";
    profile.writeString("Değerler", "Lines", lines);
    profile.save();
    const ProfileFile reread(path());
    EXPECT_TRUE(reread.loadProblem().isEmpty()) << reread.loadProblem().toStdString();
    for (int i = 0; i < int(std::size(values)); ++i)
        EXPECT_EQ(reread.readString("Değerler", QString("K%1").arg(i), "-"), values[i]) << i;
    // A line break would end the entry and could start a section of its own: it becomes a space.
    EXPECT_EQ(reread.readString("Değerler", "Lines", "-"), "iki  satır NUL son");
}

TEST_F(ProfileWriting, IntegersAndBoolsAreWrittenAsWindowsWritesThem)
{
    ProfileFile profile(path());
    profile.writeInteger("Grid", "B1", -16777208);
    profile.writeInteger("Grid", "B2", 16777215);
    profile.writeBool("Grid", "B3", true);
    profile.writeBool("Grid", "B4", false);
    profile.save();
    // A new file gets CR LF line ends.
    EXPECT_EQ(readBytes(path()), "[Grid]\r\nB1=-16777208\r\nB2=16777215\r\nB3=1\r\nB4=0\r\n");
    const ProfileFile reread(path());
    EXPECT_EQ(reread.readInteger("Grid", "B1", 0), -16777208);
    EXPECT_TRUE(reread.readBool("Grid", "B3", false));
    EXPECT_FALSE(reread.readBool("Grid", "B4", true));
}

TEST_F(ProfileWriting, ACodePage1254FileIsSavedInUtf8)
{
    ProfileFile profile = loaded("[Kitap Adi]\r\nBaslik=Dilbilgisi Kitab\xFD\r\n; \xDE" "ifre\r\n");
    profile.writeBool("Aktivasyon", "T1", true);
    profile.save();
    EXPECT_EQ(readBytes(path()), "[Kitap Adi]\r\nBaslik=Dilbilgisi Kitab\xC4\xB1\r\n; \xC5\x9E"
                                 "ifre\r\n\r\n[Aktivasyon]\r\nT1=1\r\n");
}

TEST_F(ProfileWriting, TheFilesLineEndsAreKept)
{
    ProfileFile lf = loaded("[A]\nK=1\n; x\r\n");
    lf.writeBool("A", "L", true);
    lf.writeBool("B", "K", false);
    lf.save();
    // LF as the file's first line has it; the one CR LF line stays as it was.
    EXPECT_EQ(readBytes(path()), "[A]\nK=1\nL=1\n; x\r\n\n[B]\nK=0\n");

    ProfileFile noEnd = loaded("[A]\r\nK=1");
    noEnd.writeBool("A", "L", true);
    noEnd.save();
    EXPECT_EQ(readBytes(path()), "[A]\r\nK=1\r\nL=1\r\n");
}

// --- Saving ----------------------------------------------------------------------------------

// The tests run as root, which permission bits do not stop; the failed writes are made with paths
// no user can write: one below a regular file, a folder, and a file in /proc.
TEST_F(ProfileSaving, AFailedSaveThrowsNamingThePathAndLeavesTheDiskAsItWas)
{
    const QString regular = path("plain.txt");
    writeBytes(regular, "not a folder");
    const QString belowFile = regular + "/Velkora.ini";
    const QString folder = path("folder.ini");
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const QString &target : {belowFile, folder, QString("/proc/velkora-test/Velkora.ini"),
                                  QString("/proc/version")}) {
        SCOPED_TRACE(target.toStdString());
        ProfileFile profile(target);
        profile.writeString("Kitap Adi", "Baslik", "x");
        try {
            profile.save();
            ADD_FAILURE() << "save did not fail";
        } catch (const ProfileWriteError &e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + target.toStdString());
            EXPECT_EQ(e.path(), target);
        }
    }
    EXPECT_EQ(readBytes(regular), "not a folder");
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(folderEntries(), (QStringList{"folder.ini", "plain.txt"}));
}

// A full disk, made with a file size limit in a child process: writing the new file fails
// half-way, and the old file and the folder stay as they were.
TEST_F(ProfileSaving, AWriteFailingHalfWayLeavesTheOldFileAndNoTemporaryFile)
{
    const QByteArray before = "[Kitap Adi]\r\nBaslik=Eski\r\n";
    writeBytes(path(), before);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 4096;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(4);
        ProfileFile profile(path());
        for (int i = 0; i < 100; ++i)
            profile.writeString("Dolgu", QString("K%1").arg(i), QString(200, 'x'));
        try {
            profile.save();
            _exit(1);
        } catch (const ProfileWriteError &e) {
            _exit(std::string(e.what()) == "Unable to write to " + path().toStdString() ? 0 : 2);
        }
        _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: saved past the limit, 2: wrong message, 4: no limit";
    EXPECT_EQ(readBytes(path()), before);
    EXPECT_EQ(folderEntries(), QStringList{"Velkora.ini"});
}

// Settings saved over and over by a process killed at random moments: every time, the file on
// the disk is one whole save, never a mixture or a cut one. The child spends nearly all its time
// in save(), on a file of about 400 KB, so that the kills land while it writes.
TEST_F(ProfileSaving, AProcessKilledWhileSavingLeavesTheOldOrTheNewFile)
{
    constexpr int Keys = 200;
    const auto fillRound = [](ProfileFile &profile, int round) {
        profile.writeInteger("Tur", "No", round);
        const QString fill(2000, QChar(u'a' + round % 26));
        for (int k = 0; k < Keys; ++k)
            profile.writeString("Dolgu", QString("K%1").arg(k), fill);
    };
    {
        ProfileFile first(path());
        fillRound(first, 0);
        first.save();
    }
    std::random_device seed;
    const unsigned seedValue = seed();
    std::mt19937 random(seedValue);
    SCOPED_TRACE(seedValue);
    int lastRound = 0;
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ProfileFile profile(path());
            for (int round = profile.readInteger("Tur", "No", 0) + 1;; ++round) {
                fillRound(profile, round);
                profile.save();
            }
        }
        usleep(std::uniform_int_distribution<useconds_t>(2000, 40000)(random));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the saving child died by itself";

        const ProfileFile profile(path());
        ASSERT_TRUE(profile.loadProblem().isEmpty()) << profile.loadProblem().toStdString();
        const int round = profile.readInteger("Tur", "No", -1);
        ASSERT_GE(round, lastRound);
        const QString fill(2000, QChar(u'a' + round % 26));
        for (int k = 0; k < Keys; ++k)
            ASSERT_EQ(profile.readString("Dolgu", QString("K%1").arg(k), {}), fill)
                << "round " << round << " key " << k;
        lastRound = round;
    }
    EXPECT_GT(lastRound, 0) << "no save finished in any of the children";
}

TEST_F(ProfileSaving, AnExistingFileKeepsItsPermissionsAndANewOneGetsTheGivenOnes)
{
    writeBytes(path(), "[A]\nK=1\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0640), 0);
    ProfileFile existing(path());
    existing.writeBool("A", "K", false);
    existing.save(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(modeOf(path()), 0640u);

    ProfileFile fresh(path("new.ini"));
    fresh.writeBool("A", "K", true);
    fresh.save();
    EXPECT_EQ(modeOf(path("new.ini")), 0644u);
}

TEST_F(ProfileSaving, ALinkedFileIsReplacedAndTheLinkKept)
{
    writeBytes(path("real.ini"), "[A]\nK=1\n");
    ASSERT_TRUE(QFile::link(path("real.ini"), path()));
    ProfileFile profile(path());
    profile.writeBool("A", "K", false);
    profile.save();
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readBytes(path("real.ini")), "[A]\nK=0\n");
}

// A settings file is written only when a value changed: the program closing without a change does
// not rewrite the user's files (nor, through a link, anybody else's).
TEST_F(ProfileSaving, ASaveWithoutAChangeLeavesTheFileAlone)
{
    writeBytes(path(), "[A]\nK=1\nT= \"iki \" \n");
    const auto inode = [&] {
        struct stat st {};
        EXPECT_EQ(::stat(QFile::encodeName(path()).constData(), &st), 0);
        return st.st_ino;
    };
    const auto before = inode();
    ProfileFile same(path());
    same.writeBool("A", "K", true);
    same.writeString("a", "t", QStringLiteral("iki "));
    same.save();
    EXPECT_EQ(inode(), before); // not even replaced by an equal copy
    same.writeBool("A", "K", false);
    same.save();
    EXPECT_NE(inode(), before);
    EXPECT_EQ(readBytes(path()), "[A]\nK=0\nT= \"iki \" \n");
}

// A link is written through only to a regular file of the user running the program: a link planted
// to another user's file, to a folder or to nothing is refused with "Unable to write to", and the
// file it names stays as it was.
TEST_F(ProfileSaving, LinksToOtherUsersFilesFoldersOrNothingAreRefused)
{
    const auto refused = [&](const QString &linkTarget) {
        QFile::remove(path());
        EXPECT_TRUE(QFile::link(linkTarget, path()));
        ProfileFile profile(path());
        profile.writeBool("A", "K", false);
        try {
            profile.save();
            ADD_FAILURE() << "written through a link to " << linkTarget.toStdString();
        } catch (const ProfileWriteError &e) {
            EXPECT_EQ(QString::fromStdString(e.what()), QStringLiteral("Unable to write to ") + path());
        }
        EXPECT_TRUE(QFileInfo(path()).isSymLink());
    };
    refused(path("nowhere.ini"));
    EXPECT_FALSE(QFile::exists(path("nowhere.ini")));
    QDir(m_dir.path()).mkdir(QStringLiteral("folder"));
    refused(path("folder"));
    writeBytes(path("others.ini"), "[A]\nK=1\n");
    if (::geteuid() == 0 && ::chown(QFile::encodeName(path("others.ini")).constData(), 65534, 65534) == 0) {
        refused(path("others.ini"));
        EXPECT_EQ(readBytes(path("others.ini")), "[A]\nK=1\n");
    }
}

TEST_F(ProfileSaving, TemporaryFilesOfASaveCutShortAreRemoved)
{
    writeBytes(path(".Velkora.ini.Ab12Cd"), "[A]\nK=");
    writeBytes(path(".Velkora.ini.Zz99Yy"), "[A]\nK=");
    writeBytes(path(".Other.ini.Ab12Cd"), "x");
    const struct timeval old[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimes(QFile::encodeName(path(".Velkora.ini.Ab12Cd")).constData(), old), 0);
    ASSERT_EQ(::utimes(QFile::encodeName(path(".Other.ini.Ab12Cd")).constData(), old), 0);
    ProfileFile profile(path());
    profile.writeBool("A", "K", true);
    profile.save();
    const QStringList left = folderEntries();
    EXPECT_FALSE(left.contains(QStringLiteral(".Velkora.ini.Ab12Cd")));
    EXPECT_TRUE(left.contains(QStringLiteral(".Velkora.ini.Zz99Yy"))); // perhaps a save going on now
    EXPECT_TRUE(left.contains(QStringLiteral(".Other.ini.Ab12Cd")));
}

// --- Damaged files ---------------------------------------------------------------------------

// Size alone is no reason to drop a settings file a person wrote.
TEST_F(ProfileDamage, AFileOfSeveralMegabytesIsRead)
{
    QByteArray bytes = "; notlar\n" + QByteArray(6 * 1024 * 1024, ';') + "\n[Kitap Adi]\nBaslik=Uzun\n";
    const ProfileFile profile = loaded(bytes);
    EXPECT_TRUE(profile.loadProblem().isEmpty()) << profile.loadProblem().toStdString();
    EXPECT_EQ(profile.readString("Kitap Adi", "Baslik", QString()), QStringLiteral("Uzun"));
    // Millions of empty lines are no settings file: not read, so memory stays bounded.
    EXPECT_TRUE(loaded(QByteArray(ProfileFile::MaxLines + 5, '\n')).loadProblem().contains(QStringLiteral("lines")));
}

// A file that cannot be read is kept aside whole before a new one takes its name.
TEST_F(ProfileDamage, AnUnreadableFileIsKeptAsideBeforeANewOneIsWritten)
{
    writeBytes(path(), "[Kitap Adi]\nBaslik=Eski\n");
    ASSERT_TRUE(QFile::resize(path(), ProfileFile::MaxFileBytes + 10));
    ProfileFile profile(path());
    ASSERT_FALSE(profile.loadProblem().isEmpty());
    profile.writeString("Kitap Adi", "Baslik", QStringLiteral("Yeni"));
    profile.save();
    EXPECT_EQ(profile.keptAside(), path() + QStringLiteral(".damaged"));
    EXPECT_EQ(QFileInfo(profile.keptAside()).size(), ProfileFile::MaxFileBytes + 10);
    EXPECT_EQ(ProfileFile(path()).readString("Kitap Adi", "Baslik", QString()), QStringLiteral("Yeni"));
}

TEST_F(ProfileDamage, AMissingFileIsAnEmptyProfileWithoutAProblem)
{
    const ProfileFile profile(path());
    EXPECT_TRUE(profile.loadProblem().isEmpty());
    EXPECT_EQ(profile.readString("Kitap Adi", "Baslik", "Dilbilgisi Kitabı"), "Dilbilgisi Kitabı");
}

// A NUL byte is one more character of its line: the file a person wrote is read, not dropped.
TEST_F(ProfileDamage, ANulIsOneMoreCharacterOfItsLine)
{
    const ProfileFile profile = loaded(QByteArray("[Araclar]\r\nA1=0\r\n\0\x01\x02\r\n[Kitap Adi]\r\nBaslik=a\0b\r\n", 45));
    EXPECT_TRUE(profile.loadProblem().isEmpty()) << profile.loadProblem().toStdString();
    EXPECT_FALSE(profile.readBool("Araclar", "A1", true));
    EXPECT_EQ(profile.readString("Kitap Adi", "Baslik", QString()), QString::fromLatin1("a\0b", 3));
}

TEST_F(ProfileDamage, AnEnormousFileIsAnEmptyProfileAtOnce)
{
    {
        QFile big(path());
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_EQ(big.write("[Araclar]\r\nA1=0\r\n"), 17);
        ASSERT_TRUE(big.resize(100 * 1024 * 1024));
    }
    QElapsedTimer timer;
    timer.start();
    const ProfileFile profile(path());
    EXPECT_LT(timer.elapsed(), 200);
    EXPECT_TRUE(profile.loadProblem().contains("larger")) << profile.loadProblem().toStdString();
    EXPECT_TRUE(profile.readBool("Araclar", "A1", true));
}

TEST_F(ProfileDamage, ATextFileOfGarbageDoesNotBreakTheReader)
{
    std::mt19937 random(1254);
    QByteArray garbage;
    for (int i = 0; i < 200000; ++i)
        garbage += char(std::uniform_int_distribution<int>(1, 255)(random));
    garbage += "\n[Son]\nK=5\n";
    ProfileFile profile = loaded(garbage);
    EXPECT_TRUE(profile.loadProblem().isEmpty());
    EXPECT_EQ(profile.readInteger("Son", "K", 0), 5);
    profile.writeInteger("Son", "K", 6);
    profile.save();
    EXPECT_EQ(ProfileFile(path()).readInteger("Son", "K", 0), 6);
}

TEST_F(ProfileDamage, AFolderIsAnEmptyProfile)
{
    ASSERT_TRUE(QDir().mkdir(path()));
    const ProfileFile profile(path());
    EXPECT_FALSE(profile.loadProblem().isEmpty());
    EXPECT_EQ(profile.readInteger("Grid", "B5", 193), 193);
}

TEST_F(ProfileDamage, AFifoIsNeverOpenedSoLoadingDoesNotWait)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    auto loading = std::async(std::launch::async, [this] { return ProfileFile(path()).loadProblem(); });
    if (loading.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
        // Let the stuck reader go, so that the test fails instead of hanging.
        const int fd = ::open(QFile::encodeName(path()).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        FAIL() << "loading a FIFO waited for a writer";
    }
    EXPECT_FALSE(loading.get().isEmpty());
}

// --- Where the files live --------------------------------------------------------------------

class ProfilePaths : public ProfileTest
{
protected:
    void SetUp() override
    {
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        m_hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        m_oldHome = qgetenv("HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        qputenv("HOME", QFile::encodeName(path("home")));
    }
    void TearDown() override
    {
        if (m_hadConfig)
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
        else
            qunsetenv("XDG_CONFIG_HOME");
        qputenv("HOME", m_oldHome);
    }

    QByteArray m_oldConfig;
    QByteArray m_oldHome;
    bool m_hadConfig = false;
};

TEST_F(ProfilePaths, WinIniIsMadeForTheUserAlone)
{
    const QString winIni = velkora::profile::winIniPath();
    EXPECT_EQ(winIni, path("config") + "/velkora/win.ini");
    EXPECT_EQ(modeOf(path("config") + "/velkora"), 0700u);
    ProfileFile profile(winIni);
    profile.writeBool("Velkora 3.1", "Active", true);
    profile.writeString("Velkora 3.1", "SSifre", "gizli");
    profile.save(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(modeOf(winIni), 0600u);
    EXPECT_EQ(ProfileFile(winIni).readString("velkora 3.1", "ssifre", {}), "gizli");
}

TEST_F(ProfilePaths, WithoutXdgConfigHomeTheFolderIsInTheHomeFolder)
{
    for (const QByteArray &config : {QByteArray(), QByteArray("relative/config")}) {
        if (config.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", config);
        EXPECT_EQ(velkora::profile::userConfigFolder(), path("home") + "/.config/velkora");
    }
    EXPECT_EQ(velkora::profile::winIniPath(), path("home") + "/.config/velkora/win.ini");
    EXPECT_EQ(modeOf(path("home") + "/.config/velkora"), 0700u);
}

TEST_F(ProfilePaths, TheSettingsFileIsBesideTheExecutableWhenItsFolderCanBeWritten)
{
    const QString program = path("program");
    ASSERT_TRUE(QDir().mkdir(program));
    EXPECT_EQ(velkora::profile::settingsFilePath(program), program + "/Velkora.ini");
    EXPECT_EQ(velkora::profile::settingsFilePath(program + "/", true), program + "/Velkora.ini");
    EXPECT_FALSE(QFileInfo::exists(path("config")));
}

TEST_F(ProfilePaths, AFolderThatCannotBeWrittenSendsTheSettingsToTheUserFolder)
{
    const QString program = path("program");
    ASSERT_TRUE(QDir().mkdir(program));
    const QString userFile = path("config") + "/velkora/Velkora.ini";
    EXPECT_EQ(velkora::profile::settingsFilePath(program, false), userFile);
    // The folder is there for the first save.
    ProfileFile settings(userFile);
    settings.writeBool("Araclar", "A1", true);
    EXPECT_NO_THROW(settings.save());
    EXPECT_EQ(modeOf(path("config") + "/velkora"), 0700u);
}

TEST_F(ProfilePaths, AnExistingPerUserSettingsFileWins)
{
    const QString program = path("program");
    ASSERT_TRUE(QDir().mkdir(program));
    writeBytes(program + "/Velkora.ini", "[Araclar]\r\nA1=1\r\n");
    ASSERT_TRUE(QDir().mkpath(path("config") + "/velkora"));
    writeBytes(path("config") + "/velkora/Velkora.ini", "[Araclar]\r\nA1=0\r\n");
    EXPECT_EQ(velkora::profile::settingsFilePath(program, true), path("config") + "/velkora/Velkora.ini");
    EXPECT_EQ(velkora::profile::settingsFilePath(program), path("config") + "/velkora/Velkora.ini");
}

} // namespace
