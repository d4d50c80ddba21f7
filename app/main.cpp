#include "app/quitsignals.h"
#include "app/stderrwriter.h"
#include "app/vantorterm.h"
#include "compat/qtcompat.h"

#include <QApplication>

// The built-in images stay registered for exactly the life of the process. The resource macros
// must run at global scope, outside any namespace.
static void registerImages()
{
    Q_INIT_RESOURCE(tarquel);
}

static void unregisterImages()
{
    Q_CLEANUP_RESOURCE(tarquel);
}

int main(int argc, char *argv[])
{
    installLogHandler();
    registerImages();
    QtCompat::enableHighDpiScaling();
    int result = 0;
    {
        QApplication application(argc, argv);
        QuitSignals quitSignals;
        VantorTerm window;
        window.show();
        QObject::connect(&quitSignals, &QuitSignals::received, &window,
                         &VantorTerm::closeOnQuitSignal);
        QObject::connect(&application, &QApplication::lastWindowClosed, &application,
                         &QApplication::quit);
        result = application.exec();
    }
    unregisterImages();
    return result;
}
