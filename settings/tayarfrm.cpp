// The general settings dialog: its four pages and what their buttons do to the main window.
#include "tayarfrm.h"

#include "ui/main/glyphs.h"
#include "ui/main/tform1.h"
#include "ui/main/topicselector.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

namespace velkora::settings {

namespace {

constexpr QSize PageButton(75, 25);

QFrame *frame(QWidget *page, const QRect &place)
{
    auto *f = new QFrame(page);
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(place);
    return f;
}

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &caption, const QPoint &at, int width = 300)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(QRect(at, QSize(width, 17)));
    c->setFocusPolicy(Qt::NoFocus);
    return c;
}

QPushButton *pushButton(QWidget *parent, const char *name, const QString &caption, const QPoint &at)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(QRect(at, PageButton));
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    return b;
}

void setHint(QWidget *w, const QString &hint)
{
    w->setProperty("hint", hint);
    w->setToolTip(hint.section(u'|', 0, 0).trimmed());
    w->setStatusTip(hint.section(u'|', 1).trimmed());
}

// "İptal" stands to the left of "Tamam" at the bottom right of every page.
constexpr QPoint CancelAt(172, 150);
constexpr QPoint OkAt(252, 150);

} // namespace

TAyarFrm::TAyarFrm(ui::TForm1 *form, QString winIniPath, QWidget *parent)
    : QDialog(parent), store(std::move(winIniPath)), m_form(form)
{
    setObjectName(QStringLiteral("AyarFrm"));
    setWindowTitle(QStringLiteral("Genel Ayarlar"));
    // A fixed border: the system menu and close, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(344, 209);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    black.setColor(QPalette::Text, Qt::black);
    setPalette(black);
    ask = [this](const QString &message, ui::MessageKind kind, int buttons) { return ui::messageDlg(message, kind, buttons, this); };
    askPassword = [this](const QString &stored) {
        TGetPassWdFrm dialog(this);
        dialog.ask = ask;
        return dialog.Execute(stored);
    };

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, 344, 209);
    PageControl1->setFocusPolicy(Qt::NoFocus);
    PageControl1->tabBar()->setAttribute(Qt::WA_Hover); // hot-tracking tabs
    const auto page = [this](const char *name, const QString &caption) {
        auto *p = new QWidget(PageControl1);
        p->setObjectName(QString::fromLatin1(name));
        PageControl1->addTab(p, caption);
        return p;
    };

    // "Şifre Aktivasyon"
    QWidget *sifre = page("TabSheet1", QStringLiteral("Şifre Aktivasyon"));
    QFrame *upper = frame(sifre, QRect(8, 6, 320, 42));
    auto *intro = new QLabel(QStringLiteral("Programa şifre koyarak başkalarının bilgilere ulaşmasını önleyebilirsiniz. "), upper);
    intro->setObjectName(QStringLiteral("Label1"));
    intro->setWordWrap(true);
    intro->setGeometry(8, 4, 304, 34);
    QFrame *lower = frame(sifre, QRect(8, 52, 320, 92));
    SifreChk = checkBox(lower, "SifreChk", QStringLiteral("Şifre Korumasını Aktifleştir"), QPoint(12, 14), 260);
    ChangePasswdBtn = pushButton(lower, "ChangePasswdBtn", QStringLiteral("Şifre Değiştir"), QPoint(12, 50));
    ChangePasswdBtn->resize(100, 25);
    BitBtn2 = pushButton(lower, "BitBtn2", QString(), QPoint(288, 6));
    BitBtn2->resize(24, 24);
    BitBtn2->setFlat(true);
    BitBtn2->setIcon(ui::glyph(QStringLiteral("help")));
    BitBtn2->setIconSize(QSize(16, 16));
    setHint(BitBtn2, QStringLiteral("Yardım | Konu ile ilgili yardımı göster"));
    CancelBtn = pushButton(sifre, "CancelBtn", QStringLiteral("İptal"), CancelAt);
    setHint(CancelBtn, QStringLiteral("Şifre Ayarı |Sifre ayarını iptal et"));
    OKBtn = pushButton(sifre, "OKBtn", QStringLiteral("Tamam"), OkAt);
    OKBtn->setIcon(ui::glyph(QStringLiteral("ok")));
    OKBtn->setIconSize(QSize(18, 18));
    setHint(OKBtn, QStringLiteral("Şifre Ayarı |Sifre ile ilgili ayarları uygula"));

    // "Seçenekler"
    QWidget *secenek = page("TabSheet2", QStringLiteral("Seçenekler"));
    QFrame *places = frame(secenek, QRect(8, 6, 320, 72));
    ChkArac = checkBox(places, "ChkArac", QStringLiteral("Araç çubuğunu solda göster"), QPoint(10, 6));
    ChkAltArac = checkBox(places, "ChkAltArac", QStringLiteral("Alt konu araç cubuğunu solda göster"), QPoint(10, 27));
    ChkBicim = checkBox(places, "ChkBicim", QStringLiteral("Biçimlendirme araç çubuğunu üstte göster"), QPoint(10, 48));
    QFrame *options = frame(secenek, QRect(8, 84, 320, 58));
    ChkTablo = checkBox(options, "ChkTablo", QStringLiteral("Açılışta kayıtlar otomatik olarak açılmasın"), QPoint(10, 8));
    ChkRead = checkBox(options, "ChkRead", QStringLiteral("Kitap içeriğinde değişiklik yapılması engellensin"), QPoint(10, 32));
    Button1 = pushButton(secenek, "Button1", QStringLiteral("İptal"), CancelAt);
    BtnSecenek = pushButton(secenek, "BtnSecenek", QStringLiteral("Tamam"), OkAt);

    // "Butonlar": three columns of six, each box standing for one item of the formatting toolbar.
    QWidget *butonlar = page("TabSheet3", QStringLiteral("Butonlar"));
    QFrame *narrow = frame(butonlar, QRect(8, 4, 320, 22));
    auto *butonLabel = new QLabel(QStringLiteral("Biçimlendirme Araç Çubuğun'daki butonlar göster / gizle."), narrow);
    butonLabel->setObjectName(QStringLiteral("Label2"));
    butonLabel->setGeometry(8, 3, 304, 16);
    QFrame *boxes = frame(butonlar, QRect(8, 30, 320, 114));
    struct Box
    {
        const char *name;
        const char *caption;
        int item; // index among the settings file's formatting items
    };
    static const Box table[18] = {
        {"ChkKalin", "Kalın", 0}, {"ChkItalic", "İtalik", 1}, {"ChkCizgili", "Alt Çizgili", 2},
        {"ChkKes", "Kes", 13}, {"ChkKopyala", "Kopyala", 14}, {"ChkPaste", "Yapıştır", 15},
        {"ChkSol", "Sola Hizala", 3}, {"ChkOrta", "Ortala", 4}, {"ChkSag", "Sağa Hizala", 5},
        {"ChkYasla", "Yasla", 6}, {"ChkMadde", "Madde İmi", 7}, {"ChkRenk", "Yazı Rengi", 10},
        {"ChkUst", "Üst Karakter", 8}, {"ChkAlt", "Alt Karakter", 9}, {"ChkGeri", "Geri Al", 11},
        {"ChkIleri", "İleri Al", 12}, {"ChkBoyut", "Yazı Boyutu", 17}, {"ChkStil", "Yazı Stili", 16},
    };
    for (int i = 0; i < 18; ++i) {
        const QPoint at(10 + (i / 6) * 104, 6 + (i % 6) * 17);
        ButtonChecks[table[i].item] = checkBox(boxes, table[i].name, QString::fromUtf8(table[i].caption), at, 100);
    }
    Button2 = pushButton(butonlar, "Button2", QStringLiteral("İptal"), CancelAt);
    BtnButon = pushButton(butonlar, "BtnButon", QStringLiteral("Tamam"), OkAt);

    // "Başlık"
    QWidget *baslik = page("TabSheet4", QStringLiteral("Başlık"));
    QFrame *titles = frame(baslik, QRect(8, 6, 320, 136));
    auto *titleLabel = new QLabel(QStringLiteral("Velkora adı girin"), titles);
    titleLabel->setObjectName(QStringLiteral("Label3"));
    titleLabel->setGeometry(12, 10, 290, 16);
    Edit1 = new QLineEdit(QStringLiteral("Dilbilgisi Kitabı"), titles);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(12, 28, 294, 21);
    Edit1->setFocusPolicy(Qt::ClickFocus);
    auto *programLabel = new QLabel(QStringLiteral("Program adı girin"), titles);
    programLabel->setObjectName(QStringLiteral("Label4"));
    programLabel->setGeometry(12, 66, 290, 16);
    programLabel->setEnabled(false);
    Edit2 = new QLineEdit(QStringLiteral("Velkora 3.1"), titles);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(12, 84, 294, 21);
    Edit2->setEnabled(false);
    QPalette face = Edit2->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    Edit2->setPalette(face);
    Edit3 = new QLineEdit(QStringLiteral("..."), titles);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit3->hide();
    Button3 = pushButton(baslik, "Button3", QStringLiteral("İptal"), CancelAt);
    BtnBaslik = pushButton(baslik, "BtnBaslik", QStringLiteral("Tamam"), OkAt);

    connect(SifreChk, &QCheckBox::clicked, this, [this] {
        if (m_boxClickOn)
            SifreChkClick();
    });
    const auto run = [this](QPushButton *b, void (TAyarFrm::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { ui::guarded([&] { (this->*handler)(); }, this); });
    };
    run(ChangePasswdBtn, &TAyarFrm::ChangePasswdBtnClick);
    run(BitBtn2, &TAyarFrm::BitBtn2Click);
    run(OKBtn, &TAyarFrm::OKBtnClick);
    run(CancelBtn, &TAyarFrm::CancelBtnClick);
    run(BtnSecenek, &TAyarFrm::BtnSecenekClick);
    run(Button1, &TAyarFrm::Button1Click);
    run(BtnButon, &TAyarFrm::BtnButonClick);
    run(Button2, &TAyarFrm::Button1Click);
    run(BtnBaslik, &TAyarFrm::BtnBaslikClick);
    run(Button3, &TAyarFrm::Button3Click);
    // Enter presses the "Tamam" of the page in view, not that of a page the user does not see.
    const auto followPage = [this](int page) {
        QPushButton *const oks[] = {OKBtn, BtnSecenek, BtnButon, BtnBaslik};
        for (int i = 0; i < 4; ++i)
            oks[i]->setDefault(i == page);
    };
    connect(PageControl1, &QTabWidget::currentChanged, this, followPage);
    followPage(PageControl1->currentIndex());

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    ui::guarded([this] { FormCreate(); }, this);
}

