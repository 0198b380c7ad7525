// For window tests: a test book made the working folder (where the program looks for Data.mdb),
// and the errors the program would show collected instead of shown in boxes.
#pragma once

#include "support/bookfixture.h"
#include "ui/main/messagedialogs.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QStringList>
#include <QWidget>

namespace velkora::testing {

// Types text one key event per character (press and release), as QTest::keyClicks takes ASCII only.
inline void typeText(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

struct WorkingBook
{
    explicit WorkingBook(const std::vector<TopicSpec> &topics) : fixture(topics), previous(QDir::currentPath())
    {
        QDir::setCurrent(fixture.folder());
        ui::setErrorDisplay([this](const QString &m) { errors.append(m); });
    }
    ~WorkingBook()
    {
        ui::setErrorDisplay({});
        QDir::setCurrent(previous);
    }
    WorkingBook(const WorkingBook &) = delete;
    WorkingBook &operator=(const WorkingBook &) = delete;

    BookFixture fixture;
    QString previous;
    QStringList errors;
};

} // namespace velkora::testing
