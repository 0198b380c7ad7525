// The windows the start-up sequence creates besides the main window, and the splash window.
#include "startwindows.h"

#include "ui/about/shadowedname.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace velkora::app {

TSplashFrm::TSplashFrm() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("SplashFrm"));
    setFixedSize(295, 106);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    // A panel filling the window, and in it a second one with a lowered outer and a raised inner bevel.
    auto *outer = new QFrame(this);
    outer->setGeometry(rect());
    outer->setFrameShape(QFrame::Panel);
    outer->setFrameShadow(QFrame::Sunken);
    outer->setLineWidth(1);
    auto *inner = new QFrame(this);
    inner->setGeometry(rect().adjusted(1, 1, -1, -1));
    inner->setFrameShape(QFrame::Panel);
    inner->setFrameShadow(QFrame::Raised);
    inner->setLineWidth(1);
    auto *frame = new QFrame(this);
    frame->setGeometry(16, 12, 265, 44);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    QFont big(QStringLiteral("MS Sans Serif"));
    big.setPixelSize(32);
    big.setBold(true);
    ui::addShadowedName(this, QStringLiteral("Velkora 3.1"), big, QPoint(57, 14), QStringLiteral("Label2"), QStringLiteral("Label1"));
    auto *status = new QLabel(QStringLiteral("Velkora 3.1 hazırlanıyor..."), this);
    status->setObjectName(QStringLiteral("Label4"));
    QFont bold = font;
    bold.setBold(true);
    status->setFont(bold);
    status->move(16, 61);
    auto *gaugeFrame = new QFrame(this);
    gaugeFrame->setGeometry(16, 75, 265, 19);
    gaugeFrame->setFrameShape(QFrame::Panel);
    gaugeFrame->setFrameShadow(QFrame::Sunken);
    ProgressBar = new TGauge(this);
    ProgressBar->setGeometry(17, 75, 264, 17);
    ProgressBar->setKind(TGauge::gkHorizontalBar);
    ProgressBar->setBorderStyle(TGauge::bsNone);
    ProgressBar->setForeColor(QColor(0, 0, 255));
    ProgressBar->setBackColor(palette().color(QPalette::Button));
    ProgressBar->setMaxValue(6);
    ProgressBar->setProgress(1);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace velkora::app
