// Program entry of Velkora: the start-up sequence, then the message loop until the main window closes.
#include "startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>

#include <sys/prctl.h>
#include <sys/resource.h>

namespace {

// The program holds the book's titles and bodies in the clear in its memory: a crash must not
// write them into a core file beside the book, and no other process of the user may read them.
void keepMemoryPrivate()
{
    const rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    keepMemoryPrivate();
    QApplication app(argc, argv);
    velkora::app::Startup::prepareApplication(app);
    velkora::app::Startup startup;
    if (!startup.run())
        return 0; // the gate refused: no close step, the settings are not written
    // For the start-up benchmark: report when the main window is up, and end there.
    if (qEnvironmentVariableIsSet("VELKORA_EXIT_WHEN_SHOWN")) {
        QTimer::singleShot(0, &app, [&] {
            std::printf("shown %.1f ms %ld KiB\n", sinceStart.nsecsElapsed() / 1e6, residentKiB());
            std::fflush(stdout);
            app.quit();
        });
    }
    return app.exec();
}