TAyarFrm::~TAyarFrm()
{
    FormDestroy();
}

void TAyarFrm::FormCreate()
{
    LoadProtectionState();
}

void TAyarFrm::FormDestroy()
{
    // At the end of the program: the box's state becomes the stored switch.
    ui::guarded([this] { SaveProtectionState(); });
}

void TAyarFrm::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TAyarFrm::FormShow()
{
    Edit3->setText(Edit1->text());
}

void TAyarFrm::keyPressEvent(QKeyEvent *event)
{
    // Esc presses the dialog's cancel button, as the close box does not.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CancelBtn->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAyarFrm::setBox(bool enabled, bool checked)
{
    m_boxClickOn = false;
    SifreChk->setEnabled(enabled);
    SifreChk->setChecked(checked);
    m_boxClickOn = true;
}

void TAyarFrm::LoadProtectionState()
{
    setBox(!store.ReadPassword().isEmpty(), store.ReadActiveFlag());
}

void TAyarFrm::SaveProtectionState()
{
    store.WriteActiveFlag(SifreChk->isChecked());
}

bool TAyarFrm::VerifyPassword(bool onlyWhenActive)
{
    if (onlyWhenActive && !store.ReadActiveFlag())
        return true;
    return askPassword(store.ReadPassword());
}

void TAyarFrm::OKBtnClick()
{
    SaveProtectionState();
    done(QDialog::Accepted);
}

void TAyarFrm::CancelBtnClick()
{
    LoadProtectionState();
    done(QDialog::Rejected);
}

void TAyarFrm::SifreChkClick()
{
    // Turning protection on or off both need the password; the box has its new state already.
    if (VerifyPassword(false))
        return;
    setBox(SifreChk->isEnabled(), !SifreChk->isChecked());
}

void TAyarFrm::ChangePasswdBtnClick()
{
    if (!PassWdFrm || !PassWdFrm->Execute(store.ReadPassword()))
        return;
    if (ask(QStringLiteral("Şu anki şifreyi değiştirmek istiyor musunuz?"), ui::MessageKind::Confirmation,
            ui::ButtonYes | ui::ButtonNo) != ui::ButtonYes)
        return;
    store.WritePassword(PassWdFrm->GetNewPassword());
    setBox(true, true);
}

void TAyarFrm::BitBtn2Click()
{
    if (showHelp)
        showHelp(1);
}

void TAyarFrm::BtnAyarClick()
{
    if (m_form) {
        ui::TForm1 &f = *m_form;
        ChkArac->setChecked(f.toolBar1Left());
        ChkAltArac->setChecked(f.toolBar3Left());
        ChkBicim->setChecked(f.toolBar2Top());
        ChkTablo->setChecked(!f.ADOQuery1->active());
        ChkRead->setChecked(f.Yazi->readOnly());
        const QList<QAction *> items = f.formattingItems();
        for (int i = 0; i < 18; ++i)
            ButtonChecks[i]->setChecked(!items[i]->isVisible());
    }
    exec();
}

void TAyarFrm::BtnSecenekClick()
{
    if (m_form) {
        ui::TForm1 &f = *m_form;
        f.alignToolBar1(ChkArac->isChecked());
        f.alignToolBar3(ChkAltArac->isChecked());
        f.alignToolBar2(ChkBicim->isChecked());
        if (ChkTablo->isChecked()) {
            f.ADOQuery1->close();
            f.ADOQuery2->close();
        } else {
            // A failure to open stops here: it is shown and the dialog stays open.
            f.ADOQuery1->open();
            f.ADOQuery2->open();
            f.SetReadOnly(ChkRead->isChecked());
            f.ComboKonu1->setReadOnly(false); // topics can always be picked
        }
    }
    done(QDialog::Accepted);
}

void TAyarFrm::BtnButonClick()
{
    if (m_form) {
        const QList<QAction *> items = m_form->formattingItems();
        for (int i = 0; i < 18; ++i)
            items[i]->setVisible(!ButtonChecks[i]->isChecked());
    }
    done(QDialog::Accepted);
}

void TAyarFrm::Button1Click()
{
    done(QDialog::Rejected);
}

void TAyarFrm::BtnBaslikClick()
{
    if (m_form)
        m_form->setWindowTitle(QStringLiteral("Velkora 3.1       ") + Edit1->text());
    Edit3->setText(Edit1->text());
    done(QDialog::Accepted);
}

void TAyarFrm::Button3Click()
{
    Edit1->setText(Edit3->text());
    done(QDialog::Rejected);
}

} // namespace velkora::settings
