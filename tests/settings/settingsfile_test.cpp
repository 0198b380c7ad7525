// The settings file: what a missing, partial, odd or unwritable file does to the main window, and a
// window's state written and read back.
#include "settings/settingsfile.h"
#include "platform/profile/profilefile.h"
#include "ui/main/tform1.h"
#include "ui/main/tsrdbgrid.h"
#include "ui/workingbook.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QLineEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;

namespace {

const std::vector<TopicSpec> Outline = {{QStringLiteral("Cümle"), {{QStringLiteral("Öge"), QStringLiteral("{\\rtf1 ö}")}}},
                                        {QStringLiteral("Boş"), {}}};

// A main window on a test book, shown as at start-up with the settings file of a temporary folder.
struct SettingsWindow : WorkingBook
{
    SettingsWindow() : WorkingBook(Outline), title(QStringLiteral("Dilbilgisi Kitabı"))
    {
        path = dir.filePath(QStringLiteral("Velkora.ini"));
    }
    void write(const QByteArray &text)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    ui::TForm1 &show()
    {
        form = std::make_unique<ui::TForm1>();
        form->bookTitle = [this] { return title.text(); };
        form->LoadSettings = [this] { settings::LoadSettings(*form, &title, path); };
        form->SaveSettings = [this] { settings::SaveSettings(*form, &title, path); };
        form->FormShow();
        form->resize(900, 600);
        form->show();
        return *form;
    }
    QTemporaryDir dir;
    QString path;
    QLineEdit title;
    std::unique_ptr<ui::TForm1> form;
};

bool formattingItemsAllShown(ui::TForm1 &f)
{
    for (QAction *a : f.formattingItems())
        if (!a->isVisible())
            return false;
    return true;
}

} // namespace

TEST(SettingsFile, WithoutAFileTheWindowIsAsCreated)
{
    SettingsWindow w;
    ui::TForm1 &f = w.show();
    EXPECT_TRUE(f.ToolBar1->isVisible());
    EXPECT_FALSE(f.toolBar1Left());
    EXPECT_FALSE(f.toolBar2Top());
    EXPECT_FALSE(f.ToolBar3->isVisible());
    EXPECT_FALSE(f.toolBar3Left());
    EXPECT_TRUE(f.StatusBar1->isVisible());
    EXPECT_TRUE(f.ADOQuery1->active());
    EXPECT_TRUE(f.ADOQuery2->active());
    EXPECT_TRUE(formattingItemsAllShown(f));
    EXPECT_EQ(f.Splitter1->sizes().value(0), 193);
    EXPECT_EQ(w.title.text(), QStringLiteral("Dilbilgisi Kitabı"));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Velkora 3.1     Dilbilgisi Kitabı"));
    EXPECT_TRUE(w.errors.isEmpty()) << w.errors.join(u'\n').toStdString();
}

TEST(SettingsFile, ADamagedOrHugeFileStartsWithTheDefaults)
{
    for (const QByteArray &junk : {QByteArray("\x00\x01[Konumlar]\x00A2=1\xff\xfe", 13), QByteArray(6 * 1024 * 1024, '[')}) {
        SettingsWindow w;
        w.write(junk);
        QElapsedTimer clock;
        clock.start();
        ui::TForm1 &f = w.show();
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_FALSE(f.toolBar2Top());
        EXPECT_TRUE(formattingItemsAllShown(f));
        EXPECT_EQ(w.title.text(), QStringLiteral("Dilbilgisi Kitabı"));
        EXPECT_TRUE(w.errors.isEmpty());
    }
}

