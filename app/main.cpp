// Program entry of Velkora: the start-up sequence, then the message loop until the main window closes.
#include "startup.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    velkora::app::Startup::prepareApplication(app);
    velkora::app::Startup startup;
    if (!startup.run())
        return 0; // the gate refused: no close step, the settings are not written
    startup.steps << QStringLiteral("message loop");
    return app.exec();
}
