// The main window: layout, menus, toolbars and status bar.
#include "tform1.h"

#include "glyphs.h"
#include "messagedialogs.h"
#include "dbcontrols.h"
#include "readonlycontrols.h"
#include "subtopiclistmodel.h"
#include "topicselector.h"
#include "toolbaroverflow.h"
#include "ui/about/tabout.h"
#include "tsrdbgrid.h"

#include "platform/database/database.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QSplitter>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace velkora::ui {

namespace {

// Sky blue, silver, blue and the other colours of the layout (red, green, blue).
const QColor SkyBlue(166, 202, 240);
const QColor Silver(192, 192, 192);
const QColor Blue(0, 0, 255);

void setHint(QWidget *w, const QString &hint, bool tooltip)
{
    w->setProperty("hint", hint);
    if (tooltip && !hint.isEmpty())
        w->setToolTip(TForm1::shortHint(hint));
}

} // namespace

const QString WebLink::Host = QStringLiteral("www.velkora.org");
const QString WebLink::Address = QStringLiteral("https://www.velkora.org/");

WebLink::WebLink(QWidget *parent) : QLabel(Host, parent)
{
    setObjectName(QStringLiteral("Label34"));
    setFixedSize(245, 22);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(true);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(10);
    setFont(f);
    paint(palette().color(QPalette::Button));
    open = [](const QUrl &url) { QDesktopServices::openUrl(url); };
}

void WebLink::paint(const QColor &background)
{
    m_background = background;
    update();
    QPalette p = palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, Silver);
    setPalette(p);
}

void WebLink::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), m_background);
    p.setPen(Silver);
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter, text());
}

void WebLink::enterEvent(QEnterEvent *event)
{
    paint(Blue);
    QLabel::enterEvent(event);
}

void WebLink::leaveEvent(QEvent *event)
{
    paint(QApplication::palette().color(QPalette::Button));
    QLabel::leaveEvent(event);
}

void WebLink::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && open)
        open(QUrl(Address)); // whatever the shell does with it is the shell's
    QLabel::mouseReleaseEvent(event);
}

QString TForm1::longHint(const QString &hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

QString TForm1::shortHint(const QString &hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.left(bar);
}

TForm1::TForm1(QWidget *parent, const QString &bookConnection)
    : QMainWindow(parent),
      Book(new store::BookStore(this, bookConnection.isEmpty() ? store::BookStore::ConnectionString : bookConnection)),
      ADOConnection1(Book->ADOConnection1),
      ADOQuery1(Book->ADOQuery1),
      ADOQuery2(Book->ADOQuery2),
      DataSource1(Book->DataSource1),
      DataSource2(Book->DataSource2)
{
    setObjectName(QStringLiteral("Form1"));
    resize(815, 481);
    setMinimumSize(665, 400);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    setFont(font);
    askToSave = [this] { return askSaveChanges(this); };
    ask = [this](const QString &message, MessageKind kind, int buttons) { return messageDlg(message, kind, buttons, this); };
    bookTitle = [] { return QStringLiteral("Dilbilgisi Kitabı"); };

    buildActions();
    buildPanels();
    buildMenus();
    buildToolbars();
    buildStatusBar();

    ADOQuery1->afterScroll = [this](store::DataSet &) { ADOQuery1AfterScroll(); };
    ADOQuery2->afterScroll = [this](store::DataSet &) { ADOQuery2AfterScroll(); };
    editor::EditorControls controls;
    controls.editor = Yazi;
    controls.BtnKalin = BtnKalin;
    controls.BtnItalic = BtnItalic;
    controls.BtnCizgi = BtnCizgi;
    controls.BtnUst = BtnUst;
    controls.BtnAlt = BtnAlt;
    controls.BtnMadde = BtnMadde;
    controls.BtnSol = BtnSol;
    controls.BtnOrta = BtnOrta;
    controls.BtnSag = BtnSag;
    controls.BtnYasla = BtnYasla;
    controls.ComboBox1 = ComboBox1;
    controls.Edit1 = Edit1;
    controls.Geri1 = Geri1;
    controls.Ileri1 = Ileri1;
    controls.SolaHizala1 = SolaHizala1;
    controls.Ortala1 = Ortala1;
    controls.SagaHizala1 = SagaHizala1;
    controls.messagePanel = Panels[2];
    YaziCommands = new editor::EditorCommands(controls, this);
    YaziCommands->chooseColor = [this](QColor &color) { return chooseColor && chooseColor(color); };
    YaziCommands->updateCommands = [this] { updateActions(); };
    connect(Yazi, &richedit::RichEditControl::selectionChange, this,
            [this] { guarded([this] { YaziCommands->SelectionChange(); }, this); });
    Yazi->OnChange = [this] { YaziCommands->YaziChange(); };
    YaziFind = new editor::FindReplace(Yazi);
    YaziFind->showWarning = [this](const QString &message) { ask(message, MessageKind::Warning, ButtonOk); };
    YaziFind->OnCloseFindDialog = [this] { EditFindDialogClose(); };
    YaziFind->SelectionChange = [this] { YaziCommands->SelectionChange(); };
    YaziInsert = new editor::InsertCommands(Yazi);
    YaziInsert->chooseTextFile = [this] { return editor::chooseFile(OpenDialog1); };
    YaziInsert->choosePicture = [this] { return editor::chooseFile(PictureDialog); };
    YaziObjects = new editor::ObjectCommands(Yazi);
    Yazi->onObjectDoubleClick = [this] { guarded([this] { YaziObjects->doVerb(0); }, this); };

    // The connection opens while the layout loads; a failure is shown and start-up goes on.
    guarded([this] { Book->connect(); }, this);
    tellAboutTheBookFile();
    // Saving waits for another program that is writing the book: the wait is shown while it lasts.
    database::Database::setWaitObserver([this](const QString &, const QString &holder) {
        if (QThread::currentThread() != thread())
            return;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        Panels[2]->setText(QStringLiteral("  Kitap başka bir program tarafından kullanılıyor%1; bekleniyor...")
                               .arg(holder.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder)));
        Panels[2]->repaint();
        QTimer::singleShot(0, this, [] { QApplication::restoreOverrideCursor(); });
    });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();

    // Enabled states and the hint follow the program each time it becomes idle.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            updateActions();
            checkHint();
        });
    qApp->installEventFilter(this);
    FormCreate();
}