// A settings file a person wrote is read even with a NUL in it or when it is large, and closing
// keeps what it held (title, unknown sections, comments); one that truly cannot be read is named,
// kept aside before the new one is written, and the new one starts from the window's state.
TEST(SettingsFile, WhatCanBeReadIsKeptAndWhatCannotIsKeptAside)
{
    {
        SettingsWindow w;
        const QByteArray value = QByteArray("de") + '\0' + QByteArray("\xc4\x9f" "er");
        w.write(QByteArray("; kendi notum\n[Kitap Adi]\nBaslik=Benim Kitab\xc4\xb1" "m\n[Bizim]\nAnahtar=") + value + '\n'
                + ';' + QByteArray(5 * 1024 * 1024, '-') + '\n');
        w.show();
        EXPECT_EQ(w.title.text(), QStringLiteral("Benim Kitabım"));
        ASSERT_TRUE(w.form->FormClose());
        const QByteArray saved = [&] { QFile f(w.path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        EXPECT_TRUE(saved.startsWith("; kendi notum\n"));
        EXPECT_TRUE(saved.contains("Anahtar=" + value));
        EXPECT_FALSE(QFile::exists(w.path + QStringLiteral(".damaged")));
    }
    {
        SettingsWindow w;
        w.write("[Kitap Adi]\nBaslik=Eski\n");
        ASSERT_TRUE(QFile::resize(w.path, profile::ProfileFile::MaxFileBytes + 1));
        w.form = std::make_unique<ui::TForm1>();
        EXPECT_FALSE(settings::LoadSettings(*w.form, &w.title, w.path).isEmpty());
        settings::SaveSettings(*w.form, &w.title, w.path);
        EXPECT_EQ(QFileInfo(w.path + QStringLiteral(".damaged")).size(), profile::ProfileFile::MaxFileBytes + 1);
        EXPECT_EQ(profile::ProfileFile(w.path).readString(QStringLiteral("Kitap Adi"), QStringLiteral("Baslik"), QString()),
                  QStringLiteral("Dilbilgisi Kitabı"));
        EXPECT_TRUE(settings::LoadSettings(*w.form, &w.title, w.path).isEmpty());
    }
}

TEST(SettingsFile, APartialFileChangesOnlyWhatItHolds)
{
    SettingsWindow w;
    w.write("[Konumlar]\r\nA2=1\r\n");
    ui::TForm1 &f = w.show();
    EXPECT_TRUE(f.toolBar2Top());
    EXPECT_EQ(f.Panel3->layout()->indexOf(f.ToolBar2), 0);
    EXPECT_FALSE(f.toolBar1Left());
    EXPECT_FALSE(f.toolBar3Left());
    EXPECT_TRUE(f.ToolBar1->isVisible());
    EXPECT_TRUE(f.ADOQuery2->active());
    EXPECT_TRUE(formattingItemsAllShown(f));
}

TEST(SettingsFile, ReadOnlyFlagsQueriesAndOddValues)
{
    {
        SettingsWindow w;
        w.write("[Salt Okunur]\nListe=1\n");
        ui::TForm1 &f = w.show();
        EXPECT_TRUE(f.DBGrid1->readOnly());
        EXPECT_FALSE(f.Yazi->readOnly());
    }
    {
        SettingsWindow w;
        w.write("[salt okunur]\nALAN=1\n[Aktivasyon]\nT1=0\nT2=0\n");
        ui::TForm1 &f = w.show();
        EXPECT_TRUE(f.Yazi->readOnly());
        EXPECT_FALSE(f.DBGrid1->readOnly());
        EXPECT_FALSE(f.ADOQuery1->active());
        EXPECT_FALSE(f.ADOQuery2->active());
    }
    {
        // "yes" is no integer: the key counts as missing and the toolbar stays hidden; 2 is true.
        SettingsWindow w;
        w.write("[Araclar]\nA1=yes\n");
        ui::TForm1 &f = w.show();
        f.ToolBar1->hide();
        settings::LoadSettings(f, &w.title, w.path);
        EXPECT_FALSE(f.ToolBar1->isVisibleTo(&f));
        w.write("[Araclar]\nA1=2\n");
        settings::LoadSettings(f, &w.title, w.path);
        EXPECT_TRUE(f.ToolBar1->isVisibleTo(&f));
    }
    {
        // The window's state is never made editable for a book only readable, and a long title is cut.
        SettingsWindow w;
        w.write("[Kitap Adi]\nBaslik=" + QByteArray(3000, 'k') + "\n[Grid]\nB1=$FF\nB2=0xFF0000\nB5=250\n");
        ui::TForm1 &f = w.show();
        EXPECT_EQ(w.title.text().size(), 2047);
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Velkora 3.1     ") + QString(2047, u'k'));
        EXPECT_EQ(f.DBGrid1->textColor(), QColor(255, 0, 0));
        EXPECT_EQ(f.DBGrid1->background(), QColor(0, 0, 255)); // blue is the third byte
        EXPECT_EQ(f.Splitter1->sizes().value(0), 250);
    }
}

TEST(SettingsFile, WhatIsSavedComesBackInAFreshWindow)
{
    SettingsWindow w;
    {
        ui::TForm1 &f = w.show();
        f.AracCubugu1Click(); // main toolbar hidden, its menu item unticked
        f.KonuBicimlendirme1Click();
        f.alignToolBar1(true);
        f.alignToolBar2(true);
        f.alignToolBar3(true);
        f.Yazi->setReadOnly(true);
        const QList<QAction *> items = f.formattingItems();
        items[0]->setVisible(false);
        items[17]->setVisible(false);
        f.DBGrid1->setTextColor(QColor(0x12, 0x34, 0x56));
        f.BtnKalin2->setChecked(true);
        f.Splitter1->setSizes({240, 600});
        w.title.setText(QStringLiteral("Türkçe İmla"));
        ASSERT_TRUE(f.FormClose());
    }
    QFile file(w.path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    // System colours are negative, white is explicit; sections in the order they are read.
    EXPECT_TRUE(text.contains(QStringLiteral("B1=5649426"))) << text.toStdString(); // 0x563412
    EXPECT_TRUE(text.contains(QStringLiteral("B2=16777215")));
    EXPECT_TRUE(text.contains(QStringLiteral("Baslik=Türkçe İmla")));
    const QStringList order = {QStringLiteral("[Araclar]"), QStringLiteral("[Konumlar]"), QStringLiteral("[Onay]"),
                               QStringLiteral("[Salt Okunur]"), QStringLiteral("[Aktivasyon]"), QStringLiteral("[Gorunum]"),
                               QStringLiteral("[Grid]"), QStringLiteral("[Kitap Adi]")};
    qsizetype at = -1;
    for (const QString &section : order) {
        const qsizetype next = text.indexOf(section);
        EXPECT_GT(next, at) << section.toStdString();
        at = next;
    }

    w.title.setText(QStringLiteral("Dilbilgisi Kitabı"));
    ui::TForm1 &f = w.show();
    EXPECT_FALSE(f.ToolBar1->isVisibleTo(&f));
    EXPECT_FALSE(f.AracCubugu1->isChecked());
    EXPECT_TRUE(f.ToolBar3->isVisibleTo(&f));
    EXPECT_TRUE(f.KonuBicimlendirme1->isChecked());
    EXPECT_TRUE(f.toolBar1Left());
    EXPECT_EQ(f.ToolBar1->orientation(), Qt::Vertical);
    EXPECT_TRUE(f.toolBar2Top());
    EXPECT_TRUE(f.toolBar3Left());
    EXPECT_EQ(f.ToolBar3->orientation(), Qt::Vertical);
    EXPECT_TRUE(f.Yazi->readOnly());
    EXPECT_FALSE(f.formattingItems()[0]->isVisible());
    EXPECT_TRUE(f.formattingItems()[1]->isVisible());
    EXPECT_FALSE(f.formattingItems()[17]->isVisible());
    EXPECT_FALSE(f.Edit1->isVisible());
    EXPECT_EQ(f.DBGrid1->textColor(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(f.DBGrid1->background(), QColor(Qt::white));
    EXPECT_TRUE(f.BtnKalin2->isChecked());
    EXPECT_TRUE(f.DBGrid1->font().bold()); // the show step applies the restored button
    EXPECT_EQ(f.Splitter1->sizes().value(0), 240);
    EXPECT_EQ(w.title.text(), QStringLiteral("Türkçe İmla"));
}

TEST(SettingsFile, ABookOnlyReadableDoesNotSaveItsReadOnlyModeAsTheUsersChoice)
{
    SettingsWindow w;
    QFile::setPermissions(w.fixture.path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    ui::TForm1 &f = w.show();
    ASSERT_TRUE(f.bookReadOnly());
    EXPECT_TRUE(f.Yazi->readOnly());
    ASSERT_TRUE(f.FormClose());
    const profile::ProfileFile saved(w.path);
    EXPECT_FALSE(saved.readBool(QStringLiteral("Salt Okunur"), QStringLiteral("Alan"), true));
    EXPECT_FALSE(saved.readBool(QStringLiteral("Salt Okunur"), QStringLiteral("Liste"), true));
}

// A run on a missing or damaged book cannot open its queries; that is no reason to start the next
// run, on the good book, with the queries closed and the book looking empty.
TEST(SettingsFile, QueriesThatFailedToOpenAreNotSavedAsClosed)
{
    for (const QByteArray &stored : {QByteArray(), QByteArray("[Aktivasyon]\nT1=1\nT2=1\n"), QByteArray("[Aktivasyon]\nT1=0\nT2=0\n")}) {
        SettingsWindow w;
        if (!stored.isEmpty())
            w.write(stored);
        QFile book(w.fixture.path());
        ASSERT_TRUE(book.open(QIODevice::WriteOnly)); // a damaged book
        book.write(QByteArray(4096, 'x'));
        book.close();
        ui::TForm1 &f = w.show();
        EXPECT_FALSE(f.ADOQuery1->active());
        // Told when connecting and when the topic query tries again, not once more for each query
        // the settings file opens.
        EXPECT_EQ(w.errors.size(), 2) << w.errors.join(u'\n').toStdString();
        ASSERT_TRUE(f.FormClose());
        const profile::ProfileFile saved(w.path);
        const bool closedByChoice = stored.contains("T1=0");
        const QString expected = closedByChoice ? QStringLiteral("0") : QStringLiteral("1");
        for (const QString &key : {QStringLiteral("T1"), QStringLiteral("T2")})
            EXPECT_EQ(saved.readString(QStringLiteral("Aktivasyon"), key, QString()), expected) << stored.constData();
    }
}

TEST(SettingsFile, AnUnwritableFileIsNamedAndTheWindowStillCloses)
{
    SettingsWindow w;
    // The settings "file" is a folder: no rename can put a file there (root may write anywhere else).
    QDir(w.dir.path()).mkdir(QStringLiteral("Velkora.ini"));
    ui::TForm1 &f = w.show();
    EXPECT_TRUE(f.FormClose());
    ASSERT_EQ(w.errors.size(), 1);
    EXPECT_EQ(w.errors[0], ui::errorDisplayText(QStringLiteral("Unable to write to ") + w.path));
    EXPECT_THROW(settings::SaveSettings(f, &w.title, w.path), profile::ProfileWriteError);
}

TEST(SettingsFile, ColourValues)
{
    EXPECT_EQ(settings::colorValue(Qt::black), -16777208);
    EXPECT_EQ(settings::colorValue(Qt::white), 16777215);
    EXPECT_EQ(settings::colorValue(QColor(1, 2, 3)), 0x030201);
    EXPECT_EQ(settings::colorFromValue(-16777208), QColor(Qt::black));
    EXPECT_EQ(settings::colorFromValue(0x030201), QColor(1, 2, 3));
    EXPECT_EQ(settings::colorFromValue(0x02030201), QColor(1, 2, 3));
    EXPECT_FALSE(settings::colorFromValue(static_cast<int>(0xFF000063)).has_value()); // no such system colour
    EXPECT_FALSE(settings::colorFromValue(0x01000005).has_value());                   // a palette index
}
