#include "Startup.h"

#include "BoxAvailability.h"
#include "BoxOperations.h"
#include "MessageBox.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QPalette>

#include <libaudit.h>
#include <unistd.h>

void loadStyleSheet(const QString &fileName)
{
    QFile file(QString(":/images/style/%1").arg(fileName));
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    qApp->setStyleSheet(QString::fromLatin1(bytes));
    qApp->setPalette(QPalette(QColor("#F0F0F0")));
}

namespace {
uid_t realLoginUid() { return audit_getloginuid(); }
uid_t realEffectiveUid() { return geteuid(); }
QString errText(const StartupEnvironment &env, int code)
{
    const char *msg = env.boxErr(code);
    return QString::fromUtf8(msg ? msg : "");
}
} // namespace

StartupEnvironment::StartupEnvironment()
    : boxEnabled(BoxAvailability::systemProbe().enabled), boxInit(BoxAvailability::systemProbe().init),
      boxErr(BoxOperations::serviceErrorText), loginUid(realLoginUid), effectiveUid(realEffectiveUid),
      unavailableReason(BoxAvailability::systemProbe().cause)
{
}

bool checkStartup(const StartupEnvironment &env)
{
    // The refusal, and under it why the box service is unavailable and how
    // to fix it, where the library can say.
    const BoxAvailability availability =
        BoxAvailability::check(BoxAvailability::Probe{env.boxEnabled, env.boxInit, env.unavailableReason});
    switch (availability.state) {
    case BoxAvailability::State::Available:
        break;
    case BoxAvailability::State::Unsupported:
        showInformation(availability.message(QStringLiteral("\n")), nullptr);
        qDebug().noquote() << QString("box_enabled failed, res = %1, err = %2").arg(availability.code).arg(errText(env, 0));
        return false;
    case BoxAvailability::State::InitFailed:
        showInformation(availability.message(QStringLiteral("\n")), nullptr);
        qDebug().noquote() << QString("box_init failed, res = %1, err = %2").arg(availability.code).arg(errText(env, availability.code));
        return false;
    }
    if (env.loginUid() != env.effectiveUid()) {
        showInformation(QCoreApplication::translate("Startup", "请勿使用su、sudo运行Venmora文件保护箱！"), nullptr);
        return false;
    }
    return true;
}
