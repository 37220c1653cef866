#include "Translations.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QTranslator>

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
    if (isChinese(first)) {
        choice.language = UiLanguage::Chinese;
        choice.qtLocale = QLocale(kChineseQtLocale);
    } else {
        choice.language = UiLanguage::English;
        // The C locale has no Qt catalogue of its own: Qt's texts stay English.
        choice.qtLocale = choosesNoLanguage(first) ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                   : QLocale(first);
    }
    return choice;
}

QList<QTranslator *> installTranslators(const TranslationChoice &choice, CatalogueSet set)
{
    QList<QTranslator *> installed;
    auto install = [&installed](QTranslator *translator, bool loaded) {
        if (loaded && QCoreApplication::installTranslator(translator))
            installed.append(translator);
        else
            delete translator;
    };

    if (set == CatalogueSet::ProgramAndQt) {
        auto *qtTexts = new QTranslator(QCoreApplication::instance());
        install(qtTexts, qtTexts->load(choice.qtLocale, kQtCataloguePrefix, "_",
                                       QLibraryInfo::location(QLibraryInfo::TranslationsPath)));
    }
    if (choice.language == UiLanguage::English) {
        auto *ownTexts = new QTranslator(QCoreApplication::instance());
        const bool loaded = ownTexts->load(kEnglishCatalogue);
        if (!loaded)
            qDebug().noquote() << QString("cannot load the English catalogue %1").arg(kEnglishCatalogue);
        install(ownTexts, loaded);
    }
    return installed;
}

void loadTranslator(CatalogueSet set)
{
    installTranslators(chooseTranslation(QLocale::system().uiLanguages()), set);
}
