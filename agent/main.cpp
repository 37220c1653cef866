// vaultrane-agent: locks the user's mounted boxes when the screen locks,
// before the machine sleeps and when the session ends. Started at login.
//
// The agent itself never connects to the display: a broken display
// connection ends the process that holds it, and the agent must lock the
// boxes first. Its tray icon runs in a child process (this program with
// --tray) whose end the agent notices.
#include "AgentTray.h"
#include "BoxRootSetting.h"
#include "BuildConfig.h"
#include "BusConnection.h"
#include "CoreDumps.h"
#include "DesktopNotifier.h"
#include "LockAgent.h"
#include "LockSettings.h"
#include "MountWatcher.h"
#include "SessionSignals.h"
#include "SignalPipe.h"
#include "SingleInstanceGuard.h"
#include "TrayProcess.h"
#include "Translations.h"
#include "BoxAvailability.h"
#include "BoxOperations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QTimer>

#include <cstring>
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

// The tray process: the icon and its menu, until the agent closes our
// standard input, the display goes or the session manager says quit.
int runTray(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vaultrane-agent"));
    app.setQuitOnLastWindowClosed(false);
    loadTranslator();
    BoxOperations::setPrintsBoxTable(false);
    BoxOperations::setLogsFailures(false);
    AgentTray tray;
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    CoreDumps::disable();
    if (argc == 2 && std::strcmp(argv[1], TrayProcess::kTrayOption) == 0)
        return runTray(argc, argv);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vaultrane-agent"));
    QCoreApplication::setApplicationVersion(VAULTRANE_VERSION);

    // The same language as the window and vaultrane-box, for --help too.
    loadTranslator();
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "AgentMain", "在锁屏、休眠前和会话结束时卸载已挂载的保护箱，按文件保护箱设置中的选择。"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption retryOption(QStringLiteral("retry-seconds"),
                                   QCoreApplication::translate("AgentMain", "两次尝试卸载使用中的保护箱之间的秒数。"),
                                   QCoreApplication::translate("AgentMain", "秒数"));
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
            fprintf(stderr, "%s\n",
                    qPrintable(QCoreApplication::translate("AgentMain", "--retry-seconds 需要一个正数")));
            return kUsageError;
        }
        retryMilliseconds = int(seconds * 1000);
    }

    BoxRootSetting::apply(); // the box root chosen in the window, if any
    SingleInstanceGuard guard(instanceKey());
    if (guard.isRunning())
        return 0; // one agent per session
    BoxOperations::setPrintsBoxTable(false);
    // Failures are the agent's to tell, once per box: not the proxy's at
    // every retry.
    BoxOperations::setLogsFailures(false);
    const BoxAvailability availability = BoxAvailability::check();
    if (!availability.available()) {
        qDebug().noquote() << "vaultrane-agent: boxes are not available here:" << availability.cause;
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
    QObject::connect(&session, &SessionSignals::screenUnlocked, &agent,
                     [&agent] { agent.endHold(LockAgent::Trigger::ScreenLock); });
    // logind waits for the delay lock to go: it goes once every box is
    // unmounted or known to be busy (unmounting waits for no other operation).
    QObject::connect(&session, &SessionSignals::aboutToSleep, &agent, [&agent, &session] {
        agent.lockAll(LockAgent::Trigger::Sleep);
        session.releaseSleepDelay();
    });
    QObject::connect(&session, &SessionSignals::resumed, &agent, [&agent, &session] {
        agent.endHold(LockAgent::Trigger::Sleep);
        session.setHoldSleepDelay(LockSettings::load().lockBeforeSleep);
    });

    MountWatcher mounts;
    QObject::connect(&mounts, &MountWatcher::changed, &agent, &LockAgent::mountTableChanged);

    TrayProcess tray;
    QObject::connect(&tray, &TrayProcess::requested, &agent, [&agent](const TrayCommand &command) {
        if (command.kind == TrayCommand::Kind::UnmountAll) {
            agent.lockAll(LockAgent::Trigger::User);
            return;
        }
        for (const BoxInfo &box : LockAgent::mountedBoxes())
            if (box.owner == command.owner && box.name == command.name)
                agent.lockOne(box);
    });

    // The end of the session in every form: lock first, then leave.
    auto endSession = [&agent, &tray] {
        agent.lockAllAndQuit();
        tray.stop();
    };
    QObject::connect(&session, &SessionSignals::sessionEnded, &agent, endSession);
    QObject::connect(&tray, &TrayProcess::displayEnded, &agent, endSession);
    SignalPipe signalPipe;
    QObject::connect(&signalPipe, &SignalPipe::terminationRequested, &agent, endSession);

    // The settings dialog writes the file; the agent follows without a restart.
    QTimer settingsLook;
    QObject::connect(&settingsLook, &QTimer::timeout, &session, [&session] {
        session.setHoldSleepDelay(LockSettings::load().lockBeforeSleep);
    });
    settingsLook.start(kSettingsLookMilliseconds);

    if (hasDisplay())
        tray.start();
    return app.exec();
}
