// The general settings dialog: its pages filled from the main window and applied to it.
#include "modal.h"
#include "settings/tayarfrm.h"
#include "ui/main/tform1.h"
#include "ui/main/topicselector.h"
#include "ui/main/tsrdbgrid.h"
#include "ui/workingbook.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;

namespace {

struct Dialog : WorkingBook
{
    Dialog()
        : WorkingBook({{QStringLiteral("Cümle"), {{QStringLiteral("Öge"), QStringLiteral("{\\rtf1 ö}")}}}}),
          ayar(&form, config.filePath(QStringLiteral("win.ini")), &form)
    {
        form.FormShow();
        form.show();
        form.BtnAyarClick = [this] { ayar.BtnAyarClick(); };
    }
    // Opens the dialog from the main window's menu item and runs act on it while it is up.
    void open(std::function<void(settings::TAyarFrm *)> act)
    {
        whenModal<settings::TAyarFrm>(std::move(act));
        form.GenelAyarlar1->trigger();
    }
    QTemporaryDir config;
    ui::TForm1 form;
    settings::TAyarFrm ayar;
};

} // namespace

TEST(SettingsDialog, LayoutAndCaptions)
{
    Dialog d;
    settings::TAyarFrm &a = d.ayar;
    EXPECT_EQ(a.windowTitle(), QStringLiteral("Genel Ayarlar"));
    EXPECT_EQ(a.size(), QSize(344, 209));
    ASSERT_EQ(a.PageControl1->count(), 4);
    EXPECT_EQ(a.PageControl1->tabText(0), QStringLiteral("Şifre Aktivasyon"));
    EXPECT_EQ(a.PageControl1->tabText(3), QStringLiteral("Başlık"));
    EXPECT_EQ(a.findChild<QCheckBox *>(QStringLiteral("ChkStil"))->text(), QStringLiteral("Yazı Stili"));
    EXPECT_EQ(a.findChild<QCheckBox *>(QStringLiteral("ChkKes"))->text(), QStringLiteral("Kes"));
    // Every page's "İptal" stands left of its "Tamam", at the bottom right.
    const std::pair<QPushButton *, QPushButton *> pairs[] = {
        {a.CancelBtn, a.OKBtn}, {a.Button1, a.BtnSecenek}, {a.Button2, a.BtnButon}, {a.Button3, a.BtnBaslik}};
    for (const auto &[cancel, ok] : pairs) {
        EXPECT_EQ(cancel->text(), QStringLiteral("İptal"));
        EXPECT_EQ(ok->text(), QStringLiteral("Tamam"));
        EXPECT_LT(cancel->x(), ok->x());
        EXPECT_EQ(cancel->y(), ok->y());
    }
    EXPECT_TRUE(a.OKBtn->isDefault());
    EXPECT_EQ(a.Edit1->text(), QStringLiteral("Dilbilgisi Kitabı"));
    EXPECT_FALSE(a.Edit2->isEnabled());
    EXPECT_EQ(a.Edit2->text(), QStringLiteral("Velkora 3.1"));
    EXPECT_EQ(a.CancelBtn->property("hint").toString(), QStringLiteral("Şifre Ayarı |Sifre ayarını iptal et"));
}

TEST(SettingsDialog, OptionsPageIsFilledFromTheWindowAndCancelChangesNothing)
{
    Dialog d;
    d.form.alignToolBar1(true);
    d.form.formattingItems()[16]->setVisible(false); // the font name box
    bool seen = false;
    d.open([&](settings::TAyarFrm *a) {
        seen = true;
        EXPECT_TRUE(a->ChkArac->isChecked());
        EXPECT_FALSE(a->ChkAltArac->isChecked());
        EXPECT_FALSE(a->ChkBicim->isChecked());
        EXPECT_FALSE(a->ChkTablo->isChecked());
        EXPECT_TRUE(a->findChild<QCheckBox *>(QStringLiteral("ChkStil"))->isChecked());
        EXPECT_FALSE(a->findChild<QCheckBox *>(QStringLiteral("ChkBoyut"))->isChecked());
        a->ChkArac->setChecked(false);
        a->ChkBicim->setChecked(true);
        a->Button1->click();
    });
    ASSERT_TRUE(seen);
    EXPECT_TRUE(d.form.toolBar1Left());
    EXPECT_FALSE(d.form.toolBar2Top());
    EXPECT_FALSE(d.ayar.isVisible());
}

TEST(SettingsDialog, NotOpeningTheBookClosesItWithoutReadOnlyAndReopeningAppliesReadOnly)
{
    Dialog d;
    d.open([](settings::TAyarFrm *a) {
        a->ChkTablo->setChecked(true);
        a->ChkRead->setChecked(true);
        a->ChkAltArac->setChecked(true);
        a->BtnSecenek->click();
    });
    EXPECT_FALSE(d.form.ADOQuery1->active());
    EXPECT_FALSE(d.form.ADOQuery2->active());
    EXPECT_FALSE(d.form.Yazi->readOnly());
    EXPECT_TRUE(d.form.toolBar3Left());

    d.open([](settings::TAyarFrm *a) {
        EXPECT_TRUE(a->ChkTablo->isChecked()); // refilled: the book is closed
        a->ChkTablo->setChecked(false);
        a->ChkRead->setChecked(true);
        a->BtnSecenek->click();
    });
    EXPECT_TRUE(d.form.ADOQuery1->active());
    EXPECT_TRUE(d.form.ADOQuery2->active());
    EXPECT_TRUE(d.form.Yazi->readOnly());
    EXPECT_TRUE(d.form.DBGrid1->readOnly());
    EXPECT_FALSE(d.form.ComboKonu1->readOnly()); // topics can still be picked
    EXPECT_TRUE(d.errors.isEmpty()) << d.errors.join(u'\n').toStdString();
}

