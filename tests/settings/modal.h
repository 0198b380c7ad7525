// For tests of modal dialogs: acts on the dialog once it is the active modal window.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace velkora::testing {

// Runs act on the first modal window of type T that comes up (looking every few milliseconds,
// for at most two seconds), then stops looking. Call it before the code that runs the dialog.
template <typename T>
void whenModal(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, tries] {
        if (T *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        } else if (++*tries > 400) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(5);
}

} // namespace velkora::testing
