#pragma once

#include "Translations.h"

#include <QCoreApplication>
#include <QString>

// The user manual installed with the program: one PDF per language in one
// folder, which the help menu entry and F1 open when the desktop has no
// user-guide service.
class UserManual
{
    Q_DECLARE_TR_FUNCTIONS(UserManual)
public:
    // Where the package installs the manual.
    static QString installedFolder();

    // The file name of the manual in `language`.
    static QString fileName(UiLanguage language);

    // The manual under `folder` in `language`, else in the other language,
    // else empty.
    static QString find(const QString &folder, UiLanguage language);

    // What the user reads when there is no manual under `folder`, or when
    // no program could open `file`.
    static QString missingText(const QString &folder);
    static QString noViewerText(const QString &file);
};
