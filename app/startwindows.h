// The windows the start-up sequence creates besides the main window, and the splash window.
#pragma once

#include "tgauge.h"

#include <QDialog>
#include <QLineEdit>

namespace velkora::app {

// The splash window shown while the program comes up: its name, a status line and the gauge.
class TSplashFrm : public QWidget
{
    Q_OBJECT
public:
    TSplashFrm();
    TGauge *ProgressBar;
};

// The general settings dialog; it holds the book title box and the password gate.
class TAyarFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TAyarFrm(QWidget *parent = nullptr);
    // True when the program may go on. Password protection comes with the settings part: until then
    // no password is set and the gate lets the program through without asking.
    bool VerifyPassword(bool onlyWhenActive);
    QLineEdit *Edit1;
};

// Windows whose contents come with later parts of the program; they exist with their captions.
class TPassWdFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TPassWdFrm(QWidget *parent = nullptr);
};

class TForm2 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
};

class TForm3 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
};

class TForm4 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
};

} // namespace velkora::app
