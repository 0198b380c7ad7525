// The splash window the start-up sequence shows while the program comes up.
#pragma once

#include "tgauge.h"

#include <QWidget>

namespace velkora::app {

// The splash window shown while the program comes up: its name, a status line and the gauge.
class TSplashFrm : public QWidget
{
    Q_OBJECT
public:
    TSplashFrm();
    TGauge *ProgressBar;
};

} // namespace velkora::app
