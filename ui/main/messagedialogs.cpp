// The program's own question and warning boxes, and the default display of an error.
#include "messagedialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

namespace velkora::ui {

namespace {

struct ButtonSpec
{
    MessageButton button;
    QMessageBox::ButtonRole role;
};

// The order the buttons stand in, left to right.
const ButtonSpec Buttons[] = {
    {ButtonYes, QMessageBox::YesRole},       {ButtonNo, QMessageBox::NoRole},
    {ButtonOk, QMessageBox::AcceptRole},     {ButtonCancel, QMessageBox::RejectRole},
    {ButtonAbort, QMessageBox::RejectRole},  {ButtonRetry, QMessageBox::AcceptRole},
    {ButtonIgnore, QMessageBox::AcceptRole}, {ButtonAll, QMessageBox::YesRole},
    {ButtonNoToAll, QMessageBox::NoRole},    {ButtonYesToAll, QMessageBox::YesRole},
    {ButtonHelp, QMessageBox::HelpRole},
};

// Copies the box's text on Ctrl+C, as the boxes of the program's platform do.
class CopyableMessageBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Copy)) {
            QApplication::beep();
            QStringList captions;
            for (QAbstractButton *b : buttons())
                captions.append(b->text());
            const QString line = QStringLiteral("---------------------------");
            QApplication::clipboard()->setText(line + u'\n' + windowTitle() + u'\n' + line + u'\n' + text() + u'\n' +
                                               line + u'\n' + captions.join(QStringLiteral("   ")) + u'\n' + line + u'\n');
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

} // namespace

QString messageTitle(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning: return QStringLiteral("Dikkat !");
    case MessageKind::Error: return QStringLiteral("Hata");
    case MessageKind::Information: return QStringLiteral("Bilgi");
    case MessageKind::Confirmation: return QStringLiteral("Doğrula");
    }
    return QString();
}

QString buttonCaption(MessageButton button)
{
    switch (button) {
    case ButtonYes: return QStringLiteral("Evet");
    case ButtonNo: return QStringLiteral("Hayır");
    case ButtonOk: return QStringLiteral("TAMAM");
    case ButtonCancel: return QStringLiteral("İptal");
    case ButtonHelp: return QStringLiteral("Yardım");
    case ButtonAbort: return QStringLiteral("Başarısız");
    case ButtonRetry: return QStringLiteral("Tekrarla");
    case ButtonIgnore: return QStringLiteral("Atla");
    case ButtonAll: return QStringLiteral("Tümü");
    case ButtonNoToAll: return QStringLiteral("Tümüne Hayır");
    case ButtonYesToAll: return QStringLiteral("Tümüne Evet");
    }
    return QString();
}

QMessageBox *createMessageDialog(const QString &message, MessageKind kind, int buttons, QWidget *parent)
{
    auto *box = new CopyableMessageBox(parent);
    box->setWindowTitle(messageTitle(kind));
    box->setText(message);
    switch (kind) {
    case MessageKind::Warning: box->setIcon(QMessageBox::Warning); break;
    case MessageKind::Error: box->setIcon(QMessageBox::Critical); break;
    case MessageKind::Information: box->setIcon(QMessageBox::Information); break;
    case MessageKind::Confirmation: box->setIcon(QMessageBox::Question); break;
    }
    QPushButton *yes = nullptr, *ok = nullptr, *cancel = nullptr, *no = nullptr;
    for (const ButtonSpec &entry : Buttons) {
        if (!(buttons & entry.button))
            continue;
        QPushButton *b = box->addButton(buttonCaption(entry.button), entry.role);
        b->setProperty("velkoraButton", static_cast<int>(entry.button));
        yes = entry.button == ButtonYes ? b : yes;
        ok = entry.button == ButtonOk ? b : ok;
        cancel = entry.button == ButtonCancel ? b : cancel;
        no = entry.button == ButtonNo ? b : no;
    }
    if (ok || yes)
        box->setDefaultButton(ok ? ok : yes);
    if (cancel || no)
        box->setEscapeButton(cancel ? cancel : no);
    box->setWindowModality(Qt::ApplicationModal);
    placeAsMessageBox(box);
    return box;
}

void placeAsMessageBox(QMessageBox *box)
{
    // A fixed border with only the system menu and close, centred on the screen (also at start-up,
    // before the window it belongs to is shown).
    box->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    box->adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        box->move(screen->availableGeometry().center() - box->rect().center());
}

MessageButton messageDlg(const QString &message, MessageKind kind, int buttons, QWidget *parent)
{
    std::unique_ptr<QMessageBox> box(createMessageDialog(message, kind, buttons, parent));
    box->exec();
    QAbstractButton *clicked = box->clickedButton();
    if (clicked)
        return static_cast<MessageButton>(clicked->property("velkoraButton").toInt());
    return (buttons & ButtonCancel) ? ButtonCancel : ButtonNo;
}

QString errorDisplayText(const QString &message)
{
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

namespace {
std::function<void(const QString &)> &errorDisplay()
{
    static std::function<void(const QString &)> display;
    return display;
}
} // namespace

void setErrorDisplay(std::function<void(const QString &message)> display)
{
    errorDisplay() = std::move(display);
}

void showError(const QString &message, QWidget *parent)
{
    if (errorDisplay()) {
        errorDisplay()(errorDisplayText(message));
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Velkora"), errorDisplayText(message), QMessageBox::Ok, parent);
    placeAsMessageBox(&box);
    box.exec();
}

} // namespace velkora::ui