TForm1::~TForm1()
{
    // The controls hear the queries close as the window's children go; none of it may reach the
    // window's own handlers, whose actions are going too.
    qApp->removeEventFilter(this);
    database::Database::setWaitObserver(nullptr);
    for (QObject *child : findChildren<QObject *>())
        disconnect(child, nullptr, this, nullptr);
    Yazi->OnChange = nullptr;
    Yazi->setDataSource(nullptr);
    ADOQuery1->afterScroll = nullptr;
    ADOQuery2->afterScroll = nullptr;
}

QAction *TForm1::menuItem(QMenu *menu, const char *name, const QString &caption, const QString &hint,
                          const QKeySequence &shortcut)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setStatusTip(hint);
    a->setProperty("hint", hint);
    if (!shortcut.isEmpty()) {
        a->setShortcut(shortcut);
        // The window dispatches menu shortcuts itself (dispatchShortcut); Qt's own handling would
        // let a disabled item's key through to the focused control.
        a->setShortcutContext(Qt::WidgetShortcut);
    }
    connect(a, &QAction::hovered, this, [this, a] { HintAc(longHint(a->property("hint").toString())); });
    if (menu)
        menu->addAction(a);
    return a;
}

void TForm1::wire(QAction *item, QAction *command)
{
    connect(item, &QAction::triggered, command, &QAction::trigger);
    m_links.emplace_back(item, command);
}

void TForm1::command(QAction *action, std::function<void()> run, std::function<bool()> enabled)
{
    connect(action, &QAction::triggered, this, [this, run = std::move(run)] { guarded(run, this); });
    m_commands.push_back({action, std::move(enabled)});
}

void TForm1::hookCommand(QAction *action, const std::function<void()> *hook, std::function<bool()> alsoEnabled)
{
    command(action, [hook] {
        if (*hook)
            (*hook)();
    }, [hook, alsoEnabled = std::move(alsoEnabled)] { return bool(*hook) && (!alsoEnabled || alsoEnabled()); });
}

void TForm1::notYet(QAction *action)
{
    // The command exists in the layout; what it does comes with its own part of the program.
    action->setEnabled(false);
    m_notYet.append(action);
}

