// The small window a direct print shows: how far it has got, and a way to cancel.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace velkora::print {

class TQRPrinter;

class TQRProgressForm : public QDialog
{
    Q_OBJECT
public:
    explicit TQRProgressForm(TQRPrinter *device, QWidget *parent = nullptr);

    QLabel *Info;
    QProgressBar *Gauge;
    QPushButton *CancelButton;

protected:
    // The device's progress: acted on at every fifth percent.
    bool event(QEvent *event) override;

private:
    TQRPrinter *m_device;
};

} // namespace velkora::print
