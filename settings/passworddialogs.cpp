// The password dialogs: their layout, the check of an entry, and the rules for a new password.
#include "passworddialogs.h"

#include "passwordstore.h"

#include <QBoxLayout>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStyle>

namespace velkora::settings {

namespace {

QPushButton *button(QDialog *dialog, const char *name, const QString &caption, const QRect &place)
{
    auto *b = new QPushButton(caption, dialog);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(place);
    b->setAutoDefault(false);
    return b;
}

AskFunction defaultAsk(QWidget *parent)
{
    return [parent](const QString &message, ui::MessageKind kind, int buttons) {
        return ui::messageDlg(message, kind, buttons, parent);
    };
}

void dialogFont(QWidget *w)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    w->setFont(font);
}

} // namespace

void echoStars(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    // The style's own mask character would be a dot.
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}

TGetPassWdFrm::TGetPassWdFrm(QWidget *parent) : QDialog(parent), ask(defaultAsk(this))
{
    setObjectName(QStringLiteral("GetPassWdFrm"));
    setWindowTitle(QStringLiteral("Şifre Gir"));
    // A fixed border: the system menu and close, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(243, 100);
    dialogFont(this);
    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    icon->setGeometry(8, 8, 32, 32);
    auto *label = new QLabel(QStringLiteral("Lütfen şifrenizi giriniz."), this);
    label->setObjectName(QStringLiteral("Label1"));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setGeometry(48, 16, 187, 16);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(9, 44, 225, 21);
    echoStars(Edit1);
    BitBtn1 = button(this, "BitBtn1", QStringLiteral("Tamam"), QRect(83, 71, 75, 25));
    BitBtn1->setDefault(true);
    BitBtn2 = button(this, "BitBtn2", QStringLiteral("İptal"), QRect(160, 71, 75, 25));
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TGetPassWdFrm::Execute(const QString &stored)
{
    StoredPassword = stored;
    return exec() == QDialog::Accepted;
}

void TGetPassWdFrm::BitBtn1Click()
{
    if (!PasswordStore::matches(StoredPassword, Edit1->text())) {
        ask(QStringLiteral("Geçersiz şifre."), ui::MessageKind::Error, ui::ButtonOk);
        Edit1->setFocus();
        return;
    }
    accept();
}

void TGetPassWdFrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Edit1->setFocus();
}

TPassWdFrm::TPassWdFrm(QWidget *parent) : QDialog(parent), ask(defaultAsk(this))
{
    setObjectName(QStringLiteral("PassWdFrm"));
    setWindowTitle(QStringLiteral("Şifre Değiştir"));
    // A fixed border: the system menu and close, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(193, 126);
    dialogFont(this);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Bevel1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(8, 8, 177, 81);
    const auto row = [this](const char *labelName, const QString &caption, const char *fieldName, int y) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(QString::fromLatin1(labelName));
        label->setGeometry(16, y + 3, 64, 16);
        auto *field = new QLineEdit(this);
        field->setObjectName(QString::fromLatin1(fieldName));
        field->setGeometry(80, y, 97, 21);
        field->setMaxLength(MaxLength);
        echoStars(field);
        return field;
    };
    OldPassWdText = row("Label1", QStringLiteral("Eski Şifre:"), "OldPassWdText", 22);
    NewPassWdText = row("Label2", QStringLiteral("Yeni Şifre:"), "NewPassWdText", 54);
    BitBtn1 = button(this, "BitBtn1", QStringLiteral("Tamam"), QRect(29, 96, 75, 25));
    BitBtn1->setDefault(true);
    BitBtn2 = button(this, "BitBtn2", QStringLiteral("İptal"), QRect(110, 96, 75, 25));
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    // Not centred: the dialog keeps its own place on the screen.
    move(212, 140);
}

bool TPassWdFrm::Execute(const QString &stored)
{
    StoredPassword = stored;
    OldPassWdText->clear();
    NewPassWdText->clear();
    OldPassWdText->setEnabled(!stored.isEmpty());
    return exec() == QDialog::Accepted;
}

void TPassWdFrm::BitBtn1Click()
{
    if (!StoredPassword.isEmpty() && !PasswordStore::matches(StoredPassword, OldPassWdText->text())) {
        ask(QStringLiteral("Geçersiz şifre."), ui::MessageKind::Error, ui::ButtonOk);
        OldPassWdText->setFocus();
        return;
    }
    // Only an empty field is refused: a password of blanks is a password.
    if (NewPassWdText->text().isEmpty()) {
        ask(QStringLiteral("Şifre olarak boşluk giremezsiniz"), ui::MessageKind::Error, ui::ButtonOk);
        NewPassWdText->setFocus();
        return;
    }
    accept();
}

void TPassWdFrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (OldPassWdText->isEnabled())
        OldPassWdText->setFocus();
    else
        NewPassWdText->setFocus();
}

} // namespace velkora::settings

namespace velkora::settings {

ServerPasswordDialog::ServerPasswordDialog(const QString &where, const QString &problem, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ServerPasswordDialog"));
    setWindowTitle(QStringLiteral("Sunucu Parolası"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialogFont(this);
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("Kitabın sunucusu parola istiyor:\n%1").arg(where), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    if (!problem.isEmpty()) {
        auto *said = new QLabel(problem, this);
        said->setObjectName(QStringLiteral("Problem"));
        said->setTextFormat(Qt::PlainText);
        said->setStyleSheet(QStringLiteral("color: #b00000;"));
        layout->addWidget(said);
    }
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMinimumWidth(260);
    echoStars(Edit1);
    layout->addWidget(Edit1);
    auto *note = new QLabel(QStringLiteral("Parola yalnız bu çalışma boyunca bellekte tutulur, hiçbir yere yazılmaz."), this);
    note->setObjectName(QStringLiteral("Label2"));
    layout->addWidget(note);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    BitBtn1 = new QPushButton(QStringLiteral("Tamam"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("İptal"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

std::optional<QString> askServerPassword(const QString &where, const QString &problem, QWidget *parent)
{
    ServerPasswordDialog dialog(where, problem, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Edit1->text();
}

} // namespace velkora::settings