void TForm1::buildActions()
{
    const auto dataset = [this](const char *name, const QString &caption) {
        auto *a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    DataSetFirst1 = dataset("DataSetFirst1", QStringLiteral("İlk"));
    DataSetPrior1 = dataset("DataSetPrior1", QStringLiteral("Önceki"));
    DataSetNext1 = dataset("DataSetNext1", QStringLiteral("Sonraki"));
    DataSetLast1 = dataset("DataSetLast1", QStringLiteral("Son"));
    DataSetInsert1 = dataset("DataSetInsert1", QStringLiteral("Yeni"));
    DataSetEdit1 = dataset("DataSetEdit1", QStringLiteral("Düzenle"));
    DataSetPost1 = dataset("DataSetPost1", QStringLiteral("Kaydet"));
    KonuEkle = dataset("KonuEkle", QStringLiteral("Konu Ekle"));
    KonuKaydet = dataset("KonuKaydet", QStringLiteral("Konu Kaydet"));

    // The enabled rules of the dataset actions: a closed query disables all of them.
    const auto open = [](store::Query *q) { return q->active(); };
    const auto editing = [](store::Query *q) {
        return q->state() == store::DataSetState::Edit || q->state() == store::DataSetState::Insert;
    };
    command(DataSetFirst1, [this] { ADOQuery2->first(); }, [=, this] { return open(ADOQuery2) && !ADOQuery2->bof(); });
    command(DataSetPrior1, [this] { ADOQuery2->prior(); }, [=, this] { return open(ADOQuery2) && !ADOQuery2->bof(); });
    command(DataSetNext1, [this] { ADOQuery2->next(); }, [=, this] { return open(ADOQuery2) && !ADOQuery2->eof(); });
    command(DataSetLast1, [this] { ADOQuery2->last(); }, [=, this] { return open(ADOQuery2) && !ADOQuery2->eof(); });
    command(DataSetInsert1, [this] { ADOQuery2->insert(); }, [this] { return ADOQuery2->canModify(); });
    command(DataSetEdit1, [this] { ADOQuery2->edit(); },
            [=, this] { return ADOQuery2->canModify() && !editing(ADOQuery2); });
    command(DataSetPost1, [this] { ADOQuery2->post(); }, [=, this] { return ADOQuery2->canModify() && editing(ADOQuery2); });
    command(KonuEkle, [this] { ADOQuery1->insert(); }, [this] { return ADOQuery1->canModify(); });
    command(KonuKaydet, [this] { ADOQuery1->post(); }, [=, this] { return ADOQuery1->canModify() && editing(ADOQuery1); });
}

void TForm1::buildMenus()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    const auto menu = [this](const char *name, const QString &title) {
        QMenu *m = MainMenu1->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    Dosya1 = menu("Dosya1", QStringLiteral("Dosya"));
    Yeni1 = menuItem(Dosya1, "Yeni1", QStringLiteral("Yeni"), QStringLiteral("Yeni kayıt ekle"), QKeySequence(Qt::CTRL | Qt::Key_N));
    Yeni1->setIcon(glyph(QStringLiteral("new")));
    wire(Yeni1, DataSetInsert1);
    Sil1 = menuItem(Dosya1, "Sil1", QStringLiteral("Sil"), QStringLiteral("Aktif kaydı sil"));
    Sil1->setIcon(glyph(QStringLiteral("delete")));
    command(Sil1, [this] { BtnSilClick(); });
    Kaydet1 = menuItem(Dosya1, "Kaydet1", QStringLiteral("Kaydet"), QStringLiteral("Değişiklikleri kaydet"), QKeySequence(Qt::CTRL | Qt::Key_S));
    Kaydet1->setIcon(glyph(QStringLiteral("save")));
    wire(Kaydet1, DataSetPost1);
    Dosya1->addSeparator();
    Yedekler1 = menuItem(Dosya1, "Yedekler1", QStringLiteral("Yedekler..."),
                         QStringLiteral("Kitabın yedeklerini listele, aç, geri yükle"));
    hookCommand(Yedekler1, &YedeklerClick, [this] { return ADOConnection1->connected(); });
    Dosya1->addSeparator();
    Kapat1 = menuItem(Dosya1, "Kapat1", QStringLiteral("Kapat (ESC)"), QStringLiteral("Programı kapat"));
    command(Kapat1, [this] { Kapat1Click(); });

    Dzen1 = menu("Dzen1", QStringLiteral("Düzen"));
    Geri1 = menuItem(Dzen1, "Geri1", QStringLiteral("Geri"), QStringLiteral("İşlemi geri al"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    Geri1->setIcon(glyph(QStringLiteral("undo")));
    command(Geri1, [this] { YaziCommands->Geri1Click(); }, [this] { return YaziCommands->undoEnabled(); });
    Ileri1 = menuItem(Dzen1, "Ileri1", QStringLiteral("İleri"), QStringLiteral("İşlemi ileri al"), QKeySequence(Qt::CTRL | Qt::Key_Y));
    Ileri1->setIcon(glyph(QStringLiteral("redo")));
    command(Ileri1, [this] { YaziCommands->Ileri1Click(); }, [this] { return YaziCommands->redoEnabled(); });
    Dzen1->addSeparator();
    Kes1 = menuItem(Dzen1, "Kes1", QStringLiteral("Kes"), QStringLiteral("Panoya al"), QKeySequence(Qt::CTRL | Qt::Key_X));
    Kes1->setIcon(glyph(QStringLiteral("cut")));
    Kopyala1 = menuItem(Dzen1, "Kopyala1", QStringLiteral("Kopyala"), QStringLiteral("Panoya kopyala"), QKeySequence(Qt::CTRL | Qt::Key_C));
    Kopyala1->setIcon(glyph(QStringLiteral("copy")));
    Yapistir1 = menuItem(Dzen1, "Yapistir1", QStringLiteral("Yapıştır"), QStringLiteral("Panodan yapıştır"));
    Yapistir1->setIcon(glyph(QStringLiteral("paste")));
    TumunuSec1 = menuItem(Dzen1, "TumunuSec1", QStringLiteral("Tümünü Seç"), QStringLiteral("Tümünü seç"), QKeySequence(Qt::CTRL | Qt::Key_A));
    const auto hasSelection = [this] { return Yazi->textCursor().hasSelection(); };
    command(Kes1, [this] { BtnKesClick(); }, hasSelection);
    command(Kopyala1, [this] { BtnKopyaClick(); }, hasSelection);
    command(Yapistir1, [this] { BtnYapistirClick(); });
    command(TumunuSec1, [this] { TumunuSec1Click(); });
    Dzen1->addSeparator();
    Bul1 = menuItem(Dzen1, "Bul1", QStringLiteral("Bul"), QStringLiteral("Metin içerisinde ara"), QKeySequence(Qt::CTRL | Qt::Key_F));
    Bul1->setIcon(glyph(QStringLiteral("find")));
    command(Bul1, [this] { YaziFind->Bul1Click(); });
    SonrakiniBul1 = menuItem(Dzen1, "SonrakiniBul1", QStringLiteral("Sonrakini Bul"), QStringLiteral("Aramayı sürdür"), QKeySequence(Qt::Key_F3));
    command(SonrakiniBul1, [this] { YaziFind->SonrakiniBul1Click(); });
    BulDegistir1 = menuItem(Dzen1, "BulDegistir1", QStringLiteral("Bul Değiştir"), QStringLiteral("Bul ve değiştir"), QKeySequence(Qt::CTRL | Qt::Key_D));
    command(BulDegistir1, [this] { YaziFind->BulDegistir1Click(); });
    KitaptaAra1 = menuItem(Dzen1, "KitaptaAra1", QStringLiteral("Kitapta Ara..."), QStringLiteral("Bütün altkonuların metinlerinde ara"),
                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    KitaptaAra1->setIcon(glyph(QStringLiteral("find")));
    command(KitaptaAra1, [this] {
        if (KitaptaAraClick)
            KitaptaAraClick(PageControl1->currentWidget() == TabSheet2 ? Edit2->text() : Yazi->textCursor().selectedText());
    }, [this] { return bool(KitaptaAraClick); });
    OncekiSurumler1 = menuItem(Dzen1, "OncekiSurumler1", QStringLiteral("Önceki Sürümler..."),
                               QStringLiteral("Bu altkonunun kaydedilmiş önceki sürümleri"));
    hookCommand(OncekiSurumler1, &OncekiSurumlerClick, [this] { return ADOQuery2->active() && !ADOQuery2->isEmpty(); });
    Silinenler1 = menuItem(Dzen1, "Silinenler1", QStringLiteral("Silinenler..."), QStringLiteral("Silinen altkonuları ve konuları geri getir"));
    hookCommand(Silinenler1, &SilinenlerClick, [this] { return ADOConnection1->connected() && !Yazi->readOnly(); });
    BtnKitaptaAra->setDefaultAction(KitaptaAra1);
    BtnKitaptaAra->setToolTip(QStringLiteral("Kitapta Ara (Ctrl+Shift+F): bütün altkonuların metinlerinde ara"));
    Dzen1->addSeparator();
    ResimOzellikleri1 = menuItem(Dzen1, "ResimOzellikleri1", QStringLiteral("Resim Özellikleri"), QStringLiteral("Resim Özellikleri"));
    command(ResimOzellikleri1, [this] { YaziObjects->ResimOzellikleri1Click(); },
            [this] { return YaziObjects->objectSelected(); });

    Ekle1 = menu("Ekle1", QStringLiteral("Ekle"));
    MetinEkle1 = menuItem(Ekle1, "MetinEkle1", QStringLiteral("Metin Ekle"), QStringLiteral("Dosyadan metin ekle"));
    MetinEkle1->setIcon(glyph(QStringLiteral("text-file")));
    command(MetinEkle1, [this] { YaziInsert->MetinEkle1Click(); });
    Ekle1->addSeparator();
    Resim1 = menuItem(Ekle1, "Resim1", QStringLiteral("Resim"), QString());
    command(Resim1, [this] { YaziInsert->InsertBitmap(); });
    Obje1 = menuItem(Ekle1, "Obje1", QStringLiteral("Obje"), QString());
    command(Obje1, [this] { YaziObjects->InsertObject(); });

    Araubuklar1 = menu("Araubuklar1", QStringLiteral("Görünüm"));
    const auto toggle = [this](const char *name, const QString &caption, const QString &target, bool ticked) {
        QAction *a = menuItem(Araubuklar1, name, caption, QStringLiteral("\"%1\" nu göster/gizle").arg(target));
        a->setCheckable(true);
        a->setChecked(ticked);
        return a;
    };
    AracCubugu1 = toggle("AracCubugu1", QStringLiteral("Araç Çubuğu"), QStringLiteral("Araç Çubuğu"), true);
    Bicimlendirme1 = toggle("Bicimlendirme1", QStringLiteral("Biçimlendirme"), QStringLiteral("Biçimlendirme Araç Çubuğu"), true);
    KonuBicimlendirme1 = toggle("KonuBicimlendirme1", QStringLiteral("Konu Biçimlendirme"),
                                QStringLiteral("Konu Biçimlendirme Araç Çubuğu"), false);
    Araubuklar1->addSeparator();
    DurumCubugu1 = toggle("DurumCubugu1", QStringLiteral("Durum Çubuğu"), QStringLiteral("Durum Çubuğu"), true);
    // A toggle's own click flips the check mark before the handler runs; the handler sets it from
    // the target, which is what counts.
    command(AracCubugu1, [this] { AracCubugu1Click(); });
    command(Bicimlendirme1, [this] { Bicimlendirme1Click(); });
    command(KonuBicimlendirme1, [this] { KonuBicimlendirme1Click(); });
    command(DurumCubugu1, [this] { DurumCubugu1Click(); });
    Araubuklar1->addSeparator();
    YazimDenetimi1 = menuItem(Araubuklar1, "YazimDenetimi1", QStringLiteral("Yazım Denetimi"),
                              QStringLiteral("Metindeki bilinmeyen kelimeleri işaretle"));
    YazimDenetimi1->setCheckable(true);
    YazimDenetimi1->setChecked(true);
    // Off in read-only mode; the program says when the dictionary is missing.
    command(YazimDenetimi1, [this] {
        if (YazimDenetimiClick)
            YazimDenetimiClick();
    }, [this] { return YazimDenetimiAvailable && YazimDenetimiAvailable() && !Yazi->readOnly(); });
    Araubuklar1->addSeparator();
    GenelAyarlar1 = menuItem(Araubuklar1, "GenelAyarlar1", QStringLiteral("Genel Ayarlar..."),
                             QStringLiteral("Görünüm ve başlangıç ayarları penceresini aç"));
    command(GenelAyarlar1, [this] {
        if (BtnAyarClick)
            BtnAyarClick();
    });

    Biim1 = menu("Biim1", QStringLiteral("Paragraf"));
    SolaHizala1 = menuItem(Biim1, "SolaHizala1", QStringLiteral("Sola Hizala"), QStringLiteral("Metni sola hizala"), QKeySequence(Qt::CTRL | Qt::Key_L));
    Ortala1 = menuItem(Biim1, "Ortala1", QStringLiteral("Ortala"), QStringLiteral("Metni ortala"), QKeySequence(Qt::CTRL | Qt::Key_R));
    SagaHizala1 = menuItem(Biim1, "SagaHizala1", QStringLiteral("Sağa Hizala"), QStringLiteral("Metni sağa hizala"));
    Biim1->addSeparator();
    Paragraf1 = menuItem(Biim1, "Paragraf1", QStringLiteral("Paragraf Ayarları..."), QString(), QKeySequence(Qt::CTRL | Qt::Key_P));
    for (QAction *a : {SolaHizala1, Ortala1, SagaHizala1})
        a->setCheckable(true); // the check marks follow the alignment after each change of the content
    command(SolaHizala1, [this] { YaziCommands->setAlignment(0); });
    command(Ortala1, [this] { YaziCommands->setAlignment(2); });
    command(SagaHizala1, [this] { YaziCommands->setAlignment(1); });
    command(Paragraf1, [this] { YaziCommands->Paragraf1Click(); });

    Rapor1 = menu("Rapor1", QStringLiteral("Rapor"));
    Yazdir1 = menuItem(Rapor1, "Yazdir1", QStringLiteral("Yazdırma Tercihleri..."), QStringLiteral("Aktif konu yazıcı önizleme penceresini aç"));
    command(Yazdir1, [this] {
        if (BtnPrintClick)
            BtnPrintClick();
    });
    KitabiDisaAktar1 = menuItem(Rapor1, "KitabiDisaAktar1", QStringLiteral("Kitabı Dışa Aktar..."),
                                QStringLiteral("Kitabı PDF, e-kitap (EPUB) ya da web sayfası (HTML) olarak kaydet"));
    hookCommand(KitabiDisaAktar1, &KitabiDisaAktarClick, [this] { return ADOConnection1->connected(); });

    Yardm1 = menu("Yardm1", QStringLiteral("Yardım"));
    YardimGoster1 = menuItem(Yardm1, "YardimGoster1", QStringLiteral("Yardım Göster..."), QStringLiteral("Yardımı göster"), QKeySequence(Qt::Key_F1));
    YardimGoster1->setIcon(glyph(QStringLiteral("help")));
    command(YardimGoster1, [this] { BtnHelpClick(); });
    Yardm1->addSeparator();
    Hakkinda1 = menuItem(Yardm1, "Hakkinda1", QStringLiteral("Hakkında..."), QStringLiteral("Program hakkında"));
    command(Hakkinda1, [this] { Hakkinda1Click(); });

    // The editor's context menu: no hints.
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    PopupKes = menuItem(PopupMenu, "PopupKes", QStringLiteral("Kes"), QString(), QKeySequence(Qt::CTRL | Qt::Key_X));
    PopupKopyala = menuItem(PopupMenu, "PopupKopyala", QStringLiteral("Kopyala"), QString(), QKeySequence(Qt::CTRL | Qt::Key_C));
    PopupYapistir = menuItem(PopupMenu, "PopupYapistir", QStringLiteral("Yapıştır"), QString());
    PopupMenu->addSeparator();
    PopupTumunuSec = menuItem(PopupMenu, "PopupTumunuSec", QStringLiteral("Tümünü Seç"), QString(), QKeySequence(Qt::CTRL | Qt::Key_A));
    PopupMenu->addSeparator();
    PopupOncekiSurumler = menuItem(PopupMenu, "PopupOncekiSurumler", QStringLiteral("Önceki Sürümler..."), QString());
    wire(PopupOncekiSurumler, OncekiSurumler1);
    wire(PopupKes, Kes1);
    wire(PopupKopyala, Kopyala1);
    wire(PopupYapistir, Yapistir1);
    wire(PopupTumunuSec, TumunuSec1);
    Yazi->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Yazi, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) {
                // A selected object adds its properties and verbs for this opening of the menu.
                QList<QAction *> added = YaziObjects->addContextItems(PopupMenu);
                // A marked word's corrections go first.
                if (spellContextItems)
                    added += spellContextItems(PopupMenu, at);
                PopupMenu->exec(Yazi->mapToGlobal(at));
                for (QAction *a : added) {
                    PopupMenu->removeAction(a);
                    a->deleteLater();
                }
            });
    // Pictures beside the captions only where the layout has them.
    for (QAction *a : findChildren<QAction *>())
        a->setIconVisibleInMenu(!a->icon().isNull());
}

QToolButton *TForm1::toolButton(QToolBar *bar, const char *name, const QString &glyphName, const QString &hint,
                                bool tooltip, QAction *action, bool checkable)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setIcon(glyph(glyphName));
    b->setIconSize(QSize(16, 16));
    b->setCheckable(checkable);
    setHint(b, hint, tooltip);
    if (action) {
        // The button shows the command's state and runs it.
        connect(b, &QToolButton::clicked, action, &QAction::trigger);
        m_links.emplace_back(nullptr, action);
        b->setProperty("command", QVariant::fromValue<QObject *>(action));
    }
    bar->addWidget(b);
    return b;
}

void TForm1::buildToolbars()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFixedHeight(34);
    ToolBar1->setMovable(false);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    BtnYeni = toolButton(ToolBar1, "BtnYeni", QStringLiteral("new"), QStringLiteral("Yeni (Ctrl+N)|Yeni kayıt ekle"), true, DataSetInsert1);
    BtnSil = toolButton(ToolBar1, "BtnSil", QStringLiteral("delete"), QStringLiteral("Sil |Aktif kaydı sil"), true, Sil1);
    BtnDuzen = toolButton(ToolBar1, "BtnDuzen", QStringLiteral("edit"), QStringLiteral("Düzenle |Aktif kaydı düzenle"), true, DataSetEdit1);
    BtnKaydet = toolButton(ToolBar1, "BtnKaydet", QStringLiteral("save"), QStringLiteral("Kaydet [Ctrl+S)|Değişiklikleri kaydet"), true, DataSetPost1);
    ToolBar1->addSeparator();
    auto *find = new QAction(this);
    command(find, [this] { YaziFind->Bul1Click(); });
    BtnBul = toolButton(ToolBar1, "BtnBul", QStringLiteral("find"), QStringLiteral("Sözcük Bul (Ctrl+F)|Metin içerisinde ara"), true, find);
    ToolBar1->addSeparator();
    BtnIlk = toolButton(ToolBar1, "BtnIlk", QStringLiteral("first"), QStringLiteral("İlk Kayıt |İlk kayda git"), true, DataSetFirst1);
    BtnOnce = toolButton(ToolBar1, "BtnOnce", QStringLiteral("prior"), QStringLiteral("Önceki |Bir önceki kayda git"), true, DataSetPrior1);
    BtnSonra = toolButton(ToolBar1, "BtnSonra", QStringLiteral("next"), QStringLiteral("Sonraki |Bir sonraki kayda git"), true, DataSetNext1);
    BtnSon = toolButton(ToolBar1, "BtnSon", QStringLiteral("last"), QStringLiteral("Son Kayıt |Son kayda git"), true, DataSetLast1);
    ToolBar1->addSeparator();
    BtnPrint = toolButton(ToolBar1, "BtnPrint", QStringLiteral("print"), QStringLiteral("Yazdır (Ctlr+P)|Aktif konu yazıcı önizleme penceresini aç"), true, Yazdir1);
    ToolBar1->addSeparator();
    BtnAyar = toolButton(ToolBar1, "BtnAyar", QStringLiteral("settings"), QStringLiteral("Ayarlar |Görünüm ve başlangıç ayarları"), true, GenelAyarlar1);
    ToolBar1->addSeparator();
    auto *help = new QAction(this);
    command(help, [this] { BtnHelpClick(); });
    BtnHelp = toolButton(ToolBar1, "BtnHelp", QStringLiteral("help"), QStringLiteral("Yardım |Yardım konularını aç"), true, help);
    Label34 = new WebLink(ToolBar1);
    setHint(Label34, QStringLiteral("Paylaşım Platformu"), true);
    ToolBar1->addWidget(Label34);

    // The formatting toolbar under the editor; its commands come with the formatting part.
    ToolBar2 = new QToolBar(Panel3);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setFixedHeight(25);
    setHint(ToolBar2, QStringLiteral("Buton ayarlarını \"Ayarlar\" menüsünden yapın"), false);
    // Each button runs its own command of the editor's; a check button has toggled when it runs.
    const auto run = [this](void (editor::EditorCommands::*handler)()) {
        auto *a = new QAction(this);
        command(a, [this, handler] { (YaziCommands->*handler)(); });
        return a;
    };
    using EC = editor::EditorCommands;
    BtnKalin = toolButton(ToolBar2, "BtnKalin", QStringLiteral("bold"), QStringLiteral("Kalın |Kalın yazı stili"), true, run(&EC::BtnKalinClick), true);
    BtnItalic = toolButton(ToolBar2, "BtnItalic", QStringLiteral("italic"), QStringLiteral("İtalik Yazı |İtalik yazı stili"), true, run(&EC::BtnItalicClick), true);
    BtnCizgi = toolButton(ToolBar2, "BtnCizgi", QStringLiteral("underline"), QStringLiteral("Alt Çizgili |Alt çizgili yazı stili"), true, run(&EC::BtnCizgiClick), true);
    ToolBar2->addSeparator();
    const auto align = [this](int alignment) {
        auto *a = new QAction(this);
        command(a, [this, alignment] { YaziCommands->setAlignment(alignment); });
        return a;
    };
    BtnSol = toolButton(ToolBar2, "BtnSol", QStringLiteral("align-left"), QStringLiteral("Sola Hizala |Metni sola hizala"), true, align(0), true);
    BtnOrta = toolButton(ToolBar2, "BtnOrta", QStringLiteral("align-center"), QStringLiteral("Ortala |Metni ortala"), true, align(2), true);
    BtnSag = toolButton(ToolBar2, "BtnSag", QStringLiteral("align-right"), QStringLiteral("Sağa Hizala |Metni sağa hizala"), true, align(1), true);
    BtnYasla = toolButton(ToolBar2, "BtnYasla", QStringLiteral("justify"), QStringLiteral("Yasla |Metni iki yana hizala"), true, align(3), true);
    ToolBar2->addSeparator();
    BtnMadde = toolButton(ToolBar2, "BtnMadde", QStringLiteral("bullet"), QStringLiteral("Madde İmi |Metne madde imi uygula"), true, run(&EC::BtnMaddeClick), true);
    ToolBar2->addSeparator();
    BtnUst = toolButton(ToolBar2, "BtnUst", QStringLiteral("superscript"), QStringLiteral("Üst Karakter |Üst karakter stili"), true, run(&EC::BtnUstClick), true);
    BtnAlt = toolButton(ToolBar2, "BtnAlt", QStringLiteral("subscript"), QStringLiteral("Alt Karakter |Alt karakter stili"), true, run(&EC::BtnAltClick), true);
    ToolBar2->addSeparator();
    BtnRenk = toolButton(ToolBar2, "BtnRenk", QStringLiteral("color"), QStringLiteral("Renk |Renk uygula"), true, run(&EC::BtnRenkClick));
    ToolBar2->addSeparator();
    BtnGeri = toolButton(ToolBar2, "BtnGeri", QStringLiteral("undo"), QStringLiteral("Geri Al (Ctrl+Z)|İşlemi geri al"), true, Geri1);
    BtnIleri = toolButton(ToolBar2, "BtnIleri", QStringLiteral("redo"), QStringLiteral("İleri Al (Ctrl+Y)|İşlemi tekrarla"), true, Ileri1);
    ToolBar2->addSeparator();
    BtnKes = toolButton(ToolBar2, "BtnKes", QStringLiteral("cut"), QStringLiteral("Kes (Ctrl+X)|Panoya al"), true, Kes1);
    BtnKopya = toolButton(ToolBar2, "BtnKopya", QStringLiteral("copy"), QStringLiteral("Kopyala (Ctrl+C)|Panoya kopyala"), true, Kopyala1);
    BtnYapistir = toolButton(ToolBar2, "BtnYapistir", QStringLiteral("paste"), QStringLiteral("Yapıştır (Ctrl+V)|Panodan yapıştır"), true, Yapistir1);
    ComboBox1 = new editor::TFontComboBox(ToolBar2);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setFixedWidth(editor::TFontComboBox::DropDownWidth);
    setHint(ComboBox1, QStringLiteral("Yazı Stili |Yazı stili seç"), true);
    connect(ComboBox1, &editor::TFontComboBox::fontNameChanged, this, [this] { guarded([this] { YaziCommands->ComboBox1Change(); }, this); });
    ToolBar2->addWidget(ComboBox1);
    Edit1 = new editor::TSpinEdit(ToolBar2);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFixedWidth(40);
    Edit1->setRange(6, 25);
    Edit1->setValue(10);
    setHint(Edit1, QStringLiteral("Yazı Boyutu |Yazı boyutu ayarla"), true);
    connect(Edit1, &editor::TSpinEdit::valueChanged, this, [this] {
        if (YaziCommands)
            guarded([this] { YaziCommands->Edit1Change(); }, this);
    });
    ToolBar2->addWidget(Edit1);
    Panel3->layout()->addWidget(ToolBar2);

    // The topic formatting toolbar at the bottom of the left panel, hidden at start.
    ToolBar3 = new QToolBar(Panel2);
    ToolBar3->setObjectName(QStringLiteral("ToolBar3"));
    ToolBar3->setFixedHeight(25);
    BtnZemin2 = toolButton(ToolBar3, "BtnZemin2", QStringLiteral("background"), QStringLiteral("Zemin Rengi|Konu bölümü zemin rengini ayarla"), true);
    BtnYaziRenk2 = toolButton(ToolBar3, "BtnYaziRenk2", QStringLiteral("color"), QStringLiteral("Yazı Rengi|Konu bölümü yazı renginin ayarla"), true);
    ToolBar3->addSeparator();
    BtnKalin2 = toolButton(ToolBar3, "BtnKalin2", QStringLiteral("bold"), QStringLiteral("Kalın |Kalın yazı stili"), true, nullptr, true);
    BtnItalic2 = toolButton(ToolBar3, "BtnItalic2", QStringLiteral("italic"), QStringLiteral("İtalik Yazı |İtalik yazı stili"), true, nullptr, true);
    connect(BtnZemin2, &QToolButton::clicked, this, [this] { guarded([this] { BtnZemin2Click(); }, this); });
    connect(BtnYaziRenk2, &QToolButton::clicked, this, [this] { guarded([this] { BtnYaziRenk2Click(); }, this); });
    connect(BtnKalin2, &QToolButton::clicked, this, [this] { BtnKalin2Click(); });
    connect(BtnItalic2, &QToolButton::clicked, this, [this] { BtnItalic2Click(); });
    m_leftColumn->addWidget(ToolBar3);
    ToolBar3->hide();

    // The topic page's small toolbar.
    BtnKEkle = toolButton(ToolBar4, "BtnKEkle", QStringLiteral("topic-add"), QString(), false, KonuEkle);
    auto *topicDelete = new QAction(QStringLiteral("Konu Sil"), this);
    command(topicDelete, [this] { BtnKSilClick(); });
    BtnKSil = toolButton(ToolBar4, "BtnKSil", QStringLiteral("topic-delete"), QString(), false, topicDelete);
    BtnKKaydet = toolButton(ToolBar4, "BtnKKaydet", QStringLiteral("topic-save"), QStringLiteral("Kaydet"), false, KonuKaydet);
    ToolBar4->setMinimumWidth(ToolBar4->sizeHint().width());
    // Toolbars inside the window's panels cannot grow: their overflow opens a menu.
    for (QToolBar *bar : {ToolBar2, ToolBar3, ToolBar4})
        installOverflowMenu(bar);
}

