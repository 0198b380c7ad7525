// Password protection: the gate at start-up, the enter-password and change-password dialogs, the
// protection box, and the password kept as a hash in win.ini.
#include "app/startup.h"
#include "modal.h"
#include "platform/profile/profilefile.h"
#include "settings/tayarfrm.h"
#include "ui/workingbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velkora;
using namespace velkora::testing;
using settings::PasswordStore;
using settings::TGetPassWdFrm;
using settings::TPassWdFrm;

namespace {

struct Protection
{
    Protection()
    {
        ui::setErrorDisplay([this](const QString &m) { errors.append(m); });
    }
    ~Protection() { ui::setErrorDisplay({}); }
    QString ini() const { return dir.filePath(QStringLiteral("win.ini")); }
    void write(const QByteArray &text)
    {
        QFile f(ini());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // The dialog with its questions answered by answer and collected in messages.
    std::unique_ptr<settings::TAyarFrm> dialog()
    {
        auto a = std::make_unique<settings::TAyarFrm>(nullptr, ini());
        a->ask = [this](const QString &m, ui::MessageKind, int) {
            messages.append(m);
            return answer;
        };
        passwords.ask = a->ask;
        a->PassWdFrm = &passwords;
        return a;
    }
    QString stored() const { return PasswordStore(ini()).ReadPassword(); }

    QTemporaryDir dir;
    QStringList messages;
    QStringList errors;
    ui::MessageButton answer = ui::ButtonYes;
    TPassWdFrm passwords;
};

// Types text into the field one key at a time, as a person would.
void type(QLineEdit *field, const QString &text)
{
    field->setFocus();
    for (const QChar c : text)
        QTest::keyClick(field, c.toLatin1());
}

} // namespace

TEST(PasswordGate, AsksOnlyWhenProtectionIsOn)
{
    Protection p;
    auto a = p.dialog();
    int asked = 0;
    a->askPassword = [&](const QString &) { return ++asked, false; };
    EXPECT_TRUE(a->VerifyPassword(true)); // no win.ini at all
    p.write("[Velkora 3.1]\nActive=0\n");
    EXPECT_TRUE(a->VerifyPassword(true));
    EXPECT_EQ(asked, 0);
    p.write("[velkora 3.1]\nactive=1\n");
    EXPECT_FALSE(a->VerifyPassword(true));
    EXPECT_FALSE(a->VerifyPassword(false));
    EXPECT_EQ(asked, 2);
}

TEST(PasswordGate, EmptyStoredPasswordIsMatchedByAnEmptyEntryAndIptalRefuses)
{
    Protection p;
    p.write("[Velkora 3.1]\nActive=1\n");
    auto a = p.dialog();
    whenModal<TGetPassWdFrm>([](TGetPassWdFrm *d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Şifre Gir"));
        EXPECT_EQ(d->size(), QSize(243, 100));
        EXPECT_TRUE(d->BitBtn1->isDefault());
        d->BitBtn1->click();
    });
    EXPECT_TRUE(a->VerifyPassword(true));
    whenModal<TGetPassWdFrm>([](TGetPassWdFrm *d) { d->BitBtn2->click(); });
    EXPECT_FALSE(a->VerifyPassword(true));
    EXPECT_TRUE(p.messages.isEmpty());
}

TEST(PasswordGate, AWrongPasswordKeepsTheDialogAndItsTextAndCaseMatters)
{
    Protection p;
    PasswordStore(p.ini()).WritePassword(QStringLiteral("Gizli"));
    PasswordStore(p.ini()).WriteActiveFlag(true);
    auto a = p.dialog();
    bool stayed = false;
    whenModal<TGetPassWdFrm>([&](TGetPassWdFrm *d) {
        type(d->Edit1, QStringLiteral("gizli"));
        d->BitBtn1->click();
        stayed = d->isVisible() && d->Edit1->text() == QStringLiteral("gizli");
        d->Edit1->setText(QStringLiteral("Gizli"));
        d->BitBtn1->click();
    });
    EXPECT_TRUE(a->VerifyPassword(true));
    EXPECT_TRUE(stayed);
    EXPECT_EQ(p.messages, QStringList{QStringLiteral("Geçersiz şifre.")});
}

TEST(PasswordChange, FirstUseSetsAHashedPasswordAndTicksTheBox)
{
    Protection p;
    auto a = p.dialog();
    EXPECT_FALSE(a->SifreChk->isEnabled()); // no password yet
    EXPECT_FALSE(a->SifreChk->isChecked());
    bool checked = false;
    whenModal<TPassWdFrm>([&](TPassWdFrm *d) {
        checked = true;
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Şifre Değiştir"));
        EXPECT_EQ(d->size(), QSize(193, 126));
        EXPECT_EQ(d->pos(), QPoint(212, 140));
        EXPECT_FALSE(d->OldPassWdText->isEnabled());
        EXPECT_EQ(d->focusWidget(), d->NewPassWdText);
        d->BitBtn1->click(); // an empty new password is refused
        EXPECT_TRUE(d->isVisible());
        type(d->NewPassWdText, QStringLiteral("abcdefghijklmnopq"));
        EXPECT_EQ(d->NewPassWdText->text(), QStringLiteral("abcdefghijklmno")); // 15 at the most
        d->NewPassWdText->setText(QStringLiteral("  "));                           // blanks are a password
        d->BitBtn1->click();
    });
    a->ChangePasswdBtn->click();
    ASSERT_TRUE(checked);
    EXPECT_EQ(p.messages, (QStringList{QStringLiteral("Şifre olarak boşluk giremezsiniz"),
                                       QStringLiteral("Şu anki şifreyi değiştirmek istiyor musunuz?")}));
    EXPECT_TRUE(PasswordStore::isHash(p.stored()));
    EXPECT_TRUE(PasswordStore::matches(p.stored(), QStringLiteral("  ")));
    EXPECT_FALSE(PasswordStore::matches(p.stored(), QString()));
    EXPECT_TRUE(a->SifreChk->isEnabled());
    EXPECT_TRUE(a->SifreChk->isChecked());
    EXPECT_FALSE(PasswordStore(p.ini()).ReadActiveFlag()); // written only by "Tamam" or at the end

    // "İptal" reloads the box: the password stays, protection keeps its stored state.
    a->CancelBtn->click();
    EXPECT_FALSE(a->SifreChk->isChecked());
    EXPECT_TRUE(a->SifreChk->isEnabled());
    EXPECT_TRUE(PasswordStore::matches(p.stored(), QStringLiteral("  ")));

    // Answering "Hayır" to the question stores nothing.
    const QString before = p.stored();
    p.answer = ui::ButtonNo;
    whenModal<TPassWdFrm>([](TPassWdFrm *d) {
        EXPECT_TRUE(d->OldPassWdText->isEnabled());
        EXPECT_EQ(d->focusWidget(), d->OldPassWdText);
        d->OldPassWdText->setText(QStringLiteral("  "));
        d->NewPassWdText->setText(QStringLiteral("Başka"));
        d->BitBtn1->click();
    });
    a->ChangePasswdBtn->click();
    EXPECT_EQ(p.stored(), before);

    // Ticking the box asks for the password; "Tamam" writes the switch.
    whenModal<TGetPassWdFrm>([](TGetPassWdFrm *d) {
        d->Edit1->setText(QStringLiteral("  "));
        d->BitBtn1->click();
    });
    a->SifreChk->click();
    EXPECT_TRUE(a->SifreChk->isChecked());
    a->OKBtn->click();
    EXPECT_TRUE(PasswordStore(p.ini()).ReadActiveFlag());
    // The file holds no password in the clear, and only its owner may read it.
    QFile f(p.ini());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("SSifre=$argon2id$"));
    struct stat st = {};
    ASSERT_EQ(stat(QFile::encodeName(p.ini()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(PasswordChange, ABoxClickAnsweredWithIptalPutsTheBoxBack)
{
    Protection p;
    PasswordStore(p.ini()).WritePassword(QStringLiteral("Gizli"));
    auto a = p.dialog();
    ASSERT_TRUE(a->SifreChk->isEnabled());
    whenModal<TGetPassWdFrm>([](TGetPassWdFrm *d) { d->BitBtn2->click(); });
    a->SifreChk->click();
    EXPECT_FALSE(a->SifreChk->isChecked());
    // A wrong old password in the change dialog keeps it open.
    whenModal<TPassWdFrm>([&](TPassWdFrm *d) {
        d->OldPassWdText->setText(QStringLiteral("GİZLİ"));
        d->NewPassWdText->setText(QStringLiteral("Yeni"));
        d->BitBtn1->click();
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->focusWidget(), d->OldPassWdText);
        d->BitBtn2->click();
    });
    a->ChangePasswdBtn->click();
    EXPECT_EQ(p.messages, QStringList{QStringLiteral("Geçersiz şifre.")});
    EXPECT_TRUE(PasswordStore::matches(p.stored(), QStringLiteral("Gizli")));
}

TEST(PasswordChange, APlainPasswordOfAnOlderVersionIsAcceptedAndReplacedByAHash)
{
    Protection p;
    // Written in the Turkish Windows code page: "Şifre1" with Ş as 0xDE.
    p.write("[Velkora 3.1]\r\nActive=1\r\nSSifre=\xDEifre1\r\n");
    auto a = p.dialog();
    EXPECT_TRUE(a->SifreChk->isChecked());
    whenModal<TGetPassWdFrm>([](TGetPassWdFrm *d) {
        d->Edit1->setText(QStringLiteral("Şifre1"));
        d->BitBtn1->click();
    });
    EXPECT_TRUE(a->VerifyPassword(true));
    EXPECT_FALSE(PasswordStore::matches(p.stored(), QStringLiteral("şifre1")));
    whenModal<TPassWdFrm>([](TPassWdFrm *d) {
        d->OldPassWdText->setText(QStringLiteral("Şifre1"));
        d->NewPassWdText->setText(QStringLiteral("Yeni"));
        d->BitBtn1->click();
    });
    a->ChangePasswdBtn->click();
    EXPECT_TRUE(PasswordStore::isHash(p.stored()));
    EXPECT_TRUE(PasswordStore::matches(p.stored(), QStringLiteral("Yeni")));
    QFile f(p.ini());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.readAll().contains("ifre1"));
}

TEST(PasswordChange, AnUnwritableWinIniSaysSoAndLeavesTheBox)
{
    Protection p;
    QDir(p.dir.path()).mkdir(QStringLiteral("win.ini"));
    auto a = p.dialog();
    whenModal<TPassWdFrm>([](TPassWdFrm *d) {
        d->NewPassWdText->setText(QStringLiteral("Yeni"));
        d->BitBtn1->click();
    });
    a->ChangePasswdBtn->click();
    EXPECT_EQ(p.errors, QStringList{ui::errorDisplayText(QStringLiteral("Şifre yazılamadı"))});
    EXPECT_FALSE(a->SifreChk->isChecked());
    EXPECT_FALSE(a->SifreChk->isEnabled());
    a.reset(); // writing the switch at the end fails too, and says where
    ASSERT_EQ(p.errors.size(), 2);
    EXPECT_EQ(p.errors[1], ui::errorDisplayText(QStringLiteral("Unable to write to ") + p.ini()));
}

TEST(PasswordChange, ADamagedWinIniIsKeptAsideNotWrittenOver)
{
    Protection p;
    // Too large to be read as a settings file: nothing of it may be lost to the new one.
    const QByteArray head("[Velkora 3.1]\nSSifre=$argon2id$garbage\n");
    p.write(head);
    ASSERT_TRUE(QFile::resize(p.ini(), profile::ProfileFile::MaxFileBytes + 1));
    PasswordStore(p.ini()).WriteActiveFlag(true);
    QFile aside(p.ini() + QStringLiteral(".damaged"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.size(), profile::ProfileFile::MaxFileBytes + 1);
    EXPECT_EQ(aside.read(head.size()), head);
    EXPECT_TRUE(PasswordStore(p.ini()).ReadActiveFlag());
}

TEST(PasswordGate, StartUpEndsOnIptalAndKeepsTheSwitch)
{
    WorkingBook book({{QStringLiteral("Cümle"), {}}});
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("win.ini"));
    PasswordStore(ini).WritePassword(QStringLiteral("Gizli"));
    PasswordStore(ini).WriteActiveFlag(true);
    {
        app::Startup startup;
        startup.maximized = false;
        startup.winIniPath = ini;
        startup.settingsPath = dir.filePath(QStringLiteral("Velkora.ini"));
        bool covered = false;
        whenModal<TGetPassWdFrm>([&](TGetPassWdFrm *d) {
            // Nothing of the book shows behind the question.
            const QWidget *cover = startup.Form1->findChild<QWidget *>(QStringLiteral("PasswordCover"));
            covered = cover && cover->isVisible() && cover->geometry().contains(startup.Form1->rect());
            d->BitBtn2->click();
        });
        EXPECT_FALSE(startup.run());
        EXPECT_TRUE(covered);
        EXPECT_EQ(startup.steps.mid(startup.steps.size() - 3),
                  (QStringList{QStringLiteral("main window shown"), QStringLiteral("gate failed"), QStringLiteral("splash destroyed")}));
    }
    EXPECT_TRUE(PasswordStore(ini).ReadActiveFlag());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("Velkora.ini")))); // no close step ran
}
