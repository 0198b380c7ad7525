// The program coming up, the main window's command table, shortcuts, status bar, toggles and
// read-only mode, and the message boxes — headless.
#include "app/startup.h"
#include "app/tgauge.h"
#include "editor/tparagraf.h"
#include "settings/passworddialogs.h"
#include "settings/tayarfrm.h"
#include "ui/about/tabout.h"
#include "workingbook.h"
#include "ui/main/messagedialogs.h"
#include "ui/main/tform1.h"
#include "ui/main/toolbaroverflow.h"
#include "ui/main/topicselector.h"
#include "ui/main/tsrdbgrid.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;

namespace {

// A book in the working folder, errors collected instead of shown in boxes.
struct Program : WorkingBook
{
    explicit Program(const std::vector<TopicSpec> &topics = {{QStringLiteral("Cümle"),
                                                              {{QStringLiteral("Öge"), QStringLiteral("{\\rtf1 ö}")},
                                                               {QStringLiteral("Tür"), QStringLiteral("t")}}},
                                                             {QStringLiteral("Boş"), {}}})
        : WorkingBook(topics), book(fixture)
    {
    }
    BookFixture &book;
};

struct Window
{
    Window()
    {
        form.FormShow();
        form.show();
        form.updateActions();
    }
    ui::TForm1 form;
};

} // namespace

