// The progress window of a direct print.
#include "tqrprogressform.h"

#include "tqrprinter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

namespace velkora::print {

TQRProgressForm::TQRProgressForm(TQRPrinter *device, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint), m_device(device)
{
    setObjectName(QStringLiteral("QRProgressForm"));
    setWindowTitle(QStringLiteral("Printing progress"));
    setFixedSize(149, 97);
    Info = new QLabel(this);
    Info->setObjectName(QStringLiteral("Info"));
    Info->setGeometry(0, 44, 145, 13);
    Info->setAlignment(Qt::AlignCenter);
    Gauge = new QProgressBar(this);
    Gauge->setObjectName(QStringLiteral("Gauge"));
    Gauge->setGeometry(16, 18, 114, 16);
    Gauge->setRange(0, 100);
    Gauge->setValue(0);
    Gauge->setTextVisible(false);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(36, 60, 75, 25);
    connect(CancelButton, &QPushButton::clicked, this, [this] {
        if (m_device)
            m_device->Cancel();
    });
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TQRProgressForm::event(QEvent *e)
{
    if (e->type() != TQRNotification::eventType())
        return QDialog::event(e);
    const auto *n = static_cast<TQRNotification *>(e);
    if (n->message == TQRNotification::Progress && n->value % 5 == 0) {
        Gauge->setValue(n->value);
        Info->setText(QString::number(n->value) + QStringLiteral("% ") + QStringLiteral(" Completed"));
        QCoreApplication::processEvents();
    }
    return true;
}

} // namespace velkora::print
