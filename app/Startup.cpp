#include "Startup.h"

#include "BoxAvailability.h"
#include "BoxOperations.h"
#include "BoxRootSetting.h"
#include "MessageBox.h"
#include "ServiceUnavailable.h"

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

// Offers a user who cannot have the shared box root a folder of their own;
// true once it is chosen and in use.
bool choseOwnFolder(const QString &refusal)
{
    const QString folder = BoxRootSetting::suggestedFolder();
    auto *question = new MessageBox(nullptr);
    const QString text = refusal + "\n\n" + ServiceUnavailable::ownFolderQuestion(folder);
    if (question->execMessage(MessageBox::Question, text) != 1)
        return false;
    if (!BoxRootSetting::store(folder)) {
        showInformation(QCoreApplication::translate("Startup", "无法创建文件夹 %1！").arg(folder), nullptr);
        return false;
    }
    BoxRootSetting::apply();
    return true;
}
} // namespace

StartupEnvironment::StartupEnvironment()
    : boxEnabled(BoxAvailability::systemProbe().enabled), boxInit(BoxAvailability::systemProbe().init),
      boxErr(BoxOperations::serviceErrorText), loginUid(realLoginUid), effectiveUid(realEffectiveUid),
      unavailableReason(BoxAvailability::systemProbe().cause), unavailableCause(ServiceUnavailable::currentCause)
{
}

bool checkStartup(const StartupEnvironment &env)
{
    // The refusal, and under it why the box service is unavailable and how
    // to fix it, where the library can say.
    const BoxAvailability::Probe probe{env.boxEnabled, env.boxInit, env.unavailableReason};
    BoxAvailability availability = BoxAvailability::check(probe);
    bool asked = false;
    if (availability.state == BoxAvailability::State::Unsupported
        && ServiceUnavailable::ownFolderHelps(env.unavailableCause())) {
        // The question shows the refusal too: declined, nothing more is said.
        asked = true;
        if (choseOwnFolder(availability.message(QStringLiteral("\n"))))
            availability = BoxAvailability::check(probe);
    }
    switch (availability.state) {
    case BoxAvailability::State::Available:
        break;
    case BoxAvailability::State::Unsupported:
        if (!asked)
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
