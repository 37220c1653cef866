#include "Startup.h"

#include "BoxRootSetting.h"
#include "MessageBox.h"
#include "ServiceUnavailable.h"
#include "VaultranerProxy.h"

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

// The refusal, and under it why the box service is unavailable and how to
// fix it, where the library can say.
QString withCause(const QString &refusal, const StartupEnvironment &env)
{
    const QString cause = env.unavailableReason();
    return cause.isEmpty() ? refusal : refusal + "\n" + cause;
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
    : boxEnabled(VaultranerProxy::boxEnabled), boxInit(VaultranerProxy::boxInit),
      boxErr(VaultranerProxy::boxError), loginUid(realLoginUid),
      effectiveUid(realEffectiveUid), unavailableReason(ServiceUnavailable::currentText),
      unavailableCause(ServiceUnavailable::currentCause)
{
}

bool checkStartup(const StartupEnvironment &env)
{
    int enabled = env.boxEnabled();
    if (enabled == 0) {
        const QString refusal =
            withCause(QCoreApplication::translate("Startup", "当前系统不支持Venmora文件保护箱相关功能！"), env);
        // The question shows the refusal too: declined, nothing more is said.
        if (!ServiceUnavailable::ownFolderHelps(env.unavailableCause()))
            showInformation(refusal, nullptr);
        else if (choseOwnFolder(refusal))
            enabled = env.boxEnabled();
    }
    if (enabled == 0) {
        qDebug().noquote() << QString("box_enabled failed, res = %1, err = %2").arg(enabled).arg(errText(env, 0));
        return false;
    }
    const int res = env.boxInit();
    if (res != 0) {
        showInformation(withCause(QCoreApplication::translate("Startup", "初始化Venmora文件保护箱模块失败！"), env), nullptr);
        qDebug().noquote() << QString("box_init failed, res = %1, err = %2").arg(res).arg(errText(env, res));
        return false;
    }
    if (env.loginUid() != env.effectiveUid()) {
        showInformation(QCoreApplication::translate("Startup", "请勿使用su、sudo运行Venmora文件保护箱！"), nullptr);
        return false;
    }
    return true;
}
