#include "Startup.h"

#include "MessageBox.h"
#include "VaultranerProxy.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QLibraryInfo>
#include <QPalette>
#include <QTranslator>

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
// The English catalogue, compiled from translations/vaultrane_en.ts at build
// time and embedded in the resources.
const char *const kEnglishCatalogue = ":/translations/vaultrane_en.qm";
const char *const kQtCataloguePrefix = "qt";
const char *const kChineseQtLocale = "zh_CN";

bool isChinese(const QString &language)
{
    return language == QLatin1String("zh") || language.startsWith(QLatin1String("zh-"))
           || language.startsWith(QLatin1String("zh_"));
}

bool choosesNoLanguage(const QString &language)
{
    return language.isEmpty() || language == QLatin1String("C") || language == QLatin1String("POSIX")
           || language.startsWith(QLatin1String("C.")) || language.startsWith(QLatin1String("POSIX."));
}
} // namespace

TranslationChoice chooseTranslation(const QStringList &uiLanguages)
{
    TranslationChoice choice;
    const QString first = uiLanguages.isEmpty() ? QString() : uiLanguages.first().trimmed();
    if (choosesNoLanguage(first) || isChinese(first)) {
        choice.language = UiLanguage::Chinese;
        choice.qtLocale = QLocale(kChineseQtLocale);
    } else {
        choice.language = UiLanguage::English;
        choice.qtLocale = QLocale(first);
    }
    return choice;
}

QList<QTranslator *> installTranslators(const TranslationChoice &choice)
{
    QList<QTranslator *> installed;
    auto install = [&installed](QTranslator *translator, bool loaded) {
        if (loaded && QCoreApplication::installTranslator(translator))
            installed.append(translator);
        else
            delete translator;
    };

    auto *qtTexts = new QTranslator(QCoreApplication::instance());
    install(qtTexts, qtTexts->load(choice.qtLocale, kQtCataloguePrefix, "_",
                                   QLibraryInfo::location(QLibraryInfo::TranslationsPath)));
    if (choice.language == UiLanguage::English) {
        auto *ownTexts = new QTranslator(QCoreApplication::instance());
        const bool loaded = ownTexts->load(kEnglishCatalogue);
        if (!loaded)
            qDebug().noquote() << QString("cannot load the English catalogue %1").arg(kEnglishCatalogue);
        install(ownTexts, loaded);
    }
    return installed;
}

void loadTranslator()
{
    installTranslators(chooseTranslation(QLocale::system().uiLanguages()));
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
    : boxEnabled(VaultranerProxy::boxEnabled), boxInit(VaultranerProxy::boxInit),
      boxErr(VaultranerProxy::boxError), loginUid(realLoginUid),
      effectiveUid(realEffectiveUid)
{
}

bool checkStartup(const StartupEnvironment &env)
{
    const int enabled = env.boxEnabled();
    if (enabled == 0) {
        showInformation("当前系统不支持Venmora文件保护箱相关功能！", nullptr);
        qDebug().noquote() << QString("box_enabled failed, res = %1, err = %2").arg(enabled).arg(errText(env, 0));
        return false;
    }
    const int res = env.boxInit();
    if (res != 0) {
        showInformation("初始化Venmora文件保护箱模块失败！", nullptr);
        qDebug().noquote() << QString("box_init failed, res = %1, err = %2").arg(res).arg(errText(env, res));
        return false;
    }
    if (env.loginUid() != env.effectiveUid()) {
        showInformation("请勿使用su、sudo运行Venmora文件保护箱！", nullptr);
        return false;
    }
    return true;
}
