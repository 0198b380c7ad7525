// The general settings dialog: password protection, toolbar places and start-up options, the
// formatting toolbar's items, and the book title.
#pragma once

#include "passworddialogs.h"
#include "passwordstore.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <array>
#include <functional>

namespace velkora::ui {
class TForm1;
}

namespace velkora::settings {

// Made once at start-up and kept to the end: its fields keep their values between showings, and
// its title field holds the book title for the whole run. The "Seçenekler" and "Butonlar" pages are
// filled from the main window at every showing; the other two keep their own state. The protection
// box stands for the pending value of "Active", written by "Tamam" on its page and when the dialog
// is destroyed, and reloaded from win.ini by "İptal".
class TAyarFrm : public QDialog
{
    Q_OBJECT
public:
    // form may be null (the dialog alone, in tests of its password page).
    TAyarFrm(ui::TForm1 *form, QString winIniPath, QWidget *parent = nullptr);
    ~TAyarFrm() override;

    // The password gate: true when the caller may go on. With onlyWhenActive, asks only when
    // protection is on; otherwise always.
    bool VerifyPassword(bool onlyWhenActive);

    // Fills "Seçenekler" and "Butonlar" from the window and shows the dialog modally.
    void BtnAyarClick();

    void FormCreate();
    void FormShow();
    void FormDestroy();
    void OKBtnClick();
    void CancelBtnClick();
    void ChangePasswdBtnClick();
    void SifreChkClick();
    void BtnSecenekClick();
    void BtnButonClick();
    void BtnBaslikClick();
    void Button1Click();
    void Button3Click();
    void BitBtn2Click();
    void LoadProtectionState();
    void SaveProtectionState();

    PasswordStore store;
    TPassWdFrm *PassWdFrm = nullptr; // the change-password dialog, made after this one
    AskFunction ask;
    std::function<void(int context)> showHelp;
    // Makes the enter-password dialog for one question; a test replaces it to answer it.
    std::function<bool(const QString &stored)> askPassword;

    QTabWidget *PageControl1;
    QCheckBox *SifreChk;
    QPushButton *ChangePasswdBtn, *BitBtn2, *CancelBtn, *OKBtn;
    QCheckBox *ChkArac, *ChkAltArac, *ChkBicim, *ChkTablo, *ChkRead;
    QPushButton *Button1, *BtnSecenek;
    // In the order of the settings file's formatting items (bold … font name, font size).
    std::array<QCheckBox *, 18> ButtonChecks{};
    QPushButton *Button2, *BtnButon;
    QLineEdit *Edit1, *Edit3, *Edit2;
    QPushButton *Button3, *BtnBaslik;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Sets the box as the program, not the user: its click behaviour does not run.
    void setBox(bool enabled, bool checked);

    ui::TForm1 *m_form;
    bool m_boxClickOn = true;
};

} // namespace velkora::settings
