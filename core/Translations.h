#pragma once

#include <QList>
#include <QLocale>
#include <QStringList>

class QTranslator;

// The choice of catalogues by the user's locale, shared by every program of
// the project (the window and the command line).

// The language of the program's own texts. Its source texts are Chinese;
// English comes from the catalogue compiled into the resources.
enum class UiLanguage { Chinese, English };

// Which catalogues the user's interface languages ask for.
struct TranslationChoice {
    UiLanguage language = UiLanguage::Chinese;
    QLocale qtLocale;        // Qt's own texts follow this locale
};

// Decides by the first of the user's interface languages (most wanted first,
// as QLocale::uiLanguages() lists them from LANGUAGE, LC_ALL, LC_MESSAGES and
// LANG: "zh-CN", "en-US", "C"): Chinese gets the program's own texts and
// Qt's Simplified-Chinese catalogue; every other language, the C and POSIX
// locales and an empty list get the English catalogue and Qt's catalogue of
// that language. The window, the command line and the agent all follow it.
TranslationChoice chooseTranslation(const QStringList &uiLanguages);

// Which catalogues to install: the window also shows Qt's own texts (its
// dialogs' standard buttons, context menus); the command line shows none,
// and skips loading them.
enum class CatalogueSet { ProgramAndQt, ProgramOnly };

// Installs the catalogues of `choice` into the application and returns the
// translators it installed (children of the application; deleting one
// uninstalls it). A catalogue the system lacks is left out.
QList<QTranslator *> installTranslators(const TranslationChoice &choice,
                                        CatalogueSet set = CatalogueSet::ProgramAndQt);

// Installs the catalogues for the user's locale (QLocale::system()).
void loadTranslator(CatalogueSet set = CatalogueSet::ProgramAndQt);
