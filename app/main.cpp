#include "BoxRootSetting.h"
#include "BuildConfig.h"
#include "CommandLine.h"
#include "CoreDumps.h"
#include "Startup.h"
#include "Vaultrane.h"
#include "qtsingleapplication.h"

#include <QGuiApplication>

namespace {
// How long a second copy waits for the running one to take its message.
const int kRaiseMessageTimeoutMs = 2000;
} // namespace

int main(int argc, char *argv[])
{
    CoreDumps::disable(); // before any password can be typed
    // Icons and images come in two sizes; on a screen scaled by 2 Qt takes
    // the "@2x" one instead of enlarging the small one.
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    int exitCode = 0;
    if (CommandLine::answerInformationOptions(argc, argv, exitCode))
        return exitCode; // --help or --version: no window, no display needed

    // Scaled by the screen's density; images come in 2x where they exist.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);

    // Without an id the single-instance key comes from the executable's path.
    QtSingleApplication app(argc, argv, true);
    QCoreApplication::setApplicationVersion(VAULTRANE_VERSION);
    QGuiApplication::setDesktopFileName("org.vaultrane.Vaultrane"); // the menu entry, for Wayland
    loadTranslator();
    if (!CommandLine::checkArguments(QCoreApplication::arguments()))
        return CommandLine::usageErrorCode;
    if (app.isRunning()) {
        // Another copy runs: it brings its window to the front, and this one
        // leaves quietly and successfully whether or not it answered.
        app.sendMessage(kRaiseWindowMessage, kRaiseMessageTimeoutMs);
        return 0;
    }

    loadStyleSheet("blue.css");
    BoxRootSetting::apply(); // a box root of the user's own, chosen at an earlier start
    if (!checkStartup())
        return 0;

    Vaultrane w;
    w.resize(800, 600); // the window's fixed size prevails
    w.restoreViewMode();
    QObject::connect(&app, &QtSingleApplication::messageReceived, &w, [&w](const QString &message) {
        if (message == QLatin1String(kRaiseWindowMessage))
            w.bringToFront();
    });
    w.show();
    return app.exec();
}
