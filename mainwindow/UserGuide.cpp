#include "UserGuide.h"

#include "BuildConfig.h"
#include "MessageBox.h"
#include "Translations.h"
#include "UserManual.h"
#include "venmoraos_type.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDebug>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <cstdio>
#include <unistd.h>

namespace UserGuide {

namespace {
QStringList g_manualFolders{UserManual::installedFolder(), QStringLiteral(VAULTRANE_BUILD_MANUAL_DIR)};

// xdg-open hands the file to the desktop's default viewer and fails when
// there is none; its answer comes later, so a failure is reported then.
void openWithDefaultViewer(const QString &xdgOpen, const QString &file, QWidget *parent)
{
    auto *process = new QProcess;
    QPointer<QWidget> window(parent);
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                     [process, window, file](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status != QProcess::NormalExit || exitCode != 0)
                             showInformation(UserManual::noViewerText(file), window);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, window, file](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        showInformation(UserManual::noViewerText(file), window);
    });
    process->start(xdgOpen, {file});
}
} // namespace

QString guideServiceName()
{
    char name[1024] = {0};
    std::snprintf(name, sizeof name, "%s_%d", "com.venmoraUserGuide.hotel", int(getuid()));
    return QString::fromLatin1(name);
}

bool guideServiceAbsent()
{
    const QString service = guideServiceName();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // An error reply (the name has no owner) reads as the empty string.
    QDBusReply<QString> owner = bus.interface()->call("GetNameOwner", service);
    return owner.value() == "";
}

bool showGuide(const QString &appName)
{
    qDebug() << "void Vaultrane::showGuide(QString)" << appName;
    QDBusMessage message =
        QDBusMessage::createMethodCall(guideServiceName(), "/", "com.guide.hotel", "showGuide");
    message << QVariant(appName);
    QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, -1);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qDebug() << "showGuide In fail!\n";
        return false;
    }
    return true;
}

QStringList manualFolders()
{
    return g_manualFolders;
}

void setManualFolders(const QStringList &folders)
{
    g_manualFolders = folders;
}

bool openManual(QWidget *parent)
{
    const UiLanguage language = chooseTranslation(QLocale::system().uiLanguages()).language;
    QString file;
    for (const QString &folder : g_manualFolders) {
        file = UserManual::find(folder, language);
        if (!file.isEmpty())
            break;
    }
    if (file.isEmpty()) {
        showInformation(UserManual::missingText(UserManual::installedFolder()), parent);
        return false;
    }
    // The viewer outlives the request: nothing waits for it.
    const QString evince = QStandardPaths::findExecutable(QStringLiteral("evince"));
    if (!evince.isEmpty() && QProcess::startDetached(evince, {file}))
        return true;
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty()) {
        openWithDefaultViewer(xdgOpen, file, parent);
        return true;
    }
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        return true;
    showInformation(UserManual::noViewerText(file), parent);
    return false;
}

void showHelp(QWidget *parent)
{
    if ((venmora_os_check_is_desktop() & 0xff) == 0) {
        openManual(parent);
        return;
    }
    showGuideOrManual(parent);
}

void showGuideOrManual(QWidget *parent)
{
    if (!guideServiceAbsent() && showGuide(appId))
        return;
    openManual(parent);
}

bool isGuideKey(const QKeyEvent *e)
{
    return e->key() == Qt::Key_F1 && e->modifiers() != Qt::ControlModifier;
}

} // namespace UserGuide