TEST(StartUp, WindowsComeUpInOrderWithTheGaugeAndTheCaption)
{
    Program program;
    app::Startup startup;
    startup.maximized = false;
    ASSERT_TRUE(startup.run());
    EXPECT_EQ(startup.steps,
              (QStringList{"splash shown", "application initialised", "create Form1", "create AyarFrm", "create PassWdFrm",
                           "create Form2", "create Form3", "create Form4", "main window shown", "gate passed",
                           "splash destroyed"}));
    EXPECT_EQ(startup.gauge, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(startup.Form1->windowTitle(), QStringLiteral("Velkora 3.1     Dilbilgisi Kitabı"));
    EXPECT_EQ(startup.AyarFrm->windowTitle(), QStringLiteral("Genel Ayarlar"));
    EXPECT_EQ(startup.PassWdFrm->windowTitle(), QStringLiteral("Şifre Değiştir"));
    EXPECT_EQ(startup.Form4->windowTitle(), QStringLiteral("Yazdırma Seçenekleri"));
    EXPECT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    EXPECT_EQ(startup.Form1->Panels[0]->text(), QStringLiteral("  Toplam 2 konu - Gösterilen  1."));
}

TEST(StartUp, GaugeShowsWholePercentagesAndRepaintsOnlyOnChange)
{
    app::TGauge gauge;
    gauge.resize(264, 17);
    gauge.setMaxValue(6);
    const int expected[] = {16, 33, 50, 66, 83, 100};
    for (int v = 1; v <= 6; ++v) {
        gauge.setProgress(v);
        EXPECT_EQ(gauge.percentDone(), expected[v - 1]);
    }
    const int repaints = gauge.repaints();
    gauge.setProgress(6);
    gauge.setProgress(7); // clamped to 6: nothing changes
    EXPECT_EQ(gauge.progress(), 6);
    EXPECT_EQ(gauge.repaints(), repaints);
    gauge.setMaxValue(3); // pulls the progress down with it
    EXPECT_EQ(gauge.progress(), 3);
}

TEST(StartUp, ABookThatCannotBeOpenedIsShownAndTheListsStayEmpty)
{
    Program program;
    QFile::remove(program.book.path());
    Window w;
    ASSERT_EQ(program.errors.size(), 2); // connecting, then opening the topic query
    EXPECT_TRUE(program.errors[0].startsWith(QStringLiteral("Could not find file")));
    EXPECT_TRUE(program.errors[0].endsWith(u'.'));
    EXPECT_FALSE(w.form.ADOQuery1->active());
    EXPECT_EQ(w.form.DBGrid1->model()->rowCount(), 0);
    // Closed queries write nothing into the status bar.
    EXPECT_FALSE(w.form.Panels[0]->text().contains(QStringLiteral("-1"))) << w.form.Panels[0]->text().toStdString();
    EXPECT_FALSE(w.form.Panels[1]->text().contains(QStringLiteral("-1"))) << w.form.Panels[1]->text().toStdString();
    EXPECT_FALSE(w.form.DataSetInsert1->isEnabled());
    EXPECT_FALSE(w.form.BtnYeni->isEnabled());
}

TEST(MainWindow, EnabledRulesFollowTheQueries)
{
    Program program;
    Window w;
    ui::TForm1 &f = w.form;
    EXPECT_FALSE(f.DataSetFirst1->isEnabled()); // at the first row
    EXPECT_FALSE(f.BtnOnce->isEnabled());
    EXPECT_TRUE(f.DataSetNext1->isEnabled());
    EXPECT_TRUE(f.BtnDuzen->isEnabled());
    EXPECT_FALSE(f.BtnKaydet->isEnabled());
    EXPECT_FALSE(f.Kaydet1->isEnabled());

    f.ADOQuery2->edit();
    f.updateActions();
    EXPECT_FALSE(f.DataSetEdit1->isEnabled());
    EXPECT_FALSE(f.BtnDuzen->isEnabled());
    EXPECT_TRUE(f.DataSetPost1->isEnabled());
    EXPECT_TRUE(f.Kaydet1->isEnabled());
    f.ADOQuery2->cancel();

    f.ADOQuery1->next(); // a topic without subtopics
    f.updateActions();
    for (QAction *a : {f.DataSetFirst1, f.DataSetPrior1, f.DataSetNext1, f.DataSetLast1})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(f.DataSetInsert1->isEnabled());
    EXPECT_TRUE(f.Yeni1->isEnabled());
    EXPECT_EQ(f.Panels[1]->text(), QStringLiteral("-1"));

    // Find and replace have come.
    for (QAction *a : {f.Bul1, f.SonrakiniBul1, f.BulDegistir1})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(f.BtnBul->isEnabled());
    for (QAction *a : {f.MetinEkle1, f.Resim1, f.Obje1})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(f.Paragraf1->isEnabled()); // the editor's commands have come
    EXPECT_TRUE(f.BtnPrint->isEnabled());  // printing has come
    EXPECT_TRUE(f.GenelAyarlar1->isEnabled());
    EXPECT_TRUE(f.Hakkinda1->isEnabled()); // the about box has come
}

TEST(MainWindow, CloseAsksOnlyAboutAnEditedSubtopic)
{
    Program program;
    int asked = 0;
    bool answer = true;
    {
        Window w;
        w.form.askToSave = [&] {
            ++asked;
            return answer;
        };
        EXPECT_TRUE(w.form.FormClose()); // browsing: no question
        EXPECT_EQ(asked, 0);
        w.form.ADOQuery1->edit(); // only a topic title: no question either
        EXPECT_TRUE(w.form.FormClose());
        EXPECT_EQ(asked, 0);
        w.form.ADOQuery1->cancel();

        w.form.ADOQuery2->insert(); // "Yeni", then close: Yes saves the empty subtopic
        EXPECT_TRUE(w.form.FormClose());
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(w.form.ADOQuery2->recordCount(), 3);

        answer = false;
        w.form.ADOQuery2->insert();
        EXPECT_TRUE(w.form.FormClose()); // No drops it
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(w.form.ADOQuery2->recordCount(), 3);

        // A topic title typed into its box (not yet out of it) is asked about too; Yes keeps it.
        answer = true;
        w.form.DBEdit1->setFocus();
        w.form.DBEdit1->selectAll();
        QTest::keyClicks(w.form.DBEdit1, QStringLiteral("Yeni baslik"));
        EXPECT_TRUE(w.form.FormClose());
        EXPECT_EQ(asked, 3);
        EXPECT_EQ(w.form.ADOQuery1->fieldByName(QStringLiteral("Baslik"))->asString(), QStringLiteral("Yeni baslik"));
        EXPECT_EQ(w.form.ADOQuery1->state(), store::DataSetState::Browse);
        // No lets it go.
        answer = false;
        QTest::keyClicks(w.form.DBEdit1, QStringLiteral("x"));
        EXPECT_TRUE(w.form.FormClose());
        EXPECT_EQ(asked, 4);
        EXPECT_EQ(w.form.ADOQuery1->fieldByName(QStringLiteral("Baslik"))->asString(), QStringLiteral("Yeni baslik"));
    }
}

TEST(MainWindow, MenuShortcutsActOnTheEditorWhereverTheFocusIs)
{
    Program program;
    Window w;
    ui::TForm1 &f = w.form;
    f.Edit2->setText(QStringLiteral("arama")); // runs a search, which shows another body
    f.Yazi->streamInText(QStringLiteral("düzenleyicideki metin"));
    f.Yazi->setSelection(0, 11);
    f.Edit2->selectAll();
    f.Edit2->setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(f.Edit2, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("düzenleyici"));

    // With nothing selected in the editor Ctrl+C does nothing; the box's own selection is not copied.
    f.Yazi->setSelection(0, 0);
    QApplication::clipboard()->clear();
    QTest::keyClick(f.Edit2, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());

    f.PageControl1->setCurrentIndex(2);
    f.DBEdit1->setFocus();
    QTest::keyClick(f.DBEdit1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.Yazi->textCursor().selectedText(), QStringLiteral("düzenleyicideki metin"));

    QApplication::clipboard()->setText(QStringLiteral("yapıştı"));
    f.DBEdit1->selectAll();
    QTest::keyClick(f.DBEdit1, Qt::Key_V, Qt::ControlModifier); // Ctrl+V belongs to no menu item
    EXPECT_EQ(f.DBEdit1->text(), QStringLiteral("yapıştı"));

    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_TRUE(f.isVisible()); // Esc does not close the window
}

TEST(MainWindow, StatusBarTexts)
{
    Program program;
    Window w;
    ui::TForm1 &f = w.form;
    EXPECT_EQ(f.Panels[0]->text(), QStringLiteral("  Toplam 2 konu - Gösterilen  1."));
    EXPECT_EQ(f.Panels[1]->text(), QStringLiteral("1"));
    f.ADOQuery2->insert();
    EXPECT_EQ(f.Panels[1]->text(), QStringLiteral("-1"));
    f.ADOQuery2->cancel();

    f.Yazi->streamInText(QStringLiteral("ab\ncd"));
    f.Yazi->setSelection(0, 0);
    f.writeCaretPosition();
    EXPECT_EQ(f.Panels[2]->text(), QStringLiteral("  Satır:   1  Karakter:   1"));
    f.Yazi->setSelection(4, 4);
    f.writeCaretPosition();
    EXPECT_EQ(f.Panels[2]->text(), QStringLiteral("  Satır:   2  Karakter:   2"));
    f.Yazi->setModified(true);
    f.writeModifiedMark();
    EXPECT_EQ(f.Panels[2]->text(), QStringLiteral("  V E L K O R A"));
    f.HintAc(ui::TForm1::longHint(QStringLiteral("Kaydet [Ctrl+S)|Değişiklikleri kaydet")));
    EXPECT_EQ(f.Panels[2]->text(), QStringLiteral("  Değişiklikleri kaydet"));
    EXPECT_EQ(ui::TForm1::longHint(QStringLiteral("Kaydet")), QStringLiteral("Kaydet"));
    EXPECT_EQ(f.BtnKaydet->toolTip(), QStringLiteral("Kaydet [Ctrl+S)"));

    // A menu item's status tip goes to the message panel only: the other panels keep their text.
    QStatusTipEvent tip(QStringLiteral("Yeni bir kayıt ekle"));
    QApplication::sendEvent(&f, &tip);
    EXPECT_TRUE(f.statusBar()->currentMessage().isEmpty());
    EXPECT_TRUE(f.Panels[0]->isVisible());
    EXPECT_EQ(f.Panels[0]->text(), QStringLiteral("  Toplam 2 konu - Gösterilen  1."));
    // The splitter's hint shows over its bar alone, not over the panes it holds.
    f.resize(800, 480);
    QApplication::processEvents();
    QWidget *bar = f.Splitter1->handle(1);
    QCursor::setPos(bar->mapToGlobal(bar->rect().center()));
    f.checkHint();
    EXPECT_EQ(f.Panels[2]->text(), QStringLiteral("  Pencere boyutlarını ayarla"));
    for (QWidget *pane : {static_cast<QWidget *>(f.Yazi), static_cast<QWidget *>(f.DBGrid1), static_cast<QWidget *>(f.PageControl1)}) {
        QCursor::setPos(pane->mapToGlobal(pane->rect().center()));
        f.checkHint();
        EXPECT_FALSE(f.Panels[2]->text().contains(QStringLiteral("Pencere"))) << pane->objectName().toStdString();
        QCursor::setPos(bar->mapToGlobal(bar->rect().center()));
        f.checkHint();
    }

    f.Timer1Timer();
    const QLocale tr(QLocale::Turkish, QLocale::Turkey);
    EXPECT_EQ(f.Panels[3]->text(), tr.toString(QDate::currentDate(), QStringLiteral("d MMMM yyyy - dddd")) + QStringLiteral("     "));
    EXPECT_EQ(tr.toString(QDate(2025, 12, 8), QStringLiteral("d MMMM yyyy - dddd")), QStringLiteral("8 Aralık 2025 - Pazartesi"));
}

TEST(MainWindow, ViewTogglesAndReadOnlyMode)
{
    Program program;
    Window w;
    ui::TForm1 &f = w.form;
    EXPECT_FALSE(f.ToolBar3->isVisible());
    EXPECT_FALSE(f.KonuBicimlendirme1->isChecked());
    f.KonuBicimlendirme1->trigger();
    EXPECT_TRUE(f.ToolBar3->isVisible());
    EXPECT_TRUE(f.KonuBicimlendirme1->isChecked());
    f.KonuBicimlendirme1->trigger();
    EXPECT_FALSE(f.ToolBar3->isVisible());
    EXPECT_FALSE(f.KonuBicimlendirme1->isChecked());
    f.DurumCubugu1->trigger();
    EXPECT_FALSE(f.StatusBar1->isVisible());
    EXPECT_FALSE(f.DurumCubugu1->isChecked());

    f.SetReadOnly(true);
    EXPECT_TRUE(f.Yazi->property("ReadOnly").toBool());
    EXPECT_TRUE(f.DBEdit1->isReadOnly());
    EXPECT_TRUE(f.Edit2->isReadOnly());
    EXPECT_TRUE(f.Edit1->isReadOnly());
    EXPECT_TRUE(f.DBGrid1->property("ReadOnly").toBool());
    EXPECT_TRUE(f.ComboKonu1->property("ReadOnly").toBool());
    EXPECT_TRUE(f.ComboBox1->property("ReadOnly").isNull()); // the font name box has no such flag
    f.SetReadOnly(false);
    EXPECT_FALSE(f.Yazi->property("ReadOnly").toBool());
    EXPECT_FALSE(f.Edit2->isReadOnly());
    EXPECT_FALSE(f.ComboKonu1->property("ReadOnly").toBool());
}

TEST(MainWindow, EveryNamedComponentExists)
{
    Program program;
    Window w;
    for (const char *name : {"MainMenu1", "ToolBar1", "ToolBar2", "ToolBar3", "ToolBar4", "StatusBar1", "Panel2",
                             "Panel3", "Panel4", "PageControl1", "TabSheet1", "TabSheet2", "TabSheet3", "ComboKonu1",
                             "DBText1", "Edit2", "DBEdit1", "DBGrid1", "Splitter1", "Yazi", "Label34", "BtnYeni",
                             "BtnSil", "BtnDuzen", "BtnKaydet", "BtnBul", "BtnIlk", "BtnOnce", "BtnSonra", "BtnSon",
                             "BtnPrint", "BtnAyar", "BtnHelp", "BtnKEkle", "BtnKSil", "BtnKKaydet", "BtnKalin",
                             "BtnItalic", "BtnCizgi", "BtnSol", "BtnOrta", "BtnSag", "BtnYasla", "BtnMadde", "BtnUst",
                             "BtnAlt", "BtnRenk", "BtnGeri", "BtnIleri", "BtnKes", "BtnKopya", "BtnYapistir",
                             "ComboBox1", "Edit1", "BtnZemin2", "BtnYaziRenk2", "BtnKalin2", "BtnItalic2", "Timer1",
                             "ColorDialog1", "OpenDialog1", "PopupMenu"})
        EXPECT_TRUE(w.form.findChild<QObject *>(QString::fromLatin1(name))) << name;
    for (const char *name : {"Yeni1", "Sil1", "Kaydet1", "Kapat1", "Geri1", "Ileri1", "Kes1", "Kopyala1", "Yapistir1",
                             "TumunuSec1", "Bul1", "SonrakiniBul1", "BulDegistir1", "ResimOzellikleri1", "MetinEkle1",
                             "Resim1", "Obje1", "AracCubugu1", "Bicimlendirme1", "KonuBicimlendirme1", "DurumCubugu1",
                             "GenelAyarlar1", "SolaHizala1", "Ortala1", "SagaHizala1", "Paragraf1", "Yazdir1",
                             "YardimGoster1", "Hakkinda1", "DataSetFirst1", "DataSetInsert1", "KonuEkle", "KonuKaydet"})
        EXPECT_TRUE(w.form.findChild<QAction *>(QString::fromLatin1(name))) << name;
    EXPECT_EQ(w.form.Kapat1->text(), QStringLiteral("Kapat (ESC)"));
    EXPECT_EQ(w.form.Yeni1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(w.form.AracCubugu1->statusTip(), QStringLiteral("\"Araç Çubuğu\" nu göster/gizle"));
}

TEST(MessageDialogs, KindsTitlesButtonsAndCopy)
{
    std::unique_ptr<QMessageBox> box(ui::createMessageDialog(QStringLiteral("'Giriş' adlı alt konu silinsin mi?"),
                                                             ui::MessageKind::Warning, ui::ButtonYes | ui::ButtonNo));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Dikkat !"));
    QStringList captions;
    for (QAbstractButton *b : box->buttons())
        captions.append(b->text());
    EXPECT_TRUE(captions.contains(QStringLiteral("Evet")) && captions.contains(QStringLiteral("Hayır")));
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Evet"));
    EXPECT_EQ(box->escapeButton()->text(), QStringLiteral("Hayır"));
    box->show();
    QTest::keyClick(box.get(), Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.contains(QStringLiteral("Dikkat !")));
    EXPECT_TRUE(copied.contains(QStringLiteral("'Giriş' adlı alt konu silinsin mi?")));
    EXPECT_TRUE(copied.contains(QStringLiteral("Evet")));

    std::unique_ptr<QMessageBox> confirm(ui::createMessageDialog(QStringLiteral("Delete record?"), ui::MessageKind::Confirmation,
                                                                 ui::ButtonOk | ui::ButtonCancel));
    EXPECT_EQ(confirm->windowTitle(), QStringLiteral("Doğrula"));
    EXPECT_EQ(confirm->defaultButton()->text(), QStringLiteral("TAMAM"));
    EXPECT_EQ(confirm->escapeButton()->text(), QStringLiteral("İptal"));
    EXPECT_EQ(ui::messageTitle(ui::MessageKind::Error), QStringLiteral("Hata"));
    EXPECT_EQ(ui::messageTitle(ui::MessageKind::Information), QStringLiteral("Bilgi"));

    // The default error display adds a full stop only after a character that sorts after ".".
    EXPECT_EQ(ui::errorDisplayText(QStringLiteral("ADOQuery2: Cannot perform this operation on an empty dataset")),
              QStringLiteral("ADOQuery2: Cannot perform this operation on an empty dataset."));
    EXPECT_EQ(ui::errorDisplayText(QStringLiteral("Not a valid password.")), QStringLiteral("Not a valid password."));
    EXPECT_EQ(ui::errorDisplayText(QStringLiteral("Bitti!")), QStringLiteral("Bitti!"));
}

TEST(MainWindow, WebLinkHelpAndThePictureDialog)
{
    Program program;
    app::Startup startup;
    startup.maximized = false;
    ASSERT_TRUE(startup.run());
    ui::TForm1 &f = *startup.Form1;
    QUrl opened;
    f.Label34->open = [&](const QUrl &url) { opened = url; };
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(f.Label34, &enter);
    EXPECT_EQ(f.Label34->palette().color(QPalette::Window), QColor(0, 0, 255));
    EXPECT_EQ(f.Label34->palette().color(QPalette::WindowText), QColor(192, 192, 192));
    // As drawn: a blue ground and silver letters.
    const QImage hovered = f.Label34->grab().toImage();
    EXPECT_EQ(hovered.pixelColor(2, 2), QColor(0, 0, 255));
    bool silver = false;
    for (int y = 0; y < hovered.height() && !silver; ++y)
        for (int x = 0; x < hovered.width() && !silver; ++x)
            silver = hovered.pixelColor(x, y) == QColor(192, 192, 192);
    EXPECT_TRUE(silver);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(f.Label34, &leave);
    EXPECT_EQ(f.Label34->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    QTest::mouseClick(f.Label34, Qt::LeftButton);
    EXPECT_EQ(opened, QUrl(ui::WebLink::Address));

    // F1 shows the help contents wherever the focus is; context 1 is the page on password protection.
    f.Edit2->setFocus();
    QTest::keyClick(f.Edit2, Qt::Key_F1);
    ASSERT_TRUE(startup.help.window());
    EXPECT_TRUE(startup.help.window()->isVisible());
    EXPECT_EQ(startup.help.currentPage(), QStringLiteral("index.html"));
    startup.help.showContext(1);
    EXPECT_EQ(startup.help.currentPage(), QStringLiteral("sifre.html"));

    EXPECT_EQ(ui::TForm1::pictureFilter(),
              QStringLiteral("Bitmaps (*.bmp)|*.bmp|All (*.emf;*.wmf)|*.emf;*.wmf|Enhanced Metafiles (*.emf)|*.emf|"
                             "Metafiles (*.wmf)|*.wmf|All (*.jpg;*.jpeg)|*.jpg;*.jpeg|JPEG Image File (*.jpg)|*.jpg|"
                             "JPEG Image File (*.jpeg)|*.jpeg|CompuServe GIF Image (*.gif)|*.gif"));
    ASSERT_TRUE(f.PictureDialog);
    EXPECT_EQ(f.PictureDialog->nameFilters().size(), 8);
}

TEST(MainWindow, TopicButtonsShowAtTheFirstWidthAndOverflowOpensAMenu)
{
    Program program;
    Window w;
    w.form.resize(800, 480);
    w.form.PageControl1->setCurrentWidget(w.form.TabSheet3);
    QApplication::processEvents();
    for (QToolButton *b : {w.form.BtnKEkle, w.form.BtnKSil, w.form.BtnKKaydet}) {
        EXPECT_TRUE(b->isVisibleTo(&w.form)) << b->objectName().toStdString();
        EXPECT_TRUE(w.form.ToolBar4->rect().contains(b->geometry())) << b->objectName().toStdString();
    }
    EXPECT_TRUE(ui::overflowControls(w.form.ToolBar4).isEmpty());
    // The formatting toolbar squeezed: what does not fit is offered by its overflow button.
    w.form.ToolBar2->setFixedWidth(120);
    QApplication::processEvents();
    const QList<QWidget *> hidden = ui::overflowControls(w.form.ToolBar2);
    ASSERT_FALSE(hidden.isEmpty());
    EXPECT_TRUE(hidden.contains(w.form.BtnYapistir));
    auto *extension = w.form.ToolBar2->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"));
    ASSERT_TRUE(extension && extension->isVisible());
    QMenu menu;
    ui::fillOverflowMenu(w.form.ToolBar2, &menu);
    QStringList names;
    for (QAction *a : menu.actions())
        names << a->text();
    EXPECT_TRUE(names.contains(QStringLiteral("Yapıştır"))) << names.join(u'|').toStdString();
    // Choosing an entry runs its button: the paste command.
    w.form.Yazi->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("yapıştırılan"));
    w.form.updateActions();
    for (QAction *a : menu.actions()) {
        if (a->text() == QStringLiteral("Yapıştır"))
            a->trigger();
    }
    EXPECT_TRUE(w.form.Yazi->toPlainText().contains(QStringLiteral("yapıştırılan")));
}

TEST(MainWindow, F10AndAltAloneReachTheMenuBarFromTheKeyboard)
{
    Program program;
    Window w;
    QApplication::setActiveWindow(&w.form);
    w.form.Yazi->setFocus();
    for (const bool f10 : {true, false}) {
        if (f10) {
            QTest::keyClick(w.form.Yazi, Qt::Key_F10);
        } else {
            QTest::keyPress(w.form.Yazi, Qt::Key_Alt, Qt::AltModifier);
            QTest::keyRelease(w.form.Yazi, Qt::Key_Alt);
        }
        ASSERT_TRUE(w.form.MainMenu1->activeAction()) << (f10 ? "F10" : "Alt");
        EXPECT_EQ(w.form.MainMenu1->activeAction()->text(), QStringLiteral("Dosya"));
        QTest::keyClick(w.form.MainMenu1, Qt::Key_Escape);
        EXPECT_FALSE(w.form.MainMenu1->activeAction());
    }
}

// The dialogs with a fixed border carry only the system menu and close (no minimise or maximise),
// and a message box shown before any window (at start-up) stands in the middle of the screen.
TEST(MessageDialogs, FixedBorderDialogsOfferOnlyCloseAndStartUpBoxesAreCentred)
{
    WorkingBook book({{QStringLiteral("Konu"), {}}});
    ui::TForm1 form;
    QTemporaryDir dir;
    settings::TAyarFrm general(&form, dir.filePath(QStringLiteral("win.ini")));
    settings::TGetPassWdFrm enter;
    settings::TPassWdFrm change;
    ui::TAbout about;
    editor::TParagraf paragraph(true);
    std::unique_ptr<QMessageBox> box(ui::createMessageDialog(QStringLiteral("Kitap açılamadı"), ui::MessageKind::Error, ui::ButtonOk));
    for (QWidget *w : std::initializer_list<QWidget *>{&general, &enter, &change, &about, &paragraph, box.get()}) {
        const Qt::WindowFlags f = w->windowFlags();
        EXPECT_TRUE(f & Qt::CustomizeWindowHint) << w->windowTitle().toStdString();
        EXPECT_TRUE(f & Qt::WindowSystemMenuHint) << w->windowTitle().toStdString();
        EXPECT_TRUE(f & Qt::WindowCloseButtonHint) << w->windowTitle().toStdString();
        EXPECT_FALSE(f & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)) << w->windowTitle().toStdString();
    }
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((box->geometry().center() - screen.center()).manhattanLength(), 2);
}