void TForm1::buildPanels()
{
    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(0);
    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    setHint(Splitter1, QStringLiteral("Pencere boyutlarını ayarla"), false);
    row->addWidget(Splitter1);
    setCentralWidget(central);

    Panel2 = new QWidget(Splitter1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    // A row whose first place takes the topic formatting toolbar when it stands at the left edge;
    // the column beside it holds the pages, the list and, at its foot, that toolbar otherwise.
    auto *leftRow = new QHBoxLayout(Panel2);
    leftRow->setContentsMargins(4, 4, 4, 4);
    leftRow->setSpacing(0);
    auto *left = new QVBoxLayout;
    left->setSpacing(0);
    leftRow->addLayout(left, 1);
    m_leftColumn = left;
    PageControl1 = new QTabWidget(Panel2);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setFixedHeight(79);
    PageControl1->setFocusPolicy(Qt::NoFocus); // skipped by Tab
    left->addWidget(PageControl1);
    const auto page = [this](const char *name, const QString &caption, const QString &label) {
        auto *p = new QWidget(PageControl1);
        p->setObjectName(QString::fromLatin1(name));
        auto *l = new QVBoxLayout(p);
        l->setContentsMargins(4, 2, 4, 2);
        l->addWidget(new QLabel(label, p));
        PageControl1->addTab(p, caption);
        return p;
    };
    const auto skyBlue = [](QWidget *w) {
        QPalette p = w->palette();
        p.setColor(QPalette::Base, SkyBlue);
        w->setPalette(p);
    };
    TabSheet1 = page("TabSheet1", QStringLiteral("KONULAR"), QStringLiteral("Konu başlığını seçin:"));
    ComboKonu1 = new TopicSelector(TabSheet1);
    ComboKonu1->setObjectName(QStringLiteral("ComboKonu1"));
    ComboKonu1->setDataSource(DataSource1);
    ComboKonu1->setMinimumWidth(160);
    ComboKonu1->setFixedHeight(21);
    skyBlue(ComboKonu1);
    TabSheet1->layout()->addWidget(ComboKonu1);
    auto *title = new TDBText(TabSheet1);
    title->setDataSource(DataSource1);
    title->setDataField(QStringLiteral("Baslik"));
    DBText1 = title;
    DBText1->setObjectName(QStringLiteral("DBText1"));
    DBText1->hide();

    TabSheet2 = page("TabSheet2", QStringLiteral("Ara"), QStringLiteral("Başlığı ya da bir kısmını yazın"));
    Edit2 = new ReadOnlyLineEdit(TabSheet2);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    skyBlue(Edit2);
    TabSheet2->layout()->addWidget(Edit2);
    connect(Edit2, &QLineEdit::textChanged, this, [this] { Edit2Change(); });
    {
        // Beside the title box, the way to the search in every body, seeded with what was typed.
        auto *pageLayout = static_cast<QVBoxLayout *>(TabSheet2->layout());
        const int at = pageLayout->indexOf(Edit2);
        pageLayout->removeWidget(Edit2);
        auto *editRow = new QHBoxLayout;
        editRow->setContentsMargins(0, 0, 0, 0);
        editRow->setSpacing(2);
        editRow->addWidget(Edit2, 1);
        BtnKitaptaAra = new QToolButton(TabSheet2);
        BtnKitaptaAra->setObjectName(QStringLiteral("BtnKitaptaAra"));
        BtnKitaptaAra->setAutoRaise(true);
        BtnKitaptaAra->setIconSize(QSize(16, 16));
        BtnKitaptaAra->setFocusPolicy(Qt::NoFocus);
        editRow->addWidget(BtnKitaptaAra);
        pageLayout->insertLayout(at, editRow);
    }

    TabSheet3 = page("TabSheet3", QStringLiteral("Ekle/Sil"), QStringLiteral("Konu Ekle / Sil"));
    // The page's label with the small toolbar at its right edge, and the title box below them,
    // as wide as the page: all three buttons show at the panel's narrowest width.
    ToolBar4 = new QToolBar(TabSheet3);
    ToolBar4->setObjectName(QStringLiteral("ToolBar4"));
    ToolBar4->setIconSize(QSize(16, 16));
    auto *labelRow = new QHBoxLayout;
    labelRow->setContentsMargins(0, 0, 0, 0);
    auto *pageLayout = static_cast<QVBoxLayout *>(TabSheet3->layout());
    QLayoutItem *label = pageLayout->takeAt(0);
    labelRow->addWidget(label->widget(), 1);
    delete label;
    labelRow->addWidget(ToolBar4, 0, Qt::AlignRight);
    pageLayout->addLayout(labelRow);
    auto *titleBox = new TDBEdit(TabSheet3);
    titleBox->setDataSource(DataSource1);
    titleBox->setDataField(QStringLiteral("Baslik"));
    DBEdit1 = titleBox;
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    skyBlue(DBEdit1);
    pageLayout->addWidget(DBEdit1);
    PageControl1->setCurrentIndex(0);

    Panel4 = new QWidget(Panel2);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedHeight(4);
    left->addWidget(Panel4);

    DBGrid1 = new TSrDBGrid(Panel2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(DataSource2);
    DBGrid1->setBackground(QColor(0xFF, 0xFF, 0xFF));
    DBGrid1->ColorAlternative = QColor(234, 244, 253);
    DBGrid1->ColorSelect = SkyBlue;
    DBGrid1->ColorSelectText = QColor(0xFF, 0xFF, 0xFF);
    DBGrid1->MoveByRows = 1;
    left->addWidget(DBGrid1, 1);

    Panel3 = new QWidget(Splitter1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto *right = new QVBoxLayout(Panel3);
    right->setContentsMargins(4, 4, 4, 4);
    right->setSpacing(0);
    Yazi = new editor::TJvDBRichEdit(Panel3);
    Yazi->setObjectName(QStringLiteral("Yazi"));
    Yazi->setDataSource(DataSource2);
    Yazi->setDataField(QStringLiteral("Aciklama"));
    Yazi->onError = [this](const QString &message) { showError(message, this); };
    right->addWidget(Yazi, 1);

    Splitter1->addWidget(Panel2);
    Splitter1->addWidget(Panel3);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({LeftPanelWidth, EditorPanelWidth});

    ColorDialog1 = new QColorDialog(Qt::black, this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    // Opens on the colour it returned last: a colour picked and then cancelled is not kept.
    chooseColor = [this, last = QColor(Qt::black)](QColor &color) mutable {
        ColorDialog1->setCurrentColor(last);
        if (ColorDialog1->exec() != QDialog::Accepted)
            return false;
        color = last = ColorDialog1->currentColor();
        return true;
    };
    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setNameFilters({QStringLiteral("Text - Word Dosyalar (*.txt *.rtf)"), QStringLiteral("Text Dosyaları (*.txt)"),
                                 QStringLiteral("Word Dosyası (*.rtf)")});
}

void TForm1::tellAboutTheBookFile()
{
    if (!Book->ADOConnection1->connected())
        return;
    store::Engine &engine = Book->ADOConnection1->engine();
    if (engine.readOnly()) {
        // A book the user may only read is shown but never written: every control stays read-only,
        // and the status bar says so for as long as the window is open.
        m_bookReadOnly = true;
        SetReadOnly(true);
        auto *note = new QLabel(QStringLiteral(" Salt okunur kitap "), StatusBar1);
        note->setObjectName(QStringLiteral("ReadOnlyBookPanel"));
        note->setFrameShape(QFrame::Panel);
        note->setFrameShadow(QFrame::Sunken);
        note->setToolTip(QStringLiteral("Kitap dosyasına yazılamıyor; kitap yalnızca okunmak için açıldı."));
        StatusBar1->addPermanentWidget(note);
    }
    const QStringList stray = engine.strayLogs();
    if (stray.isEmpty())
        return;
    // Files that look like the book's log but belong to another book are left as they are; the
    // user is told once the window is up, so they can move them away.
    const QString message = QStringLiteral("Kitabın yanında bu kitaba ait olmayan günlük dosyaları var:\n\n%1\n\n"
                                           "Bu dosyalara dokunulmadı; kitap kendi kayıtlarıyla açıldı.")
                                .arg(stray.join(u'\n'));
    QTimer::singleShot(0, this, [this, message] { ask(message, MessageKind::Warning, ButtonOk); });
}

void TForm1::buildStatusBar()
{
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    const int widths[4] = {162, 30, 350, 50};
    const Qt::Alignment alignments[4] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignRight};
    for (int i = 0; i < 4; ++i) {
        Panels[i] = new QLabel(StatusBar1);
        Panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        if (i < 3)
            Panels[i]->setFixedWidth(widths[i]);
        else
            Panels[i]->setMinimumWidth(widths[i]); // the last panel reaches the right edge
        Panels[i]->setAlignment(alignments[i] | Qt::AlignVCenter);
        Panels[i]->setFrameShape(QFrame::Panel);
        Panels[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(Panels[i], i == 3 ? 1 : 0);
    }
    Panels[2]->setText(QStringLiteral("  V E L K O R A"));
}

} // namespace velkora::ui