TEST(SettingsDialog, TickingEveryButtonLeavesOnlyTheSeparators)
{
    Dialog d;
    d.open([](settings::TAyarFrm *a) {
        for (QCheckBox *c : a->ButtonChecks)
            c->setChecked(true);
        a->BtnButon->click();
    });
    int shown = 0;
    for (QAction *item : d.form.ToolBar2->actions())
        shown += item->isVisible() && !item->isSeparator();
    EXPECT_EQ(shown, 0);
    d.open([](settings::TAyarFrm *a) {
        for (QCheckBox *c : a->ButtonChecks)
            EXPECT_TRUE(c->isChecked());
        a->ButtonChecks[0]->setChecked(false);
        a->BtnButon->click();
    });
    EXPECT_TRUE(d.form.formattingItems()[0]->isVisible());
    EXPECT_FALSE(d.form.formattingItems()[1]->isVisible());
    QApplication::processEvents(); // the bar lays itself out again
    EXPECT_TRUE(d.form.BtnKalin->isVisible());
    EXPECT_FALSE(d.form.BtnItalic->isVisible());
}

TEST(SettingsDialog, TheTitleTamamIptalAndTheCloseBox)
{
    Dialog d;
    d.open([](settings::TAyarFrm *a) {
        a->PageControl1->setCurrentIndex(3);
        a->Edit1->setText(QStringLiteral("Yazım Kılavuzu"));
        a->BtnBaslik->click();
    });
    EXPECT_EQ(d.form.windowTitle(), QStringLiteral("Velkora 3.1       Yazım Kılavuzu"));
    d.open([](settings::TAyarFrm *a) {
        EXPECT_EQ(a->PageControl1->currentIndex(), 3); // opens on the page shown last
        EXPECT_EQ(a->Edit3->text(), QStringLiteral("Yazım Kılavuzu"));
        a->Edit1->setText(QStringLiteral("Vazgeçilen"));
        a->Button3->click();
    });
    EXPECT_EQ(d.ayar.Edit1->text(), QStringLiteral("Yazım Kılavuzu"));
    d.open([](settings::TAyarFrm *a) {
        a->Edit1->setText(QStringLiteral("Kapatılan"));
        a->close(); // the close box: the text stays, the caption does not follow
    });
    EXPECT_EQ(d.ayar.Edit1->text(), QStringLiteral("Kapatılan"));
    EXPECT_EQ(d.form.windowTitle(), QStringLiteral("Velkora 3.1       Yazım Kılavuzu"));
}

TEST(SettingsDialog, HelpButtonOpensContextOne)
{
    Dialog d;
    int context = 0;
    d.ayar.showHelp = [&](int c) { context = c; };
    d.ayar.BitBtn2->click();
    EXPECT_EQ(context, 1);
}

// Enter presses the "Tamam" of the page in view: a title typed and ended with Enter is applied,
// never left behind by a button of a page the user does not see.
TEST(SettingsDialog, EnterPressesTheTamamOfThePageInView)
{
    Dialog d;
    bool passwordPageApplied = false;
    QObject::connect(d.ayar.OKBtn, &QPushButton::clicked, [&] { passwordPageApplied = true; });
    d.open([](settings::TAyarFrm *a) {
        a->PageControl1->setCurrentIndex(3);
        a->Edit1->setFocus();
        a->Edit1->setText(QStringLiteral("Enter ile Başlık"));
        QTest::keyClick(a->Edit1, Qt::Key_Return);
        if (a->isVisible()) // Enter did nothing: leave through "İptal" so the test goes on
            a->Button3->click();
    });
    EXPECT_FALSE(passwordPageApplied);
    EXPECT_EQ(d.form.windowTitle(), QStringLiteral("Velkora 3.1       Enter ile Başlık"));
    EXPECT_EQ(d.ayar.Edit3->text(), QStringLiteral("Enter ile Başlık"));

    // On "Seçenekler" Enter applies that page: the main toolbar moves to the left.
    d.open([](settings::TAyarFrm *a) {
        a->PageControl1->setCurrentIndex(1);
        a->ChkArac->setChecked(true);
        QTest::keyClick(a, Qt::Key_Enter);
        if (a->isVisible())
            a->Button1->click();
    });
    EXPECT_EQ(d.form.toolBarArea(d.form.ToolBar1), Qt::LeftToolBarArea);
    EXPECT_FALSE(passwordPageApplied);

    // On "Şifre" Enter is that page's "Tamam", as before.
    d.open([](settings::TAyarFrm *a) {
        a->PageControl1->setCurrentIndex(0);
        QTest::keyClick(a, Qt::Key_Return);
        if (a->isVisible())
            a->CancelBtn->click();
    });
    EXPECT_TRUE(passwordPageApplied);
}
