// vaultrane-agent: locks the user's mounted boxes when the screen locks,
// before the machine sleeps and when the session ends. Started at login.
#include "AgentTray.h"
#include "BoxOperations.h"
#include "BuildConfig.h"
#include "BusConnection.h"
#include "CoreDumps.h"
#include "DesktopNotifier.h"
#include "LockAgent.h"
#include "LockSettings.h"
#include "SessionSignals.h"
#include "SignalPipe.h"
#include "Translations.h"
#include "VaultranerProxy.h"
#include "qtsingleapplication.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QScopedPointer>
#include <QTimer>

#include <unistd.h>

namespace {

constexpr int kSettingsLookMilliseconds = 10000;
constexpr int kUsageError = 2;

// A tray needs a display; without one the agent still locks boxes.
bool hasDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

QString instanceKey()
{
    const QString session = qEnvironmentVariable("XDG_SESSION_ID", QStringLiteral("none"));
    return QStringLiteral("vaultrane-agent-%1-%2").arg(getuid()).arg(session);
}

} // namespace

int main(int argc, char *argv[])
{
    CoreDumps::disable();
    QScopedPointer<QCoreApplication> app(hasDisplay() ? new QApplication(argc, argv)
                                                      : new QCoreApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("vaultrane-agent"));
    QCoreApplication::setApplicationVersion(VAULTRANE_VERSION);
    if (auto *gui = qobject_cast<QApplication *>(app.data()))
        gui->setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Locks your mounted protection boxes when the screen locks, before the machine sleeps "
        "and when the session ends, as chosen in Vaultrane's settings."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption retryOption(QStringLiteral("retry-seconds"),
                                   QStringLiteral("Seconds between attempts to lock a box that is in use."),
                                   QStringLiteral("seconds"));
    parser.addOption(retryOption);
    if (!parser.parse(QCoreApplication::arguments())) {
        fprintf(stderr, "%s\n", qPrintable(parser.errorText()));
        return kUsageError;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    int retryMilliseconds = LockAgent::kDefaultRetryMilliseconds;
    if (parser.isSet(retryOption)) {
        bool number = false;
        const double seconds = parser.value(retryOption).toDouble(&number);
        if (!number || seconds <= 0) {
            fprintf(stderr, "--retry-seconds wants a positive number\n");
            return kUsageError;
        }
        retryMilliseconds = int(seconds * 1000);
    }

    SingleInstanceGuard guard(instanceKey());
    if (guard.isRunning())
        return 0; // one agent per session
    loadTranslator();
    VaultranerProxy::setPrintsBoxTable(false);
    if (VaultranerProxy::boxEnabled() == 0 || VaultranerProxy::boxInit() != 0) {
        qDebug().noquote() << "vaultrane-agent: boxes are not available here:" << VaultranerProxy::unavailableReason();
        return 0;
    }

    BusConnection sessionBus(BusConnection::Bus::Session);
    BusConnection systemBus(BusConnection::Bus::System);
    DesktopNotifier notifier(&sessionBus);
    LockAgent agent(&notifier);
    agent.setRetryInterval(retryMilliseconds);
    SessionSignals session(&sessionBus, &systemBus);
    session.setHoldSleepDelay(LockSettings::load().lockBeforeSleep);

    QObject::connect(&session, &SessionSignals::screenLocked, &agent,
                     [&agent] { agent.lockAll(LockAgent::Trigger::ScreenLock); });
    // logind waits for the delay lock to go: it goes once the boxes are locked.
    QObject::connect(&session, &SessionSignals::aboutToSleep, &agent, [&agent, &session] {
        agent.lockAll(LockAgent::Trigger::Sleep);
        session.releaseSleepDelay();
    });
    QObject::connect(&session, &SessionSignals::resumed, &agent,
                     [&session] { session.setHoldSleepDelay(LockSettings::load().lockBeforeSleep); });
    auto endSession = [&agent] {
        agent.lockAll(LockAgent::Trigger::Logout);
        QCoreApplication::quit();
    };
    QObject::connect(&session, &SessionSignals::sessionEnded, &agent, endSession);
    SignalPipe signalPipe;
    QObject::connect(&signalPipe, &SignalPipe::terminationRequested, &agent, endSession);

    // The settings dialog writes the file; the agent follows without a restart.
    QTimer settingsLook;
    QObject::connect(&settingsLook, &QTimer::timeout, &session, [&session] {
        session.setHoldSleepDelay(LockSettings::load().lockBeforeSleep);
    });
    settingsLook.start(kSettingsLookMilliseconds);

    QScopedPointer<AgentTray> tray;
    if (qobject_cast<QApplication *>(app.data()))
        tray.reset(new AgentTray(&agent));
    return app->exec();
}
