// The two password dialogs: asking for the password, and setting a new one.
#pragma once

#include "ui/main/messagedialogs.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include <functional>
#include <optional>

namespace velkora::settings {

// Asks a dialog's own questions and errors; a test replaces it.
using AskFunction = std::function<ui::MessageButton(const QString &message, ui::MessageKind kind, int buttons)>;

// "Şifre Gir": one field that echoes "*", "Tamam" and "İptal". Made for one question.
class TGetPassWdFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TGetPassWdFrm(QWidget *parent = nullptr);

    // Shows the dialog modally; true when it was closed with "Tamam", which it is only when the
    // field holds the password that stored holds. A wrong entry says "Geçersiz şifre." and the
    // dialog stays, with the text in the field. No limit on the number of tries.
    bool Execute(const QString &stored);
    void BitBtn1Click();

    QString StoredPassword;
    QLineEdit *Edit1;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;
    AskFunction ask;

protected:
    void showEvent(QShowEvent *event) override;
};

// "Şifre Değiştir": the old and the new password, each at most 15 characters. Made once at start-up.
class TPassWdFrm : public QDialog
{
    Q_OBJECT
public:
    static constexpr int MaxLength = 15;

    explicit TPassWdFrm(QWidget *parent = nullptr);

    // Empties both fields, enables the old one only when a password is stored, and shows the
    // dialog modally; true when it was closed with "Tamam".
    bool Execute(const QString &stored);
    QString GetNewPassword() const { return NewPassWdText->text(); }
    void BitBtn1Click();

    QString StoredPassword;
    QLineEdit *OldPassWdText;
    QLineEdit *NewPassWdText;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;
    AskFunction ask;

protected:
    void showEvent(QShowEvent *event) override;
};

// An edit box that echoes every character as "*".
void echoStars(QLineEdit *edit);

// "Sunucu Parolası": the password of a book's server, asked when the server wants one. where
// names the user, server and database; problem, when not empty, says why it is asked again.
// The password typed, or nothing when the person chose "İptal".
class ServerPasswordDialog : public QDialog
{
    Q_OBJECT
public:
    ServerPasswordDialog(const QString &where, const QString &problem, QWidget *parent = nullptr);
    QLineEdit *Edit1;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;
};
std::optional<QString> askServerPassword(const QString &where, const QString &problem, QWidget *parent = nullptr);

} // namespace velkora::settings
