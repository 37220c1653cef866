#pragma once

#include <QString>

// Writes the program's text to standard output and standard error as UTF-8,
// whatever the locale, in one write per call.
class Console
{
public:
    static void out(const QString &text);
    static void err(const QString &text);
    // One line on standard error: "vaultrane-box: <message>". Line breaks in
    // the message become spaces, so a failure is always exactly one line.
    static void errorLine(const QString &message);
};
