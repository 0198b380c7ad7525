// The program's own question and warning boxes, and the default display of an error.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace velkora::ui {

// The kinds of box; each has its title: "Dikkat !", "Hata", "Bilgi", "Doğrula".
enum class MessageKind { Warning, Error, Information, Confirmation };

// Buttons with their Turkish captions; a dialog's result is the button pressed, or Cancel/No
// for Esc and the close button.
enum MessageButton {
    ButtonYes = 0x1, ButtonNo = 0x2, ButtonOk = 0x4, ButtonCancel = 0x8, ButtonHelp = 0x10,
    ButtonAbort = 0x20, ButtonRetry = 0x40, ButtonIgnore = 0x80, ButtonAll = 0x100,
    ButtonNoToAll = 0x200, ButtonYesToAll = 0x400,
};

QString messageTitle(MessageKind kind);
QString buttonCaption(MessageButton button);

// Builds the box, modal and centred on the screen: OK, or else Yes, is the default button;
// Cancel, or else No, answers Esc. Ctrl+C in it beeps and copies its text (title, message and
// button captions) to the clipboard. The caller runs exec() or show().
QMessageBox *createMessageDialog(const QString &message, MessageKind kind, int buttons, QWidget *parent = nullptr);

// Gives a message box its border (the system menu and close only) and its place, centred on the screen.
void placeAsMessageBox(QMessageBox *box);

// Runs the box and returns the button pressed.
MessageButton messageDlg(const QString &message, MessageKind kind, int buttons, QWidget *parent = nullptr);

// The text the default error display shows: the message with a full stop added when its last
// character sorts after ".".
QString errorDisplayText(const QString &message);

// The default display of an error nobody caught: a box titled with the application title
// "Velkora", the error icon and one OK button. The program goes on afterwards.
void showError(const QString &message, QWidget *parent = nullptr);

// Where errors go instead of the box, for the tests; an unset display restores the box.
void setErrorDisplay(std::function<void(const QString &message)> display);

// Runs f and shows any error it raises through the default error display; true when it ran through.
template <typename F>
bool guarded(F &&f, QWidget *parent = nullptr);

} // namespace velkora::ui

#include "platform/database/databaseerror.h"

#include <exception>

template <typename F>
bool velkora::ui::guarded(F &&f, QWidget *parent)
{
    try {
        f();
        return true;
    } catch (const velkora::database::DatabaseError &e) {
        showError(e.message(), parent);
    } catch (const std::exception &e) {
        showError(QString::fromLocal8Bit(e.what()), parent);
    }
    return false;
}
