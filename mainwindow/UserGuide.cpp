#include "UserGuide.h"

#include "venmoraos_type.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDebug>
#include <QKeyEvent>
#include <QProcess>

#include <cstdio>
#include <unistd.h>

namespace UserGuide {

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

void showGuide(const QString &appName)
{
    qDebug() << "void Vaultrane::showGuide(QString)" << appName;
    QDBusMessage message =
        QDBusMessage::createMethodCall(guideServiceName(), "/", "com.guide.hotel", "showGuide");
    message << QVariant(appName);
    QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, -1);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qDebug() << "showGuide In fail!\n";
}

void openManual()
{
    // Detached: the viewer outlives the request and no process object is
    // left behind per use.
    QProcess::startDetached("sh", {"-c", "evince /usr/share/doc/BoxManual/*.pdf"});
}

void showHelp()
{
    if ((venmora_os_check_is_desktop() & 0xff) == 0) {
        openManual();
        return;
    }
    if (!guideServiceAbsent())
        showGuide(appId);
}

bool isGuideKey(const QKeyEvent *e)
{
    return e->key() == Qt::Key_F1 && e->modifiers() != Qt::ControlModifier;
}

} // namespace UserGuide
