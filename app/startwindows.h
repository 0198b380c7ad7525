// The windows the start-up sequence creates besides the main window, and the splash window.
#pragma once

#include "tgauge.h"

#include <QDialog>

namespace velkora::app {

// The splash window shown while the program comes up: its name, a status line and the gauge.
class TSplashFrm : public QWidget
{
    Q_OBJECT
public:
    TSplashFrm();
    TGauge *ProgressBar;
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
