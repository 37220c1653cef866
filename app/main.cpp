#include "BuildConfig.h"
#include "CommandLine.h"
#include "Startup.h"
#include "Vaultrane.h"
#include "qtsingleapplication.h"

#include <QGuiApplication>

int main(int argc, char *argv[])
{
    // Icons and images come in two sizes; on a screen scaled by 2 Qt takes
    // the "@2x" one instead of enlarging the small one.
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    int exitCode = 0;
    if (CommandLine::answerInformationOptions(argc, argv, exitCode))
        return exitCode; // --help or --version: no window, no display needed

    // Without an id the single-instance key comes from the executable's path.
    QtSingleApplication app(argc, argv, true);
    QCoreApplication::setApplicationVersion(VAULTRANE_VERSION);
    QGuiApplication::setDesktopFileName("org.vaultrane.Vaultrane"); // the menu entry, for Wayland
    if (!CommandLine::checkArguments(QCoreApplication::arguments()))
        return CommandLine::usageErrorCode;
    if (app.isRunning())
        return 0; // another copy runs: leave quietly, it is not disturbed

    loadStyleSheet("blue.css");
    loadTranslator();
    if (!checkStartup())
        return 0;

    Vaultrane w;
    w.resize(800, 600); // the window's fixed size prevails
    w.show();
    return app.exec();
}
