#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <sys/types.h>

class QTranslator;

// Applies the style sheet ":/images/style/<fileName>" to the whole
// application and sets the application palette from the button colour
// "#F0F0F0". A missing resource gives an empty style sheet.
void loadStyleSheet(const QString &fileName);

// The language of the program's own texts. Its source texts are Chinese;
// English comes from the catalogue compiled into the resources.
enum class UiLanguage { Chinese, English };

// Which catalogues the user's interface languages ask for.
struct TranslationChoice {
    UiLanguage language = UiLanguage::Chinese;
    QLocale qtLocale;        // Qt's own texts follow this locale
};

// Decides by the first of the user's interface languages (most wanted first,
// as QLocale::uiLanguages() lists them, "zh-CN", "en-US", "C"): Chinese gets
// the program's own texts and Qt's Simplified-Chinese catalogue; the C and
// POSIX locales (no language chosen at all) and an empty list do the same,
// so the program stays as it always was where nobody asked for a language;
// every other language gets the English catalogue and Qt's catalogue of that
// language.
TranslationChoice chooseTranslation(const QStringList &uiLanguages);

// Installs the catalogues of `choice` into the application and returns the
// translators it installed (children of the application; deleting one
// uninstalls it). A catalogue the system lacks is left out.
QList<QTranslator *> installTranslators(const TranslationChoice &choice);

// Installs the catalogues for the user's locale (QLocale::system()).
void loadTranslator();

// What a second start of the program sends the running copy: raise the
// window.
inline constexpr char kRaiseWindowMessage[] = "raise";

// What the start-up checks ask of the system. Tests replace single entries.
struct StartupEnvironment {
    int (*boxEnabled)();
    int (*boxInit)();
    const char *(*boxErr)(int);
    uid_t (*loginUid)();     // the login uid recorded for the process
    uid_t (*effectiveUid)();

    StartupEnvironment(); // the real system
};

// Runs the start-up checks in order: box support, box service
// initialisation, and the su/sudo guard (the login uid must equal the
// effective uid; a process without a login uid is refused). The first
// refusal is shown in an Information message without parent and logged;
// returns true when the program may go on.
bool checkStartup(const StartupEnvironment &env = StartupEnvironment());
